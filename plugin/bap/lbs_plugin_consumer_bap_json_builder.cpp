#include "lbs_plugin_consumer_bap_json_builder.h"

#include "../lbs_plugin_consumer_log.h"

#include <glib.h>

#include <array>

namespace {

using lbs::protocol::TemplateArg;

constexpr std::string_view kTrackingStartTemplate = "{\"msgId\": \"%s\",\"cmd\":%d, \"accuracy\":%d}";
constexpr std::string_view kTrackingStopTemplate = "{\"msgId\": \"%s\",\"cmd\":%d}";
constexpr int kTrackingAccuracy = 2; // the phone's accuracy for either method

enum class Rule {
    Shared,           // rendered exactly as on the first link
    SharedNamed,      // the same, after an info line naming the request
    Unsupported,      // this link has no such request: NULL, no log
    StartTracking,    // one phone session for both methods
    StopTracking,     // the phone session ends with the last method
    ExerciseNoCoaching, // start and restart: the short template with the record's values
};

// One of the two methods that share the phone's tracking session.
struct Method {
    const char *name;
    const char *other_name;
    int lbs_plugin_consumer_bap_s::*started;
    int lbs_plugin_consumer_bap_s::*other_started;
};

constexpr Method kGps = {"GPS", "WPS", &lbs_plugin_consumer_bap_s::gps_started, &lbs_plugin_consumer_bap_s::wps_started};
constexpr Method kWps = {"WPS", "GPS", &lbs_plugin_consumer_bap_s::wps_started, &lbs_plugin_consumer_bap_s::gps_started};

struct BapRow {
    int id;
    Rule rule;
    const Method *method; // tracking start and stop
    int cmd;              // exercise start and restart
};

// clang-format off
constexpr std::array<BapRow, 22> kBapRequests = {{
    {REQ_TRACKING_LOCATION_START_GPS, Rule::StartTracking, &kGps, 0},
    {REQ_TRACKING_LOCATION_START_WPS, Rule::StartTracking, &kWps, 0},
    {REQ_TRACKING_LOCATION_STOP_GPS, Rule::StopTracking, &kGps, 0},
    {REQ_TRACKING_LOCATION_STOP_WPS, Rule::StopTracking, &kWps, 0},
    {REQ_GPS_PLUS_METHOD_1, Rule::Shared, nullptr, 0},
    {REQ_GPS_PLUS_METHOD_2, Rule::Shared, nullptr, 0},
    {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS, Rule::Shared, nullptr, 0},
    {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, Rule::Shared, nullptr, 0},
    {REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS, Rule::Unsupported, nullptr, 0},
    {REQ_PROVIDER_LOCATION_SETTING_CHECK, Rule::Shared, nullptr, 0},
    {REQ_PROVIDER_LOCATION_SETTING_CHANGE, Rule::Shared, nullptr, 0},
    {REQ_KINETRA_START, Rule::ExerciseNoCoaching, nullptr, 1},
    {REQ_KINETRA_STOP, Rule::Shared, nullptr, 0},
    {REQ_KINETRA_PAUSE, Rule::Shared, nullptr, 0},
    {REQ_KINETRA_RESUME, Rule::Shared, nullptr, 0},
    {REQ_KINETRA_RESTART, Rule::ExerciseNoCoaching, nullptr, 3},
    {REQ_KINETRA_CHANGE_INTERVAL, Rule::Shared, nullptr, 0},
    {REQ_KINETRA_CHANGE_COACHING_SET, Rule::SharedNamed, nullptr, 0},
    {REQ_HERE_MAP_IMAGE, Rule::Unsupported, nullptr, 0},
    {REQ_KINETRA_SET_AUTO_PAUSE_ENABLED, Rule::Unsupported, nullptr, 0},
    {REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, Rule::Unsupported, nullptr, 0},
    {REQ_GET_REF_TIME, Rule::Shared, nullptr, 0},
}};
// clang-format on

constexpr bool rows_follow_ids()
{
    for (std::size_t i = 0; i < kBapRequests.size(); ++i)
        if (kBapRequests[i].id != lbs::protocol::kFirstRequest + static_cast<int>(i))
            return false;
    return kBapRequests.back().id == REQ_GET_REF_TIME;
}
static_assert(rows_follow_ids(), "one row per request identifier, in identifier order");

char *empty_text()
{
    return g_strdup("");
}

// Logs the missing record the way the first link does for the same request.
bool has_param(const char *func, int req_id, const void *param)
{
    if (param != nullptr)
        return true;
    std::string_view name = lbs::protocol::req_id_name(req_id);
    LBS_LOGE_AS(func, "reqID:%.*s, param is NULL", static_cast<int>(name.size()), name.data());
    return false;
}

char *start_tracking(const char *func, const Method &m, lbs_plugin_consumer_bap_s &bap)
{
    if (bap.*m.other_started == 1) {
        LBS_LOGI_AS(func, "%s already running. Skip request", m.other_name);
        return empty_text();
    }
    const std::array<TemplateArg, 3> args = {lbs::protocol::kTrackingMsgId, std::int64_t{1},
                                             std::int64_t{kTrackingAccuracy}};
    return lbs::protocol::render_request(func, kTrackingStartTemplate, args);
}

char *stop_tracking(const char *func, const Method &m, lbs_plugin_consumer_bap_s &bap)
{
    if (bap.*m.other_started == 1) {
        LBS_LOGI_AS(func, "%s will be stopped but %s is running yet.", m.name, m.other_name);
        bap.*m.started = 0;
        return empty_text();
    }
    LBS_LOGI_AS(func, "%s will be stopped.", m.name);
    const std::array<TemplateArg, 2> args = {lbs::protocol::kTrackingMsgId, std::int64_t{2}};
    return lbs::protocol::render_request(func, kTrackingStopTemplate, args);
}

char *exercise_no_coaching(const char *func, int cmd, const kinetra_req_info &k)
{
    const std::array<TemplateArg, 8> args = {
        lbs::protocol::kExerciseMsgId, std::int64_t{cmd},        std::int64_t{k.exercise_type},
        double{k.height},              double{k.weight},         double{k.base_pressure},
        std::int64_t{k.interval},      std::int64_t{k.pservice_type},
    };
    return lbs::protocol::render_request(func, lbs::protocol::kShortExerciseTemplate, args);
}

} // namespace

