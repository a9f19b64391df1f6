// Reading scenarios: what each command line becomes, and the file:line
// message for a line that cannot be read.
#include "lbs_sim_scenario.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using lbs_sim::Command;
using lbs_sim::FieldType;
using lbs_sim::ParseError;
using lbs_sim::RecordKind;
using lbs_sim::Verb;

namespace {

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
    const std::string text = "# header\n\ninit\nrequest START_SESSION method=1\nwarp 9\nadvance 1\n";
    std::vector<Command> cmds;
    ParseError e;
    ASSERT_FALSE(lbs_sim::parse_scenario("s.scn", text, &cmds, &e));
    EXPECT_EQ(e.to_string(), "s.scn:5: unknown verb 'warp'");
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0].line, 3);
    EXPECT_EQ(cmds[1].line, 4);
}

TEST(ScenarioFile, EachErrorKindCarriesItsLine)
{
    struct Row {
        std::string text;
        std::string message;
    } rows[] = {
        {"init\nkov regi_cfrm 0\n", "f:2: missing argument AGENT_ID (usage: kov regi_cfrm RESULT AGENT_ID)"},
        {"init\r\n\r\nadvance ten\r\n", "f:3: bad number 'ten' for SECONDS"},
        {"\n\n\nkov fly\n", "f:4: unknown verb 'kov fly'"},
        {"request\n", "f:1: missing argument CODE (usage: request CODE [null | FIELD=VALUE ...])"},
    };
    for (const Row &r : rows) {
        std::vector<Command> cmds;
        ParseError e;
        ASSERT_FALSE(lbs_sim::parse_scenario("f", r.text, &cmds, &e)) << r.text;
        EXPECT_EQ(e.to_string(), r.message);
    }
}

TEST(ScenarioFile, CommentsBlankLinesAndCarriageReturnsAreSkipped)
{
    const std::string text = "  # only a comment\n\t\ninit   # trailing comment\r\nadvance 5\n\ndeinit";
    std::vector<Command> cmds;
    ParseError e;
    ASSERT_TRUE(lbs_sim::parse_scenario("f", text, &cmds, &e)) << e.to_string();
    ASSERT_EQ(cmds.size(), 3u);
    EXPECT_EQ(cmds[0].verb, Verb::Init);
    EXPECT_EQ(cmds[0].source, "init");
    EXPECT_EQ(cmds[1].numbers, std::vector<long long>{5});
    EXPECT_EQ(cmds[2].verb, Verb::Deinit);
    EXPECT_EQ(cmds[2].line, 6);
}

TEST(ScenarioLine, NumbersAreDecimalWithinTheirRange)
{
    EXPECT_EQ(one("kov regi_cfrm -2 4294967295").numbers, (std::vector<long long>{-2, 4294967295LL}));
    EXPECT_EQ(one("kov conn_cfrm 0 -2147483648").numbers, (std::vector<long long>{0, -2147483648LL}));
    EXPECT_EQ(refusal("kov conn_cfrm 0 2147483648"), "bad number '2147483648' for HANDLE");
    EXPECT_EQ(refusal("kov regi_cfrm 0 -1"), "bad number '-1' for AGENT_ID");
    EXPECT_EQ(refusal("advance -1"), "bad number '-1' for SECONDS");
    EXPECT_EQ(refusal("kov error 0x10"), "bad number '0x10' for CODE");
    EXPECT_EQ(refusal("kov error 1.0"), "bad number '1.0' for CODE");
    EXPECT_EQ(refusal("kov error +1"), "bad number '+1' for CODE");
    EXPECT_EQ(refusal("kov error -"), "bad number '-' for CODE");
    EXPECT_EQ(refusal("kov error 1 2"), "unexpected argument '2' (usage: kov error CODE)");
}

TEST(ScenarioLine, UnknownVerbsAndCallsAreRefused)
{
    EXPECT_EQ(refusal("Init"), "unknown verb 'Init'");
    EXPECT_EQ(refusal("bap"), "missing argument after 'bap'");
    EXPECT_EQ(refusal("bap devices 1"), "unknown verb 'bap devices'");
    EXPECT_EQ(refusal("kov result isKovConnected 1"), "unknown framework call 'isKovConnected'");
    EXPECT_EQ(refusal("bap result sendData 1"), "unknown daemon call 'sendData'");
    EXPECT_EQ(refusal("alarm fail yes"), "expected on or off, got 'yes'");
}

TEST(ScenarioLine, TextRunsToTheEndOfTheLineSpacesAndHashesIncluded)
{
    const Command c = one("kov data   {\"msgId\": \"lbs-tracking-location-rsp\", \"n\":\"#1\"} # x  ");
    EXPECT_EQ(c.verb, Verb::KovData);
    EXPECT_EQ(c.text, "{\"msgId\": \"lbs-tracking-location-rsp\", \"n\":\"#1\"} # x  ");
    EXPECT_EQ(one("bap data @").text, "@");
    EXPECT_EQ(refusal("bap data   "), "missing argument TEXT (usage: bap data TEXT)");
}

