// Reading scenarios: what each command line becomes, and the file:line
// message for a line that cannot be read.
#include "lbs_sim_scenario.h"
#include "lbs_sim_verbs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using lbs_sim::Command;
using lbs_sim::FieldType;
using lbs_sim::ParseError;
using lbs_sim::RecordKind;
using lbs_sim::Verb;

namespace {

using Numbers = std::vector<long long>;

Command one(const std::string &line)
{
    Command c;
    bool empty = true;
    std::string message;
    EXPECT_TRUE(lbs_sim::parse_line(line, &c, &empty, &message)) << line << ": " << message;
    EXPECT_FALSE(empty) << line;
    return c;
}

// The message for a line that cannot be read.
std::string refusal(const std::string &line)
{
    Command c;
    bool empty = true;
    std::string message;
    EXPECT_FALSE(lbs_sim::parse_line(line, &c, &empty, &message)) << line;
    return message;
}

TEST(ScenarioFile, UnreadableCommandIsNamedByFileAndLine)
{
    const std::string text = "# header\n\t\ninit   # starts\r\nrequest START_SESSION method=1\nwarp 9\nadvance 1\n";
    std::vector<Command> cmds;
    ParseError e;
    ASSERT_FALSE(lbs_sim::parse_scenario("s.scn", text, &cmds, &e));
    EXPECT_EQ(e.to_string(), "s.scn:5: unknown verb 'warp'");
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0].line, 3);
    EXPECT_EQ(cmds[0].source, "init");
    EXPECT_EQ(cmds[1].line, 4);

    const struct {
        std::string text, message;
    } rows[] = {
        {"init\r\n\r\nadvance ten\r\n", "f:3: bad number 'ten' for SECONDS"},
        {"\n  # x\n\nkov fly", "f:4: unknown verb 'kov fly'"},
    };
    for (const auto &r : rows) {
        cmds.clear();
        ASSERT_FALSE(lbs_sim::parse_scenario("f", r.text, &cmds, &e)) << r.text;
        EXPECT_EQ(e.to_string(), r.message);
    }
}

TEST(ScenarioFile, EveryUnreadableLineIsReportedAndTheOthersKept)
{
    const std::string text = "init\nwarp 9\nadvance 1\nadvance x\nphone track missing.gpx\ndeinit\n";
    std::vector<Command> cmds;
    std::vector<ParseError> errors;
    ASSERT_FALSE(lbs_sim::parse_scenario("d/s.scn", text, &cmds, &errors));
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].to_string(), "d/s.scn:2: unknown verb 'warp'");
    EXPECT_EQ(errors[1].to_string(), "d/s.scn:4: bad number 'x' for SECONDS");
    // A track that cannot be opened says why, as the system does.
    EXPECT_EQ(errors[2].to_string(),
              "d/s.scn:5: phone track: cannot read 'missing.gpx': d/missing.gpx: No such file or directory");
    ASSERT_EQ(cmds.size(), 3u);
    EXPECT_EQ(cmds[1].line, 3);
    EXPECT_EQ(cmds[2].source, "deinit");

    // The one-error form keeps what came before the first.
    ParseError first;
    cmds.clear();
    ASSERT_FALSE(lbs_sim::parse_scenario("d/s.scn", text, &cmds, &first));
    EXPECT_EQ(first.line, 2);
    EXPECT_EQ(cmds.size(), 1u);
}

