#include "lbs_plugin_consumer_event.h"

#include "lbs_plugin_consumer_common.h"
#include "lbs_plugin_consumer_log.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

namespace {

struct InternalRow {
    int internal_code;
    lbs_error_entry entry;
};

constexpr std::array<InternalRow, 9> kInternalErrors{{
    {LBS_CONSUMER_PLUGIN_ERROR_NONE, {CONSUMER_ERR_NONE, "CONSUMER_ERR_NONE"}},
    {LBS_CONSUMER_PLUGIN_ERROR_OUT_OF_MEMORY, {CONSUMER_ERR_OUT_OF_MEMORY, "CONSUMER_ERR_OUT_OF_MEMORY"}},
    {LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER, {CONSUMER_ERR_INVALID_PARAMETER, "CONSUMER_ERR_INVALID_PARAMETER"}},
    {LBS_CONSUMER_PLUGIN_ERROR_SYSTEM, {CONSUMER_ERR_SYSTEM, "CONSUMER_ERR_SYSTEM"}},
    {LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED,
     {CONSUMER_ERR_LOCATION_PROVIDER_DISCONNECTED, "CONSUMER_ERR_LOCATION_PROVIDER_DISCONNECTED"}},
    {LBS_CONSUMER_PLUGIN_ERROR_COMMUNICATION, {CONSUMER_ERR_COMMUNICATION, "CONSUMER_ERR_COMMUNICATION"}},
    {LBS_CONSUMER_PLUGIN_ERROR_NOT_SENT, {CONSUMER_ERR_COMMUNICATION, "CONSUMER_ERR_COMMUNICATION"}},
    {LBS_CONSUMER_PLUGIN_ERROR_NO_DATA, {CONSUMER_ERR_SYSTEM, "CONSUMER_ERR_SYSTEM"}},
    {LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND,
     {CONSUMER_ERR_INVALID_KINETRA_COMMAND, "CONSUMER_ERR_INVALID_KINETRA_COMMAND"}},
}};

struct ReasonRow {
    int64_t reason;
    lbs_error_entry entry;
};

// The phone's tracking failure reasons.
constexpr std::array<ReasonRow, 4> kTrackingReasons{{
    {1, {CONSUMER_ERR_TIMEOUT, "CONSUMER_ERR_TIMEOUT"}},
    {2, {CONSUMER_ERR_LOCATION_SETTING_OFF, "CONSUMER_ERR_LOCATION_SETTING_OFF"}},
    {3, {CONSUMER_ERR_LOCATION_SETTING_ON, "CONSUMER_ERR_LOCATION_SETTING_ON"}},
    {4, {CONSUMER_ERR_LOCATION_NO_SERVICE, "CONSUMER_ERR_LOCATION_NO_SERVICE"}},
}};

// The status values a GPS-status report carries in its reason.
constexpr std::array<ReasonRow, 5> kGpsStatuses{{
    {3, {GPS_STATUS_UNAVILABLE, "GPS_STATUS_UNAVILABLE"}},
    {4, {GPS_STATUS_WEAK, "GPS_STATUS_WEAK"}},
    {5, {GPS_STATUS_OK, "GPS_STATUS_OK"}},
    {6, {GPS_STATUS_STRONG, "GPS_STATUS_STRONG"}},
    {7, {GPS_STATUS_OFF, "GPS_STATUS_OFF"}},
}};

template <std::size_t N>
lbs_error_entry find_reason(const std::array<ReasonRow, N> &table, int64_t reason, int fallback)
{
    for (const ReasonRow &row : table)
        if (row.reason == reason)
            return row.entry;
    return {fallback, nullptr};
}

// The phone's millisecond time as the host's 32-bit seconds: divided as an
// unsigned 64-bit value, as the host has always read these times, and cut to
// the low 32 bits the record holds.
uint32_t to_seconds(int64_t milliseconds)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(milliseconds) / 1000u);
}

