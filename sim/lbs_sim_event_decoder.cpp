#include "lbs_sim_event_decoder.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace lbs_sim {
namespace {

struct Named {
    int value;
    std::string_view name;
};

constexpr std::array<Named, 18> kEventTypes = {{
    {CONSUMER_EVENT_START_SESSION, "START_SESSION"},
    {CONSUMER_EVENT_STOP_SESSION, "STOP_SESSION"},
    {CONSUMER_EVENT_CHANGE_INTERVAL, "CHANGE_INTERVAL"},
    {CONSUMER_EVENT_CHANGE_BATCH_PERIOD, "CHANGE_BATCH_PERIOD"},
    {CONSUMER_EVENT_POSITION_GPS, "POSITION_GPS"},
    {CONSUMER_EVENT_POSITION_WPS, "POSITION_WPS"},
    {CONSUMER_EVENT_LOCATION_SETTING_CHECK, "LOCATION_SETTING_CHECK"},
    {CONSUMER_EVENT_LOCATION_SETTING_CHANGE, "LOCATION_SETTING_CHANGE"},
    {CONSUMER_EVENT_BATCH_POSITION, "BATCH_POSITION"},
    {CONSUMER_EVENT_EXTRA_DATA, "EXTRA_DATA"},
    {CONSUMER_EVENT_HERE_MAP_DOWNLOAD, "HERE_MAP_DOWNLOAD"},
    {CONSUMER_EVENT_REF_TIME, "REF_TIME"},
    {CONSUMER_EVENT_PROVIDER_CONNECTED, "PROVIDER_CONNECTED"},
    {CONSUMER_EVENT_PROVIDER_DISCONNECTED, "PROVIDER_DISCONNECTED"},
    {CONSUMER_EVENT_KINETRA_INFO, "KINETRA_INFO"},
    {CONSUMER_EVENT_KINETRA_STOPPED, "KINETRA_STOPPED"},
    {CONSUMER_EVENT_KINETRA_PAUSED, "KINETRA_PAUSED"},
    {CONSUMER_EVENT_PDC_INFO, "PDC_INFO"},
}};

constexpr std::array<Named, 15> kErrors = {{
    {CONSUMER_ERR_NONE, "NONE"},
    {CONSUMER_ERR_OUT_OF_MEMORY, "OUT_OF_MEMORY"},
    {CONSUMER_ERR_INVALID_PARAMETER, "INVALID_PARAMETER"},
    {CONSUMER_ERR_SYSTEM, "SYSTEM"},
    {CONSUMER_ERR_TEMPORARY_NOT_AVAILABLE, "TEMPORARY_NOT_AVAILABLE"},
    {CONSUMER_ERR_NETWORK_SERVICE_DISABLED, "NETWORK_SERVICE_DISABLED"},
    {CONSUMER_ERR_TIMEOUT, "TIMEOUT"},
    {CONSUMER_ERR_LOCATION_SETTING_OFF, "LOCATION_SETTING_OFF"},
    {CONSUMER_ERR_LOCATION_SETTING_ON, "LOCATION_SETTING_ON"},
    {CONSUMER_ERR_LOCATION_NO_SERVICE, "LOCATION_NO_SERVICE"},
    {CONSUMER_ERR_GPS_STATUS_CHANGED, "GPS_STATUS_CHANGED"},
    {CONSUMER_ERR_COMMUNICATION, "COMMUNICATION"},
    {CONSUMER_ERR_LOCATION_PROVIDER_DISCONNECTED, "LOCATION_PROVIDER_DISCONNECTED"},
    {CONSUMER_ERR_INVALID_KINETRA_COMMAND, "INVALID_KINETRA_COMMAND"},
    {CONSUMER_ERR_UNKNOWN, "UNKNOWN"},
}};

template <size_t N> std::string_view lookup(const std::array<Named, N> &table, int value)
{
    for (const Named &n : table)
        if (n.value == value)
            return n.name;
    return {};
}

std::string num(long long v)
{
    return std::to_string(v);
}

std::vector<Field> position_fields(const consumer_position &p)
{
    return {
        {"ts", num(p.timestamp)},
        {"lat", format_double(p.latitude)},
        {"lon", format_double(p.longitude)},
        {"alt", format_double(p.altitude)},
        {"speed", format_double(p.speed)},
        {"bearing", format_double(p.bearing)},
        {"hacc", format_double(p.hor_accuracy)},
        {"vacc", format_double(p.ver_accuracy)},
    };
}

std::vector<Field> exercise_fields(const consumer_exercise_info &e)
{
    return {
        {"timestamp", num(e.timestamp)},
        {"latitude", format_double(e.latitude)},
        {"longitude", format_double(e.longitude)},
        {"totalDistance", format_float(e.total_distance)},
        {"inclineDistance", format_float(e.incline_distance)},
        {"declineDistance", format_float(e.decline_distance)},
        {"flatDistance", format_float(e.flat_distance)},
        {"inclineTime", num(e.incline_time)},
        {"declineTime", num(e.decline_time)},
        {"flatTime", num(e.flat_time)},
        {"altitude", format_float(e.altitude)},
        {"maxAltitude", format_float(e.max_altitude)},
        {"minAltitude", format_float(e.min_altitude)},
        {"speed", format_float(e.speed)},
        {"maxSpeed", format_float(e.max_speed)},
        {"averageSpeed", format_float(e.average_speed)},
        {"pace", format_float(e.pace)},
        {"maxPace", format_float(e.max_pace)},
        {"averagePace", format_float(e.average_pace)},
        {"consumedCalorie", format_float(e.consumed_calorie)},
        {"stepCount", num(e.step_count)},
        {"basePressure", format_float(e.base_pressure)},
        {"gpsStatus", num(e.gps_status)},
        {"accuracy", format_float(e.accuracy)},
        {"durationTime", num(e.duration_time)},
        {"movingTime", num(e.moving_time)},
        {"autoPauseStatus", num(e.auto_pause_status)},
        {"stepCadence", format_float(e.step_cadence)},
    };
}

bool is_path_char(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.';
}

void replace_all(std::string &s, std::string_view from, std::string_view to, bool whole_name)
{
    size_t pos = 0;
    while ((pos = s.find(from, pos)) != std::string::npos) {
        const size_t end = pos + from.size();
        if (whole_name && end < s.size() && (is_path_char(s[end]) || s[end] == '/')) {
            pos = end;
            continue;
        }
        s.replace(pos, from.size(), to);
        pos += to.size();
    }
}

} // namespace