TEST(ScenarioLine, RefusedLinesSayWhy)
{
    const struct {
        const char *line, *message;
    } rows[] = {
        // Numbers: decimal, an optional leading '-', within the argument's range, nothing after.
        {"kov conn_cfrm 0 2147483648", "bad number '2147483648' for HANDLE"},
        {"kov regi_cfrm 0 -1", "bad number '-1' for AGENT_ID"},
        {"advance -1", "bad number '-1' for SECONDS"},
        {"kov error 0x10", "bad number '0x10' for CODE"},
        {"kov error -", "bad number '-' for CODE"},
        {"kov error 1 2", "unexpected argument '2' (usage: kov error CODE)"},
        {"storage -1 0", "bad number '-1' for TOTAL"},
        {"storage 100", "missing argument FREE (usage: storage TOTAL FREE | storage fail)"},
        // Verbs, call names, switches and texts.
        {"Init", "unknown verb 'Init'"},
        {"bap", "missing argument after 'bap'"},
        {"bap devices 1", "unknown verb 'bap devices'"},
        {"kov result isKovConnected 1", "unknown framework call 'isKovConnected'"},
        {"bap result sendData 1", "unknown daemon call 'sendData'"},
        {"alarm fail yes", "expected on or off, got 'yes'"},
        {"bap data   ", "missing argument TEXT (usage: bap data TEXT)"},
        {"filedir gone", "unknown verb 'filedir gone' (usage: filedir missing | blocked | present | put NAME | has NAME)"},
        {"filedir blocked now", "unexpected argument 'now' (usage: filedir missing | blocked | present | put NAME | has NAME)"},
        {"filedir put", "missing argument NAME (usage: filedir missing | blocked | present | put NAME | has NAME)"},
        {"filedir put ../map.jpg", "bad NAME '../map.jpg': a file name without '/'"},
        {"filedir has map.jpg x", "unexpected argument 'x' (usage: filedir missing | blocked | present | put NAME | has NAME)"},
        // Settings.
        {"set k bool 2", "bad value '2' for a bool (0, 1, true or false)"},
        {"set k string x", "unknown type 'string' (bool, int or double)"},
        {"set k int", "missing argument VALUE (usage: set KEY bool|int|double VALUE)"},
        {"set k int 1 2", "unexpected argument '2' (usage: set KEY bool|int|double VALUE)"},
        // Requests: the code, then fields of its record, each read as its type.
        {"request", "missing argument CODE (usage: request CODE [null | FIELD=VALUE ...])"},
        {"request START_SESION", "unknown request code 'START_SESION'"},
        {"request 99999999999", "bad number '99999999999' for CODE"},
        {"request START_SESSION data_type=3",
         "unknown field 'data_type' for request START_SESSION (fields: method, interval, batching_interval)"},
        {"request GET_REF_TIME time=3", "unknown field 'time' for request GET_REF_TIME (fields: timeout)"},
        {"request CHECK_LOCATION_SETTING setting=1",
         "request CHECK_LOCATION_SETTING carries no record, so field 'setting' cannot be set"},
        {"request START_SESSION method", "expected FIELD=VALUE, got 'method'"},
        {"request START_SESSION method=GPS", "bad number 'GPS' for method"},
        {"request HERE_MAP_IMAGE zoom_level=1e", "bad number '1e' for zoom_level"},
        {"request HERE_MAP_IMAGE zoom_level=inf", "bad number 'inf' for zoom_level"},
        {"request START_SESSION null method=1", "unexpected argument 'method=1' after null"},
    };
    for (const auto &r : rows)
        EXPECT_EQ(refusal(r.line), r.message) << r.line;
}

TEST(ScenarioLine, NumbersAreReadInOrderAcrossTheirWholeRange)
{
    const struct {
        const char *line;
        Numbers numbers;
    } rows[] = {
        {"kov regi_cfrm -2 4294967295", {-2, 4294967295LL}},
        {"kov conn_cfrm 0 -2147483648", {0, -2147483648LL}},
        {"storage 8589934592 4294967296", {8589934592LL, 4294967296LL}},
        {"set k int -7", {-7}},
        {"set k bool true", {1}},
        {"kov auto off", {0}},
        {"kov send_file 3 $EXTRA/gpsPlus.dat", {3}},
        {"bap file_completed 1 NULL 9", {1, 9}},
        {"bap transfer_done -3", {-3}},
        {"kov receive_completed /a/map.jpg 11", {11}},
    };
    for (const auto &r : rows)
        EXPECT_EQ(one(r.line).numbers, r.numbers) << r.line;
}

TEST(ScenarioLine, TextsPathsAndKeysKeepTheirWords)
{
    // A text runs to the end of the line, blanks and '#' included.
    const Command data = one("kov data   {\"msgId\": \"lbs-tracking-location-rsp\", \"n\":\"#1\"} # x  ");
    EXPECT_EQ(data.text, "{\"msgId\": \"lbs-tracking-location-rsp\", \"n\":\"#1\"} # x  ");
    EXPECT_EQ(data.source, "kov data   " + data.text);
    EXPECT_EQ(one("  request  START_SESSION method=1   # go").source, "request  START_SESSION method=1");

    EXPECT_EQ(one("kov send_file 3 $EXTRA/gpsPlus.dat").text, "$EXTRA/gpsPlus.dat");
    EXPECT_TRUE(one("bap file_completed 1 NULL 9").text_is_null);
    EXPECT_EQ(one("set memory/wms/wmanager_connected bool 1").word, "memory/wms/wmanager_connected");
    EXPECT_EQ(one("set k double -0.25").real, -0.25);
    EXPECT_EQ(one("storage fail").verb, Verb::StorageFail);
    EXPECT_EQ(one("filedir blocked").word, "blocked");
    EXPECT_EQ(one("filedir put map.jpg").text, "map.jpg");
    EXPECT_EQ(one("loop hold").verb, Verb::LoopHold);
    EXPECT_EQ(one("kov result sendData -4").word, "sendData");
}