char *bap_generate_req_message(int req_id, lbs_plugin_consumer_bap_s *bap_data)
{
    if (bap_data == nullptr) {
        LBS_LOGE("bap_data is NULL");
        return nullptr;
    }
    if (req_id < lbs::protocol::kFirstRequest || req_id > REQ_GET_REF_TIME)
        return nullptr;

    const BapRow &row = kBapRequests[static_cast<std::size_t>(req_id - lbs::protocol::kFirstRequest)];
    const void *param = bap_data->req_data;
    switch (row.rule) {
    case Rule::Unsupported:
        return nullptr;
    case Rule::SharedNamed:
        LBS_LOGI("reqID:%.*s", static_cast<int>(lbs::protocol::req_id_name(req_id).size()),
                 lbs::protocol::req_id_name(req_id).data());
        return lbs::protocol::generate_request(__func__, req_id, param);
    case Rule::Shared:
        return lbs::protocol::generate_request(__func__, req_id, param);
    case Rule::StartTracking:
        // The record is required although nothing of it is sent.
        return has_param(__func__, req_id, param) ? start_tracking(__func__, *row.method, *bap_data) : nullptr;
    case Rule::StopTracking:
        return stop_tracking(__func__, *row.method, *bap_data);
    case Rule::ExerciseNoCoaching:
        return has_param(__func__, req_id, param)
                   ? exercise_no_coaching(__func__, row.cmd, *static_cast<const kinetra_req_info *>(param))
                   : nullptr;
    }
    return nullptr;
}