PathStyle::PathStyle(std::vector<std::string> dirs)
{
    for (std::string &d : dirs) {
        if (d.empty())
            continue;
        if (d.back() != '/')
            d += '/';
        if (std::find(dirs_.begin(), dirs_.end(), d) == dirs_.end())
            dirs_.push_back(std::move(d));
    }
    std::stable_sort(dirs_.begin(), dirs_.end(),
                     [](const std::string &a, const std::string &b) { return a.size() > b.size(); });
}

std::string PathStyle::rewrite(std::string_view text) const
{
    std::string s(text);
    for (const std::string &d : dirs_)
        replace_all(s, d, "$EXTRA/", false);
    // The directory named on its own, as a log line may name it.
    for (const std::string &d : dirs_)
        if (d.size() > 1)
            replace_all(s, std::string_view(d).substr(0, d.size() - 1), "$EXTRA", true);
    return s;
}

std::string PathStyle::path(const char *p) const
{
    return p == nullptr ? "NULL" : rewrite(p);
}

std::string expand_extra(std::string_view path, std::string_view dir)
{
    constexpr std::string_view kPrefix = "$EXTRA/";
    if (path.substr(0, kPrefix.size()) != kPrefix)
        return std::string(path);
    std::string out(dir);
    if (out.empty() || out.back() != '/')
        out += '/';
    out += path.substr(kPrefix.size());
    return out;
}