TEST(ScenarioLine, RequestCodeByNameOrNumberWithTheFieldsOfItsRecord)
{
    const Command start = one("request START_SESSION method=2 interval=0 batching_interval=-3");
    EXPECT_EQ(start.code, 1);
    EXPECT_EQ(start.record, RecordKind::Tracking);
    ASSERT_EQ(start.fields.size(), 3u);
    EXPECT_EQ(start.fields[2].field->name, "batching_interval");
    EXPECT_EQ(std::get<long long>(start.fields[2].value), -3);

    const Command map = one("request 929 app_id=my-app app_code= center_latitude=-37.25 zoom_level=15.5");
    EXPECT_EQ(map.record, RecordKind::HereMap);
    ASSERT_EQ(map.fields.size(), 4u);
    EXPECT_EQ(std::get<std::string>(map.fields[0].value), "my-app");
    EXPECT_EQ(std::get<std::string>(map.fields[1].value), "");
    EXPECT_EQ(map.fields[2].field->type, FieldType::Double);
    EXPECT_EQ(std::get<double>(map.fields[2].value), -37.25);
    EXPECT_EQ(map.fields[3].field->type, FieldType::Float);

    const Command knt = one("request KINETRA_COMMAND command=1 weight=7e1 speed_threshold=0.5 resume_window=3");
    EXPECT_EQ(knt.code, 769);
    EXPECT_EQ(std::get<double>(knt.fields[1].value), 70.0);

    EXPECT_TRUE(one("request STOP_SESSION null").null_record);
    EXPECT_EQ(one("request 12345").record, RecordKind::None);
}

} // namespace

