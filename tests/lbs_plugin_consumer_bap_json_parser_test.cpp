// Replies on the second link: its reduced classification, the parsers it
// shares with the first link, and the integer cadence.
#include "bap/lbs_plugin_consumer_bap_json_parser.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct ExerciseFree {
    void operator()(exercise_info_rsp_data *p) const
    {
        exercise_info_rsp_data_release_entries(p);
        g_free(p);
    }
};
using Exercise = std::unique_ptr<exercise_info_rsp_data, ExerciseFree>;

class BapJsonParser : public ::testing::Test {
protected:
    void SetUp() override { dlog_ctl_clear(); }

    static int classify(const std::string &text, int *code)
    {
        std::vector<char> exact(text.begin(), text.end());
        return bap_json_get_msg_id(exact.data(), exact.size(), code);
    }

    template <class Record>
    static int parse(const std::string &text, JsonObjectForeach callback, Record *record)
    {
        std::vector<char> exact(text.begin(), text.end());
        return bap_json_parse_message(exact.data(), exact.size(), callback, record);
    }

    static Exercise parse_exercise(const std::string &text, JsonObjectForeach callback)
    {
        Exercise rsp(g_new0(exercise_info_rsp_data, 1));
        std::vector<char> exact(text.begin(), text.end());
        EXPECT_EQ(bap_json_parse_message(exact.data(), exact.size(), callback, rsp.get()), 0);
        return rsp;
    }
};

constexpr int kUntouched = 77;

