// The second link's face toward the host: start, stop and the dispatcher.
// This link serves fewer requests than the first one, keeps no usage counts,
// and answers a location-setting change itself.
#include "lbs_plugin_consumer_bap_main.h"

#include "../kov/lbs_plugin_consumer_main.h"
#include "../lbs_plugin_consumer_common.h"
#include "../lbs_plugin_consumer_event.h"
#include "../lbs_plugin_consumer_log.h"
#include "lbs_plugin_consumer_bap_intf.h"
#include "lbs_plugin_consumer_bap_json_builder.h"

namespace {

// The request to send for a host method; REQ_NONE, which the send path
// refuses, for a method this link does not know.
int tracking_req_id(int method, int gps_req, int wps_req)
{
    switch (method) {
    case CONSUMER_METHOD_GPS:
        return gps_req;
    case CONSUMER_METHOD_WPS:
        return wps_req;
    default:
        return REQ_NONE;
    }
}

int _bap_start_session(const tracking_req_info *req)
{
    LBS_REFCNT_LOGI("[%d] start", req->method);
    // The builder takes the record from its interval on; it only checks that
    // there is one, since this link's start carries no interval.
    const int result =
        bap_send_message(tracking_req_id(req->method, REQ_TRACKING_LOCATION_START_GPS, REQ_TRACKING_LOCATION_START_WPS),
                         &req->interval);
    bap_respond_start_session(req->method, result);
    if (result != 0) {
        LBS_LOGE("lbs consumer plugin failed to send [start session]:[%d]", result);
        return 0;
    }
    bap_location_tracking_start_dummy_pkt_alarm();
    return 1;
}

int _bap_stop_session(const tracking_req_info *req)
{
    LBS_REFCNT_LOGI("[%d] stop", req->method);
    // One keep-alive serves both methods; the first stop ends it.
    bap_location_tracking_stop_dummy_pkt_alarm();
    const int result =
        bap_send_message(tracking_req_id(req->method, REQ_TRACKING_LOCATION_STOP_GPS, REQ_TRACKING_LOCATION_STOP_WPS),
                         nullptr);
    if (result != 0)
        LBS_LOGE("lbs consumer plugin failed to sent [stop session]:[%d]", result);
    bap_respond_stop_session(req->method);
    return 1;
}

int _bap_request_extra_data(const extra_data_req_info *req)
{
    if (g_get_is_requested_gps_extra_data() == 1) {
        LBS_LOGW("Already requested");
        return 0;
    }
    int req_id = REQ_NONE;
    if (req->data_type == 3)
        req_id = REQ_GPS_PLUS_METHOD_1;
    else if (req->data_type == 4)
        req_id = REQ_GPS_PLUS_METHOD_2;
    // On success the send path marks the request outstanding and starts the
    // wait for the file.
    const int result = bap_send_message(req_id, nullptr);
    if (result != 0) {
        LBS_LOGE("Failed request_extra_data[%d]", result);
        return 0;
    }
    return 1;
}

int _bap_request_location_setting_check()
{
    const int result = bap_send_message(REQ_PROVIDER_LOCATION_SETTING_CHECK, nullptr);
    if (result != 0)
        LBS_LOGE("lbs consumer plugin failed to request_location_setting_check. [%d]", result);
    return 1;
}

int _bap_request_location_setting_change()
{
    // The phone is not asked: the answer comes from this link on the next
    // turn of the main loop, after the request has returned. The answer
    // runs once, whatever happens to the link meanwhile, and reaches the
    // callback set at that moment.
    g_idle_add(_bap_location_setting_change_idle_cb, nullptr);
    return 1;
}

int _bap_request_ref_time(const ref_time_req_info *req)
{
    if (req == nullptr) {
        LBS_LOGE("action data NULL");
        return 0;
    }
    const int result = bap_send_message(REQ_GET_REF_TIME, req);
    if (result != 0) {
        LBS_LOGE("Failed REQ_GET_REF_TIME err[%d]", result);
        return 0;
    }
    return 1;
}

int _bap_handle_knt_request(const kinetra_req_info *req)
{
    int result = LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER;
    if (req == nullptr) {
        LBS_LOGE("data is NULL");
    } else {
        result = bap_knt_handle_request(req);
        if (result != 0)
            LBS_LOGE("Failed knt request [%d]", result);
    }
    return _bap_convert_error_type(result);
}

// The requests that need their record refuse a NULL one before anything else.
bool has_data(const char *func, const void *data)
{
    if (data == nullptr) {
        LBS_LOGE_AS(func, "data is NULL");
        return false;
    }
    return true;
}

} // namespace

int lbs_consumer_plugin_bap_init(lbs_consumer_event_cb callback, void *user_data)
{
    g_bap_consumer_cb = callback;
    g_bap_consumer_user_data = user_data;
    if (bap_init() != 1) {
        LBS_LOGE("lbs_consumer_plugin_bap_init failed");
        return 0;
    }
    return 1;
}

int lbs_consumer_plugin_bap_deinit(void *arg)
{
    (void)arg;
    // May still tell the host PROVIDER_DISCONNECTED, so the callback goes after.
    __bap_deregister_consumer();
    g_bap_consumer_cb = nullptr;
    g_bap_consumer_user_data = nullptr;
    return 1;
}

int lbs_consumer_plugin_bap_request(int action, void *data)
{
    switch (action) {
    case CONSUMER_ACTION_START_SESSION:
        return has_data(__func__, data) ? _bap_start_session(static_cast<const tracking_req_info *>(data)) : 0;
    case CONSUMER_ACTION_STOP_SESSION:
        return has_data(__func__, data) ? _bap_stop_session(static_cast<const tracking_req_info *>(data)) : 0;
    case CONSUMER_ACTION_REQUEST_EXTRA_DATA:
        return has_data(__func__, data) ? _bap_request_extra_data(static_cast<const extra_data_req_info *>(data)) : 0;
    case CONSUMER_ACTION_CHANGE_INTERVAL:
        // Accepted and ignored: the phone's tracking on this link has no interval.
        return 1;
    case CONSUMER_ACTION_CHECK_LOCATION_SETTING:
        return _bap_request_location_setting_check();
    case CONSUMER_ACTION_CHANGE_LOCATION_SETTING:
        return has_data(__func__, data) ? _bap_request_location_setting_change() : 0;
    case CONSUMER_ACTION_GET_REF_TIME:
        return _bap_request_ref_time(static_cast<const ref_time_req_info *>(data));
    case CONSUMER_ACTION_KINETRA_COMMAND:
        return _bap_handle_knt_request(static_cast<const kinetra_req_info *>(data));
    default:
        // Batch periods and map images included: this link has neither.
        LBS_LOGE("Unknown action type");
        return 0;
    }
}

int _bap_convert_error_type(int code)
{
    // The internal codes translate alike on both links.
    return lbs_event_convert_error(__func__, code);
}
