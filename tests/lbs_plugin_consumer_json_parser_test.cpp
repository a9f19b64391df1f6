// The parse frame of the first link: classification by "msgId", loading,
// the nesting guard, number reading and what every member callback checks.
#include "kov/lbs_plugin_consumer_json_parser.h"

#include "bap/lbs_plugin_consumer_bap_json_parser.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// GLib's own warnings and criticals, so that a test can tell it caused none.
std::vector<std::string> g_glib_messages;

void capture_glib(const gchar *, GLogLevelFlags level, const gchar *message, gpointer)
{
    if (level & (G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING))
        g_glib_messages.emplace_back(message != nullptr ? message : "");
}

class JsonFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        dlog_ctl_clear();
        g_glib_messages.clear();
        previous_ = g_log_set_default_handler(capture_glib, nullptr);
    }
    void TearDown() override
    {
        g_log_set_default_handler(previous_, nullptr);
        EXPECT_EQ(g_glib_messages.size(), expected_glib_messages_) << "GLib complained";
    }

    // Classifies a copy of text that ends exactly where the text ends, so
    // that any read past the length is caught by the address sanitizer.
    int classify(const std::string &text, int *code)
    {
        std::vector<char> exact(text.begin(), text.end());
        return get_msg_id_from_json_string(exact.data(), exact.size(), code);
    }

    size_t expected_glib_messages_ = 0;

private:
    GLogFunc previous_ = nullptr;
};

constexpr int kUntouched = 77;

struct Classification {
    const char *text;
    int result;
    int code;
    const char *log; // an expected line, or nullptr
};

