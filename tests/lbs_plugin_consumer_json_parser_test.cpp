// The parse frame of both links: classification by "msgId", loading, the
// shape guard and number reading. The replies the scenarios send through
// "kov data" and "bap data" pin the classification of well-formed texts; the
// rows here are the ones no scenario sends.
#include "bap/lbs_plugin_consumer_bap_json_parser.h"

#include "protocol_test_support.h"

#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace protocol_test;

// GLib's own warnings and criticals, so that a test can tell it caused none.
std::vector<std::string> g_glib_messages;

class JsonFrame : public ProtocolTest {
protected:
    void SetUp() override
    {
        ProtocolTest::SetUp();
        g_glib_messages.clear();
        previous_ = g_log_set_default_handler(
            [](const gchar *, GLogLevelFlags level, const gchar *message, gpointer) {
                if (level & (G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING))
                    g_glib_messages.emplace_back(message != nullptr ? message : "");
            },
            nullptr);
    }
    void TearDown() override
    {
        g_log_set_default_handler(previous_, nullptr);
        EXPECT_EQ(g_glib_messages.size(), expected_glib_messages_) << "GLib complained";
    }

    size_t expected_glib_messages_ = 0;

private:
    GLogFunc previous_ = nullptr;
};

constexpr const char *kTooDeep = "nested deeper than [32] levels, refused before parsing";
constexpr const char *kSeveral = "more than one JSON value, refused before parsing";

// A root object whose one member nests arrays to the given total depth.
std::string nested(int depth)
{
    return R"({"msgId":"lbs-gps-plus-rsp","a":)" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
}

enum Links { kFirst = 1, kSecond = 2, kBoth = 3 };

// The classification and loading of each link; a link's failures name its loader.
struct Link {
    Links link;
    int (*classify)(const char *, size_t, int *);
    ParseFn parse;
    JsonObjectForeach callback;
    const char *init_failed;
};
const Link kLinks[] = {
    {kFirst, get_msg_id_from_json_string, parse_json_message, consumer_plugin_location_setting_change_response_parser,
     "__json_parser_init failed"},
    {kSecond, bap_json_get_msg_id, bap_json_parse_message, bap_location_setting_change_parser,
     "__bap_json_parser_init failed"},
};

