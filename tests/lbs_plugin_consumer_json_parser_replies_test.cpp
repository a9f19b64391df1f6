// The other replies of the first link: assistance file, map image, location
// setting check and change, reference time, PDC values and exercise figures.
#include "kov/lbs_plugin_consumer_json_parser.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct GFree {
    void operator()(void *p) const { g_free(p); }
};
struct ExerciseFree {
    void operator()(exercise_info_rsp_data *p) const
    {
        exercise_info_rsp_data_release_entries(p);
        g_free(p);
    }
};

template <class Record, class Deleter = GFree>
std::unique_ptr<Record, Deleter> parse(const std::string &text, JsonObjectForeach callback)
{
    std::unique_ptr<Record, Deleter> record(static_cast<Record *>(g_malloc0(sizeof(Record))));
    std::vector<char> exact(text.begin(), text.end());
    EXPECT_EQ(parse_json_message(exact.data(), exact.size(), callback, record.get()), 0) << text;
    return record;
}

auto parse_exercise(const std::string &text)
{
    return parse<exercise_info_rsp_data, ExerciseFree>(text, exercise_info_rsp_parser);
}

class OtherReplies : public ::testing::Test {
protected:
    void SetUp() override { dlog_ctl_clear(); }
};

TEST_F(OtherReplies, AssistanceMapAndSettingRepliesTakeTheirKeys)
{
    auto gps_plus = parse<gps_plus_rsp_message>(R"({"msgId":"lbs-gps-plus-rsp","result":2,"reason":1,"method":2})",
                                                consumer_plugin_gps_plus_response_parser);
    EXPECT_EQ(gps_plus->result, 2);
    EXPECT_EQ(gps_plus->reason, 1);
    EXPECT_EQ(gps_plus->method, 2);

    auto map = parse<here_map_rsp_message>(R"({"msgId":"lbs-here-map-rsp","result":2,"reason":3})",
                                           _here_map_download_rsp_parser_cb);
    EXPECT_EQ(map->result, 2);
    EXPECT_EQ(map->reason, 3);

    auto check = parse<location_setting_check_rsp_message>(
        R"({"msgId":"lbs-location-setting-check-rsp","gpsSettings":1,"wpsSettings":0})",
        consumer_plugin_location_setting_check_response_parser);
    EXPECT_EQ(check->gps_settings, 1);
    EXPECT_EQ(check->wps_settings, 0);

    auto change = parse<location_setting_change_rsp_message>(R"({"msgId":"lbs-switch-location-setting-rsp","result":1})",
                                                             consumer_plugin_location_setting_change_response_parser);
    EXPECT_EQ(change->result, 1);
    EXPECT_EQ(dlog_ctl_count(), 0u);
}

TEST_F(OtherReplies, KeysAReplyDoesNotCarryAreLoggedAndChangeNothing)
{
    auto check = parse<location_setting_check_rsp_message>(
        R"({"msgId":"lbs-location-setting-check-rsp","gpsSettings":1,"wpsSettings":0,"result":1})",
        consumer_plugin_location_setting_check_response_parser);
    EXPECT_EQ(check->gps_settings, 1);
    EXPECT_EQ(check->wps_settings, 0);
    EXPECT_EQ(dlog_ctl_count(), 1u);
    EXPECT_TRUE(logged(DLOG_ERROR, "not handled key [result]"));

    dlog_ctl_clear();
    auto change = parse<location_setting_change_rsp_message>(
        R"({"msgId":"lbs-switch-location-setting-rsp","result":1,"reason":2})",
        consumer_plugin_location_setting_change_response_parser);
    EXPECT_EQ(change->result, 1);
    EXPECT_TRUE(logged(DLOG_ERROR, "not handled key [reason]"));

    dlog_ctl_clear();
    auto map = parse<here_map_rsp_message>(R"({"msgId":"lbs-here-map-rsp","method":1})",
                                           _here_map_download_rsp_parser_cb);
    EXPECT_TRUE(logged(DLOG_ERROR, "not handled key [method]"));
}

// Room for any of these records, checked to stay zero.
struct Scratch {
    alignas(8) unsigned char bytes[256] = {};
    bool untouched() const
    {
        for (unsigned char b : bytes)
            if (b != 0)
                return false;
        return true;
    }
};

