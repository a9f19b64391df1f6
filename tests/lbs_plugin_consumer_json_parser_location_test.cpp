// Position replies of the first link: one position, and batches capped at
// what the host's batch event holds.
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

// Parses text into a zero-filled record, as the receive path does; the text
// is copied to a buffer that ends where it ends.
template <class Record>
std::unique_ptr<Record, GFree> parse(const std::string &text, JsonObjectForeach callback)
{
    std::unique_ptr<Record, GFree> record(static_cast<Record *>(g_malloc0(sizeof(Record))));
    std::vector<char> exact(text.begin(), text.end());
    EXPECT_EQ(parse_json_message(exact.data(), exact.size(), callback, record.get()), 0) << text;
    return record;
}

auto parse_position(const std::string &text)
{
    return parse<loc_tracking_rsp_message>(text, consumer_plugin_location_tracking_response_parser);
}

auto parse_batch(const std::string &text)
{
    return parse<location_batch_rsp_message>(text, _location_batch_rsp_parser_cb);
}

// n batch elements, element i with latitude i and timestamp 1000 * i.
std::string batch_of(int n)
{
    std::string text = R"({"msgId":"lbs-tracking-location-rsp","result":1,"method":3,"locationInfo":[)";
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            text += ",";
        text += R"({"latitude":)" + std::to_string(i) + R"(,"timestamp":)" + std::to_string(1000 * i) + "}";
    }
    return text + "]}";
}

class LocationReplies : public ::testing::Test {
protected:
    void SetUp() override { dlog_ctl_clear(); }
};

TEST_F(LocationReplies, PositionTakesEveryKeyWithItsType)
{
    auto pos = parse_position(
        R"({"msgId":"lbs-tracking-location-rsp","result":1,"reason":4,"method":2,"timestamp":1700000000123,)"
        R"("latitude":37,"longitude":127.5,"altitude":-12.25,"speed":3.5,"bearing":359.75,)"
        R"("h_accuracy":4.5,"v_accuracy":8})");
    EXPECT_EQ(pos->result, 1);
    EXPECT_EQ(pos->reason, 4);
    EXPECT_EQ(pos->method, 2);
    EXPECT_EQ(pos->timestamp, 1700000000123);
    EXPECT_EQ(pos->latitude, 37.0) << "an integer node is read as a double";
    EXPECT_EQ(pos->longitude, 127.5);
    EXPECT_EQ(pos->altitude, -12.25);
    EXPECT_EQ(pos->speed, 3.5);
    EXPECT_EQ(pos->bearing, 359.75);
    EXPECT_EQ(pos->h_accuracy, 4.5);
    EXPECT_EQ(pos->v_accuracy, 8.0);
    EXPECT_EQ(dlog_ctl_count(), 0u);
}