TEST_F(JsonFrame, ClassifiesByMessageIdAndRefusesDeepOrSeveralValuedTextsUnparsed)
{
    const std::string open(40, '[');
    const std::string close(40, ']');
    struct Case {
        Links links; // where the row holds
        std::string text;
        int result;
        int code;
        const char *log; // the first line expected, or nullptr
    };
    // clang-format off
    const Case cases[] = {
        {kBoth, R"({"msgId":"lbs-tracking-location-req"})", 0, MSG_ID_TRACKING_LOCATION_REQ, nullptr},
        {kFirst, R"({"locationInfo":null,"msgId":"lbs-tracking-location-rsp"})", 0, MSG_ID_LOCATION_BATCH_RSP, "Location batch message."},
        {kBoth, R"({"msgId":"lbs-tracking-location-rsp","locationinfo":[]})", 0, MSG_ID_TRACKING_LOCATION_RSP, nullptr},
        {kSecond, R"({"msgId":"lbs-gps-plus-req"})", 0, MSG_ID_GPS_PLUS_REQ, nullptr},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp","locationInfo":[]})", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, R"({"msgId":"lbs-location-setting-check-req"})", 0, MSG_ID_LOCATION_SETTING_CHECK_REQ, nullptr},
        {kSecond, R"({"msgId":"lbs-pdc-info-rsp"})", -2, 0, "[lbs-pdc-info-rsp] is not handled"},
        // request ids that are not recognised, and near misses
        {kBoth, R"({"msgId":"lbs-exercise-info-req"})", -2, 0, "[lbs-exercise-info-req] is not handled"},
        {kBoth, R"({"msgId":"lbs-switch-location-setting-req"})", -2, 0, "[lbs-switch-location-setting-req] is not handled"},
        {kSecond, R"({"msgId":"lbs-here-map-req"})", -2, 0, "[lbs-here-map-req] is not handled"},
        {kBoth, R"({"msgId":"lbs-ntp-time-req"})", -2, 0, "[lbs-ntp-time-req] is not handled"},
        {kBoth, R"({"msgId":"lbs-pdc-info-req"})", -2, 0, "[lbs-pdc-info-req] is not handled"},
        {kBoth, R"({"msgId":"LBS-GPS-PLUS-RSP"})", -2, 0, "[LBS-GPS-PLUS-RSP] is not handled"},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp "})", -2, 0, "[lbs-gps-plus-rsp ] is not handled"},
        {kBoth, R"({"msgId":""})", -2, 0, "[] is not handled"},
        // a "msgId" that is not a text
        {kBoth, R"({"msgId":5})", -2, 0, "[(null)] is not handled"},
        // no usable "msgId": the caller's code is left alone
        {kBoth, R"({"msgId":null})", 0, kUntouched, nullptr},
        {kBoth, R"({"msgId":{"a":1}})", 0, kUntouched, nullptr},
        {kBoth, R"({"msgId":["lbs-gps-plus-rsp"]})", 0, kUntouched, nullptr},
        // texts that do not load as an object
        {kBoth, R"([{"msgId":"lbs-gps-plus-rsp"}])", -2, kUntouched, "rootObj == NULL!!!"},
        {kBoth, R"("lbs-gps-plus-rsp")", -2, kUntouched, "rootObj == NULL!!!"},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp")", -2, kUntouched, "error != NULL!!!"},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp",})", -2, kUntouched, "error != NULL!!!"},
        {kBoth, "   ", -2, kUntouched, "*rootNode == NULL!!!"},
        {kBoth, "{\"msgId\":\"\xff\xfe\"}", -2, kUntouched, "error != NULL!!!"},
        // Texts nested deeper than 32 brackets, or holding more than one value,
        // never reach json-glib: it recurses once per level and leaks all but
        // the first value.
        {kBoth, nested(LBS_JSON_MAX_NESTING), 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, nested(LBS_JSON_MAX_NESTING + 1), -2, kUntouched, kTooDeep},
        {kBoth, std::string(33, '{'), -2, kUntouched, kTooDeep},
        // inside strings, brackets are text
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp","note":")" + open + R"("})", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp","note":"\")" + open + R"("})", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        // and so they are in json-glib's single-quoted strings and comments
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp","note":')" + open + R"('})", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp","note":')" + close + R"('})", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp" /*)" + open + R"(*/})", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, R"({"msgId":'a[b{c'})", -2, 0, "[a[b{c] is not handled"},
        // a comment runs from a '/' to the next '/', whatever lies between
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp" /* ]]'"} */})", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp"} /)" + open, -2, kUntouched, "error != NULL!!!"}, // never closed
        // an escaped backslash ends the string; what follows is structure
        {kBoth, R"({"a":"\\",)" + open + close + "}", -2, kUntouched, kTooDeep},
        // a quote inside the other kind of string or inside a comment starts
        // nothing, and comment marks inside strings open nothing
        {kBoth, R"({"a":'"',"b":)" + open + close + "}", -2, kUntouched, kTooDeep},
        {kBoth, R"({"a":/*"*/)" + open + close + "}", -2, kUntouched, kTooDeep},
        {kBoth, R"({"a":/* x / )" + open + close + " */}", -2, kUntouched, kTooDeep},
        {kBoth, R"({"a":'\',"b":)" + open + close + "}", -2, kUntouched, kTooDeep}, // no escapes in '...'
        {kBoth, R"({"a":"/*","b":)" + open + close + R"(,"c":"*/"})", -2, kUntouched, kTooDeep},
        {kBoth, R"({"a":"'","b":)" + open + close + R"(,"c":"'"})", -2, kUntouched, kTooDeep},
        // after one value json-glib reads on only into an object, an array or
        // a var statement; anything else is its own parse error, harmless
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp"} 5)", -2, kUntouched, "error != NULL!!!"},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp"};)", -2, kUntouched, "error != NULL!!!"},
        {kBoth, R"("a" "b")", -2, kUntouched, "error != NULL!!!"},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp"} // trailing comment)", -2, kUntouched, "error != NULL!!!"}, // "//" is a whole comment
        {kBoth, R"(varx = {"msgId":"lbs-gps-plus-rsp"})", -2, kUntouched, "error != NULL!!!"},
        {kSecond, "this is not json", -2, kUntouched, "error != NULL!!!"}, // an unknown word stops it at once
        // after a bare token json-glib's scanner may read on ("$ 1" is one
        // number, "- 1" too), so the guard stays strict there
        {kBoth, "5/**/5", -2, kUntouched, kSeveral},
        {kBoth, "- 1 {}", -2, kUntouched, kSeveral},
        {kBoth, "$ 1 {}", -2, kUntouched, kSeveral},
        {kBoth, R"(not json {"msgId":"lbs-gps-plus-rsp"} {"a":)" + open, -2, kUntouched, "error != NULL!!!"},
        // one value and nothing after it but white space
        {kBoth, " \r\n\t{\"msgId\":\"lbs-gps-plus-rsp\"} \n", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp","a":"}{"})", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp"}{"msgId":"lbs-ntp-time-rsp"})", -2, kUntouched, kSeveral},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp"} {"a":1})", -2, kUntouched, kSeveral},
        {kBoth, "[1][2]", -2, kUntouched, kSeveral},
        {kBoth, R"(5 {"msgId":"lbs-gps-plus-rsp"})", -2, kUntouched, kSeveral},
        {kBoth, R"(5{"msgId":"lbs-gps-plus-rsp"})", -2, kUntouched, kSeveral},
        // json-glib also reads these as one value: a leading byte-order mark,
        // trailing comments, and a var statement
        {kBoth, "\xEF\xBB\xBF{\"msgId\":\"lbs-gps-plus-rsp\"}", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp"} /* trailing comment */)", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp"} //)", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, "{\"msgId\":\"lbs-gps-plus-rsp\"} //\n", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, R"(var a = {"msgId":"lbs-gps-plus-rsp"};)", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, R"(var a = {"msgId":"lbs-gps-plus-rsp"})", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        {kBoth, "\xEF\xBB\xBF /*c*/ var\treply-1/*c*/=\n{\"msgId\":'lbs-gps-plus-rsp'} ; /*c*/\r\n", 0, MSG_ID_GPS_PLUS_RSP, nullptr},
        // ... but none of them hides a second value or deep nesting
        {kBoth, "\xEF\xBB\xBF" + nested(LBS_JSON_MAX_NESTING + 1), -2, kUntouched, kTooDeep},
        {kBoth, "\xEF\xBB\xBF" + open, -2, kUntouched, kTooDeep},
        {kBoth, "\xEF\xBB\xBF\xEF\xBB\xBF{\"msgId\":\"lbs-gps-plus-rsp\"}", -2, kUntouched, kSeveral}, // one mark only
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp"} /* c */ {"msgId":"lbs-ntp-time-rsp"})", -2, kUntouched, kSeveral},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp"} /* a/ {"msgId":"lbs-ntp-time-rsp"} /*/)", -2, kUntouched, kSeveral},
        {kBoth, "{\"msgId\":\"lbs-gps-plus-rsp\"} //\n{\"msgId\":\"lbs-ntp-time-rsp\"}", -2, kUntouched, kSeveral},
        {kBoth, "var a = " + nested(LBS_JSON_MAX_NESTING + 1) + ";", -2, kUntouched, kTooDeep},
        {kBoth, R"(var a = 1; {"msgId":"lbs-gps-plus-rsp"})", -2, kUntouched, kSeveral},
        {kBoth, R"(var a = 1 {"msgId":"lbs-gps-plus-rsp"})", -2, kUntouched, kSeveral},
        {kBoth, R"(var a = {"msgId":"lbs-gps-plus-rsp"}; var b = {"a":1};)", -2, kUntouched, kSeveral},
        {kBoth, R"(var a = {"msgId":"lbs-gps-plus-rsp"};;)", -2, kUntouched, kSeveral},
        {kBoth, R"({"msgId":"lbs-gps-plus-rsp"} var b = {"a":1};)", -2, kUntouched, kSeveral},
        {kBoth, R"(1 var b = {"msgId":"lbs-gps-plus-rsp"};)", -2, kUntouched, kSeveral},
        // json-glib ends a var statement at a semicolon even inside open brackets
        {kBoth, R"(var a = [{"msgId":"lbs-gps-plus-rsp"};{"a":1})", -2, kUntouched, kSeveral},
        {kBoth, R"(var a = {"msgId":"lbs-gps-plus-rsp";[1])", -2, kUntouched, kSeveral},
        // "varx" is a name, not the keyword
        {kBoth, "]]]]]]]]" + open, -2, kUntouched, kSeveral}, // stray closers buy no depth either
        // inputs the fuzzer found leaking inside json-glib
        {kBoth, R"({"result":1,"reason":0}{"msgId":"lbs-switch-location-setting-rsp","result":1})", -2, kUntouched, kSeveral},
        {kBoth, R"(555555555555555555555555555555555555555555{"msgId":"lbs-tracking-location-rsp","result":1,)"
         R"("aoesrn":0,"method":3,"locationdeclineDistanceamp":170,"longpsSte":127.3}]})", -2, kUntouched, kSeveral},
    };
    // clang-format on
    using lbs::protocol::JsonShape;
    for (const Case &c : cases) {
        for (const Link &link : kLinks) {
            if ((c.links & link.link) == 0)
                continue;
            SCOPED_TRACE(testing::Message() << c.text << (link.link == kSecond ? " (second link)" : ""));
            dlog_ctl_clear();
            int code = kUntouched;
            EXPECT_EQ(on_copy(link.classify, c.text, &code), c.result);
            EXPECT_EQ(code, c.code);
            const std::vector<LogLine> lines = captured_logs();
            EXPECT_EQ(lines.empty() ? "" : lines[0].message, c.log != nullptr ? c.log : "");
            const bool refused = c.log == kTooDeep || c.log == kSeveral;
            EXPECT_EQ(lbs::protocol::json_shape(c.text), !refused ? JsonShape::Acceptable
                                                                   : (c.log == kTooDeep ? JsonShape::TooDeep
                                                                                        : JsonShape::SeveralValues));
            if (c.result == 0 || c.code != kUntouched)
                continue;
            // A text that does not load: the loader's failure comes last, and a parse fails too.
            EXPECT_EQ(last_logged(), link.init_failed);
            if (refused) {
                EXPECT_EQ(lines.size(), 2u) << "json-glib must not have seen it";
            }
            location_setting_change_rsp_message rsp{};
            EXPECT_EQ(on_copy(link.parse, c.text, link.callback, &rsp), -2);
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

    // A length short of the object, a NUL within the length, or no length.
    code = kUntouched;
    EXPECT_EQ(get_msg_id_from_json_string(reply.data(), reply.size() - 1, &code), -2);
    EXPECT_EQ(on_copy(get_msg_id_from_json_string, std::string(reply).insert(10, 1, '\0'), &code), -2);
    EXPECT_EQ(on_copy(get_msg_id_from_json_string, reply + '\0', &code), -2);
    const char not_terminated[4] = {'{', '}', '{', '}'};
    EXPECT_EQ(get_msg_id_from_json_string(not_terminated, 0, &code), -2);
    EXPECT_EQ(code, kUntouched);
}

TEST_F(JsonFrame, OneLoadServesTheClassificationAndTheParseWithinAReplyScope)
{
    // Two replies of the same length: after classifying the first, the buffer
    // is overwritten with the second. A parse that walks the document loaded
    // for the classification still sees the first; one that loads sees the
    // second.
    const std::string first = R"({"msgId":"lbs-ntp-time-rsp","result":1,"ntptime":111})";
    const std::string second = R"({"msgId":"lbs-ntp-time-rsp","result":1,"ntptime":222})";
    ASSERT_EQ(first.size(), second.size());
    std::vector<char> buffer(first.begin(), first.end());
    const auto parse_ntptime = [&buffer](bool second_link) {
        ref_time_rsp_message rsp = {};
        if (second_link)
            bap_json_parse_message(buffer.data(), buffer.size(), bap_ref_time_parser, &rsp);
        else
            parse_json_message(buffer.data(), buffer.size(), ref_time_parser, &rsp);
        return rsp.ntptime;
    };
    const auto classify = [&buffer](bool second_link) {
        int id = 0;
        const int ret = second_link ? bap_json_get_msg_id(buffer.data(), buffer.size(), &id)
                                    : get_msg_id_from_json_string(buffer.data(), buffer.size(), &id);
        EXPECT_EQ(ret, 0);
        EXPECT_EQ(id, MSG_ID_NTP_TIME_RSP);
    };
    const auto overwrite = [&buffer](const std::string &with) { std::copy(with.begin(), with.end(), buffer.begin()); };

    for (bool second_link : {false, true}) {
        SCOPED_TRACE(second_link ? "second link" : "first link");
        {
            const lbs::protocol::ReplyScope scope;
            classify(second_link);
            overwrite(second);
            EXPECT_EQ(parse_ntptime(second_link), 111) << "the classified document serves the parse";
            EXPECT_EQ(parse_ntptime(second_link), 222) << "it serves one parse only";
            overwrite(first);
            classify(!second_link);
            overwrite(second);
            EXPECT_EQ(parse_ntptime(second_link), 222) << "a document of the other dialect is not taken";
            overwrite(first);
        }
        // Outside a scope, and after one, every parse loads its text.
        classify(second_link);
        overwrite(second);
        EXPECT_EQ(parse_ntptime(second_link), 222);
        overwrite(first);
        {
            const lbs::protocol::ReplyScope scope;
            classify(second_link);
        }
        overwrite(second);
        EXPECT_EQ(parse_ntptime(second_link), 222) << "the scope's end lets the document go";
        overwrite(first);
    }
}

// What the loader hands back when it fails is never left for the caller to
// free; its log lines are pinned by kov_dispatcher_edges.
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

    for (const char *bad : {"[]", "{"}) {
        parser = reinterpret_cast<JsonParser *>(&parser);
        EXPECT_FALSE(__json_parser_init(&parser, &node, &object, bad, std::strlen(bad))) << bad;
        EXPECT_EQ(parser, nullptr) << bad;
    }
}

