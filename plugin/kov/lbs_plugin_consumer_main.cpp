// The first link's entry points: start, stop and the host-request
// dispatcher. Each host request becomes one request to the phone through
// kov_send_message; the dispatcher keeps the position usage count in step,
// refuses a second assistance or map request while one is outstanding, and
// answers the host through its return value or an immediate result event.
#include "lbs_plugin_consumer_main.h"

#include "../lbs_plugin_consumer_common.h"
#include "../lbs_plugin_consumer_log.h"
#include "lbs_plugin_consumer_json_builder.h"
#include "lbs_plugin_consumer_kov_intf.h"

#include <cstdio>
#include <unistd.h>

namespace {

// The map image the link stores; one left over from an earlier run is
// removed at every start so the host never receives a stale image.
constexpr const char *kMapImagePath = LBS_EXTRA_DIR "map.jpg";

int _start_session(const tracking_req_info *req)
{
    increase_pos_refcnt();
    int result = LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER;
    if (req->method == CONSUMER_METHOD_GPS) {
        const tracking_req_param param = {req->interval, req->batching_interval};
        result = kov_send_message(REQ_TRACKING_LOCATION_START_GPS, &param);
    } else if (req->method == CONSUMER_METHOD_WPS) {
        result = kov_send_message(REQ_TRACKING_LOCATION_START_WPS, &req->interval);
    }
    respond_start_session(req->method, result);
    if (result == 0)
        return 1;
    LBS_LOGE("lbs consumer plugin failed to send [start session]:[%d]", result);
    decrease_pos_refcnt();
    return 0;
}

int _stop_session(const tracking_req_info *req)
{
    decrease_pos_refcnt();
    const int req_id = req->method == CONSUMER_METHOD_GPS   ? REQ_TRACKING_LOCATION_STOP_GPS
                       : req->method == CONSUMER_METHOD_WPS ? REQ_TRACKING_LOCATION_STOP_WPS
                                                            : REQ_NONE;
    const int result = kov_send_message(req_id, nullptr);
    if (result != 0)
        LBS_LOGE("lbs consumer plugin failed to sent [stop session]:[%d]", result);
    respond_stop_session(req->method);
    lbs_plugin_consumer_terminate_service_connection();
    return 1;
}

int _request_extra_data(const extra_data_req_info *req)
{
    increase_pos_refcnt();
    if (g_get_requested_gps_extra_data() == 1) {
        LBS_LOGE("Extra data is already requested.");
        decrease_pos_refcnt();
        return 0;
    }
    const int req_id = req->data_type == 3 ? REQ_GPS_PLUS_METHOD_1 : req->data_type == 4 ? REQ_GPS_PLUS_METHOD_2 : REQ_NONE;
    const int result = kov_send_message(req_id, nullptr);
    if (result == 0)
        return 1;
    LBS_LOGE("lbs consumer plugin failed to request_extra_data. [%d]", result);
    decrease_pos_refcnt();
    return 0;
}

int _change_interval(const tracking_req_info *req)
{
    const int req_id = req->method == CONSUMER_METHOD_GPS   ? REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS
                       : req->method == CONSUMER_METHOD_WPS ? REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS
                                                            : REQ_NONE;
    const int result = kov_send_message(req_id, &req->interval);
    respond_change_interval(req->method, result);
    if (result != 0)
        LBS_LOGE("lbs consumer plugin failed to send [change interval]:[%d]", result);
    return 1;
}

int _check_location_setting()
{
    const int result = kov_send_message(REQ_PROVIDER_LOCATION_SETTING_CHECK, nullptr);
    if (result != 0)
        LBS_LOGE("lbs consumer plugin failed to request_location_setting_check. [%d]", result);
    return 1;
}

int _change_location_setting(const location_setting_req_info *req)
{
    increase_pos_refcnt();
    const int result = kov_send_message(REQ_PROVIDER_LOCATION_SETTING_CHANGE, req);
    if (result == 0)
        return 1;
    LBS_LOGE("lbs consumer plugin failed to request_location_setting_change. [%d]", result);
    decrease_pos_refcnt();
    return 1;
}

int _request_change_batch_period(const tracking_req_info *req)
{
    int result = LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER;
    if (req->method == CONSUMER_METHOD_GPS)
        result = kov_send_message(REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS, &req->batching_interval);
    else
        LBS_LOGI("Invalid method %d", req->method);
    respond_change_batch_period(req->method, result);
    if (result != 0)
        LBS_LOGE("Failed [change batch period] err:[%d]", result);
    return 1;
}

int _request_ref_time(const ref_time_req_info *req)
{
    increase_pos_refcnt();
    const int result = kov_send_message(REQ_GET_REF_TIME, req);
    if (result == 0)
        return 1;
    LBS_LOGE("Failed REQ_GET_REF_TIME. err[%d]", result);
    decrease_pos_refcnt();
    return 0;
}

int _handle_kinetra_command(const kinetra_req_info *req)
{
    const int result = kov_knt_handle_request(req);
    if (result != 0)
        LBS_LOGE("lbs consumer plugin failed to kinetra consumer request. [%d]", result);
    return _convert_error_type(result);
}

int _request_map_image_data(const here_map_req_info *req)
{
    increase_pos_refcnt();
    if (g_get_requested_map_image_data() == 1) {
        LBS_LOGE("Map image data is already requested.");
        decrease_pos_refcnt();
        // The service is busy with the outstanding request.
        return CONSUMER_ERR_TEMPORARY_NOT_AVAILABLE;
    }
    const int result = kov_send_message(REQ_HERE_MAP_IMAGE, req);
    if (result != 0) {
        LBS_LOGE("Failed request_map_image_data. err[%d]", result);
        decrease_pos_refcnt();
    }
    return _convert_error_type(result);
}

} // namespace