// A duration in seconds as a 32-bit integer, truncated toward zero. Values
// the integer cannot hold saturate, and NaN gives 0, so that no phone value
// reaches an undefined conversion.
int32_t to_int32_truncated(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483648.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483649.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

float narrow(double value)
{
    static_assert(std::numeric_limits<float>::is_iec559, "out-of-range values must round to infinity");
    return static_cast<float>(value);
}

int kinetra_event_type(int command)
{
    switch (command) {
    case KINETRA_CMD_START:
    case KINETRA_CMD_RESTART:
    case KINETRA_CMD_RESUME:
        return CONSUMER_EVENT_KINETRA_INFO;
    case KINETRA_CMD_STOP:
        return CONSUMER_EVENT_KINETRA_STOPPED;
    case KINETRA_CMD_PAUSE:
        return CONSUMER_EVENT_KINETRA_PAUSED;
    default:
        return -1;
    }
}

struct FreeDeleter {
    void operator()(consumer_exercise_info *block) const { std::free(block); }
};
using EntryBlock = std::unique_ptr<consumer_exercise_info, FreeDeleter>;

EntryBlock allocate_entries(std::size_t count)
{
    return EntryBlock(static_cast<consumer_exercise_info *>(std::calloc(count, sizeof(consumer_exercise_info))));
}

} // namespace

lbs_error_entry lbs_event_internal_error(int internal_code)
{
    for (const InternalRow &row : kInternalErrors)
        if (row.internal_code == internal_code)
            return row.entry;
    return {CONSUMER_ERR_UNKNOWN, "CONSUMER_ERR_UNKNOWN"};
}

lbs_error_entry lbs_event_tracking_reason_error(int64_t reason)
{
    return find_reason(kTrackingReasons, reason, CONSUMER_ERR_UNKNOWN);
}

int lbs_event_convert_error(const char *func, int internal_code)
{
    const lbs_error_entry entry = lbs_event_internal_error(internal_code);
    LBS_LOGE_AS(func, "[%s][%d] LBS Consumer Plugin Error [%d]", entry.name, entry.code, internal_code);
    return entry.code;
}

int lbs_event_tracking_error(const char *func, int64_t reason)
{
    const lbs_error_entry entry = lbs_event_tracking_reason_error(reason);
    if (entry.name != nullptr)
        LBS_LOGE_AS(func, "%s", entry.name);
    else
        LBS_LOGE_AS(func, "unhandled error reason [%lld]", static_cast<long long>(reason));
    return entry.code;
}

lbs_error_entry lbs_event_gps_status(int64_t reason)
{
    return find_reason(kGpsStatuses, reason, GPS_STATUS_UNKNOWN);
}

void lbs_event_fill_position(consumer_position *out, const loc_tracking_rsp_message *in)
{
    out->timestamp = to_seconds(in->timestamp);
    out->latitude = in->latitude;
    out->longitude = in->longitude;
    out->altitude = in->altitude;
    out->speed = in->speed;
    out->bearing = in->bearing;
    out->hor_accuracy = in->h_accuracy;
    out->ver_accuracy = in->v_accuracy;
}

void lbs_event_fill_exercise_info(consumer_exercise_info *out, const exercise_info *in)
{
    out->timestamp = to_seconds(in->timestamp);
    out->latitude = in->latitude;
    out->longitude = in->longitude;
    out->total_distance = narrow(in->total_distance);
    out->incline_distance = narrow(in->incline_distance);
    out->decline_distance = narrow(in->decline_distance);
    out->flat_distance = narrow(in->flat_distance);
    out->incline_time = static_cast<int32_t>(in->incline_time);
    out->decline_time = static_cast<int32_t>(in->decline_time);
    out->flat_time = static_cast<int32_t>(in->flat_time);
    out->altitude = narrow(in->altitude);
    out->max_altitude = narrow(in->max_altitude);
    out->min_altitude = narrow(in->min_altitude);
    out->speed = narrow(in->speed);
    out->max_speed = narrow(in->max_speed);
    out->average_speed = narrow(in->average_speed);
    out->pace = narrow(in->pace);
    out->max_pace = narrow(in->max_pace);
    out->average_pace = narrow(in->average_pace);
    out->consumed_calorie = narrow(in->consumed_calorie);
    out->step_count = static_cast<int32_t>(in->step_count);
    out->base_pressure = narrow(in->base_pressure);
    out->gps_status = static_cast<int32_t>(in->gps_status);
    out->accuracy = narrow(in->accuracy);
    out->duration_time = to_int32_truncated(in->duration_time);
    out->moving_time = to_int32_truncated(in->moving_time);
    out->auto_pause_status = static_cast<int32_t>(in->auto_pause_status);
    out->step_cadence = narrow(in->step_cadence);
}

