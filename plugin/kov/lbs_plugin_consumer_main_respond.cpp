// The first link's event senders: each turns one outcome or parsed reply into
// one host event, or logs why it delivers nothing.
#include "lbs_plugin_consumer_main.h"

#include "../lbs_plugin_consumer_event.h"
#include "../lbs_plugin_consumer_log.h"

#include <glib.h>

#include <algorithm>
#include <cstring>
#include <memory>

lbs_consumer_event_cb g_consumer_cb = nullptr;
void *g_consumer_user_data = nullptr;

namespace {

// The record every sender fills: cleared whole, so that the host never reads
// a byte the sender did not mean.
void clear_event(lbs_consumer_event_s &event, int type)
{
    std::memset(&event, 0, sizeof event);
    event.type = type;
}

void deliver(lbs_consumer_event_s &event)
{
    if (g_consumer_cb != nullptr)
        g_consumer_cb(&event, g_consumer_user_data);
}

// The result events of the start, change-interval and change-batch-period
// requests: error 0 when the request went out or was queued.
void respond_request_result(int type, int method, int result)
{
    lbs_consumer_event_s event;
    clear_event(event, type);
    event.error = result == 0 ? CONSUMER_ERR_NONE : CONSUMER_ERR_COMMUNICATION;
    event.session.method = method;
    deliver(event);
}

struct GFreeDeleter {
    void operator()(gchar *text) const { g_free(text); }
};

} // namespace

void respond_start_session(int method, int result)
{
    respond_request_result(CONSUMER_EVENT_START_SESSION, method, result);
}

void respond_stop_session(int method)
{
    respond_request_result(CONSUMER_EVENT_STOP_SESSION, method, 0);
}

void respond_change_interval(int method, int result)
{
    respond_request_result(CONSUMER_EVENT_CHANGE_INTERVAL, method, result);
}

void respond_change_batch_period(int method, int result)
{
    respond_request_result(CONSUMER_EVENT_CHANGE_BATCH_PERIOD, method, result);
}

void respond_service_connection_status(int status)
{
    lbs_consumer_event_s event;
    clear_event(event, status != 0 ? CONSUMER_EVENT_PROVIDER_CONNECTED : CONSUMER_EVENT_PROVIDER_DISCONNECTED);
    deliver(event);
}

void respond_update_position(const loc_tracking_rsp_message *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("loc_tracking_rsp_message is NULL");
        return;
    }

    lbs_consumer_event_s event;
    if (rsp->method == CONSUMER_METHOD_GPS) {
        clear_event(event, CONSUMER_EVENT_POSITION_GPS);
    } else if (rsp->method == CONSUMER_METHOD_WPS) {
        clear_event(event, CONSUMER_EVENT_POSITION_WPS);
    } else {
        LBS_LOGE("Critical error!! Unknown method [%lld]", static_cast<long long>(rsp->method));
        return;
    }

    if (rsp->result == 1) {
        lbs_event_fill_position(&event.position.pos, rsp);
    } else if (rsp->result == 2) {
        event.error = _get_tracking_rsp_err_type(2, rsp->reason);
    } else {
        LBS_LOGW("critical error!! unhandled result [%lld]", static_cast<long long>(rsp->result));
        return;
    }
    deliver(event);
}

void respond_batch_position(const location_batch_rsp_message *rsp)
{
    LBS_LOGI("starting");
    if (rsp == nullptr) {
        LBS_LOGE("location_batch_rsp_message is NULL");
        return;
    }
    if (rsp->method != 3) {
        LBS_LOGE("critical error!! Invalid method [%lld]", static_cast<long long>(rsp->method));
        return;
    }

    lbs_consumer_event_s event;
    clear_event(event, CONSUMER_EVENT_BATCH_POSITION);
    if (rsp->result == 1) {
        if (rsp->num_of_location == 0) {
            LBS_LOGE("Ignore response - num_of_location %d", static_cast<int>(rsp->num_of_location));
            return;
        }
        // The record holds at most LBS_CONSUMER_MAX_BATCH_POSITIONS entries,
        // and so does the event: a larger count is never read past them.
        const uint32_t count =
            std::min<uint32_t>(rsp->num_of_location, static_cast<uint32_t>(LBS_CONSUMER_MAX_BATCH_POSITIONS));
        event.batch.count = static_cast<int32_t>(count);
        for (uint32_t i = 0; i < count; ++i)
            lbs_event_fill_position(&event.batch.pos[i], &rsp->locations[i]);
    } else if (rsp->result == 2) {
        event.error = _get_tracking_rsp_err_type(2, rsp->reason);
    } else {
        LBS_LOGE("critical error!! unhandled result [%lld]", static_cast<long long>(rsp->result));
        return;
    }
    deliver(event);
    LBS_LOGI("respond batch data is done");
}

