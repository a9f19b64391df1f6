// Position replies: one position on either link, and the first link's
// batches, capped at what the host's batch event holds.
#include "bap/lbs_plugin_consumer_bap_json_parser.h"

#include "protocol_test_support.h"

namespace {

using namespace protocol_test;

// The position parser of each link.
const std::pair<JsonObjectForeach, ParseFn> kPositionLinks[] = {
    {consumer_plugin_location_tracking_response_parser, parse_json_message},
    {bap_location_tracking_parser, bap_json_parse_message}};

auto parse_batch(const std::string &text)
{
    return parse_into<location_batch_rsp_message>(text, _location_batch_rsp_parser_cb);
}

// n batch elements, element i with latitude i and timestamp 1000 * i.
std::string batch_of(int n)
{
    std::string text = R"({"msgId":"lbs-tracking-location-rsp","result":1,"method":3,"locationInfo":[)";
    for (int i = 0; i < n; ++i)
        text += (i > 0 ? "," : "") + std::string(R"({"latitude":)") + std::to_string(i) + R"(,"timestamp":)" +
                std::to_string(1000 * i) + "}";
    return text + "]}";
}

class LocationReplies : public ProtocolTest {};

TEST_F(LocationReplies, PositionTakesEveryKeyWithItsType)
{
    // An integer node ("latitude", "v_accuracy") is read as a double.
    const loc_tracking_rsp_message want = {1, 4, 2, 1700000000123, 37.0, 127.5, -12.25, 3.5, 359.75, 4.5, 8.0};
    for (auto [callback, parse_fn] : kPositionLinks) {
        auto pos = parse_into<loc_tracking_rsp_message>(
            R"({"msgId":"lbs-tracking-location-rsp","result":1,"reason":4,"method":2,"timestamp":1700000000123,)"
            R"("latitude":37,"longitude":127.5,"altitude":-12.25,"speed":3.5,"bearing":359.75,)"
            R"("h_accuracy":4.5,"v_accuracy":8})",
            callback, parse_fn);
        EXPECT_EQ(*pos, want);
    }
    EXPECT_EQ(dlog_ctl_count(), 0u);
}

TEST_F(LocationReplies, PositionLogsAndSkipsWhatItDoesNotTake)
{
    struct Case {
        const char *member;
        const char *log; // nullptr: read as 0 without a line
    };
    const Case cases[] = {
        {R"("latitude":"37.5")", nullptr},
        {R"("result":"1")", nullptr},
        {R"("altitude":true)", nullptr},
        {R"("Latitude":37.5)", "not handled value key [Latitude]"},
        {R"("locationInfo":[{"latitude":1}])", "not handled array value key : [locationInfo]!!!"},
        {R"("latitude":{"value":1})", "not handled array value key : [latitude]!!!"},
        {R"("latitude":null)", "not handled node type : [3]!!!"},
    };
    for (const Case &c : cases) {
        for (auto [callback, parse_fn] : kPositionLinks) {
            SCOPED_TRACE(testing::Message() << c.member << (parse_fn == parse_json_message ? "" : " (second link)"));
            dlog_ctl_clear();
            auto pos = parse_into<loc_tracking_rsp_message>(
                std::string(R"({"msgId":"lbs-tracking-location-rsp",)") + c.member + "}", callback, parse_fn);
            EXPECT_EQ(*pos, loc_tracking_rsp_message{});
            EXPECT_TRUE(c.log != nullptr ? only_logged(DLOG_ERROR, c.log) : dlog_ctl_count() == 0);
        }
    }
}

TEST_F(LocationReplies, BatchFillsEntriesInArrayOrderAndLeavesNonObjectsZero)
{
    auto batch = parse_batch(
        R"({"msgId":"lbs-tracking-location-rsp","result":1,"reason":2,"method":3,"locationInfo":[)"
        R"({"timestamp":1000,"method":1,"latitude":1.5,"longitude":2,"altitude":3,"speed":4,"bearing":5,)"
        R"("h_accuracy":6,"v_accuracy":7},1,{"latitude":-1.5},null,[{"latitude":9}],"x",{"latitude":6}]})");
    EXPECT_EQ(batch->result, 1);
    EXPECT_EQ(batch->reason, 2);
    EXPECT_EQ(batch->method, 3);
    ASSERT_EQ(batch->num_of_location, 7u);
    const loc_tracking_rsp_message first = {0, 0, 1, 1000, 1.5, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0};
    EXPECT_EQ(batch->locations[0], first);
    const double latitudes[] = {1.5, 0, -1.5, 0, 0, 0, 6};
    for (unsigned i = 1; i < 7; ++i)
        EXPECT_EQ(batch->locations[i], (loc_tracking_rsp_message{.latitude = latitudes[i]})) << i;
    EXPECT_TRUE(logged(DLOG_INFO, "Location batch. array key : [locationInfo]"));
    EXPECT_TRUE(logged(DLOG_INFO, "num of location batch: [7]"));
}

TEST_F(LocationReplies, BatchIsCappedAtTheHostsOneHundredFifty)
{
    struct Case {
        int elements;
        unsigned kept;
    };
    for (const Case &c : {Case{0, 0}, {1, 1}, {149, 149}, {150, 150}, {151, 150}, {400, 150}}) {
        SCOPED_TRACE(c.elements);
        dlog_ctl_clear();
        auto batch = parse_batch(batch_of(c.elements));
        EXPECT_EQ(batch->result, 1);
        EXPECT_EQ(batch->num_of_location, c.kept);
        if (c.kept > 0) {
            EXPECT_EQ(batch->locations[c.kept - 1].latitude, c.kept - 1.0);
            EXPECT_EQ(batch->locations[c.kept - 1].timestamp, 1000 * (c.kept - 1));
        }
        if (c.kept < LBS_CONSUMER_MAX_BATCH_POSITIONS) {
            EXPECT_EQ(batch->locations[c.kept], loc_tracking_rsp_message{});
        }
        EXPECT_TRUE(logged(DLOG_INFO, "num of location batch: [" + std::to_string(c.elements) + "]"));
        EXPECT_EQ(logged(DLOG_INFO, "Forcely set as [150] num_of_location : [" + std::to_string(c.elements) + "]"),
                  c.elements > 150);
        EXPECT_EQ(logged(DLOG_WARN, "Array size is [0]"), c.elements == 0);
    }
}

TEST_F(LocationReplies, BatchLogsAndSkipsWhatItDoesNotTake)
{
    struct Case {
        const char *member;
        int prio;
        const char *log;
        loc_tracking_rsp_message entry; // the first entry; an entry keeps no result or reason
    };
    const Case cases[] = {
        {R"("latitude":1.5)", DLOG_ERROR, "not handled key [latitude]", {}},
        {R"("extra":{"a":1})", DLOG_WARN, "Do not handle object type. [extra]", {}},
        {R"("result":null)", DLOG_ERROR, "not handled node type : [3]!!!", {}},
        {R"("positions":[{"latitude":1}])", DLOG_ERROR, "Exceptional JSON node [positions]", {}},
        {R"("locationInfo":[{"result":1,"reason":2,"speed":1}])", DLOG_ERROR, "not handled key [reason]", {.speed = 1}},
        {R"("locationInfo":[{"latitude":[1],"longitude":2}])", DLOG_ERROR,
         "Exceptional node type of this key: [latitude]", {.longitude = 2}},
        {R"("locationInfo":[{"latitude":null}])", DLOG_ERROR, "Exceptional node type of this key: [latitude]", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.member);
        dlog_ctl_clear();
        auto batch = parse_batch(std::string(R"({"msgId":"lbs-tracking-location-rsp",)") + c.member + "}");
        EXPECT_TRUE(logged(c.prio, c.log));
        EXPECT_EQ(batch->result, 0);
        EXPECT_EQ(batch->locations[0], c.entry);
    }
}

} // namespace
