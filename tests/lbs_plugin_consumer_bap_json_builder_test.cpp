// Request messages of the second link: the shared phone tracking session of
// GPS and WPS, the requests this link does not have, and what it shares with
// the first link.
#include "bap/lbs_plugin_consumer_bap_json_builder.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <memory>
#include <optional>
#include <string>

namespace {

struct GFree {
    void operator()(char *p) const { g_free(p); }
};
using Text = std::unique_ptr<char, GFree>;

std::optional<std::string> text_of(char *raw)
{
    Text text(raw);
    if (!text)
        return std::nullopt;
    return std::string(text.get());
}

constexpr const char *kStart = R"({"msgId": "lbs-tracking-location-req","cmd":1, "accuracy":2})";
constexpr const char *kStop = R"({"msgId": "lbs-tracking-location-req","cmd":2})";

const tracking_req_param kTracking = {5, 60};
const kinetra_req_info kExercise = {1, 2, 1013.25f, 175.5f, 70.25f, 1, 35, 4, 6, 5000.5f, 300.75f, 2.5f, 1800, 1, 0.5f,
                                    10, 20};

class BapJsonBuilder : public ::testing::Test {
protected:
    void SetUp() override { dlog_ctl_clear(); }

    std::optional<std::string> build(int req_id, const void *param)
    {
        bap.req_data = param;
        return text_of(bap_generate_req_message(req_id, &bap));
    }

    lbs_plugin_consumer_bap_s bap{};
};

TEST_F(BapJsonBuilder, TrackingStartAndStopFollowTheOtherMethod)
{
    struct Case {
        int req_id;
        int gps_started, wps_started; // before
        const char *text;             // "" means nothing to send
        int gps_after, wps_after;
        const char *log; // the one info line, or nullptr for none
    };
    // clang-format off
    const Case cases[] = {
        {REQ_TRACKING_LOCATION_START_GPS, 0, 0, kStart, 0, 0, nullptr},
        {REQ_TRACKING_LOCATION_START_GPS, 1, 0, kStart, 1, 0, nullptr},
        {REQ_TRACKING_LOCATION_START_GPS, 0, 1, "", 0, 1, "WPS already running. Skip request"},
        {REQ_TRACKING_LOCATION_START_WPS, 0, 0, kStart, 0, 0, nullptr},
        {REQ_TRACKING_LOCATION_START_WPS, 1, 0, "", 1, 0, "GPS already running. Skip request"},
        {REQ_TRACKING_LOCATION_STOP_GPS, 1, 0, kStop, 1, 0, "GPS will be stopped."},
        {REQ_TRACKING_LOCATION_STOP_GPS, 0, 0, kStop, 0, 0, "GPS will be stopped."},
        {REQ_TRACKING_LOCATION_STOP_GPS, 1, 1, "", 0, 1, "GPS will be stopped but WPS is running yet."},
        {REQ_TRACKING_LOCATION_STOP_WPS, 0, 1, kStop, 0, 1, "WPS will be stopped."},
        {REQ_TRACKING_LOCATION_STOP_WPS, 1, 1, "", 1, 0, "WPS will be stopped but GPS is running yet."},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "request " << c.req_id << " gps " << c.gps_started << " wps "
                                        << c.wps_started);
        dlog_ctl_clear();
        bap.gps_started = c.gps_started;
        bap.wps_started = c.wps_started;
        EXPECT_EQ(build(c.req_id, &kTracking), std::string(c.text));
        EXPECT_EQ(bap.gps_started, c.gps_after);
        EXPECT_EQ(bap.wps_started, c.wps_after);
        EXPECT_EQ(dlog_ctl_count(), c.log != nullptr ? 1u : 0u);
        if (c.log != nullptr) {
            EXPECT_TRUE(logged(DLOG_INFO, c.log));
        }
    }
}

TEST_F(BapJsonBuilder, TwoMethodsShareOnePhoneSession)
{
    // The send path marks a method started after its start went out (or was
    // answered locally) and clears it after its stop; the builder decides
    // what the phone sees.
    EXPECT_EQ(build(REQ_TRACKING_LOCATION_START_GPS, &kTracking), std::string(kStart));
    bap.gps_started = 1;
    EXPECT_EQ(build(REQ_TRACKING_LOCATION_START_WPS, &kTracking), std::string(""));
    bap.wps_started = 1;
    EXPECT_EQ(build(REQ_TRACKING_LOCATION_STOP_GPS, nullptr), std::string(""));
    EXPECT_EQ(bap.gps_started, 0);
    EXPECT_EQ(build(REQ_TRACKING_LOCATION_STOP_WPS, nullptr), std::string(kStop));
}

TEST_F(BapJsonBuilder, MissingStateIsRefused)
{
    EXPECT_EQ(text_of(bap_generate_req_message(REQ_TRACKING_LOCATION_START_GPS, nullptr)), std::nullopt);
    EXPECT_TRUE(logged(DLOG_ERROR, "bap_data is NULL"));
}

