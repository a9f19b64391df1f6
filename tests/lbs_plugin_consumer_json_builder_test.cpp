// Request messages of the first link: the exact text of every request, what a
// missing record logs, the interval floor, the 32-bit time-out product,
// values rendered unvalidated, refused identifiers and the decimal point.
#include "protocol_test_support.h"

#include <clocale>
#include <cstdio>
#include <limits>

namespace {

using namespace protocol_test;

std::optional<std::string> build(int req_id, const void *param)
{
    return take_text(generate_req_message(req_id, param));
}

const int32_t kBatchPeriod = 120;
const location_setting_req_info kSetting = {3};
const ref_time_req_info kRefTime = {30};
const here_map_req_info kMap = {"app-1", "code-2", 320, -240, 37.5, -122.125, 15.5f, 30};

struct Rendering {
    int req_id;
    const char *name;  // as the request names itself in its log lines
    const void *param; // nullptr: the request reads no record
    const char *text;
};

// clang-format off
const Rendering kRenderings[] = {
    {REQ_TRACKING_LOCATION_START_GPS, "REQ_TRACKING_LOCATION_START_GPS", &kTracking, R"({"msgId": "lbs-tracking-location-req","cmd":1, "method":1, "interval":5, "batchingInterval":60})"},
    {REQ_TRACKING_LOCATION_START_WPS, "REQ_TRACKING_LOCATION_START_WPS", &kTracking, R"({"msgId": "lbs-tracking-location-req","cmd":1, "method":2, "interval":5})"},
    {REQ_TRACKING_LOCATION_STOP_GPS, "REQ_TRACKING_LOCATION_STOP_GPS", nullptr, R"({"msgId": "lbs-tracking-location-req","cmd":2, "method":1})"},
    {REQ_TRACKING_LOCATION_STOP_WPS, "REQ_TRACKING_LOCATION_STOP_WPS", nullptr, R"({"msgId": "lbs-tracking-location-req","cmd":2, "method":2})"},
    {REQ_GPS_PLUS_METHOD_1, "REQ_GPS_PLUS_METHOD_1", nullptr, R"({"msgId": "lbs-gps-plus-req", "method":1})"},
    {REQ_GPS_PLUS_METHOD_2, "REQ_GPS_PLUS_METHOD_2", nullptr, R"({"msgId": "lbs-gps-plus-req", "method":2})"},
    {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS, "REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS", &kTracking, R"({"msgId": "lbs-tracking-location-req","cmd":3, "method":1, "interval":5})"},
    {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, "REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS", &kTracking, R"({"msgId": "lbs-tracking-location-req","cmd":3, "method":2, "interval":5})"},
    {REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS, "REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS", &kBatchPeriod, R"({"msgId": "lbs-tracking-location-req","cmd":4, "method":1, "batchingInterval":120})"},
    {REQ_PROVIDER_LOCATION_SETTING_CHECK, "REQ_PROVIDER_LOCATION_SETTING_CHECK", nullptr, R"({"msgId": "lbs-location-setting-check-req"})"},
    {REQ_PROVIDER_LOCATION_SETTING_CHANGE, "REQ_PROVIDER_LOCATION_SETTING_CHANGE", &kSetting, R"({"msgId": "lbs-switch-location-setting-req", "method": 3})"},
    {REQ_KINETRA_START, "REQ_KINETRA_START", &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":1, "exerciseType":2, "height":175.500000, "weight":70.250000, "basePressure":1013.250000, "interval":4, "pserviceType":6, "coachingDistance":5000.500000, "coachingCalorie":300.750000, "coachingSpeed":2.500000, "coachingDurationTime":1800, "userGender":1, "userAge":35})"},
    {REQ_KINETRA_STOP, "REQ_KINETRA_STOP", nullptr, R"({"msgId": "lbs-exercise-info-req","cmd":2, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0})"},
    {REQ_KINETRA_PAUSE, "REQ_KINETRA_PAUSE", nullptr, R"({"msgId": "lbs-exercise-info-req","cmd":4, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0})"},
    {REQ_KINETRA_RESUME, "REQ_KINETRA_RESUME", nullptr, R"({"msgId": "lbs-exercise-info-req","cmd":5, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0})"},
    {REQ_KINETRA_RESTART, "REQ_KINETRA_RESTART", &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":3, "exerciseType":2, "height":175.500000, "weight":70.250000, "basePressure":1013.250000, "interval":4, "pserviceType":6, "coachingDistance":5000.500000, "coachingCalorie":300.750000, "coachingSpeed":2.500000, "coachingDurationTime":1800, "userGender":1, "userAge":35})"},
    {REQ_KINETRA_CHANGE_INTERVAL, "REQ_KINETRA_CHANGE_INTERVAL", &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":6, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":4, "pserviceType":0})"},
    {REQ_KINETRA_CHANGE_COACHING_SET, "REQ_KINETRA_CHANGE_COACHING_SET", &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":7, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0, "coachingDistance":5000.500000, "coachingCalorie":300.750000, "coachingSpeed":2.500000, "coachingDurationTime":1800})"},
    {REQ_HERE_MAP_IMAGE, "REQ_HERE_MAP_IMAGE", &kMap, R"({"msgId": "lbs-here-map-req","appId":"app-1", "appCode":"code-2", "width":320, "height":-240, "centerLatitude":37.500000, "centerLongitude":-122.125000, "zoomLevel":15.500000, "timeout":30})"},
    {REQ_KINETRA_SET_AUTO_PAUSE_ENABLED, "REQ_KINETRA_SET_AUTO_PAUSE_ENABLED", &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":8, "autoPauseEnabled":1})"},
    {REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, "REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER", &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":9, "speedThreshold":0.500000, "pauseWindow":10, "resumeWindow":20})"},
    {REQ_GET_REF_TIME, "REQ_GET_REF_TIME", &kRefTime, R"({"msgId": "lbs-ntp-time-req","method":1,"timeout":30000})"},
    {REQ_PDC_INFO_START, "REQ_PDC_INFO_START", nullptr, R"({"msgId": "lbs-pdc-info-req","method":1})"},
    {REQ_PDC_INFO_STOP, "REQ_PDC_INFO_STOP", nullptr, R"({"msgId": "lbs-pdc-info-req","method":2})"},
};
// clang-format on

