// Request messages of the second link: the exact text of every request, the
// phone tracking session that GPS and WPS share, and the requests this link
// does not have.
#include "bap/lbs_plugin_consumer_bap_json_builder.h"

#include "protocol_test_support.h"

namespace {

using namespace protocol_test;

constexpr const char *kStart = R"({"msgId": "lbs-tracking-location-req","cmd":1, "accuracy":2})";
constexpr const char *kStop = R"({"msgId": "lbs-tracking-location-req","cmd":2})";

class BapJsonBuilder : public ProtocolTest {
protected:
    std::optional<std::string> build(int req_id, const void *param)
    {
        bap.req_data = param;
        return take_text(bap_generate_req_message(req_id, &bap));
    }

    lbs_plugin_consumer_bap_s bap{};
};

TEST_F(BapJsonBuilder, EveryRequestRendersThisLinksTextWithNoSessionRunning)
{
    const int32_t period = 60;
    const here_map_req_info map = {"a", "b", 1, 1, 1.0, 1.0, 1.0f, 1};
    const location_setting_req_info setting = {1};
    const ref_time_req_info ref_time = {15};
    struct Case {
        int req_id;
        const char *name;  // as a missing record is logged; nullptr: none is needed
        const void *param;
        const char *text;  // nullptr: NULL
        const char *info;  // the one info line, or nullptr
    };
    // clang-format off
    const Case cases[] = {
        {REQ_TRACKING_LOCATION_START_GPS, "REQ_TRACKING_LOCATION_START_GPS", &kTracking, kStart, nullptr},
        {REQ_TRACKING_LOCATION_START_WPS, "REQ_TRACKING_LOCATION_START_WPS", &kTracking, kStart, nullptr},
        {REQ_TRACKING_LOCATION_STOP_GPS, nullptr, nullptr, kStop, "GPS will be stopped."},
        {REQ_TRACKING_LOCATION_STOP_WPS, nullptr, nullptr, kStop, "WPS will be stopped."},
        {REQ_GPS_PLUS_METHOD_1, nullptr, nullptr, R"({"msgId": "lbs-gps-plus-req", "method":1})", nullptr},
        {REQ_GPS_PLUS_METHOD_2, nullptr, nullptr, R"({"msgId": "lbs-gps-plus-req", "method":2})", nullptr},
        {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS, "REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS", &kTracking, R"({"msgId": "lbs-tracking-location-req","cmd":3, "method":1, "interval":5})", nullptr},
        {REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, "REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS", &kTracking, R"({"msgId": "lbs-tracking-location-req","cmd":3, "method":2, "interval":5})", nullptr},
        {REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS, nullptr, &period, nullptr, nullptr},
        {REQ_PROVIDER_LOCATION_SETTING_CHECK, nullptr, nullptr, R"({"msgId": "lbs-location-setting-check-req"})", nullptr},
        {REQ_PROVIDER_LOCATION_SETTING_CHANGE, "REQ_PROVIDER_LOCATION_SETTING_CHANGE", &setting, R"({"msgId": "lbs-switch-location-setting-req", "method": 1})", nullptr},
        {REQ_KINETRA_START, "REQ_KINETRA_START", &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":1, "exerciseType":2, "height":175.500000, "weight":70.250000, "basePressure":1013.250000, "interval":4, "pserviceType":6})", nullptr},
        {REQ_KINETRA_STOP, nullptr, nullptr, R"({"msgId": "lbs-exercise-info-req","cmd":2, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0})", nullptr},
        {REQ_KINETRA_PAUSE, nullptr, nullptr, R"({"msgId": "lbs-exercise-info-req","cmd":4, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0})", nullptr},
        {REQ_KINETRA_RESUME, nullptr, nullptr, R"({"msgId": "lbs-exercise-info-req","cmd":5, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0})", nullptr},
        {REQ_KINETRA_RESTART, "REQ_KINETRA_RESTART", &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":3, "exerciseType":2, "height":175.500000, "weight":70.250000, "basePressure":1013.250000, "interval":4, "pserviceType":6})", nullptr},
        {REQ_KINETRA_CHANGE_INTERVAL, "REQ_KINETRA_CHANGE_INTERVAL", &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":6, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":4, "pserviceType":0})", nullptr},
        {REQ_KINETRA_CHANGE_COACHING_SET, "REQ_KINETRA_CHANGE_COACHING_SET", &kExercise, R"({"msgId": "lbs-exercise-info-req","cmd":7, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0, "coachingDistance":5000.500000, "coachingCalorie":300.750000, "coachingSpeed":2.500000, "coachingDurationTime":1800})", "reqID:REQ_KINETRA_CHANGE_COACHING_SET"},
        {REQ_HERE_MAP_IMAGE, nullptr, &map, nullptr, nullptr},
        {REQ_KINETRA_SET_AUTO_PAUSE_ENABLED, nullptr, &kExercise, nullptr, nullptr},
        {REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, nullptr, &kExercise, nullptr, nullptr},
        {REQ_GET_REF_TIME, "REQ_GET_REF_TIME", &ref_time, R"({"msgId": "lbs-ntp-time-req","method":1,"timeout":15000})", "REQ_GET_REF_TIME"},
        {REQ_PDC_INFO_START, nullptr, nullptr, nullptr, nullptr},
        {REQ_PDC_INFO_STOP, nullptr, nullptr, nullptr, nullptr},
        // outside the range
        {REQ_NONE, nullptr, &kTracking, nullptr, nullptr},
        {REQ_PDC_INFO_STOP + 1, nullptr, &kTracking, nullptr, nullptr},
        {-1, nullptr, nullptr, nullptr, nullptr},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "request " << c.req_id);
        dlog_ctl_clear();
        bap = {};
        EXPECT_EQ(build(c.req_id, c.param), c.text != nullptr ? std::optional<std::string>(c.text) : std::nullopt);
        EXPECT_TRUE(c.info != nullptr ? only_logged(DLOG_INFO, c.info) : dlog_ctl_count() == 0);
        EXPECT_EQ(bap.gps_started, 0);
        EXPECT_EQ(bap.wps_started, 0);
        if (c.name == nullptr)
            continue;
        // The first link's error, after the line by which the coaching set names itself.
        dlog_ctl_clear();
        EXPECT_EQ(build(c.req_id, nullptr), std::nullopt);
        const bool named = c.req_id == REQ_KINETRA_CHANGE_COACHING_SET;
        const char *tail = c.req_id == REQ_GET_REF_TIME ? ", param NULL" : ", param is NULL";
        EXPECT_EQ(last_logged(), std::string("reqID:") + c.name + tail);
        EXPECT_TRUE(logged(DLOG_ERROR, last_logged()));
        EXPECT_EQ(dlog_ctl_count(), named ? 2u : 1u);
        EXPECT_TRUE(!named || captured_logs()[0].message == c.info);
    }
}

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
        {REQ_TRACKING_LOCATION_START_GPS, 1, 0, kStart, 1, 0, nullptr},
        {REQ_TRACKING_LOCATION_START_GPS, 0, 1, "", 0, 1, "WPS already running. Skip request"},
        {REQ_TRACKING_LOCATION_START_WPS, 0, 1, kStart, 0, 1, nullptr},
        {REQ_TRACKING_LOCATION_START_WPS, 1, 0, "", 1, 0, "GPS already running. Skip request"},
        {REQ_TRACKING_LOCATION_STOP_GPS, 1, 0, kStop, 1, 0, "GPS will be stopped."},
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
        EXPECT_TRUE(c.log != nullptr ? only_logged(DLOG_INFO, c.log) : dlog_ctl_count() == 0);
    }

    // A start needs its record even when it would be answered locally.
    dlog_ctl_clear();
    bap.gps_started = 1;
    bap.wps_started = 0;
    EXPECT_EQ(build(REQ_TRACKING_LOCATION_START_WPS, nullptr), std::nullopt);
    EXPECT_TRUE(only_logged(DLOG_ERROR, "reqID:REQ_TRACKING_LOCATION_START_WPS, param is NULL"));

    // And nothing at all works without the state.
    dlog_ctl_clear();
    EXPECT_EQ(take_text(bap_generate_req_message(REQ_TRACKING_LOCATION_START_GPS, nullptr)), std::nullopt);
    EXPECT_TRUE(only_logged(DLOG_ERROR, "bap_data is NULL"));
}

} // namespace