// The largest text the links carry, all brackets, classified on a thread with
// a 64 KiB stack: json-glib would need tens of thousands of frames for it.
TEST_F(JsonFrame, DeepestPossibleTextIsRefusedOnASmallStack)
{
    struct Run {
        std::string text;
        int results[3] = {};
    };
    for (const std::string &unit : {std::string("["), std::string(R"({"a":)")}) {
        Run run;
        while (run.text.size() + unit.size() <= 65531)
            run.text += unit;
        run.text.resize(65531, ' ');

        pthread_attr_t attr;
        ASSERT_EQ(pthread_attr_init(&attr), 0);
        ASSERT_EQ(pthread_attr_setstacksize(&attr, 64 * 1024), 0);
        pthread_t thread;
        auto body = [](void *arg) -> void * {
            auto *r = static_cast<Run *>(arg);
            int code = 0;
            gps_plus_rsp_message rsp{};
            r->results[0] = get_msg_id_from_json_string(r->text.data(), r->text.size(), &code);
            r->results[1] = parse_json_message(r->text.data(), r->text.size(), consumer_plugin_gps_plus_response_parser, &rsp);
            r->results[2] = bap_json_get_msg_id(r->text.data(), r->text.size(), &code);
            return nullptr;
        };
        ASSERT_EQ(pthread_create(&thread, &attr, body, &run), 0);
        ASSERT_EQ(pthread_join(thread, nullptr), 0);
        pthread_attr_destroy(&attr);

        for (int result : run.results)
            EXPECT_EQ(result, -2);
        EXPECT_TRUE(logged(DLOG_ERROR, kTooDeep));
    }
}

