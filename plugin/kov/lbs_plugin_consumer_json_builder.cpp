#include "lbs_plugin_consumer_json_builder.h"

#include "../lbs_plugin_consumer_log.h"

#include <glib.h>

#include <array>
#include <charconv>
#include <string>

namespace lbs::protocol {

namespace {

constexpr std::size_t kMaxArgs = 14; // the full exercise template

// The values of one rendering, in placeholder order.
struct ArgList {
    std::array<TemplateArg, kMaxArgs> values{};
    std::size_t count = 0;
    bool overflow = false;

    ArgList &text(const char *v) { return push(TemplateArg{std::in_place_index<0>, v}); }
    ArgList &num(std::int64_t v) { return push(TemplateArg{std::in_place_index<1>, v}); }
    ArgList &real(double v) { return push(TemplateArg{std::in_place_index<2>, v}); }
    std::span<const TemplateArg> span() const { return {values.data(), count}; }

private:
    ArgList &push(TemplateArg v)
    {
        if (count < values.size())
            values[count++] = v;
        else
            overflow = true;
        return *this;
    }
};

// Appends the six-decimal fixed form, with a point whatever the locale.
void append_real(std::string &out, double v)
{
    char buf[400]; // DBL_MAX has 309 integer digits
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    out.append(buf, r.ptr);
}

void append_int(std::string &out, std::int64_t v)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

} // namespace

char *render_request(const char *func, std::string_view tmpl, std::span<const TemplateArg> args)
{
    std::string out;
    out.reserve(tmpl.size() + 64);
    std::size_t next = 0;
    for (std::size_t i = 0; i < tmpl.size(); ++i) {
        if (tmpl[i] != '%') {
            out.push_back(tmpl[i]);
            continue;
        }
        std::string_view conv = tmpl.substr(i + 1, tmpl.compare(i + 1, 2, "lf") == 0 ? 2 : 1);
        i += conv.size();
        if (next >= args.size()) {
            LBS_LOGE_AS(func, "template needs more than [%zu] values", args.size());
            return nullptr;
        }
        const TemplateArg &arg = args[next++];
        if (conv == "s" && std::holds_alternative<const char *>(arg)) {
            const char *s = std::get<const char *>(arg);
            out.append(s != nullptr ? s : "(null)");
        } else if (conv == "d" && std::holds_alternative<std::int64_t>(arg)) {
            append_int(out, std::get<std::int64_t>(arg));
        } else if ((conv == "f" || conv == "lf") && std::holds_alternative<double>(arg)) {
            append_real(out, std::get<double>(arg));
        } else {
            LBS_LOGE_AS(func, "value [%zu] does not fit placeholder [%%%.*s]", next - 1, static_cast<int>(conv.size()),
                     conv.data());
            return nullptr;
        }
    }
    if (next != args.size()) {
        LBS_LOGE_AS(func, "template takes [%zu] values, given [%zu]", next, args.size());
        return nullptr;
    }
    return g_strndup(out.data(), out.size());
}

namespace {

constexpr std::string_view kTrackingStartGpsTemplate =
    "{\"msgId\": \"%s\",\"cmd\":%d, \"method\":%d, \"interval\":%d, \"batchingInterval\":%d}";
constexpr std::string_view kTrackingIntervalTemplate =
    "{\"msgId\": \"%s\",\"cmd\":%d, \"method\":%d, \"interval\":%d}";
constexpr std::string_view kTrackingBatchPeriodTemplate =
    "{\"msgId\": \"%s\",\"cmd\":%d, \"method\":%d, \"batchingInterval\":%d}";
constexpr std::string_view kTrackingStopTemplate = "{\"msgId\": \"%s\",\"cmd\":%d, \"method\":%d}";
constexpr std::string_view kGpsPlusTemplate = "{\"msgId\": \"%s\", \"method\":%d}";
constexpr std::string_view kSettingCheckTemplate = "{\"msgId\": \"%s\"}";
constexpr std::string_view kSettingChangeTemplate = "{\"msgId\": \"%s\", \"method\": %d}";
constexpr std::string_view kFullExerciseTemplate =
    "{\"msgId\": \"%s\",\"cmd\":%d, \"exerciseType\":%d, \"height\":%f, \"weight\":%f, "
    "\"basePressure\":%f, \"interval\":%d, \"pserviceType\":%d, \"coachingDistance\":%f, "
    "\"coachingCalorie\":%f, \"coachingSpeed\":%f, \"coachingDurationTime\":%d, \"userGender\":%d, "
    "\"userAge\":%d}";
constexpr std::string_view kCoachingExerciseTemplate =
    "{\"msgId\": \"%s\",\"cmd\":%d, \"exerciseType\":%d, \"height\":%f, \"weight\":%f, "
    "\"basePressure\":%f, \"interval\":%d, \"pserviceType\":%d, \"coachingDistance\":%f, "
    "\"coachingCalorie\":%f, \"coachingSpeed\":%f, \"coachingDurationTime\":%d}";
constexpr std::string_view kAutoPauseEnabledTemplate =
    "{\"msgId\": \"%s\",\"cmd\":%d, \"autoPauseEnabled\":%d}";
constexpr std::string_view kAutoPauseParameterTemplate =
    "{\"msgId\": \"%s\",\"cmd\":%d, \"speedThreshold\":%f, \"pauseWindow\":%d, \"resumeWindow\":%d}";
constexpr std::string_view kHereMapTemplate =
    "{\"msgId\": \"%s\",\"appId\":\"%s\", \"appCode\":\"%s\", \"width\":%d, \"height\":%d, "
    "\"centerLatitude\":%lf, \"centerLongitude\":%lf, \"zoomLevel\":%f, \"timeout\":%d}";
constexpr std::string_view kRefTimeTemplate = "{\"msgId\": \"%s\",\"method\":%d,\"timeout\":%d}";
constexpr std::string_view kPdcTemplate = "{\"msgId\": \"%s\",\"method\":%d}";

// What a request logs when its record is missing.
enum class MissingParam {
    Ignored,     // the request reads no record
    ParamIsNull, // "reqID:<name>, param is NULL"
    ParamNull,   // "reqID:<name>, param NULL"
};

struct RequestRow;
using FillFn = void (*)(const RequestRow &row, const void *param, ArgList &args);

struct RequestRow {
    int id;
    std::string_view name;
    const char *msg_id;
    std::string_view tmpl;
    int cmd;    // the "cmd" value, where the template has one
    int method; // the "method" value, where the template has a fixed one
    MissingParam missing;
    bool info_log; // the request names itself in an info line
    FillFn fill;
};

// Intervals go out raised to 1 when 0: the phone takes 0 as "never".
std::int64_t interval_floor(std::int32_t interval)
{
    return interval == 0 ? 1 : interval;
}

void fill_msg(const RequestRow &row, const void *, ArgList &a)
{
    a.text(row.msg_id);
}
void fill_method(const RequestRow &row, const void *, ArgList &a)
{
    a.text(row.msg_id).num(row.method);
}
void fill_cmd_method(const RequestRow &row, const void *, ArgList &a)
{
    a.text(row.msg_id).num(row.cmd).num(row.method);
}
void fill_tracking_start_gps(const RequestRow &row, const void *param, ArgList &a)
{
    auto *p = static_cast<const tracking_req_param *>(param);
    fill_cmd_method(row, param, a);
    a.num(interval_floor(p->interval)).num(p->batching_interval);
}
void fill_tracking_interval(const RequestRow &row, const void *param, ArgList &a)
{
    fill_cmd_method(row, param, a);
    a.num(interval_floor(static_cast<const tracking_req_param *>(param)->interval));
}
void fill_batch_period(const RequestRow &row, const void *param, ArgList &a)
{
    fill_cmd_method(row, param, a);
    a.num(*static_cast<const std::int32_t *>(param));
}
void fill_setting_change(const RequestRow &row, const void *param, ArgList &a)
{
    a.text(row.msg_id).num(static_cast<const location_setting_req_info *>(param)->setting);
}
// The six leading exercise values, all zero when k is NULL.
void fill_exercise_head(const RequestRow &row, const kinetra_req_info *k, ArgList &a)
{
    a.text(row.msg_id).num(row.cmd);
    if (k == nullptr)
        a.num(0).real(0.0).real(0.0).real(0.0);
    else
        a.num(k->exercise_type).real(k->height).real(k->weight).real(k->base_pressure);
}
void fill_coaching(const kinetra_req_info *k, ArgList &a)
{
    a.real(k->coaching_distance).real(k->coaching_calorie).real(k->coaching_speed).num(k->coaching_duration_time);
}
void fill_exercise_full(const RequestRow &row, const void *param, ArgList &a)
{
    auto *k = static_cast<const kinetra_req_info *>(param);
    fill_exercise_head(row, k, a);
    a.num(k->interval).num(k->pservice_type);
    fill_coaching(k, a);
    a.num(k->user_gender).num(k->user_age);
}
void fill_exercise_zero(const RequestRow &row, const void *, ArgList &a)
{
    fill_exercise_head(row, nullptr, a);
    a.num(0).num(0);
}
void fill_exercise_interval(const RequestRow &row, const void *param, ArgList &a)
{
    fill_exercise_head(row, nullptr, a);
    a.num(static_cast<const kinetra_req_info *>(param)->interval).num(0);
}
void fill_exercise_coaching(const RequestRow &row, const void *param, ArgList &a)
{
    fill_exercise_zero(row, param, a);
    fill_coaching(static_cast<const kinetra_req_info *>(param), a);
}
void fill_auto_pause_enabled(const RequestRow &row, const void *param, ArgList &a)
{
    a.text(row.msg_id).num(row.cmd).num(static_cast<const kinetra_req_info *>(param)->auto_pause_enabled);
}
void fill_auto_pause_parameter(const RequestRow &row, const void *param, ArgList &a)
{
    auto *k = static_cast<const kinetra_req_info *>(param);
    a.text(row.msg_id).num(row.cmd).real(k->speed_threshold).num(k->pause_window).num(k->resume_window);
}
void fill_here_map(const RequestRow &row, const void *param, ArgList &a)
{
    auto *m = static_cast<const here_map_req_info *>(param);
    a.text(row.msg_id).text(m->app_id).text(m->app_code).num(m->width).num(m->height);
    a.real(m->center_latitude).real(m->center_longitude).real(m->zoom_level).num(m->timeout);
}
void fill_ref_time(const RequestRow &row, const void *param, ArgList &a)
{
    // A 32-bit product, wrapping as the phone's side expects of a 32-bit field.
    auto ms = static_cast<std::uint32_t>(static_cast<const ref_time_req_info *>(param)->timeout) * 1000u;
    a.text(row.msg_id).num(row.method).num(static_cast<std::int32_t>(ms));
}

constexpr const char *kTracking = kTrackingMsgId;
constexpr const char *kExercise = kExerciseMsgId;
constexpr auto Ign = MissingParam::Ignored;
constexpr auto Req = MissingParam::ParamIsNull;

// clang-format off
constexpr std::array<RequestRow, 24> kRequests = {{
    {REQ_TRACKING_LOCATION_START_GPS, "REQ_TRACKING_LOCATION_START_GPS", kTracking, kTrackingStartGpsTemplate, 1, 1, Req, false, fill_tracking_start_gps},
    {REQ_TRACKING_LOCATION_START_WPS, "REQ_TRACKING_LOCATION_START_WPS", kTracking, kTrackingIntervalTemplate, 1, 2, Req, false, fill_tracking_interval},
    {REQ_TRACKING_LOCATION_STOP_GPS, "REQ_TRACKING_LOCATION_STOP_GPS", kTracking, kTrackingStopTemplate, 2, 1, Ign, false, fill_cmd_method},
    {REQ_TRACKING_LOCATION_STOP_WPS, "REQ_TRACKING_LOCATION_STOP_WPS", kTracking, kTrackingStopTemplate, 2, 2, Ign, false, fill_cmd_method},
    {REQ_GPS_PLUS_METHOD_1, "REQ_GPS_PLUS_METHOD_1", "lbs-gps-plus-req", kGpsPlusTemplate, 0, 1, Ign, false, fill_method},
    {REQ_GPS_PLUS_METHOD_2, "REQ_GPS_PLUS_METHOD_2", "lbs-gps-plus-req", kGpsPlusTemplate, 0, 2, Ign, false, fill_method},
    {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS, "REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS", kTracking, kTrackingIntervalTemplate, 3, 1, Req, false, fill_tracking_interval},
    {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, "REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS", kTracking, kTrackingIntervalTemplate, 3, 2, Req, false, fill_tracking_interval},
    {REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS, "REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS", kTracking, kTrackingBatchPeriodTemplate, 4, 1, Req, false, fill_batch_period},
    {REQ_PROVIDER_LOCATION_SETTING_CHECK, "REQ_PROVIDER_LOCATION_SETTING_CHECK", "lbs-location-setting-check-req", kSettingCheckTemplate, 0, 0, Ign, false, fill_msg},
    {REQ_PROVIDER_LOCATION_SETTING_CHANGE, "REQ_PROVIDER_LOCATION_SETTING_CHANGE", "lbs-switch-location-setting-req", kSettingChangeTemplate, 0, 0, Req, false, fill_setting_change},
    {REQ_KINETRA_START, "REQ_KINETRA_START", kExercise, kFullExerciseTemplate, 1, 0, Req, false, fill_exercise_full},
    {REQ_KINETRA_STOP, "REQ_KINETRA_STOP", kExercise, kShortExerciseTemplate, 2, 0, Ign, false, fill_exercise_zero},
    {REQ_KINETRA_PAUSE, "REQ_KINETRA_PAUSE", kExercise, kShortExerciseTemplate, 4, 0, Ign, false, fill_exercise_zero},
    {REQ_KINETRA_RESUME, "REQ_KINETRA_RESUME", kExercise, kShortExerciseTemplate, 5, 0, Ign, false, fill_exercise_zero},
    {REQ_KINETRA_RESTART, "REQ_KINETRA_RESTART", kExercise, kFullExerciseTemplate, 3, 0, Req, false, fill_exercise_full},
    {REQ_KINETRA_CHANGE_INTERVAL, "REQ_KINETRA_CHANGE_INTERVAL", kExercise, kShortExerciseTemplate, 6, 0, Req, false, fill_exercise_interval},
    {REQ_KINETRA_CHANGE_COACHING_SET, "REQ_KINETRA_CHANGE_COACHING_SET", kExercise, kCoachingExerciseTemplate, 7, 0, Req, false, fill_exercise_coaching},
    {REQ_HERE_MAP_IMAGE, "REQ_HERE_MAP_IMAGE", "lbs-here-map-req", kHereMapTemplate, 0, 0, Req, false, fill_here_map},
    {REQ_KINETRA_SET_AUTO_PAUSE_ENABLED, "REQ_KINETRA_SET_AUTO_PAUSE_ENABLED", kExercise, kAutoPauseEnabledTemplate, 8, 0, Req, false, fill_auto_pause_enabled},
    {REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, "REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER", kExercise, kAutoPauseParameterTemplate, 9, 0, Req, false, fill_auto_pause_parameter},
    {REQ_GET_REF_TIME, "REQ_GET_REF_TIME", "lbs-ntp-time-req", kRefTimeTemplate, 0, 1, MissingParam::ParamNull, true, fill_ref_time},
    {REQ_PDC_INFO_START, "REQ_PDC_INFO_START", "lbs-pdc-info-req", kPdcTemplate, 0, 1, Ign, true, fill_method},
    {REQ_PDC_INFO_STOP, "REQ_PDC_INFO_STOP", "lbs-pdc-info-req", kPdcTemplate, 0, 2, Ign, true, fill_method},
}};
// clang-format on

constexpr bool rows_follow_ids()
{
    for (std::size_t i = 0; i < kRequests.size(); ++i)
        if (kRequests[i].id != kFirstRequest + static_cast<int>(i))
            return false;
    return kRequests.size() == kLastRequest - kFirstRequest + 1;
}
static_assert(rows_follow_ids(), "one row per request identifier, in identifier order");

const RequestRow *find_row(int req_id)
{
    if (req_id < kFirstRequest || req_id > kLastRequest)
        return nullptr;
    return &kRequests[static_cast<std::size_t>(req_id - kFirstRequest)];
}

} // namespace

std::string_view req_id_name(int req_id)
{
    const RequestRow *row = find_row(req_id);
    return row != nullptr ? row->name : std::string_view{};
}

char *generate_request(const char *func, int req_id, const void *param)
{
    const RequestRow *row = find_row(req_id);
    if (row == nullptr)
        return nullptr;

    const int name_len = static_cast<int>(row->name.size());
    if (param == nullptr && row->missing != MissingParam::Ignored) {
        if (row->missing == MissingParam::ParamNull)
            LBS_LOGE_AS(func, "reqID:%.*s, param NULL", name_len, row->name.data());
        else
            LBS_LOGE_AS(func, "reqID:%.*s, param is NULL", name_len, row->name.data());
        return nullptr;
    }
    if (row->info_log)
        LBS_LOGI_AS(func, "%.*s", name_len, row->name.data());

    ArgList args;
    row->fill(*row, param, args);
    if (args.overflow) {
        LBS_LOGE_AS(func, "%.*s has more values than any template", name_len, row->name.data());
        return nullptr;
    }
    return render_request(func, row->tmpl, args.span());
}

} // namespace lbs::protocol

char *generate_req_message(int req_id, const void *param)
{
    return lbs::protocol::generate_request(__func__, req_id, param);
}