TEST_F(LocationReplies, PositionLogsAndSkipsWhatItDoesNotTake)
{
    struct Case {
        const char *member;
        const char *log;
    };
    const Case cases[] = {
        {R"("latitude":"37.5")", nullptr},  // a text where a number belongs reads as 0
        {R"("result":"1")", nullptr},
        {R"("altitude":true)", nullptr},
        {R"("Latitude":37.5)", "not handled value key [Latitude]"},
        {R"("locationInfo":[{"latitude":1}])", "not handled array value key : [locationInfo]!!!"},
        {R"("latitude":{"value":1})", "not handled array value key : [latitude]!!!"},
        {R"("latitude":null)", "not handled node type : [3]!!!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.member);
        dlog_ctl_clear();
        auto pos = parse_position(std::string(R"({"msgId":"lbs-tracking-location-rsp",)") + c.member + "}");
        EXPECT_EQ(pos->latitude, 0.0);
        EXPECT_EQ(pos->result, 0);
        EXPECT_EQ(pos->altitude, 0.0);
        EXPECT_EQ(dlog_ctl_count(), c.log != nullptr ? 1u : 0u);
        if (c.log != nullptr) {
            EXPECT_TRUE(logged(DLOG_ERROR, c.log));
        }
    }
}

TEST_F(LocationReplies, BatchFillsEntriesInArrayOrder)
{
    auto batch = parse_batch(
        R"({"msgId":"lbs-tracking-location-rsp","result":1,"reason":0,"method":3,"locationInfo":[)"
        R"({"timestamp":1000,"method":1,"latitude":1.5,"longitude":2,"altitude":3,"speed":4,"bearing":5,)"
        R"("h_accuracy":6,"v_accuracy":7},{"latitude":-1.5}]})");
    EXPECT_EQ(batch->result, 1);
    EXPECT_EQ(batch->method, 3);
    ASSERT_EQ(batch->num_of_location, 2u);
    const loc_tracking_rsp_message &first = batch->locations[0];
    EXPECT_EQ(first.timestamp, 1000);
    EXPECT_EQ(first.method, 1);
    EXPECT_EQ(first.latitude, 1.5);
    EXPECT_EQ(first.longitude, 2.0);
    EXPECT_EQ(first.altitude, 3.0);
    EXPECT_EQ(first.speed, 4.0);
    EXPECT_EQ(first.bearing, 5.0);
    EXPECT_EQ(first.h_accuracy, 6.0);
    EXPECT_EQ(first.v_accuracy, 7.0);
    EXPECT_EQ(batch->locations[1].latitude, -1.5);
    EXPECT_EQ(batch->locations[1].timestamp, 0);
    EXPECT_TRUE(logged(DLOG_INFO, "Location batch. array key : [locationInfo]"));
    EXPECT_TRUE(logged(DLOG_INFO, "num of location batch: [2]"));
}

TEST_F(LocationReplies, BatchIsCappedAtTheHostsOneHundredFifty)
{
    struct Case {
        int elements;
        unsigned kept;
        bool capped;
    };
    const Case cases[] = {{1, 1, false}, {149, 149, false}, {150, 150, false}, {151, 150, true}, {400, 150, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.elements);
        dlog_ctl_clear();
        auto batch = parse_batch(batch_of(c.elements));
        EXPECT_EQ(batch->num_of_location, c.kept);
        EXPECT_EQ(batch->locations[c.kept - 1].latitude, c.kept - 1.0);
        EXPECT_EQ(batch->locations[c.kept - 1].timestamp, 1000 * (c.kept - 1));
        EXPECT_TRUE(logged(DLOG_INFO, "num of location batch: [" + std::to_string(c.elements) + "]"));
        EXPECT_EQ(logged(DLOG_INFO, "Forcely set as [150] num_of_location : [" + std::to_string(c.elements) + "]"),
                  c.capped);
    }
}

TEST_F(LocationReplies, EmptyBatchWarnsAndStaysEmpty)
{
    auto batch = parse_batch(R"({"msgId":"lbs-tracking-location-rsp","result":1,"locationInfo":[]})");
    EXPECT_EQ(batch->num_of_location, 0u);
    EXPECT_EQ(batch->result, 1);
    EXPECT_TRUE(logged(DLOG_WARN, "Array size is [0]"));
}

TEST_F(LocationReplies, BatchLogsAndSkipsWhatItDoesNotTake)
{
    struct Case {
        const char *member;
        int prio;
        const char *log;
    };
    const Case cases[] = {
        {R"("latitude":1.5)", DLOG_ERROR, "not handled key [latitude]"},
        {R"("extra":{"a":1})", DLOG_WARN, "Do not handle object type. [extra]"},
        {R"("result":null)", DLOG_ERROR, "not handled node type : [3]!!!"},
        {R"("positions":[{"latitude":1}])", DLOG_ERROR, "Exceptional JSON node [positions]"},
        {R"("locationInfo":[{"result":1,"reason":2,"speed":1}])", DLOG_ERROR, "not handled key [result]"},
        {R"("locationInfo":[{"reason":2}])", DLOG_ERROR, "not handled key [reason]"},
        {R"("locationInfo":[{"latitude":[1],"longitude":2}])", DLOG_ERROR,
         "Exceptional node type of this key: [latitude]"},
        {R"("locationInfo":[{"latitude":null}])", DLOG_ERROR, "Exceptional node type of this key: [latitude]"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.member);
        dlog_ctl_clear();
        auto batch = parse_batch(std::string(R"({"msgId":"lbs-tracking-location-rsp",)") + c.member + "}");
        EXPECT_TRUE(logged(c.prio, c.log));
        EXPECT_EQ(batch->result, 0);
        EXPECT_EQ(batch->locations[0].result, 0) << "an entry keeps no result";
        EXPECT_EQ(batch->locations[0].reason, 0) << "an entry keeps no reason";
        EXPECT_EQ(batch->locations[0].latitude, 0.0);
    }
}

TEST_F(LocationReplies, ElementsThatAreNoObjectsLeaveTheirEntryZero)
{
    auto batch = parse_batch(
        R"({"msgId":"lbs-tracking-location-rsp","locationInfo":[1,{"latitude":2},null,[{"latitude":9}],"x",{"latitude":6}]})");
    ASSERT_EQ(batch->num_of_location, 6u);
    const double expected[] = {0, 2, 0, 0, 0, 6};
    for (unsigned i = 0; i < 6; ++i)
        EXPECT_EQ(batch->locations[i].latitude, expected[i]) << i;
}

} // namespace
