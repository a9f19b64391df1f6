// Request messages of the first link: the exact text of every request, the
// interval floor, the factor 1000, missing records and refused identifiers.
#include "kov/lbs_plugin_consumer_json_builder.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <clocale>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct GFree {
    void operator()(char *p) const { g_free(p); }
};
using Text = std::unique_ptr<char, GFree>;

// The builder's answer as an optional string, the text released.
std::optional<std::string> build(int req_id, const void *param)
{
    Text text(generate_req_message(req_id, param));
    if (!text)
        return std::nullopt;
    return std::string(text.get());
}

// Records with a distinct value in every field, so that a swapped field shows.
const kinetra_req_info kExercise = {
    .command = 1,
    .exercise_type = 2,
    .base_pressure = 1013.25f,
    .height = 175.5f,
    .weight = 70.25f,
    .user_gender = 1,
    .user_age = 35,
    .interval = 4,
    .pservice_type = 6,
    .coaching_distance = 5000.5f,
    .coaching_calorie = 300.75f,
    .coaching_speed = 2.5f,
    .coaching_duration_time = 1800,
    .auto_pause_enabled = 1,
    .speed_threshold = 0.5f,
    .pause_window = 10,
    .resume_window = 20,
};
const tracking_req_param kTracking = {5, 60};
const int32_t kBatchPeriod = 120;
const location_setting_req_info kSetting = {3};
const ref_time_req_info kRefTime = {30};
const here_map_req_info kMap = {"app-1", "code-2", 320, -240, 37.5, -122.125, 15.5f, 30};

class JsonBuilder : public ::testing::Test {
protected:
    void SetUp() override { dlog_ctl_clear(); }
};

struct Rendering {
    int req_id;
    const void *param;
    const char *text;
};

// clang-format off
const Rendering kRenderings[] = {
    {REQ_TRACKING_LOCATION_START_GPS, &kTracking, R"({"msgId": "lbs-tracking-location-req","cmd":1, "method":1, "interval":5, "batchingInterval":60})"},
    {REQ_TRACKING_LOCATION_START_WPS, &kTracking, R"({"msgId": "lbs-tracking-location-req","cmd":1, "method":2, "interval":5})"},
    {REQ_TRACKING_LOCATION_STOP_GPS, nullptr, R"({"msgId": "lbs-tracking-location-req","cmd":2, "method":1})"},
    {REQ_TRACKING_LOCATION_STOP_WPS, nullptr, R"({"msgId": "lbs-tracking-location-req","cmd":2, "method":2})"},
    {REQ_GPS_PLUS_METHOD_1, nullptr, R"({"msgId": "lbs-gps-plus-req", "method":1})"},
    {REQ_GPS_PLUS_METHOD_2, nullptr, R"({"msgId": "lbs-gps-plus-req", "method":2})"},
    {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS, &kTracking, R"({"msgId": "lbs-tracking-location-req","cmd":3, "method":1, "interval":5})"},
    {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, &kTracking, R"({"msgId": "lbs-tracking-location-req","cmd":3, "method":2, "interval":5})"},
    {REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS, &kBatchPeriod, R"({"msgId": "lbs-tracking-location-req","cmd":4, "method":1, "batchingInterval":120})"},
    {REQ_PROVIDER_LOCATION_SETTING_CHECK, nullptr, R"({"msgId": "lbs-location-setting-check-req"})"},
    {REQ_PROVIDER_LOCATION_SETTING_CHANGE, &kSetting, R"({"msgId": "lbs-switch-location-setting-req", "method": 3})"},
    {REQ_KINETRA_START, &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":1, "exerciseType":2, "height":175.500000, "weight":70.250000, "basePressure":1013.250000, "interval":4, "pserviceType":6, "coachingDistance":5000.500000, "coachingCalorie":300.750000, "coachingSpeed":2.500000, "coachingDurationTime":1800, "userGender":1, "userAge":35})"},
    {REQ_KINETRA_STOP, nullptr, R"({"msgId": "lbs-exercise-info-req","cmd":2, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0})"},
    {REQ_KINETRA_PAUSE, nullptr, R"({"msgId": "lbs-exercise-info-req","cmd":4, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0})"},
    {REQ_KINETRA_RESUME, nullptr, R"({"msgId": "lbs-exercise-info-req","cmd":5, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0})"},
    {REQ_KINETRA_RESTART, &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":3, "exerciseType":2, "height":175.500000, "weight":70.250000, "basePressure":1013.250000, "interval":4, "pserviceType":6, "coachingDistance":5000.500000, "coachingCalorie":300.750000, "coachingSpeed":2.500000, "coachingDurationTime":1800, "userGender":1, "userAge":35})"},
    {REQ_KINETRA_CHANGE_INTERVAL, &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":6, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":4, "pserviceType":0})"},
    {REQ_KINETRA_CHANGE_COACHING_SET, &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":7, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0, "coachingDistance":5000.500000, "coachingCalorie":300.750000, "coachingSpeed":2.500000, "coachingDurationTime":1800})"},
    {REQ_HERE_MAP_IMAGE, &kMap, R"({"msgId": "lbs-here-map-req","appId":"app-1", "appCode":"code-2", "width":320, "height":-240, "centerLatitude":37.500000, "centerLongitude":-122.125000, "zoomLevel":15.500000, "timeout":30})"},
    {REQ_KINETRA_SET_AUTO_PAUSE_ENABLED, &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":8, "autoPauseEnabled":1})"},
    {REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":9, "speedThreshold":0.500000, "pauseWindow":10, "resumeWindow":20})"},
    {REQ_GET_REF_TIME, &kRefTime, R"({"msgId": "lbs-ntp-time-req","method":1,"timeout":30000})"},
    {REQ_PDC_INFO_START, nullptr, R"({"msgId": "lbs-pdc-info-req","method":1})"},
    {REQ_PDC_INFO_STOP, nullptr, R"({"msgId": "lbs-pdc-info-req","method":2})"},
};
// clang-format on