void lbs_event_send_kinetra_info(const char *func, lbs_consumer_event_cb cb, void *user_data, int error,
                                 const exercise_info_rsp_data *rsp, int command)
{
    const int type = kinetra_event_type(command);
    if (type < 0) {
        LBS_LOGE_AS(func, "error!! Do not handle cmd [%d]", command);
        return;
    }

    lbs_consumer_event_s event;
    std::memset(&event, 0, sizeof event);
    event.type = type;
    event.error = error;

    EntryBlock entries;
    if (error == CONSUMER_ERR_GPS_STATUS_CHANGED) {
        // A report that the phone's GPS status changed: one entry that carries
        // only the new status.
        if (rsp == nullptr) {
            LBS_LOGE_AS(func, "exercise_info_rsp_data is NULL");
            return;
        }
        entries = allocate_entries(1);
        if (!entries) {
            LBS_LOGE_AS(func, "Failed to allocate memory for exercise_info");
            return;
        }
        const lbs_error_entry status = lbs_event_gps_status(rsp->reason);
        if (status.name != nullptr)
            LBS_LOGI_AS(func, "%s", status.name);
        else
            LBS_LOGW_AS(func, "Unhandled gps status value [%d]", static_cast<int>(rsp->reason));
        entries.get()->gps_status = status.code;
        event.kinetra.count = 1;
    } else if (error == CONSUMER_ERR_NONE) {
        // Exercise figures. A record that claims entries it does not hold is
        // refused like a missing one.
        if (rsp == nullptr || (rsp->p_exercise_info == nullptr && rsp->num_of_exercise_info > 0)) {
            LBS_LOGE_AS(func, "exercise_info_rsp_data is NULL");
            return;
        }
        const uint32_t count = rsp->num_of_exercise_info;
        if (count > 0) {
            entries = allocate_entries(count);
            if (!entries) {
                LBS_LOGE_AS(func, "Failed to allocate memory for exercise_info");
                return;
            }
            for (uint32_t i = 0; i < count; ++i)
                lbs_event_fill_exercise_info(entries.get() + i, rsp->p_exercise_info + i);
        }
        event.kinetra.count = static_cast<int32_t>(count);
    }
    // Any other error reports only itself: no entries.
    event.kinetra.info = entries.get();

    if (cb != nullptr)
        cb(&event, user_data);
}

void lbs_event_handle_kinetra_reply(const char *func, const exercise_info_rsp_data *rsp, int state, int last_cmd,
                                    lbs_kinetra_responder respond)
{
    if (rsp == nullptr) {
        LBS_LOGE_AS(func, "Invalid parameter.");
        return;
    }
    switch (rsp->result) {
    case 1:
        LBS_LOGE_AS(func, "LBS_VALUE_RESULT_OK. cmd [%d]", last_cmd);
        // Figures only matter to the host while its session runs.
        if (state != KINETRA_STATE_RUNNING) {
            LBS_LOGE_AS(func, "Do not handle. current_state [%d], last_cmd [%d]", state, last_cmd);
            return;
        }
        if (rsp->p_exercise_info == nullptr) {
            LBS_LOGE_AS(func, "rsp_info->p_exercise_info is NULL");
            return;
        }
        respond(CONSUMER_ERR_NONE, rsp, last_cmd);
        return;
    case 2: {
        // The phone refused or could not serve the last command.
        int error = CONSUMER_ERR_UNKNOWN;
        if (rsp->reason == 1) {
            LBS_LOGE_AS(func, "LBS_VALUE_KINETRA_INVALID_COMMAND");
            error = CONSUMER_ERR_INVALID_KINETRA_COMMAND;
        } else if (rsp->reason == 2) {
            LBS_LOGE_AS(func, "LBS_VALUE_KINETRA_INSUFFICIENT_CONDITION_FOR_SERVICE");
            if (state == KINETRA_STATE_RUNNING)
                error = CONSUMER_ERR_LOCATION_SETTING_OFF;
            else
                LBS_LOGE_AS(func, "Unknown reason [%lld]", static_cast<long long>(rsp->reason));
        } else {
            LBS_LOGE_AS(func, "Unknown reason [%lld]", static_cast<long long>(rsp->reason));
        }
        respond(error, nullptr, last_cmd);
        return;
    }
    case 3:
        LBS_LOGE_AS(func, "GPS status changed to [%lld]", static_cast<long long>(rsp->reason));
        respond(CONSUMER_ERR_GPS_STATUS_CHANGED, rsp, last_cmd);
        return;
    default:
        LBS_LOGE_AS(func, "Critical. Undefined result received from RavErodurad.[%lld]",
                    static_cast<long long>(rsp->result));
        return;
    }
}