class JsonBuilder : public ProtocolTest {};

TEST_F(JsonBuilder, EveryRequestRendersItsTextAndNamesItselfWhenItsRecordIsMissing)
{
    ASSERT_EQ(std::size(kRenderings), 24u) << "one row per request identifier";
    const int garbage[32] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    for (const Rendering &r : kRenderings) {
        SCOPED_TRACE(r.name);
        dlog_ctl_clear();
        EXPECT_EQ(build(r.req_id, r.param), std::string(r.text));
        // Only the reference time and PDC requests name themselves in an info line.
        const bool names_itself =
            r.req_id == REQ_GET_REF_TIME || r.req_id == REQ_PDC_INFO_START || r.req_id == REQ_PDC_INFO_STOP;
        EXPECT_TRUE(names_itself ? only_logged(DLOG_INFO, r.name) : dlog_ctl_count() == 0);

        dlog_ctl_clear();
        if (r.param == nullptr) {
            EXPECT_EQ(build(r.req_id, garbage), std::string(r.text)) << "the pointer is ignored, whatever it holds";
        } else {
            EXPECT_EQ(build(r.req_id, nullptr), std::nullopt);
            const char *tail = r.req_id == REQ_GET_REF_TIME ? ", param NULL" : ", param is NULL";
            EXPECT_TRUE(only_logged(DLOG_ERROR, std::string("reqID:") + r.name + tail));
        }
    }
}

TEST_F(JsonBuilder, ValuesGoOutAsGivenButForTheIntervalFloorAndTheThousandfoldTimeout)
{
    const tracking_req_param zero = {0, 0}, negative = {-1, 7}, minimum = {1, -5};
    const int32_t zero_period = 0;
    const ref_time_req_info t_negative = {-3}, t_largest = {2147483}, t_wrapping = {2147484};
    const here_map_req_info odd = {"say \"hi\"", nullptr, -1, 0, -91.0, 1e6, 0.1f, -30};
    kinetra_req_info tiny = kExercise;
    tiny.speed_threshold = 1e-7f; // rounds to zero at six decimals
    tiny.pause_window = std::numeric_limits<int32_t>::min();
    struct Case {
        int req_id;
        const void *param;
        const char *text; // the whole text when it starts with a brace, else its end
    };
    // clang-format off
    const Case cases[] = {
        {REQ_TRACKING_LOCATION_START_GPS, &zero, R"("interval":1, "batchingInterval":0})"},
        {REQ_TRACKING_LOCATION_START_WPS, &zero, R"({"msgId": "lbs-tracking-location-req","cmd":1, "method":2, "interval":1})"},
        {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS, &zero, R"("method":1, "interval":1})"},
        {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, &zero, R"("method":2, "interval":1})"},
        {REQ_TRACKING_LOCATION_START_WPS, &negative, R"("interval":-1})"}, // only 0 is raised
        {REQ_TRACKING_LOCATION_START_GPS, &minimum, R"("interval":1, "batchingInterval":-5})"},
        {REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS, &zero_period, R"({"msgId": "lbs-tracking-location-req","cmd":4, "method":1, "batchingInterval":0})"},
        {REQ_GET_REF_TIME, &t_negative, R"("timeout":-3000})"},
        {REQ_GET_REF_TIME, &t_largest, R"("timeout":2147483000})"},
        {REQ_GET_REF_TIME, &t_wrapping, R"("timeout":-2147483296})"}, // wraps like the 32-bit field it is
        {REQ_HERE_MAP_IMAGE, &odd, R"x({"msgId": "lbs-here-map-req","appId":"say "hi"", "appCode":"(null)", "width":-1, "height":0, "centerLatitude":-91.000000, "centerLongitude":1000000.000000, "zoomLevel":0.100000, "timeout":-30})x"},
        {REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, &tiny, R"({"msgId": "lbs-exercise-info-req","cmd":9, "speedThreshold":0.000000, "pauseWindow":-2147483648, "resumeWindow":20})"},
    };
    // clang-format on
    for (const Case &c : cases) {
        auto text = build(c.req_id, c.param);
        ASSERT_TRUE(text) << c.text;
        if (c.text[0] == '{')
            EXPECT_EQ(*text, c.text);
        else
            EXPECT_TRUE(text->ends_with(c.text)) << *text;
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

// A process whose numeric locale uses a decimal comma still sends points.
TEST_F(JsonBuilder, NumbersKeepADecimalPointUnderACommaLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char *comma_locale = nullptr;
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"})
        if (comma_locale == nullptr && std::setlocale(LC_NUMERIC, name) != nullptr)
            comma_locale = name;
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
    EXPECT_NE(map->find(R"("centerLatitude":37.500000, "centerLongitude":-122.125000, "zoomLevel":15.500000)"),
              std::string::npos) << *map;
    EXPECT_NE(exercise->find(R"("height":175.500000, "weight":70.250000, "basePressure":1013.250000)"),
              std::string::npos) << *exercise;
}

} // namespace