TEST(ScenarioLine, PathsAreOneWordAndNullStandsForNoPath)
{
    const Command offer = one("kov send_file 3 $EXTRA/gpsPlus.dat");
    EXPECT_EQ(offer.numbers, std::vector<long long>{3});
    EXPECT_EQ(offer.text, "$EXTRA/gpsPlus.dat");
    EXPECT_FALSE(offer.text_is_null);
    const Command done = one("bap file_completed 1 NULL 9");
    EXPECT_TRUE(done.text_is_null);
    EXPECT_EQ(done.numbers, (std::vector<long long>{1, 9}));
    EXPECT_EQ(one("kov receive_completed /a/map.jpg 11").numbers, std::vector<long long>{11});
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
    EXPECT_EQ(std::get<std::string>(map.fields[0].value), "my-app");
    EXPECT_EQ(std::get<std::string>(map.fields[1].value), "");
    EXPECT_EQ(map.fields[2].field->type, FieldType::Double);
    EXPECT_EQ(std::get<double>(map.fields[2].value), -37.25);
    EXPECT_EQ(map.fields[3].field->type, FieldType::Float);

    const Command knt = one("request KINETRA_COMMAND command=1 weight=7e1 speed_threshold=0.5 resume_window=3");
    EXPECT_EQ(knt.code, 769);
    EXPECT_EQ(std::get<double>(knt.fields[1].value), 70.0);

    EXPECT_TRUE(one("request STOP_SESSION null").null_record);
    const Command unknown = one("request 12345");
    EXPECT_EQ(unknown.record, RecordKind::None);
    EXPECT_FALSE(unknown.null_record);
}

TEST(ScenarioLine, RequestFieldsMustBelongToTheRecordAndReadAsTheirType)
{
    EXPECT_EQ(refusal("request START_SESSION data_type=3"), "unknown field 'data_type' for request START_SESSION");
    EXPECT_EQ(refusal("request CHECK_LOCATION_SETTING setting=1"),
              "request CHECK_LOCATION_SETTING carries no record, so field 'setting' cannot be set");
    EXPECT_EQ(refusal("request START_SESSION method"), "expected FIELD=VALUE, got 'method'");
    EXPECT_EQ(refusal("request START_SESSION method=GPS"), "bad number 'GPS' for method");
    EXPECT_EQ(refusal("request HERE_MAP_IMAGE zoom_level=1e"), "bad number '1e' for zoom_level");
    EXPECT_EQ(refusal("request HERE_MAP_IMAGE zoom_level=inf"), "bad number 'inf' for zoom_level");
    EXPECT_EQ(refusal("request START_SESSION null method=1"), "unexpected argument 'method=1' after null");
    EXPECT_EQ(refusal("request START_SESION"), "unknown request code 'START_SESION'");
    EXPECT_EQ(refusal("request 99999999999"), "bad number '99999999999' for CODE");
}

TEST(ScenarioLine, SettingsTakeTheirTypedValue)
{
    const Command b = one("set memory/wms/wmanager_connected bool true");
    EXPECT_EQ(b.verb, Verb::SetBool);
    EXPECT_EQ(b.word, "memory/wms/wmanager_connected");
    EXPECT_EQ(b.numbers, std::vector<long long>{1});
    EXPECT_EQ(one("set k int -7").numbers, std::vector<long long>{-7});
    EXPECT_EQ(one("set k double -0.25").real, -0.25);
    EXPECT_EQ(refusal("set k bool 2"), "bad value '2' for a bool (0, 1, true or false)");
    EXPECT_EQ(refusal("set k string x"), "unknown type 'string' (bool, int or double)");
    EXPECT_EQ(refusal("set k int"), "missing argument VALUE (usage: set KEY bool|int|double VALUE)");
}

TEST(ScenarioLine, StorageTakesTwoSizesOrFail)
{
    EXPECT_EQ(one("storage 8589934592 4294967296").numbers, (std::vector<long long>{8589934592LL, 4294967296LL}));
    EXPECT_EQ(one("storage fail").verb, Verb::StorageFail);
    EXPECT_EQ(refusal("storage 100"), "missing argument FREE (usage: storage TOTAL FREE | storage fail)");
    EXPECT_EQ(refusal("storage -1 0"), "bad number '-1' for TOTAL");
}

TEST(ScenarioLine, ThePhoneIsRefusedUntilTheProviderAppExists)
{
    EXPECT_NE(refusal("phone on").find("simulated provider app is not part of lbs-sim yet"), std::string::npos);
    EXPECT_NE(refusal("phone track walk.gpx").find("'phone track walk.gpx'"), std::string::npos);
}

TEST(ScenarioLine, SourceKeepsTheCommandWithoutItsComment)
{
    EXPECT_EQ(one("  request  START_SESSION method=1   # go").source, "request  START_SESSION method=1");
    EXPECT_EQ(one("kov data x # y").source, "kov data x # y");
}

} // namespace