namespace {

// The simulated phone's verbs: what each becomes, and what is refused.
TEST(ScenarioLine, PhoneVerbs)
{
    const struct {
        const char *line, *word;
        Numbers numbers;
        const char *text;
    } rows[] = {
        {"phone on", "on", {}, ""},
        {"phone off  # gone", "off", {}, ""},
        {"phone drop", "drop", {}, ""},
        {"phone gps off", "gps", {0}, ""},
        {"phone wps on", "wps", {1}, ""},
        {"phone silent", "silent", {1}, ""},
        {"phone silent off", "silent", {0}, ""},
        {"phone slow 15", "slow", {15}, ""},
        {"phone refuse map 2", "refuse", {2}, "map"},
        {"phone refuse assistance -1", "refuse", {-1}, "assistance"},
        {"phone track my tracks/walk.gpx  ", "track", {}, "my tracks/walk.gpx"},
    };
    for (const auto &r : rows) {
        const Command c = one(r.line);
        EXPECT_EQ(c.verb, Verb::Phone) << r.line;
        EXPECT_EQ(c.word, r.word) << r.line;
        EXPECT_EQ(c.numbers, r.numbers) << r.line;
        EXPECT_EQ(c.text, r.text) << r.line;
        EXPECT_EQ(c.track, nullptr) << r.line; // read with the file only
    }

    const std::string usage = " (usage: phone on | off | drop | track FILE.gpx | gps on|off | wps on|off | "
                              "slow SECONDS | silent [on|off] | refuse map|assistance REASON)";
    const struct {
        const char *line;
        std::string message;
    } refused[] = {
        {"phone", "missing argument after 'phone'" + usage},
        {"phone fly", "unknown verb 'phone fly'" + usage},
        {"phone on now", "unexpected argument 'now'" + usage},
        {"phone gps", "missing argument on|off" + usage},
        {"phone gps maybe", "expected on or off, got 'maybe'"},
        {"phone slow -1", "bad number '-1' for SECONDS (0 to 86400)"},
        {"phone slow", "missing argument SECONDS" + usage},
        {"phone refuse time 2", "expected map or assistance, got 'time'" + usage},
        {"phone refuse map", "missing argument REASON" + usage},
        {"phone refuse map x", "bad number 'x' for REASON"},
        {"phone track", "missing argument FILE.gpx" + usage},
    };
    for (const auto &r : refused)
        EXPECT_EQ(refusal(r.line), r.message) << r.line;
}

// A track is read with the scenario, from the scenario's directory; one that
// cannot be read stops the file at its line.
TEST(ScenarioFile, PhoneTrackIsReadWithTheFile)
{
    const std::string dir = std::string(LBS_TEST_DATA_DIR) + "/gpx/";
    std::vector<Command> cmds;
    ParseError e;
    ASSERT_TRUE(lbs_sim::parse_scenario(dir + "s.scn", "phone track route_1_0.gpx\n", &cmds, &e)) << e.to_string();
    ASSERT_EQ(cmds.size(), 1u);
    ASSERT_NE(cmds[0].track, nullptr);
    EXPECT_EQ(cmds[0].track->size(), 3u);

    cmds.clear();
    ASSERT_FALSE(lbs_sim::parse_scenario(dir + "s.scn", "init\nphone track no_points.gpx\n", &cmds, &e));
    EXPECT_EQ(e.line, 2);
    EXPECT_EQ(e.message, "phone track: cannot read 'no_points.gpx': " + dir +
                             "no_points.gpx: no track points (trk/trkseg/trkpt) and no route points (rte/rtept)");
}

// ---- the verbs as --help and the console show them -------------------------------

// The reference cannot drift from the parser: each example is read as its
// verb; a verb word the reference leaves out is one the parser refuses.
TEST(VerbHelp, EveryExampleIsReadAsItsVerb)
{
    for (const lbs_sim::VerbHelp &v : lbs_sim::verb_help()) {
        Command c;
        bool empty = true;
        std::string message;
        ASSERT_TRUE(lbs_sim::parse_line(v.example, &c, &empty, &message)) << v.example << ": " << message;
        EXPECT_FALSE(empty);
        const std::string example(v.example);
        EXPECT_EQ(example.rfind(std::string(v.name) + (example.size() > v.name.size() ? " " : ""), 0), 0u)
            << v.name << " / " << v.example;
    }
    EXPECT_EQ(lbs_sim::find_verb_help("kov").size(), 14u);
    ASSERT_EQ(lbs_sim::find_verb_help("kov data").size(), 1u);
    EXPECT_EQ(lbs_sim::verb_usage(*lbs_sim::find_verb_help("kov data")[0]), "kov data TEXT");
    EXPECT_TRUE(lbs_sim::find_verb_help("ko").empty());
    EXPECT_TRUE(lbs_sim::find_verb_help("fly").empty());
}

TEST(VerbHelp, CompletionOffersTheWordsThatFitWhereTheCursorIs)
{
    using V = std::vector<std::string>;
    bool field = true;
    EXPECT_EQ(lbs_sim::complete_words("", "a", &field), (V{"alarm", "advance"}));
    EXPECT_FALSE(field);
    EXPECT_EQ(lbs_sim::complete_words("", "h", &field), (V{"help"}));
    EXPECT_EQ(lbs_sim::complete_words("help ", "ph", &field), (V{"phone"}));
    EXPECT_EQ(lbs_sim::complete_words("help kov ", "re", &field), (V{"result", "regi_cfrm", "receive_completed"}));
    EXPECT_EQ(lbs_sim::complete_words("kov  ", "con", &field), (V{"connected", "conn_cfrm", "conn_ind"}));
    EXPECT_EQ(lbs_sim::complete_words("request ", "CHANGE_", &field),
              (V{"CHANGE_INTERVAL", "CHANGE_LOCATION_SETTING", "CHANGE_BATCH_PERIOD"}));
    // Fields of the named code's record, null only before any field.
    EXPECT_EQ(lbs_sim::complete_words("request START_SESSION ", "", &field),
              (V{"method", "interval", "batching_interval", "null"}));
    EXPECT_EQ(lbs_sim::complete_words("request START_SESSION method=1 ", "", &field),
              (V{"method", "interval", "batching_interval"}));
    EXPECT_TRUE(field);
    EXPECT_EQ(lbs_sim::complete_words("request HERE_MAP_IMAGE ", "center_l", &field),
              (V{"center_latitude", "center_longitude"}));
    EXPECT_EQ(lbs_sim::complete_words("request START_SESSION ", "n", &field), (V{"null"}));
    EXPECT_FALSE(field);
    // Codes without a record, or unknown, have no fields.
    EXPECT_TRUE(lbs_sim::complete_words("request CHECK_LOCATION_SETTING ", "", &field).empty());
    EXPECT_TRUE(lbs_sim::complete_words("request 77 ", "", &field).empty());
    EXPECT_EQ(lbs_sim::complete_words("phone silent ", "o", &field), (V{"on", "off"}));
    EXPECT_EQ(lbs_sim::complete_words("set k ", "", &field), (V{"bool", "int", "double"}));
    EXPECT_EQ(lbs_sim::complete_words("filedir ", "", &field), (V{"missing", "blocked", "present", "put", "has"}));
    EXPECT_TRUE(lbs_sim::complete_words("advance ", "", &field).empty());
    EXPECT_EQ(lbs_sim::complete_words("kov result ", "re", &field),
              (V{"registerNotifications", "registerServiceAgent", "receiveFile", "rejectServiceConnection"}));
    EXPECT_EQ(lbs_sim::complete_words("bap result ", "bap_service_s", &field),
              (V{"bap_service_set_data_received_cb", "bap_service_send_data"}));
}

} // namespace