int lbs_consumer_plugin_init(lbs_consumer_event_cb callback, void *user_data)
{
    g_consumer_cb = callback;
    g_consumer_user_data = user_data;
    const int result = kov_init();
    if (result != 1)
        LBS_LOGE("lbs_consumer_plugin_init failed");
    if (access(kMapImagePath, F_OK) == 0) {
        const int ret = remove(kMapImagePath);
        if (ret != 0)
            LBS_LOGE("[%s] already exist but could not remove. [%d]", kMapImagePath, ret);
    }
    return result;
}

int lbs_consumer_plugin_deinit(void *arg)
{
    (void)arg;
    kov_deinit();
    g_consumer_cb = nullptr;
    g_consumer_user_data = nullptr;
    return 1;
}

int lbs_consumer_plugin_request(int action, void *data)
{
    // Every request but the setting check carries a record.
    if (data == nullptr && action != CONSUMER_ACTION_CHECK_LOCATION_SETTING) {
        switch (action) {
        case CONSUMER_ACTION_START_SESSION:
        case CONSUMER_ACTION_STOP_SESSION:
        case CONSUMER_ACTION_REQUEST_EXTRA_DATA:
        case CONSUMER_ACTION_CHANGE_INTERVAL:
        case CONSUMER_ACTION_CHANGE_LOCATION_SETTING:
        case CONSUMER_ACTION_CHANGE_BATCH_PERIOD:
            LBS_LOGE("data is NULL");
            return 0;
        case CONSUMER_ACTION_GET_REF_TIME:
            LBS_LOGE("action data NULL");
            return 0;
        case CONSUMER_ACTION_KINETRA_COMMAND:
        case CONSUMER_ACTION_HERE_MAP_IMAGE:
            LBS_LOGE("data is NULL");
            return _convert_error_type(LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER);
        default:
            break;
        }
    }

    switch (action) {
    // The start and stop lines are the dispatcher's own; the rest of each
    // branch logs under the branch.
    case CONSUMER_ACTION_START_SESSION:
        LBS_REFCNT_LOGI("[%d] start", static_cast<const tracking_req_info *>(data)->method);
        return _start_session(static_cast<const tracking_req_info *>(data));
    case CONSUMER_ACTION_STOP_SESSION:
        LBS_REFCNT_LOGI("[%d] stop", static_cast<const tracking_req_info *>(data)->method);
        return _stop_session(static_cast<const tracking_req_info *>(data));
    case CONSUMER_ACTION_REQUEST_EXTRA_DATA:
        return _request_extra_data(static_cast<const extra_data_req_info *>(data));
    case CONSUMER_ACTION_CHANGE_INTERVAL: return _change_interval(static_cast<const tracking_req_info *>(data));
    case CONSUMER_ACTION_CHECK_LOCATION_SETTING: return _check_location_setting();
    case CONSUMER_ACTION_CHANGE_LOCATION_SETTING:
        return _change_location_setting(static_cast<const location_setting_req_info *>(data));
    case CONSUMER_ACTION_CHANGE_BATCH_PERIOD:
        return _request_change_batch_period(static_cast<const tracking_req_info *>(data));
    case CONSUMER_ACTION_GET_REF_TIME: return _request_ref_time(static_cast<const ref_time_req_info *>(data));
    case CONSUMER_ACTION_KINETRA_COMMAND:
        return _handle_kinetra_command(static_cast<const kinetra_req_info *>(data));
    case CONSUMER_ACTION_HERE_MAP_IMAGE:
        return _request_map_image_data(static_cast<const here_map_req_info *>(data));
    default:
        LBS_LOGE("Unknown action type");
        return 0;
    }
}