void respond_location_setting_check(const location_setting_check_rsp_message *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("location_setting_check_rsp_message is NULL");
        return;
    }
    lbs_consumer_event_s event;
    clear_event(event, CONSUMER_EVENT_LOCATION_SETTING_CHECK);
    event.setting_check.gps = static_cast<int32_t>(rsp->gps_settings);
    event.setting_check.wps = static_cast<int32_t>(rsp->wps_settings);
    deliver(event);
}

void respond_location_setting_change(const location_setting_change_rsp_message *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("rsp_msg is NULL");
        return;
    }
    lbs_consumer_event_s event;
    clear_event(event, CONSUMER_EVENT_LOCATION_SETTING_CHANGE);
    event.setting_change.result = static_cast<int32_t>(rsp->result);
    deliver(event);
}

void respond_extra_data(const char *path)
{
    // The host gets its own copy, valid until the callback returns.
    std::unique_ptr<gchar, GFreeDeleter> copy(g_strdup(path));
    lbs_consumer_event_s event;
    clear_event(event, CONSUMER_EVENT_EXTRA_DATA);
    event.file.path = copy.get();
    deliver(event);
}

void respond_here_map_download(int code, const char *path)
{
    lbs_consumer_event_s event;
    clear_event(event, CONSUMER_EVENT_HERE_MAP_DOWNLOAD);
    switch (code) {
    case 0:
        event.error = CONSUMER_ERR_NONE;
        break;
    case 1:
        event.error = CONSUMER_ERR_TIMEOUT;
        LBS_LOGE("TIMEOUT [%d]", event.error);
        break;
    case 2:
        event.error = CONSUMER_ERR_NETWORK_SERVICE_DISABLED;
        LBS_LOGE("NETWORK_SERVICE_DISABLED [%d]", event.error);
        break;
    case 3:
        event.error = CONSUMER_ERR_TEMPORARY_NOT_AVAILABLE;
        LBS_LOGE("TEMPORARY_NOT_AVAILABLE [%d]", event.error);
        break;
    case 4:
        event.error = CONSUMER_ERR_INVALID_PARAMETER;
        LBS_LOGE("PARAMETER_INVALID [%d]", event.error);
        break;
    default:
        event.error = CONSUMER_ERR_SYSTEM;
        LBS_LOGE("[%d]", code);
        break;
    }
    event.file.path = path;
    deliver(event);
}

void respond_ref_time(const ref_time_rsp_message *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("rsp is NULL");
        return;
    }
    lbs_consumer_event_s event;
    clear_event(event, CONSUMER_EVENT_REF_TIME);
    event.ref_time.result = static_cast<int32_t>(rsp->result);
    event.ref_time.reason = static_cast<int32_t>(rsp->reason);
    event.ref_time.ntp_time = rsp->ntptime;
    event.ref_time.method = static_cast<int32_t>(rsp->method);
    event.ref_time.uncertainty = static_cast<int32_t>(rsp->uncertainty);
    deliver(event);
}

void respond_kinetra_info(int error, const exercise_info_rsp_data *rsp, int command)
{
    lbs_event_send_kinetra_info(__func__, g_consumer_cb, g_consumer_user_data, error, rsp, command);
}

void respond_pdc_info(const pdc_info_rsp_message *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("rsp is NULL");
        return;
    }
    if (rsp->result != 1) {
        if (rsp->reason == 1)
            LBS_LOGE("PDC_NOT_SUPPORTED");
        else if (rsp->reason == 2)
            LBS_LOGE("PDC_DISABLE");
        else
            LBS_LOGE("PDC_UNKNWON %d", static_cast<int>(rsp->reason));
        return;
    }

    lbs_consumer_event_s event;
    clear_event(event, CONSUMER_EVENT_PDC_INFO);
    // Never more values than the record and the event hold.
    const uint64_t count = std::min<uint64_t>(rsp->sf_count, LBS_CONSUMER_MAX_PDC_VALUES);
    event.pdc.count = static_cast<int32_t>(count);
    for (uint64_t i = 0; i < count; ++i)
        event.pdc.values[i] = static_cast<int32_t>(rsp->sf[i]);
    deliver(event);
}

int _get_tracking_rsp_err_type(int64_t result, int64_t reason)
{
    if (result == 1)
        return CONSUMER_ERR_NONE;
    return lbs_event_tracking_error(__func__, reason);
}

int _convert_error_type(int code)
{
    return lbs_event_convert_error(__func__, code);
}