TEST_F(JsonFrame, DoubleReaderTakesIntegersAndGivesZeroForAnythingElse)
{
    struct Case {
        const char *json;
        double value;
    };
    const Case cases[] = {
        {"2.5", 2.5},   {"-0.125", -0.125}, {"37", 37.0},   {"9223372036854775807", 9223372036854775807.0},
        {"1e400", HUGE_VAL}, {R"("37.5")", 0.0}, {"true", 0.0}, {"null", 0.0}, {"[1.5]", 0.0}, {R"({"a":1.5})", 0.0},
    };
    for (const Case &c : cases) {
        JsonNode *node = json_from_string(c.json, nullptr);
        ASSERT_NE(node, nullptr) << c.json;
        EXPECT_EQ(__json_node_get_double(node), c.value) << c.json;
        EXPECT_EQ(__bap_json_node_get_double(node), c.value) << c.json;
        json_node_unref(node);
    }

    expected_glib_messages_ = 1; // no node: GLib's precondition warning, and 0
    EXPECT_EQ(__json_node_get_double(nullptr), 0.0);
    ASSERT_EQ(g_glib_messages.size(), 1u);
    EXPECT_NE(g_glib_messages[0].find("node != NULL"), std::string::npos) << g_glib_messages[0];
}

// An integer member is read as the type the node holds: a double within the
// 64-bit range is truncated toward zero, one outside it (which json-glib
// would convert without defined behaviour) and anything not a number is 0.
TEST_F(JsonFrame, IntegerReaderTakesDoublesOnlyWithinRange)
{
    struct Case {
        const char *json;
        gint64 value;
    };
    const Case cases[] = {
        {"37", 37},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775807", INT64_MAX},
        {"37.9", 37},
        {"-37.9", -37},
        {"-9223372036854775808.0", INT64_MIN},
        {"9.2233720368547748e18", 9223372036854774784},
        {"9223372036854775808.0", 0}, // 2^63 does not fit
        {"1.8446744073709552e19", 0}, // 2^64
        // Written as an integer, 2^64 is an integer node already: json-glib's
        // reader saturates at 2^64 - 1 and holds that as a signed number.
        {"18446744073709551616", -1},
        {"1e999", 0},
        {"-1e999", 0},
        {"true", 1},
        {R"("37")", 0},
        {"null", 0},
    };
    for (const Case &c : cases) {
        JsonNode *node = json_from_string(c.json, nullptr);
        ASSERT_NE(node, nullptr) << c.json;
        EXPECT_EQ(__json_node_get_int(node), c.value) << c.json;
        json_node_unref(node);
    }
}