TEST_F(BapJsonParser, RecognisesOnlyThisLinksMessages)
{
    struct Case {
        const char *msg_id;
        int result;
        int code;
    };
    const Case cases[] = {
        {"lbs-tracking-location-req", 0, MSG_ID_TRACKING_LOCATION_REQ},
        {"lbs-tracking-location-rsp", 0, MSG_ID_TRACKING_LOCATION_RSP},
        {"lbs-gps-plus-req", 0, MSG_ID_GPS_PLUS_REQ},
        {"lbs-gps-plus-rsp", 0, MSG_ID_GPS_PLUS_RSP},
        {"lbs-location-setting-check-req", 0, MSG_ID_LOCATION_SETTING_CHECK_REQ},
        {"lbs-location-setting-check-rsp", 0, MSG_ID_LOCATION_SETTING_CHECK_RSP},
        {"lbs-switch-location-setting-rsp", 0, MSG_ID_SWITCH_LOCATION_SETTING_RSP},
        {"lbs-exercise-info-rsp", 0, MSG_ID_EXERCISE_INFO_RSP},
        {"lbs-ntp-time-rsp", 0, MSG_ID_NTP_TIME_RSP},
        {"lbs-here-map-rsp", -2, 0},
        {"lbs-pdc-info-rsp", -2, 0},
        {"lbs-exercise-info-req", -2, 0},
        {"lbs-ntp-time-req", -2, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.msg_id);
        dlog_ctl_clear();
        int code = kUntouched;
        EXPECT_EQ(classify(std::string(R"({"msgId":")") + c.msg_id + R"("})", &code), c.result);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(logged(DLOG_ERROR, std::string("[") + c.msg_id + "] is not handled"), c.result != 0);
    }
}

TEST_F(BapJsonParser, PositionsWithLocationInfoAreStillOnePosition)
{
    const std::string text = R"({"msgId":"lbs-tracking-location-rsp","result":1,"method":1,"latitude":37,)"
                             R"("locationInfo":[{"latitude":1},{"latitude":2}]})";
    int code = 0;
    EXPECT_EQ(classify(text, &code), 0);
    EXPECT_EQ(code, MSG_ID_TRACKING_LOCATION_RSP);
    EXPECT_FALSE(logged(DLOG_INFO, "Location batch message."));

    loc_tracking_rsp_message pos{};
    EXPECT_EQ(parse(text, bap_location_tracking_parser, &pos), 0);
    EXPECT_EQ(pos.result, 1);
    EXPECT_EQ(pos.latitude, 37.0);
    EXPECT_TRUE(logged(DLOG_ERROR, "not handled array value key : [locationInfo]!!!"));
}

TEST_F(BapJsonParser, FailuresAreLoggedWithThisLinksLoaderName)
{
    int code = kUntouched;
    EXPECT_EQ(classify("[1]", &code), -2);
    EXPECT_EQ(code, kUntouched);
    EXPECT_TRUE(logged(DLOG_ERROR, "__bap_json_parser_init failed"));
    EXPECT_FALSE(logged(DLOG_ERROR, "__json_parser_init failed"));

    dlog_ctl_clear();
    gps_plus_rsp_message rsp{};
    EXPECT_EQ(parse("{", bap_gps_plus_parser, &rsp), -2);
    EXPECT_TRUE(logged(DLOG_ERROR, "__bap_json_parser_init failed"));

    dlog_ctl_clear();
    const std::string deep = std::string(R"({"msgId":"lbs-gps-plus-rsp","a":)") + std::string(40, '[') +
                             std::string(40, ']') + "}";
    EXPECT_EQ(classify(deep, &code), -2);
    EXPECT_TRUE(logged(DLOG_ERROR, "nested deeper than [32] levels, refused before parsing"));

    struct Case {
        const char *text;
        size_t length;
        JsonObjectForeach cb;
        void *data;
        const char *log;
    };
    const Case cases[] = {
        {nullptr, 1, bap_gps_plus_parser, &rsp, "message_string is NULL"},
        {"{}", 0, bap_gps_plus_parser, &rsp, "message_length is zero"},
        {"{}", 2, nullptr, &rsp, "parser_func is NULL"},
        {"{}", 2, bap_gps_plus_parser, nullptr, "pData is NULL"},
    };
    for (const Case &c : cases) {
        dlog_ctl_clear();
        EXPECT_EQ(bap_json_parse_message(c.text, c.length, c.cb, c.data), -2);
        EXPECT_TRUE(logged(DLOG_ERROR, c.log)) << c.log;
    }
}

TEST_F(BapJsonParser, SharedRepliesReadAsOnTheFirstLink)
{
    gps_plus_rsp_message gps_plus{};
    EXPECT_EQ(parse(R"({"msgId":"lbs-gps-plus-rsp","result":1,"reason":0,"method":2,"x":1})", bap_gps_plus_parser,
                    &gps_plus),
              0);
    EXPECT_EQ(gps_plus.result, 1);
    EXPECT_EQ(gps_plus.method, 2);
    EXPECT_TRUE(logged(DLOG_ERROR, "not handled key [x]"));

    location_setting_check_rsp_message check{};
    EXPECT_EQ(parse(R"({"msgId":"lbs-location-setting-check-rsp","gpsSettings":1,"wpsSettings":1})",
                    bap_location_setting_check_parser, &check),
              0);
    EXPECT_EQ(check.gps_settings, 1);
    EXPECT_EQ(check.wps_settings, 1);

    location_setting_change_rsp_message change{};
    EXPECT_EQ(parse(R"({"msgId":"lbs-switch-location-setting-rsp","result":2})", bap_location_setting_change_parser,
                    &change),
              0);
    EXPECT_EQ(change.result, 2);

    dlog_ctl_clear();
    ref_time_rsp_message ref{};
    EXPECT_EQ(parse(R"({"msgId":"lbs-ntp-time-rsp","result":1,"ntptime":123456789012,"uncertainty":3,"a":{}})",
                    bap_ref_time_parser, &ref),
              0);
    EXPECT_EQ(ref.ntptime, 123456789012);
    EXPECT_EQ(ref.uncertainty, 3);
    EXPECT_TRUE(logged(DLOG_ERROR, "not handled OBJECT : [a]"));
}

TEST_F(BapJsonParser, CadenceIsAnIntegerOnThisLinkAndADoubleOnTheFirst)
{
    struct Case {
        const char *cadence;
        double second_link;
        double first_link;
    };
    const Case cases[] = {
        {"92.7", 92.0, 92.7},
        {"92", 92.0, 92.0},
        {"-3.5", -3.0, -3.5},
        {"\"90\"", 0.0, 0.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.cadence);
        const std::string text = std::string(R"({"msgId":"lbs-exercise-info-rsp","exerciseInfo":[{"stepCadence":)") +
                                 c.cadence + R"(,"speed":2.5}]})";
        Exercise second = parse_exercise(text, bap_exercise_info_parser);
        Exercise first = parse_exercise(text, exercise_info_rsp_parser);
        ASSERT_NE(second->p_exercise_info, nullptr);
        ASSERT_NE(first->p_exercise_info, nullptr);
        EXPECT_EQ(second->p_exercise_info[0].step_cadence, c.second_link);
        EXPECT_EQ(first->p_exercise_info[0].step_cadence, c.first_link);
        EXPECT_EQ(second->p_exercise_info[0].speed, 2.5);
        EXPECT_EQ(second->p_exercise_info[0].auto_pause_status, -1);
    }
}

TEST_F(BapJsonParser, ExerciseEntriesOtherwiseReadAsOnTheFirstLink)
{
    Exercise rsp = parse_exercise(
        R"({"msgId":"lbs-exercise-info-rsp","result":1,"exerciseInfo":[{"stepCount":10,"durationTime":5.5,)"
        R"("stepCadence":[1],"autoPauseStatus":1,"bogus":1}],"extra":null})",
        bap_exercise_info_parser);
    EXPECT_EQ(rsp->result, 1);
    ASSERT_EQ(rsp->num_of_exercise_info, 1u);
    const exercise_info &e = rsp->p_exercise_info[0];
    EXPECT_EQ(e.step_count, 10);
    EXPECT_EQ(e.duration_time, 5.5);
    EXPECT_EQ(e.step_cadence, 0.0) << "a cadence that is no value is skipped";
    EXPECT_EQ(e.auto_pause_status, 1);
    EXPECT_TRUE(logged(DLOG_ERROR, "not handled key [bogus]"));
    EXPECT_TRUE(logged(DLOG_ERROR, "not handled node type : [3]!!!"));

    Exercise empty = parse_exercise(R"({"msgId":"lbs-exercise-info-rsp","exerciseInfo":[]})", bap_exercise_info_parser);
    EXPECT_EQ(empty->p_exercise_info, nullptr);
    EXPECT_TRUE(logged(DLOG_INFO, "Invalid array size [0]"));
}

} // namespace
