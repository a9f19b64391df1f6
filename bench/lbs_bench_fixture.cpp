#include "lbs_bench_fixture.h"

#include "kov/lbs_plugin_consumer_json_builder.h"
#include "kov/lbs_plugin_consumer_main.h"

#include <alarmmgr_control.h>
#include <device_power_control.h>
#include <dlog_control.h>
#include <kov_client_control.h>
#include <vconf_control.h>

#include <glib.h>
#include <json-glib/json-glib.h>

#include <array>
#include <cstdio>
#include <cstring>

namespace lbs_bench {

namespace {

constexpr unsigned kAgentId = 7;
constexpr unsigned short kChannel = 169;

HostView g_view;

int on_host_event(lbs_consumer_event_s *ev, void *)
{
    ++g_view.events;
    g_view.last_type = ev->type;
    if (ev->type == CONSUMER_EVENT_BATCH_POSITION) {
        g_view.last_count = ev->batch.count;
        if (ev->batch.count > 0)
            g_view.last_latitude = ev->batch.pos[ev->batch.count - 1].latitude;
    } else if (ev->type == CONSUMER_EVENT_POSITION_GPS || ev->type == CONSUMER_EVENT_POSITION_WPS) {
        g_view.last_latitude = ev->position.pos.latitude;
    }
    return 0;
}

bool fail(const char *what)
{
    std::fprintf(stderr, "bench: %s\n", what);
    return false;
}

// Fix i of the track: a walk north-east from Seoul City Hall, one fix a
// second, with the figures a phone's fused provider reports.
void append_fix(GString *s, int i, bool with_method)
{
    g_string_append_printf(s, "{\"timestamp\":%lld,", 1700000000000LL + 1000LL * i);
    if (with_method)
        g_string_append(s, "\"method\":1,");
    char lat[G_ASCII_DTOSTR_BUF_SIZE], lon[G_ASCII_DTOSTR_BUF_SIZE];
    g_ascii_formatd(lat, sizeof lat, "%.7f", 37.5665350 + 0.0000113 * i);
    g_ascii_formatd(lon, sizeof lon, "%.7f", 126.9779692 + 0.0000141 * i);
    g_string_append_printf(s,
                           "\"latitude\":%s,\"longitude\":%s,\"altitude\":%d.%d,\"speed\":1.%d,"
                           "\"bearing\":%d.5,\"h_accuracy\":%d.0,\"v_accuracy\":%d.5}",
                           lat, lon, 38 + i % 7, i % 10, 20 + i % 60, 40 + i % 11, 4 + i % 3, 6 + i % 4);
}

double fix_latitude(int i)
{
    // What the text carries: the value rounded to seven decimals.
    char lat[G_ASCII_DTOSTR_BUF_SIZE];
    g_ascii_formatd(lat, sizeof lat, "%.7f", 37.5665350 + 0.0000113 * i);
    return g_ascii_strtod(lat, nullptr);
}

} // namespace

const HostView &host_view()
{
    return g_view;
}

void run_main_loop_dry()
{
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

bool bring_up_link()
{
    vconf_ctl_reset();
    alarmmgr_ctl_reset();
    device_power_ctl_reset();
    kov_ctl_reset();
    dlog_ctl_clear();
    g_view = {};

    // The accessory link is up; the framework confirms the registration of
    // the link's service agent.
    kov_ctl_set_connected(1);
    lbs_consumer_plugin_init(on_host_event, nullptr);
    if (!kov_ctl_on_regi_svc_agent_cfrm(KOV_RESULT_SUCCESS, kAgentId))
        return fail("the link registered no framework callbacks");

    // The host starts GPS tracking; the link finds the phone's provider and
    // connects, and the flush sends the start.
    tracking_req_info start = {CONSUMER_METHOD_GPS, 1, 0};
    lbs_consumer_plugin_request(CONSUMER_ACTION_START_SESSION, &start);
    PeerAgent peer;
    kov_ctl_standard_peer(&peer);
    kov_ctl_on_peer_agent_fnd(kAgentId, &peer, KOV_PEER_AGENT_FOUND);
    kov_ctl_standard_peer(&peer);
    kov_ctl_on_svc_conn_cfrm(kAgentId, 1, &peer, KOV_CONNECTION_SUCCESS);
    run_main_loop_dry();
    if (kov_ctl_count_calls("sendData") != 1)
        return fail("the tracking start did not go out once the connection was confirmed");

    deliver(position_reply());
    if (g_view.last_type != CONSUMER_EVENT_POSITION_GPS || g_view.last_latitude != position_reply_latitude())
        return fail("a position reply on the connected link did not reach the host");
    return true;
}

bool end_session()
{
    const size_t before = kov_ctl_count_calls("terminateServiceConnection");
    tracking_req_info stop = {CONSUMER_METHOD_GPS, 0, 0};
    lbs_consumer_plugin_request(CONSUMER_ACTION_STOP_SESSION, &stop);
    run_main_loop_dry();
    if (kov_ctl_count_calls("terminateServiceConnection") != before + 1)
        return fail("stopping the only session did not close the service connection");
    kov_ctl_on_svc_term_ind(kov_ctl_service_handle(), KOV_CONNECTION_LOST_PEER_DISCONNECTED);
    return true;
}

void tear_down_link()
{
    lbs_consumer_plugin_deinit(nullptr);
    run_main_loop_dry();
}

void deliver(std::string_view text)
{
    kov_ctl_on_data_ind(kov_ctl_service_handle(), kChannel, static_cast<unsigned>(text.size()), text.data());
}

void clear_log()
{
    dlog_ctl_clear();
}

const std::string &position_reply()
{
    static const std::string text = [] {
        GString *s = g_string_new("{\"msgId\":\"lbs-tracking-location-rsp\",\"result\":1,\"reason\":0,\"method\":1,");
        GString *fix = g_string_new(nullptr);
        append_fix(fix, 0, false);
        g_string_append(s, fix->str + 1); // the fix's members, inline
        g_string_free(fix, TRUE);
        char *raw = g_string_free(s, FALSE);
        std::string out(raw);
        g_free(raw);
        return out;
    }();
    return text;
}

double position_reply_latitude()
{
    return fix_latitude(0);
}

std::string batch_reply(int count)
{
    GString *s = g_string_new("{\"msgId\":\"lbs-tracking-location-rsp\",\"result\":1,\"reason\":0,\"method\":3,"
                              "\"locationInfo\":[");
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            g_string_append_c(s, ',');
        append_fix(s, i, true);
    }
    g_string_append(s, "]}");
    char *raw = g_string_free(s, FALSE);
    std::string text(raw);
    g_free(raw);
    return text;
}

double batch_reply_last_latitude(int count)
{
    return fix_latitude(count - 1);
}

bool bare_parse(std::string_view text)
{
    JsonParser *parser = json_parser_new();
    GError *error = nullptr;
    const gboolean ok = json_parser_load_from_data(parser, text.data(), static_cast<gssize>(text.size()), &error);
    if (error != nullptr)
        g_error_free(error);
    g_object_unref(parser);
    return ok;
}

// ---- requests ----------------------------------------------------------------

namespace {

const char *const kTracking = "lbs-tracking-location-req";
const char *const kExercise = "lbs-exercise-info-req";

const tracking_req_info kGpsStart = {CONSUMER_METHOD_GPS, 1, 30};
const tracking_req_info kWpsStart = {CONSUMER_METHOD_WPS, 10, 0};
const tracking_req_info kNewInterval = {CONSUMER_METHOD_GPS, 5, 0};
const int32_t kBatchPeriod = 60;
const location_setting_req_info kSetting = {1};
const ref_time_req_info kRefTime = {10};
const here_map_req_info kMap = {"pLc5fQ1sXzD8yEoWmR3k", "Jd7Kx2Vn9QbT4wHs6Lm8Pa", 360, 360,
                                37.566535, 126.9779692, 16.0f, 30};

kinetra_req_info exercise_record()
{
    kinetra_req_info k = {};
    k.command = 1;
    k.exercise_type = 1;
    k.base_pressure = 1013.25f;
    k.height = 175.5f;
    k.weight = 70.2f;
    k.user_gender = 1;
    k.user_age = 35;
    k.interval = 1;
    k.pservice_type = 1;
    k.coaching_distance = 5000.0f;
    k.coaching_calorie = 350.0f;
    k.coaching_speed = 2.8f;
    k.coaching_duration_time = 1800;
    k.auto_pause_enabled = 1;
    k.speed_threshold = 0.5f;
    k.pause_window = 5;
    k.resume_window = 3;
    return k;
}
const kinetra_req_info kExerciseRecord = exercise_record();

// The tracking requests read their record from its interval field on.
const void *tracking(const tracking_req_info &r)
{
    return &r.interval;
}

// clang-format off
#define TRACKING_HEAD "{\"msgId\": \"%s\",\"cmd\":%d, \"method\":%d"
#define EXERCISE_HEAD "{\"msgId\": \"%s\",\"cmd\":%d, \"exerciseType\":%d, \"height\":%f, \"weight\":%f, \"basePressure\":%f, \"interval\":%d, \"pserviceType\":%d"
#define COACHING ", \"coachingDistance\":%f, \"coachingCalorie\":%f, \"coachingSpeed\":%f, \"coachingDurationTime\":%d"

const kinetra_req_info &K = kExerciseRecord;

const std::array<RequestCase, 24> kCases = {{
    {REQ_TRACKING_LOCATION_START_GPS, "REQ_TRACKING_LOCATION_START_GPS",
     [] { return generate_req_message(REQ_TRACKING_LOCATION_START_GPS, tracking(kGpsStart)); },
     [] { return g_strdup_printf(TRACKING_HEAD ", \"interval\":%d, \"batchingInterval\":%d}", kTracking, 1, 1, kGpsStart.interval, kGpsStart.batching_interval); }},
    {REQ_TRACKING_LOCATION_START_WPS, "REQ_TRACKING_LOCATION_START_WPS",
     [] { return generate_req_message(REQ_TRACKING_LOCATION_START_WPS, tracking(kWpsStart)); },
     [] { return g_strdup_printf(TRACKING_HEAD ", \"interval\":%d}", kTracking, 1, 2, kWpsStart.interval); }},
    {REQ_TRACKING_LOCATION_STOP_GPS, "REQ_TRACKING_LOCATION_STOP_GPS",
     [] { return generate_req_message(REQ_TRACKING_LOCATION_STOP_GPS, nullptr); },
     [] { return g_strdup_printf(TRACKING_HEAD "}", kTracking, 2, 1); }},
    {REQ_TRACKING_LOCATION_STOP_WPS, "REQ_TRACKING_LOCATION_STOP_WPS",
     [] { return generate_req_message(REQ_TRACKING_LOCATION_STOP_WPS, nullptr); },
     [] { return g_strdup_printf(TRACKING_HEAD "}", kTracking, 2, 2); }},
    {REQ_GPS_PLUS_METHOD_1, "REQ_GPS_PLUS_METHOD_1",
     [] { return generate_req_message(REQ_GPS_PLUS_METHOD_1, nullptr); },
     [] { return g_strdup_printf("{\"msgId\": \"%s\", \"method\":%d}", "lbs-gps-plus-req", 1); }},
    {REQ_GPS_PLUS_METHOD_2, "REQ_GPS_PLUS_METHOD_2",
     [] { return generate_req_message(REQ_GPS_PLUS_METHOD_2, nullptr); },
     [] { return g_strdup_printf("{\"msgId\": \"%s\", \"method\":%d}", "lbs-gps-plus-req", 2); }},
    {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS, "REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS",
     [] { return generate_req_message(REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS, tracking(kNewInterval)); },
     [] { return g_strdup_printf(TRACKING_HEAD ", \"interval\":%d}", kTracking, 3, 1, kNewInterval.interval); }},
    {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, "REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS",
     [] { return generate_req_message(REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, tracking(kNewInterval)); },
     [] { return g_strdup_printf(TRACKING_HEAD ", \"interval\":%d}", kTracking, 3, 2, kNewInterval.interval); }},
    {REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS, "REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS",
     [] { return generate_req_message(REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS, &kBatchPeriod); },
     [] { return g_strdup_printf(TRACKING_HEAD ", \"batchingInterval\":%d}", kTracking, 4, 1, kBatchPeriod); }},
    {REQ_PROVIDER_LOCATION_SETTING_CHECK, "REQ_PROVIDER_LOCATION_SETTING_CHECK",
     [] { return generate_req_message(REQ_PROVIDER_LOCATION_SETTING_CHECK, nullptr); },
     [] { return g_strdup_printf("{\"msgId\": \"%s\"}", "lbs-location-setting-check-req"); }},
    {REQ_PROVIDER_LOCATION_SETTING_CHANGE, "REQ_PROVIDER_LOCATION_SETTING_CHANGE",
     [] { return generate_req_message(REQ_PROVIDER_LOCATION_SETTING_CHANGE, &kSetting); },
     [] { return g_strdup_printf("{\"msgId\": \"%s\", \"method\": %d}", "lbs-switch-location-setting-req", kSetting.setting); }},
    {REQ_KINETRA_START, "REQ_KINETRA_START",
     [] { return generate_req_message(REQ_KINETRA_START, &K); },
     [] { return g_strdup_printf(EXERCISE_HEAD COACHING ", \"userGender\":%d, \"userAge\":%d}", kExercise, 1, K.exercise_type, double(K.height), double(K.weight), double(K.base_pressure), K.interval, K.pservice_type, double(K.coaching_distance), double(K.coaching_calorie), double(K.coaching_speed), K.coaching_duration_time, K.user_gender, K.user_age); }},
    {REQ_KINETRA_STOP, "REQ_KINETRA_STOP",
     [] { return generate_req_message(REQ_KINETRA_STOP, nullptr); },
     [] { return g_strdup_printf(EXERCISE_HEAD "}", kExercise, 2, 0, 0.0, 0.0, 0.0, 0, 0); }},
    {REQ_KINETRA_PAUSE, "REQ_KINETRA_PAUSE",
     [] { return generate_req_message(REQ_KINETRA_PAUSE, nullptr); },
     [] { return g_strdup_printf(EXERCISE_HEAD "}", kExercise, 4, 0, 0.0, 0.0, 0.0, 0, 0); }},
    {REQ_KINETRA_RESUME, "REQ_KINETRA_RESUME",
     [] { return generate_req_message(REQ_KINETRA_RESUME, nullptr); },
     [] { return g_strdup_printf(EXERCISE_HEAD "}", kExercise, 5, 0, 0.0, 0.0, 0.0, 0, 0); }},
    {REQ_KINETRA_RESTART, "REQ_KINETRA_RESTART",
     [] { return generate_req_message(REQ_KINETRA_RESTART, &K); },
     [] { return g_strdup_printf(EXERCISE_HEAD COACHING ", \"userGender\":%d, \"userAge\":%d}", kExercise, 3, K.exercise_type, double(K.height), double(K.weight), double(K.base_pressure), K.interval, K.pservice_type, double(K.coaching_distance), double(K.coaching_calorie), double(K.coaching_speed), K.coaching_duration_time, K.user_gender, K.user_age); }},
    {REQ_KINETRA_CHANGE_INTERVAL, "REQ_KINETRA_CHANGE_INTERVAL",
     [] { return generate_req_message(REQ_KINETRA_CHANGE_INTERVAL, &K); },
     [] { return g_strdup_printf(EXERCISE_HEAD "}", kExercise, 6, 0, 0.0, 0.0, 0.0, K.interval, 0); }},
    {REQ_KINETRA_CHANGE_COACHING_SET, "REQ_KINETRA_CHANGE_COACHING_SET",
     [] { return generate_req_message(REQ_KINETRA_CHANGE_COACHING_SET, &K); },
     [] { return g_strdup_printf(EXERCISE_HEAD COACHING "}", kExercise, 7, 0, 0.0, 0.0, 0.0, 0, 0, double(K.coaching_distance), double(K.coaching_calorie), double(K.coaching_speed), K.coaching_duration_time); }},
    {REQ_HERE_MAP_IMAGE, "REQ_HERE_MAP_IMAGE",
     [] { return generate_req_message(REQ_HERE_MAP_IMAGE, &kMap); },
     [] { return g_strdup_printf("{\"msgId\": \"%s\",\"appId\":\"%s\", \"appCode\":\"%s\", \"width\":%d, \"height\":%d, \"centerLatitude\":%lf, \"centerLongitude\":%lf, \"zoomLevel\":%f, \"timeout\":%d}", "lbs-here-map-req", kMap.app_id, kMap.app_code, kMap.width, kMap.height, kMap.center_latitude, kMap.center_longitude, double(kMap.zoom_level), kMap.timeout); }},
    {REQ_KINETRA_SET_AUTO_PAUSE_ENABLED, "REQ_KINETRA_SET_AUTO_PAUSE_ENABLED",
     [] { return generate_req_message(REQ_KINETRA_SET_AUTO_PAUSE_ENABLED, &K); },
     [] { return g_strdup_printf("{\"msgId\": \"%s\",\"cmd\":%d, \"autoPauseEnabled\":%d}", kExercise, 8, K.auto_pause_enabled); }},
    {REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, "REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER",
     [] { return generate_req_message(REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, &K); },
     [] { return g_strdup_printf("{\"msgId\": \"%s\",\"cmd\":%d, \"speedThreshold\":%f, \"pauseWindow\":%d, \"resumeWindow\":%d}", kExercise, 9, double(K.speed_threshold), K.pause_window, K.resume_window); }},
    {REQ_GET_REF_TIME, "REQ_GET_REF_TIME",
     [] { return generate_req_message(REQ_GET_REF_TIME, &kRefTime); },
     [] { return g_strdup_printf("{\"msgId\": \"%s\",\"method\":%d,\"timeout\":%d}", "lbs-ntp-time-req", 1, kRefTime.timeout * 1000); }},
    {REQ_PDC_INFO_START, "REQ_PDC_INFO_START",
     [] { return generate_req_message(REQ_PDC_INFO_START, nullptr); },
     [] { return g_strdup_printf("{\"msgId\": \"%s\",\"method\":%d}", "lbs-pdc-info-req", 1); }},
    {REQ_PDC_INFO_STOP, "REQ_PDC_INFO_STOP",
     [] { return generate_req_message(REQ_PDC_INFO_STOP, nullptr); },
     [] { return g_strdup_printf("{\"msgId\": \"%s\",\"method\":%d}", "lbs-pdc-info-req", 2); }},
}};
// clang-format on

#undef TRACKING_HEAD
#undef EXERCISE_HEAD
#undef COACHING

} // namespace

std::span<const RequestCase> request_cases()
{
    return kCases;
}

bool request_cases_agree()
{
    bool ok = true;
    for (const RequestCase &c : kCases) {
        char *mine = c.render();
        char *reference = c.printf();
        if (mine == nullptr) {
            std::fprintf(stderr, "bench: %s rendered nothing\n", c.name);
            ok = false;
        } else if (std::strcmp(mine, reference) != 0) {
            std::fprintf(stderr, "bench: %s renders\n  %s\nbut printf of its template gives\n  %s\n", c.name, mine,
                         reference);
            ok = false;
        }
        g_free(mine);
        g_free(reference);
    }
    clear_log();
    return ok;
}

} // namespace lbs_bench