TEST_F(OtherReplies, MembersThatAreNoValuesAreLoggedByEachReplyInItsWords)
{
    struct Case {
        const char *reply;
        JsonObjectForeach callback;
        const char *member;
        const char *log; // nullptr: skipped without a line
    };
    // clang-format off
    const Case cases[] = {
        {"gps plus", consumer_plugin_gps_plus_response_parser, R"("result":[1])", "not handled array value key : [result]!!!"},
        {"gps plus", consumer_plugin_gps_plus_response_parser, R"("result":{"a":1})", "not handled array value key : [result]!!!"},
        {"gps plus", consumer_plugin_gps_plus_response_parser, R"("result":null)", "not handled node type : [3]!!!"},
        {"setting check", consumer_plugin_location_setting_check_response_parser, R"("gpsSettings":[1])", "not handled array value key : [gpsSettings]!!!"},
        {"setting check", consumer_plugin_location_setting_check_response_parser, R"("gpsSettings":null)", "not handled node type : [3]!!!"},
        {"setting change", consumer_plugin_location_setting_change_response_parser, R"("result":{"a":1})", "not handled array value key : [result]!!!"},
        {"setting change", consumer_plugin_location_setting_change_response_parser, R"("result":null)", "not handled node type : [3]!!!"},
        {"map", _here_map_download_rsp_parser_cb, R"("reason":{"code":3})", "not handled node type : [0]!!!"},
        {"map", _here_map_download_rsp_parser_cb, R"("reason":[3])", "not handled node type : [1]!!!"},
        {"map", _here_map_download_rsp_parser_cb, R"("reason":null)", "not handled node type : [3]!!!"},
        {"ref time", ref_time_parser, R"("ntptime":[1])", "not handled array value key : [ntptime]"},
        {"ref time", ref_time_parser, R"("ntptime":{"a":1})", "not handled OBJECT : [ntptime]"},
        {"ref time", ref_time_parser, R"("ntptime":null)", "not handled node type : [3]"},
        {"pdc", pdc_info_parser, R"("SF1":[1])", "not handled array value key : [SF1]"},
        {"pdc", pdc_info_parser, R"("SF1":{"a":1})", "not handled OBJECT : [SF1]"},
        {"pdc", pdc_info_parser, R"("SF1":null)", "not handled node type : [3]"},
        {"exercise", exercise_info_rsp_parser, R"("result":{"a":1})", "not handled array value key : [result]!!!"},
        {"exercise", exercise_info_rsp_parser, R"("result":null)", "not handled node type : [3]!!!"},
        {"exercise", exercise_info_rsp_parser, R"("laps":[{"speed":1}])", nullptr},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.reply << " " << c.member);
        dlog_ctl_clear();
        Scratch scratch;
        const std::string text = std::string(R"({"msgId":"x",)") + c.member + "}";
        EXPECT_EQ(parse_json_message(text.data(), text.size(), c.callback, scratch.bytes), 0);
        EXPECT_TRUE(scratch.untouched());
        ASSERT_EQ(dlog_ctl_count(), c.log != nullptr ? 1u : 0u);
        if (c.log != nullptr) {
            EXPECT_TRUE(logged(DLOG_ERROR, c.log));
        }
    }
}

TEST_F(OtherReplies, ReferenceTimeTakesItsFiveKeys)
{
    auto ref = parse<ref_time_rsp_message>(
        R"({"msgId":"lbs-ntp-time-rsp","result":1,"reason":0,"method":1,"ntptime":1700000000123456789,)"
        R"("uncertainty":25,"offset":3})",
        ref_time_parser);
    EXPECT_EQ(ref->result, 1);
    EXPECT_EQ(ref->method, 1);
    EXPECT_EQ(ref->ntptime, 1700000000123456789);
    EXPECT_EQ(ref->uncertainty, 25);
    EXPECT_TRUE(logged(DLOG_ERROR, "not handled key [offset]"));
}

// "SF1".."SF<n>" with value 10 * i.
std::string sf_members(int n)
{
    std::string s;
    for (int i = 1; i <= n; ++i)
        s += ",\"SF" + std::to_string(i) + "\":" + std::to_string(10 * i);
    return s;
}