TEST_F(BapJsonBuilder, RequestsThisLinkDoesNotHaveYieldNothingSilently)
{
    const int32_t period = 60;
    const here_map_req_info map = {"a", "b", 1, 1, 1.0, 1.0, 1.0f, 1};
    struct Case {
        int req_id;
        const void *param;
    };
    const Case cases[] = {
        {REQ_NONE, &kTracking},
        {REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS, &period},
        {REQ_HERE_MAP_IMAGE, &map},
        {REQ_KINETRA_SET_AUTO_PAUSE_ENABLED, &kExercise},
        {REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, &kExercise},
        {REQ_PDC_INFO_START, nullptr},
        {REQ_PDC_INFO_STOP, nullptr},
        {REQ_PDC_INFO_STOP + 1, &kTracking},
        {-1, nullptr},
    };
    for (const Case &c : cases)
        EXPECT_EQ(build(c.req_id, c.param), std::nullopt) << c.req_id;
    EXPECT_EQ(dlog_ctl_count(), 0u);
}

TEST_F(BapJsonBuilder, MissingRecordIsLoggedAsOnTheFirstLink)
{
    struct Case {
        int req_id;
        const char *log;
    };
    const Case cases[] = {
        {REQ_TRACKING_LOCATION_START_GPS, "reqID:REQ_TRACKING_LOCATION_START_GPS, param is NULL"},
        {REQ_TRACKING_LOCATION_START_WPS, "reqID:REQ_TRACKING_LOCATION_START_WPS, param is NULL"},
        {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, "reqID:REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, param is NULL"},
        {REQ_PROVIDER_LOCATION_SETTING_CHANGE, "reqID:REQ_PROVIDER_LOCATION_SETTING_CHANGE, param is NULL"},
        {REQ_KINETRA_START, "reqID:REQ_KINETRA_START, param is NULL"},
        {REQ_KINETRA_RESTART, "reqID:REQ_KINETRA_RESTART, param is NULL"},
        {REQ_KINETRA_CHANGE_INTERVAL, "reqID:REQ_KINETRA_CHANGE_INTERVAL, param is NULL"},
        {REQ_KINETRA_CHANGE_COACHING_SET, "reqID:REQ_KINETRA_CHANGE_COACHING_SET, param is NULL"},
        {REQ_GET_REF_TIME, "reqID:REQ_GET_REF_TIME, param NULL"},
    };
    for (const Case &c : cases) {
        dlog_ctl_clear();
        EXPECT_EQ(build(c.req_id, nullptr), std::nullopt) << c.log;
        EXPECT_TRUE(logged(DLOG_ERROR, c.log)) << c.log;
    }
    // A start needs its record even when it would be answered locally.
    dlog_ctl_clear();
    bap.gps_started = 1;
    EXPECT_EQ(build(REQ_TRACKING_LOCATION_START_WPS, nullptr), std::nullopt);
    EXPECT_TRUE(logged(DLOG_ERROR, "reqID:REQ_TRACKING_LOCATION_START_WPS, param is NULL"));
}

TEST_F(BapJsonBuilder, ExerciseStartAndRestartSendNoCoachingValues)
{
    EXPECT_EQ(build(REQ_KINETRA_START, &kExercise),
              R"({"msgId": "lbs-exercise-info-req","cmd":1, "exerciseType":2, "height":175.500000, "weight":70.250000, "basePressure":1013.250000, "interval":4, "pserviceType":6})");
    EXPECT_EQ(build(REQ_KINETRA_RESTART, &kExercise),
              R"({"msgId": "lbs-exercise-info-req","cmd":3, "exerciseType":2, "height":175.500000, "weight":70.250000, "basePressure":1013.250000, "interval":4, "pserviceType":6})");
}

TEST_F(BapJsonBuilder, SharedRequestsRenderAsOnTheFirstLink)
{
    const location_setting_req_info setting = {1};
    const ref_time_req_info ref_time = {15};
    struct Case {
        int req_id;
        const void *param;
    };
    const Case cases[] = {
        {REQ_GPS_PLUS_METHOD_1, nullptr},
        {REQ_GPS_PLUS_METHOD_2, nullptr},
        {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS, &kTracking},
        {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, &kTracking},
        {REQ_PROVIDER_LOCATION_SETTING_CHECK, nullptr},
        {REQ_PROVIDER_LOCATION_SETTING_CHANGE, &setting},
        {REQ_KINETRA_STOP, nullptr},
        {REQ_KINETRA_PAUSE, nullptr},
        {REQ_KINETRA_RESUME, nullptr},
        {REQ_KINETRA_CHANGE_INTERVAL, &kExercise},
        {REQ_KINETRA_CHANGE_COACHING_SET, &kExercise},
        {REQ_GET_REF_TIME, &ref_time},
    };
    for (const Case &c : cases) {
        auto first_link = text_of(generate_req_message(c.req_id, c.param));
        ASSERT_TRUE(first_link) << c.req_id;
        EXPECT_EQ(build(c.req_id, c.param), first_link) << c.req_id;
    }
    EXPECT_EQ(build(REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, &kTracking),
              R"({"msgId": "lbs-tracking-location-req","cmd":3, "method":2, "interval":5})");
}

TEST_F(BapJsonBuilder, CoachingSetNamesItselfBeforeRendering)
{
    ASSERT_TRUE(build(REQ_KINETRA_CHANGE_COACHING_SET, &kExercise));
    EXPECT_TRUE(logged(DLOG_INFO, "reqID:REQ_KINETRA_CHANGE_COACHING_SET"));
    dlog_ctl_clear();
    EXPECT_EQ(build(REQ_KINETRA_CHANGE_COACHING_SET, nullptr), std::nullopt);
    auto lines = captured_logs();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].message, "reqID:REQ_KINETRA_CHANGE_COACHING_SET");
    EXPECT_EQ(lines[1].message, "reqID:REQ_KINETRA_CHANGE_COACHING_SET, param is NULL");
}

} // namespace