// clang-format off
const Classification kClassifications[] = {
    {R"({"msgId":"lbs-tracking-location-req"})", 0, MSG_ID_TRACKING_LOCATION_REQ, nullptr},
    {R"({"msgId":"lbs-tracking-location-rsp","result":1})", 0, MSG_ID_TRACKING_LOCATION_RSP, nullptr},
    {R"({"msgId":"lbs-tracking-location-rsp","locationInfo":[]})", 0, MSG_ID_LOCATION_BATCH_RSP, "Location batch message."},
    {R"({"locationInfo":null,"msgId":"lbs-tracking-location-rsp"})", 0, MSG_ID_LOCATION_BATCH_RSP, "Location batch message."},
    {R"({"msgId":"lbs-tracking-location-rsp","locationinfo":[]})", 0, MSG_ID_TRACKING_LOCATION_RSP, nullptr},
    {R"({"msgId":"lbs-gps-plus-req"})", 0, MSG_ID_GPS_PLUS_REQ, nullptr},
    {R"({"msgId":"lbs-gps-plus-rsp","locationInfo":[]})", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
    {R"({"msgId":"lbs-location-setting-check-req"})", 0, MSG_ID_LOCATION_SETTING_CHECK_REQ, nullptr},
    {R"({"msgId":"lbs-location-setting-check-rsp"})", 0, MSG_ID_LOCATION_SETTING_CHECK_RSP, nullptr},
    {R"({"msgId":"lbs-switch-location-setting-rsp"})", 0, MSG_ID_SWITCH_LOCATION_SETTING_RSP, nullptr},
    {R"({"msgId":"lbs-exercise-info-rsp"})", 0, MSG_ID_EXERCISE_INFO_RSP, nullptr},
    {R"({"msgId":"lbs-here-map-rsp"})", 0, MSG_ID_HERE_MAP_RSP, nullptr},
    {R"({"msgId":"lbs-ntp-time-rsp"})", 0, MSG_ID_NTP_TIME_RSP, nullptr},
    {R"({"msgId":"lbs-pdc-info-rsp"})", 0, MSG_ID_PDC_INFO_RSP, nullptr},
    // request ids that are not recognised, and near misses
    {R"({"msgId":"lbs-exercise-info-req"})", -2, 0, "[lbs-exercise-info-req] is not handled"},
    {R"({"msgId":"lbs-switch-location-setting-req"})", -2, 0, "[lbs-switch-location-setting-req] is not handled"},
    {R"({"msgId":"lbs-here-map-req"})", -2, 0, "[lbs-here-map-req] is not handled"},
    {R"({"msgId":"lbs-ntp-time-req"})", -2, 0, "[lbs-ntp-time-req] is not handled"},
    {R"({"msgId":"lbs-pdc-info-req"})", -2, 0, "[lbs-pdc-info-req] is not handled"},
    {R"({"msgId":"LBS-GPS-PLUS-RSP"})", -2, 0, "[LBS-GPS-PLUS-RSP] is not handled"},
    {R"({"msgId":"lbs-gps-plus-rsp "})", -2, 0, "[lbs-gps-plus-rsp ] is not handled"},
    {R"({"msgId":""})", -2, 0, "[] is not handled"},
    // a "msgId" that is not a text
    {R"({"msgId":5})", -2, 0, "[(null)] is not handled"},
    {R"({"msgId":true})", -2, 0, "[(null)] is not handled"},
    // no usable "msgId": the caller's code is left alone
    {R"({"result":1})", 0, kUntouched, nullptr},
    {R"({"msgId":null})", 0, kUntouched, nullptr},
    {R"({"msgId":{"a":1}})", 0, kUntouched, nullptr},
    {R"({"msgId":["lbs-gps-plus-rsp"]})", 0, kUntouched, nullptr},
    {R"({})", 0, kUntouched, nullptr},
    // texts that do not load as an object
    {R"([{"msgId":"lbs-gps-plus-rsp"}])", -2, kUntouched, "rootObj == NULL!!!"},
    {R"("lbs-gps-plus-rsp")", -2, kUntouched, "rootObj == NULL!!!"},
    {R"({"msgId":"lbs-gps-plus-rsp")", -2, kUntouched, "error != NULL!!!"},
    {R"({"msgId":"lbs-gps-plus-rsp",})", -2, kUntouched, "error != NULL!!!"},
    {"   ", -2, kUntouched, "*rootNode == NULL!!!"},
    {"{\"msgId\":\"\xff\xfe\"}", -2, kUntouched, "error != NULL!!!"},
};
// clang-format on

TEST_F(JsonFrame, ClassifiesByMessageIdAndBatchesByLocationInfo)
{
    for (const Classification &c : kClassifications) {
        SCOPED_TRACE(c.text);
        dlog_ctl_clear();
        int code = kUntouched;
        EXPECT_EQ(classify(c.text, &code), c.result);
        EXPECT_EQ(code, c.code);
        if (c.log != nullptr) {
            EXPECT_EQ(captured_logs().at(0).message, c.log);
        }
        if (c.result == -2 && c.code == kUntouched) {
            EXPECT_TRUE(logged(DLOG_ERROR, "__json_parser_init failed"));
        }
        if (c.result == 0 && c.log == nullptr) {
            EXPECT_EQ(dlog_ctl_count(), 0u);
        }
    }
}

TEST_F(JsonFrame, ReadsOnlyTheBytesWithinTheLength)
{
    const std::string reply = R"({"msgId":"lbs-gps-plus-rsp"})";
    int code = 0;

    // What follows the length is never looked at, even a second object.
    const std::string longer = reply + R"(garbage{"msgId":"lbs-ntp-time-rsp"})";
    EXPECT_EQ(get_msg_id_from_json_string(longer.data(), reply.size(), &code), 0);
    EXPECT_EQ(code, MSG_ID_GPS_PLUS_RSP);

    // A length that stops inside the object makes it malformed.
    code = kUntouched;
    EXPECT_EQ(get_msg_id_from_json_string(reply.data(), reply.size() - 1, &code), -2);
    EXPECT_EQ(code, kUntouched);

    // An embedded NUL inside the length is not JSON.
    std::string with_nul = reply;
    with_nul.insert(10, 1, '\0');
    EXPECT_EQ(classify(with_nul, &code), -2);
    EXPECT_EQ(classify(reply + std::string(1, '\0'), &code), -2);
}

TEST_F(JsonFrame, MissingTextOrLengthIsAnInputError)
{
    int code = kUntouched;
    EXPECT_EQ(get_msg_id_from_json_string(nullptr, 10, &code), -2);
    EXPECT_TRUE(logged(DLOG_ERROR, "input parameter error!!! pBuffer : [(null)], length : [10]"));
    dlog_ctl_clear();
    const char not_terminated[4] = {'{', '}', '{', '}'};
    EXPECT_EQ(get_msg_id_from_json_string(not_terminated, 0, &code), -2);
    EXPECT_TRUE(logged(DLOG_ERROR, "input parameter error!!! pBuffer : [], length : [0]"));
    EXPECT_TRUE(logged(DLOG_ERROR, "__json_parser_init failed"));
    EXPECT_EQ(code, kUntouched);
    EXPECT_EQ(get_msg_id_from_json_string("{}", 2, nullptr), -2);
}

TEST_F(JsonFrame, ParserInitHandsOverTheParserOrLeavesNothing)
{
    const char text[] = R"({"msgId":"x"})";
    JsonParser *parser = nullptr;
    JsonNode *node = nullptr;
    JsonObject *object = nullptr;
    ASSERT_TRUE(__json_parser_init(&parser, &node, &object, text, sizeof text - 1));
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(json_node_get_object(node), object);
    EXPECT_TRUE(json_object_has_member(object, "msgId"));
    g_object_unref(parser);

    struct Case {
        JsonParser **parser;
        JsonNode **node;
        JsonObject **object;
        const char *log;
    };
    const Case cases[] = {
        {nullptr, &node, &object, "parser == NULL!!!"},
        {&parser, nullptr, &object, "rootNode == NULL!!!"},
        {&parser, &node, nullptr, "rootObj == NULL!!!"},
    };
    for (const Case &c : cases) {
        dlog_ctl_clear();
        EXPECT_FALSE(__json_parser_init(c.parser, c.node, c.object, text, sizeof text - 1));
        EXPECT_TRUE(logged(DLOG_ERROR, c.log)) << c.log;
    }

    parser = reinterpret_cast<JsonParser *>(&parser); // must be cleared on failure
    EXPECT_FALSE(__json_parser_init(&parser, &node, &object, "[]", 2));
    EXPECT_EQ(parser, nullptr);
    dlog_ctl_clear();
    EXPECT_FALSE(__json_parser_init(&parser, &node, &object, "{", 1));
    EXPECT_TRUE(logged(DLOG_ERROR, "error != NULL!!!"));
    ASSERT_GE(dlog_ctl_count(), 2u);
    EXPECT_EQ(captured_logs()[1].message.rfind("error->message : [", 0), 0u);
}

// ---- Nesting guard ------------------------------------------------------

// A root object whose one member nests arrays to the given total depth.
std::string nested(int depth)
{
    return R"({"msgId":"lbs-gps-plus-rsp","a":)" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
}

TEST_F(JsonFrame, NestingDeeperThanThirtyTwoLevelsIsRefusedBeforeParsing)
{
    int code = 0;
    EXPECT_EQ(classify(nested(LBS_JSON_MAX_NESTING), &code), 0);
    EXPECT_EQ(code, MSG_ID_GPS_PLUS_RSP);

    code = kUntouched;
    EXPECT_EQ(classify(nested(LBS_JSON_MAX_NESTING + 1), &code), -2);
    EXPECT_EQ(code, kUntouched);
    EXPECT_TRUE(logged(DLOG_ERROR, "nested deeper than [32] levels, refused before parsing"));
    EXPECT_TRUE(logged(DLOG_ERROR, "__json_parser_init failed"));
    EXPECT_FALSE(logged(DLOG_ERROR, "error != NULL!!!")) << "json-glib must not have seen it";

    gps_plus_rsp_message rsp{};
    std::string deep = nested(40);
    EXPECT_EQ(parse_json_message(deep.data(), deep.size(), consumer_plugin_gps_plus_response_parser, &rsp), -2);
}

TEST_F(JsonFrame, BracketsThatJsonGlibReadsAsStructureAlwaysCount)
{
    const std::string deep_open(40, '[');
    const std::string deep_close(40, ']');
    struct Case {
        std::string text;
        bool refused;
    };
    const Case cases[] = {
        // inside strings, brackets are text
        {R"({"msgId":"lbs-gps-plus-rsp","note":")" + deep_open + R"("})", false},
        {R"({"msgId":"lbs-gps-plus-rsp","note":"\")" + deep_open + R"("})", false},
        // outside standard strings they count, even where json-glib skips them
        {R"({"msgId":"lbs-gps-plus-rsp","note":')" + deep_open + R"('})", true},
        {R"({"msgId":"lbs-gps-plus-rsp" /*)" + deep_open + R"(*/})", true},
        // an escaped backslash ends the string; what follows is structure
        {R"({"a":"\\",)" + deep_open + deep_close + "}", true},
        // json-glib's single-quoted strings and comments cannot hide a quote
        {R"({"a":'"',"b":)" + deep_open + deep_close + "}", true},
        {R"({"a":/*"*/)" + deep_open + deep_close + "}", true},
        // nor can a strict lexer's strings hide what json-glib would parse
        {R"({"a":"/*","b":)" + deep_open + deep_close + R"(,"c":"*/"})", true},
        {R"({"a":"'","b":)" + deep_open + deep_close + R"(,"c":"'"})", true},
        {std::string(33, '{'), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        dlog_ctl_clear();
        int code = 0;
        classify(c.text, &code);
        EXPECT_EQ(logged(DLOG_ERROR, "nested deeper than [32] levels, refused before parsing"), c.refused);
        EXPECT_EQ(lbs::protocol::json_shape(c.text) == lbs::protocol::JsonShape::TooDeep, c.refused);
    }
}

// json-glib keeps the first of several top-level values and leaks the rest,
// so a text must hold one value and nothing after it but white space.
TEST_F(JsonFrame, TextsWithMoreThanOneValueAreRefusedBeforeParsing)
{
    struct Case {
        std::string text;
        bool refused;
    };
    const Case cases[] = {
        {R"({"msgId":"lbs-gps-plus-rsp"})", false},
        {" \r\n\t{\"msgId\":\"lbs-gps-plus-rsp\"} \n", false},
        {R"({"msgId":"lbs-gps-plus-rsp","a":"}{"})", false},
        {R"("lbs-gps-plus-rsp")", false}, // one value, not an object: json-glib says so
        {R"({"msgId":"lbs-gps-plus-rsp"}{"msgId":"lbs-ntp-time-rsp"})", true},
        {R"({"msgId":"lbs-gps-plus-rsp"} {"a":1})", true},
        {"[1][2]", true},
        {R"({"msgId":"lbs-gps-plus-rsp"} 5)", true},
        {R"({"msgId":"lbs-gps-plus-rsp"};)", true},
        {R"(5 {"msgId":"lbs-gps-plus-rsp"})", true},
        {R"(5{"msgId":"lbs-gps-plus-rsp"})", true},
        {R"("a" "b")", true},
        {R"({"msgId":"lbs-gps-plus-rsp"} /* trailing comment */)", true},
        {R"(var a = {"msgId":"lbs-gps-plus-rsp"};)", true},
        {"]]]]]]]]" + std::string(40, '['), true}, // stray closers buy no depth either
        // inputs the fuzzer found leaking inside json-glib
        {R"({"result":1,"reason":0}{"msgId":"lbs-switch-location-setting-rsp","result":1})", true},
        {R"(555555555555555555555555555555555555555555{"msgId":"lbs-tracking-location-rsp","result":1,)"
         R"("aoesrn":0,"method":3,"locationdeclineDistanceamp":170,"longpsSte":127.3}]})",
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        dlog_ctl_clear();
        int code = kUntouched;
        const int result = classify(c.text, &code);
        EXPECT_EQ(logged(DLOG_ERROR, "more than one JSON value, refused before parsing"), c.refused);
        if (c.refused) {
            EXPECT_EQ(result, -2);
            EXPECT_EQ(code, kUntouched);
            EXPECT_FALSE(logged(DLOG_ERROR, "error != NULL!!!")) << "json-glib must not have seen it";
            location_setting_change_rsp_message rsp{};
            EXPECT_EQ(parse_json_message(c.text.data(), c.text.size(),
                                         consumer_plugin_location_setting_change_response_parser, &rsp),
                      -2);
        }
    }
}

// The largest text the links carry, all brackets, classified on a thread with
// a 64 KiB stack: json-glib would need tens of thousands of frames for it.
struct DeepTextRun {
    std::string text;
    int first_link = 0;
    int first_link_parse = 0;
    int second_link = 0;
};

void *classify_deep_text(void *arg)
{
    auto *run = static_cast<DeepTextRun *>(arg);
    int code = 0;
    run->first_link = get_msg_id_from_json_string(run->text.data(), run->text.size(), &code);
    gps_plus_rsp_message rsp{};
    run->first_link_parse = parse_json_message(run->text.data(), run->text.size(),
                                               consumer_plugin_gps_plus_response_parser, &rsp);
    run->second_link = bap_json_get_msg_id(run->text.data(), run->text.size(), &code);
    return nullptr;
}

TEST_F(JsonFrame, DeepestPossibleTextIsRefusedOnASmallStack)
{
    for (const std::string &unit : {std::string("["), std::string(R"({"a":)")}) {
        DeepTextRun run;
        while (run.text.size() + unit.size() <= 65531)
            run.text += unit;
        run.text.resize(65531, ' ');

        pthread_attr_t attr;
        ASSERT_EQ(pthread_attr_init(&attr), 0);
        ASSERT_EQ(pthread_attr_setstacksize(&attr, 64 * 1024), 0);
        pthread_t thread;
        ASSERT_EQ(pthread_create(&thread, &attr, classify_deep_text, &run), 0);
        ASSERT_EQ(pthread_join(thread, nullptr), 0);
        pthread_attr_destroy(&attr);

        EXPECT_EQ(run.first_link, -2);
        EXPECT_EQ(run.first_link_parse, -2);
        EXPECT_EQ(run.second_link, -2);
        EXPECT_TRUE(logged(DLOG_ERROR, "nested deeper than [32] levels, refused before parsing"));
    }
}

// ---- Frame --------------------------------------------------------------

TEST_F(JsonFrame, ParseRefusesMissingArgumentsInOrder)
{
    const char text[] = R"({"msgId":"lbs-gps-plus-rsp","result":1})";
    const size_t n = sizeof text - 1;
    gps_plus_rsp_message rsp{};
    JsonObjectForeach cb = consumer_plugin_gps_plus_response_parser;
    struct Case {
        const char *text;
        size_t length;
        JsonObjectForeach cb;
        void *data;
        const char *log;
    };
    const Case cases[] = {
        {nullptr, 0, nullptr, nullptr, "message_string is NULL"},
        {text, 0, nullptr, nullptr, "message_length is zero"},
        {text, n, nullptr, nullptr, "parser_func is NULL"},
        {text, n, cb, nullptr, "pData is NULL"},
        {"[1]", 3, cb, &rsp, "__json_parser_init failed"},
        {"{\"a\":", 5, cb, &rsp, "__json_parser_init failed"},
    };
    for (const Case &c : cases) {
        dlog_ctl_clear();
        EXPECT_EQ(parse_json_message(c.text, c.length, c.cb, c.data), -2) << c.log;
        EXPECT_TRUE(logged(DLOG_ERROR, c.log)) << c.log;
    }
    EXPECT_EQ(rsp.result, 0);
    EXPECT_EQ(parse_json_message(text, n, cb, &rsp), 0);
    EXPECT_EQ(rsp.result, 1);
}

TEST_F(JsonFrame, ParseSucceedsEvenWhenEveryMemberIsRejected)
{
    const std::string text = R"({"msgId":"lbs-gps-plus-rsp","x":1,"y":[1],"z":{"a":1},"w":null})";
    gps_plus_rsp_message rsp{};
    EXPECT_EQ(parse_json_message(text.data(), text.size(), consumer_plugin_gps_plus_response_parser, &rsp), 0);
    EXPECT_EQ(rsp.result, 0);
    EXPECT_EQ(rsp.reason, 0);
    EXPECT_EQ(rsp.method, 0);
    EXPECT_EQ(dlog_ctl_count(), 4u);
}

// ---- Numbers ------------------------------------------------------------

TEST_F(JsonFrame, DoubleReaderTakesIntegersAndGivesZeroForAnythingElse)
{
    struct Case {
        const char *json;
        double value;
    };
    const Case cases[] = {
        {"2.5", 2.5},
        {"-0.125", -0.125},
        {"37", 37.0},
        {"9223372036854775807", 9223372036854775807.0},
        {"1e400", HUGE_VAL},
        {R"("37.5")", 0.0},
        {"true", 0.0},
        {"null", 0.0},
        {"[1.5]", 0.0},
        {R"({"a":1.5})", 0.0},
    };
    for (const Case &c : cases) {
        JsonNode *node = json_from_string(c.json, nullptr);
        ASSERT_NE(node, nullptr) << c.json;
        EXPECT_EQ(__json_node_get_double(node), c.value) << c.json;
        EXPECT_EQ(__bap_json_node_get_double(node), c.value) << c.json;
        json_node_unref(node);
    }
}

TEST_F(JsonFrame, DoubleReaderOfNoNodeWarnsAndGivesZero)
{
    expected_glib_messages_ = 1;
    EXPECT_EQ(__json_node_get_double(nullptr), 0.0);
    ASSERT_EQ(g_glib_messages.size(), 1u);
    EXPECT_NE(g_glib_messages[0].find("node != NULL"), std::string::npos) << g_glib_messages[0];
}

// ---- What every member callback checks first ----------------------------

struct Callback {
    const char *name;
    JsonObjectForeach fn;
    bool short_texts; // "data NULL" rather than "data to parsing is NULL"
};

// clang-format off
const Callback kCallbacks[] = {
    {"tracking", consumer_plugin_location_tracking_response_parser, false},
    {"batch", _location_batch_rsp_parser_cb, false},
    {"batch entry", _location_batch_data_parser, false},
    {"gps plus", consumer_plugin_gps_plus_response_parser, false},
    {"here map", _here_map_download_rsp_parser_cb, false},
    {"setting check", consumer_plugin_location_setting_check_response_parser, false},
    {"setting change", consumer_plugin_location_setting_change_response_parser, false},
    {"ref time", ref_time_parser, true},
    {"pdc", pdc_info_parser, true},
    {"exercise", exercise_info_rsp_parser, false},
    {"exercise entry", exercise_info_parser, false},
    {"bap tracking", bap_location_tracking_parser, false},
    {"bap gps plus", bap_gps_plus_parser, false},
    {"bap setting check", bap_location_setting_check_parser, false},
    {"bap setting change", bap_location_setting_change_parser, false},
    {"bap ref time", bap_ref_time_parser, true},
    {"bap exercise", bap_exercise_info_parser, false},
    {"bap exercise entry", _bap_exercise_detail_info_parser, false},
};
// clang-format on

// Big enough for any record, and checked to stay untouched.
struct Scratch {
    alignas(8) unsigned char bytes[sizeof(location_batch_rsp_message)] = {};
    bool untouched() const
    {
        for (unsigned char b : bytes)
            if (b != 0)
                return false;
        return true;
    }
};

TEST_F(JsonFrame, EveryCallbackChecksItsArgumentsInOrder)
{
    JsonNode *value = json_from_string("1", nullptr);
    JsonObject *object = json_object_new();
    for (const Callback &cb : kCallbacks) {
        SCOPED_TRACE(cb.name);
        auto scratch = std::make_unique<Scratch>();
        struct Case {
            void *data;
            JsonObject *object;
            const char *name;
            JsonNode *node;
            const char *log;
            const char *short_log;
        };
        const Case cases[] = {
            {nullptr, nullptr, nullptr, nullptr, "data to parsing is NULL", "data NULL"},
            {scratch->bytes, nullptr, nullptr, nullptr, "JsonObject is NULL", "JsonObject NULL"},
            {scratch->bytes, object, nullptr, nullptr, "memberName is NULL", "memberName NULL"},
            {scratch->bytes, object, "result", nullptr, "memberNode is NULL", "memberNode NULL"},
        };
        for (const Case &c : cases) {
            dlog_ctl_clear();
            cb.fn(c.object, c.name, c.node, c.data);
            ASSERT_EQ(dlog_ctl_count(), 1u);
            EXPECT_TRUE(logged(DLOG_ERROR, cb.short_texts ? c.short_log : c.log));
        }
        EXPECT_TRUE(scratch->untouched());
    }
    json_object_unref(object);
    json_node_unref(value);
}

TEST_F(JsonFrame, EveryCallbackIgnoresMessageIdWhateverItHolds)
{
    JsonObject *object = json_object_new();
    for (const char *json : {R"("lbs-gps-plus-rsp")", "5", "null", "[1,2]", R"({"a":1})"}) {
        JsonNode *node = json_from_string(json, nullptr);
        for (const Callback &cb : kCallbacks) {
            auto scratch = std::make_unique<Scratch>();
            dlog_ctl_clear();
            cb.fn(object, "msgId", node, scratch->bytes);
            EXPECT_EQ(dlog_ctl_count(), 0u) << cb.name << " " << json;
            EXPECT_TRUE(scratch->untouched()) << cb.name << " " << json;
        }
        json_node_unref(node);
    }
    json_object_unref(object);
}

} // namespace
