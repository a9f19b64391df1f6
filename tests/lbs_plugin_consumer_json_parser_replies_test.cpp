// The other replies of both links: assistance file, map image, location
// setting check and change, reference time, PDC values and exercise figures.
#include "bap/lbs_plugin_consumer_bap_json_parser.h"

#include "protocol_test_support.h"

#include <cstddef>

namespace {

using namespace protocol_test;

// These records begin with (or consist of) 64-bit integers only, so the table
// below reads their fields back in declaration order.
static_assert(sizeof(gps_plus_rsp_message) == 3 * 8 && sizeof(here_map_rsp_message) == 2 * 8 &&
              sizeof(location_setting_check_rsp_message) == 2 * 8 && sizeof(location_setting_change_rsp_message) == 8 &&
              sizeof(ref_time_rsp_message) == 5 * 8 && offsetof(pdc_info_rsp_message, sf_count) == 2 * 8 &&
              offsetof(exercise_info_rsp_data, num_of_exercise_info) == 2 * 8);

// Well-formed replies of every kind are pinned by the scenarios' "kov data"
// and "bap data" lines; the rows here are the members they do not send.
struct FlatReply {
    JsonObjectForeach callback;
    JsonObjectForeach twin; // the second link's callback, or nullptr
    const char *members;
    std::vector<int64_t> fields; // leading fields in order; the rest of the record stays zero
    const char *log;             // the one error line, or nullptr
};

// clang-format off
const FlatReply kFlatReplies[] = {
    {consumer_plugin_gps_plus_response_parser, bap_gps_plus_parser, R"("method":1,"x":1)", {0, 0, 1}, "not handled key [x]"},
    {consumer_plugin_gps_plus_response_parser, bap_gps_plus_parser, R"("result":[1])", {}, "not handled array value key : [result]!!!"},
    {consumer_plugin_gps_plus_response_parser, bap_gps_plus_parser, R"("result":{"a":1})", {}, "not handled array value key : [result]!!!"},
    {consumer_plugin_gps_plus_response_parser, bap_gps_plus_parser, R"("result":null)", {}, "not handled node type : [3]!!!"},
    {_here_map_download_rsp_parser_cb, nullptr, R"("method":1)", {}, "not handled key [method]"},
    {_here_map_download_rsp_parser_cb, nullptr, R"("reason":{"code":3})", {}, "not handled node type : [0]!!!"},
    {_here_map_download_rsp_parser_cb, nullptr, R"("reason":[3])", {}, "not handled node type : [1]!!!"},
    {_here_map_download_rsp_parser_cb, nullptr, R"("reason":null)", {}, "not handled node type : [3]!!!"},
    {consumer_plugin_location_setting_check_response_parser, bap_location_setting_check_parser, R"("gpsSettings":1,"wpsSettings":0,"result":1)", {1, 0}, "not handled key [result]"},
    {consumer_plugin_location_setting_check_response_parser, bap_location_setting_check_parser, R"("gpsSettings":[1])", {}, "not handled array value key : [gpsSettings]!!!"},
    {consumer_plugin_location_setting_check_response_parser, bap_location_setting_check_parser, R"("gpsSettings":null)", {}, "not handled node type : [3]!!!"},
    {consumer_plugin_location_setting_change_response_parser, bap_location_setting_change_parser, R"("result":{"a":1})", {}, "not handled array value key : [result]!!!"},
    {consumer_plugin_location_setting_change_response_parser, bap_location_setting_change_parser, R"("result":null)", {}, "not handled node type : [3]!!!"},
    {ref_time_parser, bap_ref_time_parser, R"("offset":3)", {}, "not handled key [offset]"},
    {ref_time_parser, bap_ref_time_parser, R"("ntptime":[1])", {}, "not handled array value key : [ntptime]"},
    {ref_time_parser, bap_ref_time_parser, R"("ntptime":{"a":1})", {}, "not handled OBJECT : [ntptime]"},
    {ref_time_parser, bap_ref_time_parser, R"("ntptime":null)", {}, "not handled node type : [3]"},
    {pdc_info_parser, nullptr, R"("SF1":[1])", {}, "not handled array value key : [SF1]"},
    {pdc_info_parser, nullptr, R"("SF1":{"a":1})", {}, "not handled OBJECT : [SF1]"},
    {pdc_info_parser, nullptr, R"("SF1":null)", {}, "not handled node type : [3]"},
    {exercise_info_rsp_parser, bap_exercise_info_parser, R"("result":{"a":1})", {}, "not handled array value key : [result]!!!"},
    {exercise_info_rsp_parser, bap_exercise_info_parser, R"("exerciseInfo":{"speed":1})", {}, "not handled array value key : [exerciseInfo]!!!"},
    {exercise_info_rsp_parser, bap_exercise_info_parser, R"("result":null)", {}, "not handled node type : [3]!!!"},
    {exercise_info_rsp_parser, bap_exercise_info_parser, R"("laps":[{"speed":1}])", {}, nullptr},
};
// clang-format on

class OtherReplies : public ProtocolTest {};

TEST_F(OtherReplies, EachReplyTakesItsKeysAndLogsTheRestInItsWords)
{
    for (const FlatReply &r : kFlatReplies) {
        for (auto [callback, parse_fn] : {std::pair{r.callback, ParseFn{parse_json_message}},
                                          std::pair{r.twin, ParseFn{bap_json_parse_message}}}) {
            if (callback == nullptr)
                continue;
            SCOPED_TRACE(testing::Message() << r.members << (parse_fn == bap_json_parse_message ? " (second link)" : ""));
            dlog_ctl_clear();
            auto scratch = std::make_unique<Scratch>();
            EXPECT_EQ(on_copy(parse_fn, std::string(R"({"msgId":"x",)") + r.members + "}", callback, scratch->bytes), 0);
            std::vector<int64_t> fields(r.fields.size());
            if (!fields.empty())
                std::memcpy(fields.data(), scratch->bytes, fields.size() * sizeof(int64_t));
            EXPECT_EQ(fields, r.fields);
            EXPECT_TRUE(scratch->zero_from(fields.size() * sizeof(int64_t)));
            EXPECT_TRUE(r.log != nullptr ? only_logged(DLOG_ERROR, r.log) : dlog_ctl_count() == 0);
        }
    }
}

// "<prefix>1".."<prefix><n>" with value 10 * i, comma-separated.
std::string sf_members(const char *prefix, int n)
{
    std::string s;
    for (int i = 1; i <= n; ++i)
        s += std::string(i > 1 ? "," : "") + "\"" + prefix + std::to_string(i) + "\":" + std::to_string(10 * i);
    return s;
}

TEST_F(OtherReplies, PdcValuesGoToTheirSlotsAndTwentyMembersAreTheLimit)
{
    struct Case {
        std::string members;
        uint64_t count;
        int filled;                                 // SF1..SF<filled> hold 10 * i
        std::vector<std::pair<int, int64_t>> slots; // further 1-based slots and values; every other slot 0
        int prio;
        const char *log; // the last line, or nullptr for none
    };
    const Case cases[] = {
        {R"("SF1":5,"SF3":7)", 2, 0, {{1, 5}, {3, 7}}, 0, nullptr},
        {R"("result":1,"reason":0,"SF20":-4)", 1, 0, {{20, -4}}, 0, nullptr},
        {R"("SF0":5)", 1, 0, {}, DLOG_WARN, "Unknown key [SF0]"},
        {R"("SF01":5)", 1, 0, {}, DLOG_WARN, "Unknown key [SF01]"},
        {R"("SF-1":5)", 1, 0, {}, DLOG_WARN, "Unknown key [SF-1]"},
        {R"("SFX":5)", 1, 0, {}, DLOG_WARN, "Unknown key [SFX]"},
        {R"("SF":5)", 1, 0, {}, DLOG_WARN, "Unknown key [SF]"},
        {R"("SF2 ":5)", 1, 0, {}, DLOG_WARN, "Unknown key [SF2 ]"},
        {R"("sf1":5)", 0, 0, {}, DLOG_ERROR, "not handled key [sf1]"},
        {R"("SF4":"12","SF5":3.9)", 2, 0, {{5, 3}}, 0, nullptr}, // text reads 0, a double is truncated
        {sf_members("SF", 21), 20, 20, {}, DLOG_WARN, "SF21 over 20"},
        // members count in arrival order: past twenty, even a free valid slot is refused
        {sf_members("SFX", 20) + R"(,"SF20":9,"SF1":8)", 20, 0, {}, DLOG_WARN, "SF1 over 20"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.members);
        dlog_ctl_clear();
        auto pdc = parse_into<pdc_info_rsp_message>(R"({"msgId":"lbs-pdc-info-rsp",)" + c.members + "}",
                                                    pdc_info_parser);
        EXPECT_EQ(pdc->sf_count, c.count);
        int64_t expected[LBS_CONSUMER_MAX_PDC_VALUES] = {};
        for (int i = 0; i < c.filled; ++i)
            expected[i] = 10 * (i + 1);
        for (auto [slot, value] : c.slots)
            expected[slot - 1] = value;
        for (int i = 0; i < LBS_CONSUMER_MAX_PDC_VALUES; ++i)
            EXPECT_EQ(pdc->sf[i], expected[i]) << "SF" << i + 1;
        EXPECT_EQ(last_logged(), c.log != nullptr ? c.log : "");
        EXPECT_TRUE(c.log == nullptr || logged(c.prio, c.log));
    }
}

// The exercise reply of each link.
const std::pair<JsonObjectForeach, ParseFn> kExerciseLinks[] = {{exercise_info_rsp_parser, parse_json_message},
                                                                {bap_exercise_info_parser, bap_json_parse_message}};

// kov_exercise pins the first link's entry key by key; bap_exercise sends
// only some of the keys.
TEST_F(OtherReplies, SecondLinkExerciseEntryTakesAllTwentyEightKeysWithTheirTypes)
{
    const std::string text =
        R"({"msgId":"lbs-exercise-info-rsp","result":1,"reason":3,"exerciseInfo":[{)"
        R"("timestamp":1700000000123,"latitude":37.5,"longitude":127.25,"totalDistance":1200,)"
        R"("inclineDistance":10.5,"declineDistance":20.5,"flatDistance":30.5,"inclineTime":40,)"
        R"("declineTime":50,"flatTime":60,"altitude":70.5,"maxAltitude":80.5,"minAltitude":-90.5,)"
        R"("speed":1.5,"maxSpeed":2.5,"averageSpeed":3.5,"pace":4.5,"maxPace":5.5,"averagePace":6.5,)"
        R"("consumedCalorie":7.5,"stepCount":1500,"basePressure":1013.25,"gpsStatus":3,"accuracy":8.5,)"
        R"("durationTime":3600.5,"movingTime":3500.25,"autoPauseStatus":0,"stepCadence":92.7}]})";
    // clang-format off
    const exercise_info want = {1700000000123, 37.5, 127.25, 1200.0, 10.5, 20.5, 30.5, 40, 50, 60, 70.5, 80.5, -90.5,
                                1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 1500, 1013.25, 3, 8.5, 3600.5, 3500.25, 0, 92.0};
    // clang-format on
    auto rsp = parse_into<exercise_info_rsp_data>(text, bap_exercise_info_parser, bap_json_parse_message);
    EXPECT_EQ(rsp->result, 1);
    EXPECT_EQ(rsp->reason, 3);
    ASSERT_EQ(rsp->num_of_exercise_info, 1u);
    ASSERT_NE(rsp->p_exercise_info, nullptr);
    EXPECT_EQ(rsp->p_exercise_info[0], want);
    EXPECT_EQ(dlog_ctl_count(), 0u);
}

TEST_F(OtherReplies, ExerciseEntriesDefaultToNoAutoPauseStatusAndAnEmptyArrayToNoBlock)
{
    for (auto [callback, parse_fn] : kExerciseLinks) {
        SCOPED_TRACE(parse_fn == parse_json_message ? "first link" : "second link");
        dlog_ctl_clear();
        auto rsp = parse_into<exercise_info_rsp_data>(
            R"({"msgId":"lbs-exercise-info-rsp","exerciseInfo":[{"totalDistance":1200,"stepCount":1500},)"
            R"(7,{"speed":2,"laps":[1],"inclineTime":1.9,"result":1},null]})",
            callback, parse_fn);
        ASSERT_EQ(rsp->num_of_exercise_info, 4u);
        ASSERT_NE(rsp->p_exercise_info, nullptr);
        const exercise_info *e = rsp->p_exercise_info;
        EXPECT_EQ(e[0], (exercise_info{.total_distance = 1200.0, .step_count = 1500, .auto_pause_status = -1}));
        EXPECT_EQ(e[1], (exercise_info{.auto_pause_status = -1})) << "an element that is no object leaves its entry";
        EXPECT_EQ(e[2], (exercise_info{.incline_time = 1, .speed = 2.0, .auto_pause_status = -1}))
            << "an integer field truncates a double";
        EXPECT_EQ(e[3], (exercise_info{.auto_pause_status = -1}));
        EXPECT_TRUE(only_logged(DLOG_ERROR, "not handled key [result]")) << "an array member is skipped silently";

        dlog_ctl_clear();
        auto empty = parse_into<exercise_info_rsp_data>(
            R"({"msgId":"lbs-exercise-info-rsp","result":2,"exerciseInfo":[]})", callback, parse_fn);
        EXPECT_EQ(empty->num_of_exercise_info, 0u);
        EXPECT_EQ(empty->p_exercise_info, nullptr);
        EXPECT_EQ(empty->result, 2);
        EXPECT_TRUE(only_logged(DLOG_INFO, "Invalid array size [0]"));
    }
}

TEST_F(OtherReplies, ASecondEntryArrayReplacesTheFirstWithoutLeaking)
{
    Owned<exercise_info_rsp_data> rsp(g_new0(exercise_info_rsp_data, 1));
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

    exercise_info_rsp_data_release_entries(rsp.get()); // clears the pointer, so a second release is harmless
    EXPECT_EQ(rsp->p_exercise_info, nullptr);
    exercise_info_rsp_data_release_entries(rsp.get());
    exercise_info_rsp_data_release_entries(nullptr);
}

} // namespace