TEST_F(OtherReplies, PdcValuesGoToTheirSlotsAndTwentyMembersAreTheLimit)
{
    struct Case {
        std::string members;
        uint64_t count;
        std::vector<std::pair<int, int64_t>> slots; // 1-based slot, value; every other slot 0
        int prio;
        const char *log; // nullptr: no line
    };
    const Case cases[] = {
        {R"("SF1":5,"SF3":7)", 2, {{1, 5}, {3, 7}}, 0, nullptr},
        {R"("result":1,"reason":0,"SF20":-4)", 1, {{20, -4}}, 0, nullptr},
        {R"("SF21":5)", 1, {}, DLOG_WARN, "Unknown key [SF21]"},
        {R"("SF0":5)", 1, {}, DLOG_WARN, "Unknown key [SF0]"},
        {R"("SF01":5)", 1, {}, DLOG_WARN, "Unknown key [SF01]"},
        {R"("SF-1":5)", 1, {}, DLOG_WARN, "Unknown key [SF-1]"},
        {R"("SFX":5)", 1, {}, DLOG_WARN, "Unknown key [SFX]"},
        {R"("SF":5)", 1, {}, DLOG_WARN, "Unknown key [SF]"},
        {R"("SF2 ":5)", 1, {}, DLOG_WARN, "Unknown key [SF2 ]"},
        {R"("sf1":5)", 0, {}, DLOG_ERROR, "not handled key [sf1]"},
        {R"("SF4":"12","SF5":3.9)", 2, {{5, 3}}, 0, nullptr}, // text reads 0, a double is truncated
        {sf_members(21).substr(1), 20, {{1, 10}, {20, 200}}, DLOG_WARN, "SF21 over 20"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.members);
        dlog_ctl_clear();
        auto pdc = parse<pdc_info_rsp_message>(R"({"msgId":"lbs-pdc-info-rsp",)" + c.members + "}", pdc_info_parser);
        EXPECT_EQ(pdc->sf_count, c.count);
        int64_t expected[LBS_CONSUMER_MAX_PDC_VALUES] = {};
        if (c.count == 20)
            for (int i = 0; i < 20; ++i)
                expected[i] = 10 * (i + 1);
        for (auto [slot, value] : c.slots)
            expected[slot - 1] = value;
        for (int i = 0; i < LBS_CONSUMER_MAX_PDC_VALUES; ++i)
            EXPECT_EQ(pdc->sf[i], expected[i]) << "SF" << i + 1;
        if (c.log != nullptr) {
            EXPECT_TRUE(logged(c.prio, c.log));
        } else {
            EXPECT_EQ(dlog_ctl_count(), 0u);
        }
    }
}

TEST_F(OtherReplies, PdcLimitCountsMembersInArrivalOrderEvenForAFreeSlot)
{
    std::string members;
    for (int i = 0; i < 20; ++i)
        members += ",\"SFX" + std::to_string(i) + "\":1";
    auto pdc = parse<pdc_info_rsp_message>(R"({"msgId":"lbs-pdc-info-rsp")" + members + R"(,"SF20":9,"SF1":8})",
                                           pdc_info_parser);
    EXPECT_EQ(pdc->sf_count, 20u);
    EXPECT_EQ(pdc->sf[19], 0);
    EXPECT_EQ(pdc->sf[0], 0);
    EXPECT_TRUE(logged(DLOG_WARN, "SF20 over 20"));
    EXPECT_TRUE(logged(DLOG_WARN, "SF1 over 20"));
}

TEST_F(OtherReplies, ExerciseEntryTakesAllTwentyEightKeysWithTheirTypes)
{
    auto rsp = parse_exercise(
        R"({"msgId":"lbs-exercise-info-rsp","result":1,"reason":0,"exerciseInfo":[{)"
        R"("timestamp":1700000000123,"latitude":37.5,"longitude":127.25,"totalDistance":1200,)"
        R"("inclineDistance":10.5,"declineDistance":20.5,"flatDistance":30.5,"inclineTime":40,)"
        R"("declineTime":50,"flatTime":60,"altitude":70.5,"maxAltitude":80.5,"minAltitude":-90.5,)"
        R"("speed":1.5,"maxSpeed":2.5,"averageSpeed":3.5,"pace":4.5,"maxPace":5.5,"averagePace":6.5,)"
        R"("consumedCalorie":7.5,"stepCount":1500,"basePressure":1013.25,"gpsStatus":3,"accuracy":8.5,)"
        R"("durationTime":3600.5,"movingTime":3500.25,"autoPauseStatus":0,"stepCadence":92.7}]})");
    EXPECT_EQ(rsp->result, 1);
    ASSERT_EQ(rsp->num_of_exercise_info, 1u);
    ASSERT_NE(rsp->p_exercise_info, nullptr);
    const exercise_info &e = rsp->p_exercise_info[0];
    EXPECT_EQ(e.timestamp, 1700000000123);
    EXPECT_EQ(e.latitude, 37.5);
    EXPECT_EQ(e.longitude, 127.25);
    EXPECT_EQ(e.total_distance, 1200.0);
    EXPECT_EQ(e.incline_distance, 10.5);
    EXPECT_EQ(e.decline_distance, 20.5);
    EXPECT_EQ(e.flat_distance, 30.5);
    EXPECT_EQ(e.incline_time, 40);
    EXPECT_EQ(e.decline_time, 50);
    EXPECT_EQ(e.flat_time, 60);
    EXPECT_EQ(e.altitude, 70.5);
    EXPECT_EQ(e.max_altitude, 80.5);
    EXPECT_EQ(e.min_altitude, -90.5);
    EXPECT_EQ(e.speed, 1.5);
    EXPECT_EQ(e.max_speed, 2.5);
    EXPECT_EQ(e.average_speed, 3.5);
    EXPECT_EQ(e.pace, 4.5);
    EXPECT_EQ(e.max_pace, 5.5);
    EXPECT_EQ(e.average_pace, 6.5);
    EXPECT_EQ(e.consumed_calorie, 7.5);
    EXPECT_EQ(e.step_count, 1500);
    EXPECT_EQ(e.base_pressure, 1013.25);
    EXPECT_EQ(e.gps_status, 3);
    EXPECT_EQ(e.accuracy, 8.5);
    EXPECT_EQ(e.duration_time, 3600.5) << "durationTime is a double";
    EXPECT_EQ(e.moving_time, 3500.25) << "movingTime is a double";
    EXPECT_EQ(e.auto_pause_status, 0);
    EXPECT_EQ(e.step_cadence, 92.7);
    EXPECT_EQ(dlog_ctl_count(), 0u);
}