std::string format_double(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

std::string format_float(float v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

std::string_view event_type_name(int type)
{
    return lookup(kEventTypes, type);
}

std::string_view error_name(int error)
{
    return lookup(kErrors, error);
}

DecodedEvent decode_event(const lbs_consumer_event_s &ev, const PathStyle &paths)
{
    DecodedEvent d;
    d.type = ev.type;
    d.error = ev.error;
    const std::string_view name = event_type_name(ev.type);
    d.name = name.empty() ? num(ev.type) : std::string(name);

    switch (ev.type) {
    case CONSUMER_EVENT_START_SESSION:
    case CONSUMER_EVENT_STOP_SESSION:
    case CONSUMER_EVENT_CHANGE_INTERVAL:
    case CONSUMER_EVENT_CHANGE_BATCH_PERIOD:
        d.fields = {{"method", num(ev.session.method)}};
        break;
    case CONSUMER_EVENT_POSITION_GPS:
    case CONSUMER_EVENT_POSITION_WPS:
        d.fields = position_fields(ev.position.pos);
        break;
    case CONSUMER_EVENT_LOCATION_SETTING_CHECK:
        d.fields = {{"gps", num(ev.setting_check.gps)}, {"wps", num(ev.setting_check.wps)}};
        break;
    case CONSUMER_EVENT_LOCATION_SETTING_CHANGE:
        d.fields = {{"result", num(ev.setting_change.result)}};
        break;
    case CONSUMER_EVENT_BATCH_POSITION: {
        d.fields = {{"count", num(ev.batch.count)}};
        // The record has room for 150 entries and no more.
        const int n = std::clamp(ev.batch.count, 0, LBS_CONSUMER_MAX_BATCH_POSITIONS);
        for (int i = 0; i < n; ++i)
            d.entries.push_back(position_fields(ev.batch.pos[i]));
        break;
    }
    case CONSUMER_EVENT_EXTRA_DATA:
    case CONSUMER_EVENT_HERE_MAP_DOWNLOAD:
        d.fields = {{"path", paths.path(ev.file.path)}};
        break;
    case CONSUMER_EVENT_REF_TIME: {
        char ntp[32];
        std::snprintf(ntp, sizeof ntp, "%" PRId64, ev.ref_time.ntp_time);
        d.fields = {{"result", num(ev.ref_time.result)},
                    {"reason", num(ev.ref_time.reason)},
                    {"ntptime", ntp},
                    {"method", num(ev.ref_time.method)},
                    {"uncertainty", num(ev.ref_time.uncertainty)}};
        break;
    }
    case CONSUMER_EVENT_KINETRA_INFO:
    case CONSUMER_EVENT_KINETRA_STOPPED:
    case CONSUMER_EVENT_KINETRA_PAUSED:
        d.fields = {{"count", num(ev.kinetra.count)}};
        if (ev.kinetra.info != nullptr)
            for (int i = 0; i < ev.kinetra.count; ++i)
                d.entries.push_back(exercise_fields(ev.kinetra.info[i]));
        break;
    case CONSUMER_EVENT_PDC_INFO: {
        d.fields = {{"count", num(ev.pdc.count)}};
        // The values run on past the named array up to the end of the record.
        constexpr int kRoom =
            static_cast<int>((sizeof(lbs_consumer_event_s) - offsetof(lbs_consumer_event_s, pdc.values)) / 4);
        const int n = std::clamp(ev.pdc.count, 0, kRoom);
        const auto *base = reinterpret_cast<const unsigned char *>(&ev) + offsetof(lbs_consumer_event_s, pdc.values);
        std::string values;
        for (int i = 0; i < n; ++i) {
            int32_t v = 0;
            std::memcpy(&v, base + 4 * i, sizeof v);
            values += (i == 0 ? "" : ",") + num(v);
        }
        d.fields.push_back({"values", values});
        break;
    }
    default:
        break;
    }
    return d;
}

} // namespace lbs_sim