TEST_F(JsonBuilder, EveryRequestRendersItsTemplateExactly)
{
    ASSERT_EQ(std::size(kRenderings), 24u) << "one row per request identifier";
    for (const Rendering &r : kRenderings)
        EXPECT_EQ(build(r.req_id, r.param), std::string(r.text)) << "request " << r.req_id;
}

TEST_F(JsonBuilder, RequestsWithoutRecordIgnoreWhateverThePointerHolds)
{
    const int garbage[32] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    int ignoring = 0;
    for (const Rendering &r : kRenderings) {
        if (r.param != nullptr)
            continue;
        ++ignoring;
        EXPECT_EQ(build(r.req_id, garbage), std::string(r.text)) << "request " << r.req_id;
    }
    EXPECT_EQ(ignoring, 10);
}

TEST_F(JsonBuilder, IntervalZeroGoesOutAsOneButBatchPeriodZeroStays)
{
    struct Case {
        int req_id;
        tracking_req_param param;
        const char *fragment;
    };
    const Case cases[] = {
        {REQ_TRACKING_LOCATION_START_GPS, {0, 0}, R"("interval":1, "batchingInterval":0})"},
        {REQ_TRACKING_LOCATION_START_WPS, {0, 7}, R"("interval":1})"},
        {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS, {0, 0}, R"("interval":1})"},
        {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, {0, 0}, R"("interval":1})"},
        {REQ_TRACKING_LOCATION_START_WPS, {-1, 0}, R"("interval":-1})"}, // only 0 is raised
        {REQ_TRACKING_LOCATION_START_GPS, {1, -5}, R"("interval":1, "batchingInterval":-5})"},
    };
    for (const Case &c : cases) {
        auto text = build(c.req_id, &c.param);
        ASSERT_TRUE(text);
        EXPECT_TRUE(text->ends_with(c.fragment)) << *text;
    }
    const int32_t zero_period = 0;
    EXPECT_EQ(build(REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS, &zero_period),
              R"({"msgId": "lbs-tracking-location-req","cmd":4, "method":1, "batchingInterval":0})");
    const tracking_req_param wps_example = {0, 0};
    EXPECT_EQ(build(REQ_TRACKING_LOCATION_START_WPS, &wps_example),
              R"({"msgId": "lbs-tracking-location-req","cmd":1, "method":2, "interval":1})");
}