TEST_F(OtherReplies, ExerciseEntriesDefaultToNoAutoPauseStatus)
{
    auto rsp = parse_exercise(
        R"({"msgId":"lbs-exercise-info-rsp","exerciseInfo":[{"totalDistance":1200,"stepCount":1500},)"
        R"(7,{"speed":2,"laps":[1],"inclineTime":1.9,"result":1},null]})");
    ASSERT_EQ(rsp->num_of_exercise_info, 4u);
    ASSERT_NE(rsp->p_exercise_info, nullptr);
    const exercise_info *e = rsp->p_exercise_info;
    EXPECT_EQ(e[0].total_distance, 1200.0);
    EXPECT_EQ(e[0].step_count, 1500);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(e[i].auto_pause_status, -1) << i;
    EXPECT_EQ(e[1].total_distance, 0.0) << "an element that is no object leaves its entry zero";
    EXPECT_EQ(e[2].speed, 2.0);
    EXPECT_EQ(e[2].incline_time, 1) << "an integer field truncates a double";
    EXPECT_EQ(dlog_ctl_count(), 1u) << "the array member is skipped silently, the result is not";
    EXPECT_TRUE(logged(DLOG_ERROR, "not handled key [result]"));
}

TEST_F(OtherReplies, ExerciseReplyWithoutEntriesHasNoBlock)
{
    auto empty = parse_exercise(R"({"msgId":"lbs-exercise-info-rsp","result":2,"reason":5,"exerciseInfo":[]})");
    EXPECT_EQ(empty->num_of_exercise_info, 0u);
    EXPECT_EQ(empty->p_exercise_info, nullptr);
    EXPECT_EQ(empty->result, 2);
    EXPECT_EQ(empty->reason, 5);
    EXPECT_TRUE(logged(DLOG_INFO, "Invalid array size [0]"));

    auto missing = parse_exercise(R"({"msgId":"lbs-exercise-info-rsp","result":1})");
    EXPECT_EQ(missing->num_of_exercise_info, 0u);
    EXPECT_EQ(missing->p_exercise_info, nullptr);

    auto not_array = parse_exercise(R"({"msgId":"lbs-exercise-info-rsp","exerciseInfo":{"speed":1}})");
    EXPECT_EQ(not_array->p_exercise_info, nullptr);
    EXPECT_TRUE(logged(DLOG_ERROR, "not handled array value key : [exerciseInfo]!!!"));
}

TEST_F(OtherReplies, ASecondEntryArrayReplacesTheFirstWithoutLeaking)
{
    std::unique_ptr<exercise_info_rsp_data, ExerciseFree> rsp(g_new0(exercise_info_rsp_data, 1));
    JsonNode *first = json_from_string(R"([{"speed":1},{"speed":2}])", nullptr);
    JsonNode *second = json_from_string(R"([{"speed":3}])", nullptr);
    JsonObject *object = json_object_new();
    exercise_info_rsp_parser(object, "exerciseInfo", first, rsp.get());
    exercise_info_rsp_parser(object, "exerciseInfo", second, rsp.get());
    ASSERT_EQ(rsp->num_of_exercise_info, 1u);
    ASSERT_NE(rsp->p_exercise_info, nullptr);
    EXPECT_EQ(rsp->p_exercise_info[0].speed, 3.0);
    json_object_unref(object);
    json_node_unref(first);
    json_node_unref(second);
}

TEST_F(OtherReplies, ReleasingEntriesClearsThePointerAndAcceptsNothing)
{
    auto rsp = parse_exercise(R"({"msgId":"lbs-exercise-info-rsp","exerciseInfo":[{"speed":1}]})");
    ASSERT_NE(rsp->p_exercise_info, nullptr);
    exercise_info_rsp_data_release_entries(rsp.get());
    EXPECT_EQ(rsp->p_exercise_info, nullptr);
    exercise_info_rsp_data_release_entries(rsp.get());
    exercise_info_rsp_data_release_entries(nullptr);
}

} // namespace
