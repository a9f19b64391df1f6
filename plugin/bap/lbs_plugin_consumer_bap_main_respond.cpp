// The second link's responders: each turns one outcome or parsed reply into
// host events, or logs why it delivers nothing.
#include "lbs_plugin_consumer_bap_main.h"

#include "../kov/lbs_plugin_consumer_main.h"
#include "../lbs_plugin_consumer_event.h"
#include "../lbs_plugin_consumer_log.h"
#include "lbs_plugin_consumer_bap_intf.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

// The record every responder fills: cleared whole, so that the host never
// reads a byte the responder did not mean.
struct Event {
    lbs_consumer_event_s record;

    explicit Event(int type)
    {
        std::memset(&record, 0, sizeof record);
        record.type = type;
    }

    void deliver()
    {
        if (g_bap_consumer_cb != nullptr)
            g_bap_consumer_cb(&record, g_bap_consumer_user_data);
    }
};

struct GFreeDeleter {
    void operator()(gchar *text) const { g_free(text); }
};

// What one position reply tells one method.
struct Outcome {
    int64_t result;
    int64_t reason;
};

// The GPS event is held to the accuracy limit: a position that is vaguer,
// or whose accuracy is not a number, reads as a time-out.
Outcome gps_outcome(const char *func, const loc_tracking_rsp_message &rsp)
{
    const Outcome kept = {rsp.result, rsp.reason};
    if (rsp.h_accuracy > kBapGpsAccuracyLimit || std::isnan(rsp.h_accuracy)) {
        LBS_LOGW_AS(func, "Position data arrived but accuracy is [%.15g] not in range", rsp.h_accuracy);
        return {2, 1};
    }
    LBS_LOGE_AS(func, "Position from GPS arrived");
    return kept;
}

Outcome wps_outcome(const char *func, const loc_tracking_rsp_message &rsp)
{
    LBS_LOGE_AS(func, "Position from WPS arrived");
    return {rsp.result, rsp.reason};
}

struct PositionSlot {
    int type;
    Outcome (*outcome)(const char *func, const loc_tracking_rsp_message &);
};

// In the order of is_method_started_array, which is the order of delivery.
constexpr std::array<PositionSlot, 2> kPositionSlots = {{
    {CONSUMER_EVENT_POSITION_GPS, gps_outcome},
    {CONSUMER_EVENT_POSITION_WPS, wps_outcome},
}};

} // namespace

void bap_respond_start_session(int method, int result)
{
    Event event(CONSUMER_EVENT_START_SESSION);
    event.record.error = result != 0 ? CONSUMER_ERR_COMMUNICATION : CONSUMER_ERR_NONE;
    event.record.session.method = method;
    event.deliver();
}

void bap_respond_stop_session(int method)
{
    Event event(CONSUMER_EVENT_STOP_SESSION);
    event.record.session.method = method;
    event.deliver();
}

void bap_respond_service_connection_status(int status)
{
    Event event(status != 0 ? CONSUMER_EVENT_PROVIDER_CONNECTED : CONSUMER_EVENT_PROVIDER_DISCONNECTED);
    event.deliver();
}

gboolean _bap_location_setting_change_idle_cb(gpointer)
{
    Event event(CONSUMER_EVENT_LOCATION_SETTING_CHANGE);
    event.deliver();
    return G_SOURCE_REMOVE;
}

void bap_respond_extra_data(const char *path)
{
    // The host gets its own copy, valid until the callback returns.
    std::unique_ptr<gchar, GFreeDeleter> copy(g_strdup(path));
    Event event(CONSUMER_EVENT_EXTRA_DATA);
    event.record.file.path = copy.get();
    event.deliver();
}

void bap_respond_update_position(const loc_tracking_rsp_message *rsp, const int *is_method_started_array)
{
    if (rsp == nullptr) {
        LBS_LOGE("loc_tracking_rsp_message NULL");
        return;
    }
    if (is_method_started_array == nullptr) {
        LBS_LOGE("is_method_started_array NULL");
        return;
    }
    // One reply serves every started method; which method the phone named is
    // not looked at, since both share one tracking session on the phone.
    for (std::size_t i = 0; i < kPositionSlots.size(); ++i) {
        if (is_method_started_array[i] == 0)
            continue;
        const Outcome outcome = kPositionSlots[i].outcome(__func__, *rsp);
        Event event(kPositionSlots[i].type);
        if (outcome.result == 1) {
            lbs_event_fill_position(&event.record.position.pos, rsp);
        } else if (outcome.result == 2) {
            event.record.error = _bap_get_tracking_rsp_err_type(outcome.reason);
        } else {
            LBS_LOGW("critical error!! unhandled result [%d], loc_tracking_rsp_message->result",
                     static_cast<int>(outcome.result));
            continue;
        }
        event.deliver();
    }
}

void bap_respond_location_setting_check(const location_setting_check_rsp_message *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("location_setting_check_rsp_message is NULL");
        return;
    }
    Event event(CONSUMER_EVENT_LOCATION_SETTING_CHECK);
    event.record.setting_check.gps = static_cast<int32_t>(rsp->gps_settings);
    event.record.setting_check.wps = static_cast<int32_t>(rsp->wps_settings);
    event.deliver();
}

void bap_respond_location_setting_change(const location_setting_change_rsp_message *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("rsp_msg is NULL");
        return;
    }
    Event event(CONSUMER_EVENT_LOCATION_SETTING_CHANGE);
    event.record.setting_change.result = static_cast<int32_t>(rsp->result);
    event.deliver();
}

void bap_respond_ref_time(const ref_time_rsp_message *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("rsp is NULL");
        return;
    }
    Event event(CONSUMER_EVENT_REF_TIME);
    event.record.ref_time.result = static_cast<int32_t>(rsp->result);
    event.record.ref_time.reason = static_cast<int32_t>(rsp->reason);
    event.record.ref_time.ntp_time = rsp->ntptime;
    event.record.ref_time.method = static_cast<int32_t>(rsp->method);
    event.record.ref_time.uncertainty = static_cast<int32_t>(rsp->uncertainty);
    event.deliver();
}

void bap_respond_knt_info(int error, const exercise_info_rsp_data *rsp, int command)
{
    lbs_event_send_kinetra_info(__func__, g_bap_consumer_cb, g_bap_consumer_user_data, error, rsp, command);
}

int _bap_get_tracking_rsp_err_type(int64_t reason)
{
    // The phone's failure reasons mean the same on both links.
    return lbs_event_tracking_error(__func__, reason);
}