// Positions that are not finite reach the host as a time-out, never as a fix.
TEST_F(JsonFrame, PositionThatIsNotFiniteIsFailed)
{
    loc_tracking_rsp_message rsp{};
    rsp.result = 1;
    rsp.latitude = 37.5;
    EXPECT_EQ(_fail_non_finite_position("_handle_received_data", &rsp), 0);
    EXPECT_EQ(rsp.result, 1);
    for (double loc_tracking_rsp_message::*field :
         {&loc_tracking_rsp_message::latitude, &loc_tracking_rsp_message::longitude,
          &loc_tracking_rsp_message::altitude}) {
        for (double bad : {HUGE_VAL, -HUGE_VAL, std::nan("")}) {
            loc_tracking_rsp_message r{};
            r.result = 1;
            r.*field = bad;
            EXPECT_EQ(_fail_non_finite_position("_handle_received_data", &r), 1);
            EXPECT_EQ(r.result, 2);
            EXPECT_EQ(r.reason, 1);
        }
    }
    loc_tracking_rsp_message failed{};
    failed.result = 2;
    failed.reason = 3;
    failed.latitude = HUGE_VAL;
    EXPECT_EQ(_fail_non_finite_position("_handle_received_data", &failed), 0); // already a failure: kept as it is
    EXPECT_EQ(failed.reason, 3);
}

} // namespace