TEST_F(JsonBuilder, ReferenceTimeoutIsSentAsA32BitProductOfAThousand)
{
    struct Case {
        int32_t timeout;
        const char *fragment;
    };
    const Case cases[] = {
        {0, R"("timeout":0})"},
        {-3, R"("timeout":-3000})"},
        {2147483, R"("timeout":2147483000})"},
        {2147484, R"("timeout":-2147483296})"}, // wraps like the 32-bit field it is
    };
    for (const Case &c : cases) {
        const ref_time_req_info info = {c.timeout};
        auto text = build(REQ_GET_REF_TIME, &info);
        ASSERT_TRUE(text);
        EXPECT_TRUE(text->ends_with(c.fragment)) << *text;
    }
}

TEST_F(JsonBuilder, MissingRecordIsRefusedWithOneErrorNamingTheRequest)
{
    struct Case {
        int req_id;
        const char *log;
    };
    const Case cases[] = {
        {REQ_TRACKING_LOCATION_START_GPS, "reqID:REQ_TRACKING_LOCATION_START_GPS, param is NULL"},
        {REQ_TRACKING_LOCATION_START_WPS, "reqID:REQ_TRACKING_LOCATION_START_WPS, param is NULL"},
        {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS, "reqID:REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS, param is NULL"},
        {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, "reqID:REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, param is NULL"},
        {REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS,
         "reqID:REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS, param is NULL"},
        {REQ_PROVIDER_LOCATION_SETTING_CHANGE, "reqID:REQ_PROVIDER_LOCATION_SETTING_CHANGE, param is NULL"},
        {REQ_KINETRA_START, "reqID:REQ_KINETRA_START, param is NULL"},
        {REQ_KINETRA_RESTART, "reqID:REQ_KINETRA_RESTART, param is NULL"},
        {REQ_KINETRA_CHANGE_INTERVAL, "reqID:REQ_KINETRA_CHANGE_INTERVAL, param is NULL"},
        {REQ_KINETRA_CHANGE_COACHING_SET, "reqID:REQ_KINETRA_CHANGE_COACHING_SET, param is NULL"},
        {REQ_HERE_MAP_IMAGE, "reqID:REQ_HERE_MAP_IMAGE, param is NULL"},
        {REQ_KINETRA_SET_AUTO_PAUSE_ENABLED, "reqID:REQ_KINETRA_SET_AUTO_PAUSE_ENABLED, param is NULL"},
        {REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, "reqID:REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, param is NULL"},
        {REQ_GET_REF_TIME, "reqID:REQ_GET_REF_TIME, param NULL"},
    };
    for (const Case &c : cases) {
        dlog_ctl_clear();
        EXPECT_EQ(build(c.req_id, nullptr), std::nullopt) << c.log;
        EXPECT_TRUE(logged(DLOG_ERROR, c.log)) << c.log;
        EXPECT_EQ(dlog_ctl_count(), 1u) << c.log;
    }
}

TEST_F(JsonBuilder, IdentifiersOutsideTheRequestRangeYieldNothingAndLogNothing)
{
    for (int id : {int{REQ_NONE}, 28697, 0, -1, 24578, std::numeric_limits<int>::max(),
                   std::numeric_limits<int>::min()}) {
        EXPECT_EQ(build(id, &kExercise), std::nullopt) << id;
        EXPECT_EQ(build(id, nullptr), std::nullopt) << id;
    }
    EXPECT_EQ(dlog_ctl_count(), 0u);
}

TEST_F(JsonBuilder, ReferenceTimeAndPdcRequestsNameThemselvesInAnInfoLine)
{
    struct Case {
        int req_id;
        const void *param;
        const char *log;
    };
    const Case cases[] = {
        {REQ_GET_REF_TIME, &kRefTime, "REQ_GET_REF_TIME"},
        {REQ_PDC_INFO_START, nullptr, "REQ_PDC_INFO_START"},
        {REQ_PDC_INFO_STOP, nullptr, "REQ_PDC_INFO_STOP"},
    };
    for (const Case &c : cases) {
        dlog_ctl_clear();
        ASSERT_TRUE(build(c.req_id, c.param));
        EXPECT_TRUE(logged(DLOG_INFO, c.log));
        EXPECT_EQ(dlog_ctl_count(), 1u);
    }
    dlog_ctl_clear();
    ASSERT_TRUE(build(REQ_KINETRA_START, &kExercise));
    EXPECT_EQ(dlog_ctl_count(), 0u) << "other requests render silently";
}

TEST_F(JsonBuilder, TextsAndNumbersAreRenderedAsGivenWithoutValidation)
{
    const here_map_req_info odd = {"say \"hi\"", nullptr, -1, 0, -91.0, 1e6, 0.1f, -30};
    EXPECT_EQ(build(REQ_HERE_MAP_IMAGE, &odd),
              R"x({"msgId": "lbs-here-map-req","appId":"say "hi"", "appCode":"(null)", "width":-1, "height":0, )x"
              R"x("centerLatitude":-91.000000, "centerLongitude":1000000.000000, "zoomLevel":0.100000, "timeout":-30})x");

    kinetra_req_info tiny = kExercise;
    tiny.speed_threshold = 1e-7f; // rounds to zero at six decimals
    tiny.pause_window = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(build(REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, &tiny),
              R"({"msgId": "lbs-exercise-info-req","cmd":9, "speedThreshold":0.000000, "pauseWindow":-2147483648, "resumeWindow":20})");
}

TEST_F(JsonBuilder, StopTextsCarryTheMethodFragmentThatQueuePurgingSearchesFor)
{
    EXPECT_NE(build(REQ_TRACKING_LOCATION_STOP_GPS, nullptr).value().find("\"method\":1"), std::string::npos);
    EXPECT_NE(build(REQ_TRACKING_LOCATION_START_WPS, &kTracking).value().find("\"method\":2"), std::string::npos);
}

// A process whose numeric locale uses a decimal comma still sends points.
TEST_F(JsonBuilder, NumbersKeepADecimalPointUnderACommaLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char *comma_locale = nullptr;
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            comma_locale = name;
            break;
        }
    }
    if (comma_locale == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma is installed; generate one, e.g. de_DE.UTF-8 "
                        "(package locales: localedef -i de_DE -f UTF-8 de_DE.UTF-8)";

    char probe[32];
    std::snprintf(probe, sizeof probe, "%f", 15.5);
    const std::string under_locale = probe;
    auto map = build(REQ_HERE_MAP_IMAGE, &kMap);
    auto exercise = build(REQ_KINETRA_START, &kExercise);
    std::setlocale(LC_NUMERIC, saved.c_str());

    ASSERT_EQ(under_locale, "15,500000") << "the locale " << comma_locale << " must really use a comma";
    ASSERT_TRUE(map && exercise);
    EXPECT_NE(map->find(R"("zoomLevel":15.500000)"), std::string::npos) << *map;
    EXPECT_NE(map->find(R"("centerLatitude":37.500000)"), std::string::npos) << *map;
    EXPECT_NE(exercise->find(R"("height":175.500000)"), std::string::npos) << *exercise;
}

} // namespace
