// The simulated phone's provider model: where the phone is, and the replies
// it gives to each request, in virtual time.
#include "lbs_sim_phone_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace lbs_sim {
namespace {

// Two points on the equator 0.001 degree apart (111.31949079 m), 100 s from
// one to the other, climbing from 0 to 10 m: 1.1131949 m/s due east.
std::shared_ptr<const Track> equator_track()
{
    return std::make_shared<const Track>(std::vector<TrackPoint>{{0, 0, 0, 0}, {0, 0.001, 10, 100000}});
}

size_t count(const std::string &text, const std::string &piece)
{
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

TEST(PhoneTrack, InterpolatesByTimeAndHoldsItsEnds)
{
    const auto track = equator_track();
    const Fix mid = track->at(50000);
    EXPECT_NEAR(mid.lon, 0.0005, 1e-15);
    EXPECT_NEAR(mid.ele, 5, 1e-12);
    EXPECT_NEAR(mid.speed, 1.1131949079, 1e-9);
    EXPECT_NEAR(mid.bearing, 90, 1e-9);
    const Fix before = track->at(-1000);
    EXPECT_EQ(before.lon, 0);
    EXPECT_EQ(before.speed, 0);
    const Fix after = track->at(500000);
    EXPECT_EQ(after.lon, 0.001);
    EXPECT_EQ(after.ele, 10);
    EXPECT_EQ(after.speed, 0);
}

TEST(PhoneModel, WithoutTrackTheAPhoneStandsAtHomeAndTrackStartsWhenGiven)
{
    PhoneModel m;
    EXPECT_EQ(m.where(100).lat, kHomeLat);
    EXPECT_EQ(m.where(100).lon, kHomeLon);
    m.set_track(equator_track(), 100);
    EXPECT_EQ(m.where(100).lon, 0);
    EXPECT_NEAR(m.where(150).lon, 0.0005, 1e-15);
}

class PhoneReplies : public ::testing::Test {
protected:
    PhoneReplies() { m.set_track(equator_track(), 0); }
    PhoneOutputs kov(const std::string &text, int64_t now) { return m.request(Dialect::Kov, text, now); }
    PhoneModel m;
};

// A GPS fix two seconds in: longitude 0.001 * 2 / 100 = 0.00002, altitude
// 0.2, time 2026-01-01T00:00:02Z; then one every two seconds.
TEST_F(PhoneReplies, GpsPositionsComeEveryIntervalAlongTheTrack)
{
    EXPECT_TRUE(kov(R"({"msgId": "lbs-tracking-location-req","cmd":1, "method":1, "interval":2, "batchingInterval":0})", 0)
                    .empty());
    EXPECT_EQ(m.next_due(), 2);
    PhoneOutputs out = m.tick(2);
    ASSERT_EQ(out.size(), 1u);
    const std::string &t = out[0].text;
    EXPECT_EQ(t.rfind("{\"msgId\":\"lbs-tracking-location-rsp\",\"result\":1,\"reason\":0,\"method\":1,"
                      "\"timestamp\":1767225602000,\"latitude\":0.0000000,\"longitude\":0.0000200,\"altitude\":0.2,"
                      "\"speed\":1.11,\"bearing\":90.0,\"h_accuracy\":",
                      0),
              0u)
        << t;
    EXPECT_EQ(m.next_due(), 4);
    // Late ticks catch up, one fix per interval: 4, 6 and 8.
    EXPECT_EQ(m.tick(9).size(), 3u);
    EXPECT_EQ(m.next_due(), 10);
    // A new interval counts from the change.
    kov(R"({"msgId": "lbs-tracking-location-req","cmd":3, "method":1, "interval":5})", 9);
    EXPECT_EQ(m.next_due(), 14);
    // GPS off: each fix becomes the failure the protocol has for it.
    m.set_gps(false, 10);
    out = m.tick(14);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, R"({"msgId":"lbs-tracking-location-rsp","result":2,"reason":2,"method":1})");
    kov(R"({"msgId": "lbs-tracking-location-req","cmd":2, "method":1})", 15);
    EXPECT_EQ(m.next_due(), -1);
    EXPECT_TRUE(m.tick(100).empty());
}

// A batch period of 200 s with a fix a second holds the last 150 fixes:
// those of seconds 51 to 200.
TEST_F(PhoneReplies, BatchesHoldTheLatest150Positions)
{
    kov(R"({"msgId": "lbs-tracking-location-req","cmd":1, "method":1, "interval":1, "batchingInterval":200})", 0);
    EXPECT_EQ(m.next_due(), 1);
    PhoneOutputs out = m.tick(200);
    ASSERT_EQ(out.size(), 1u);
    const std::string &t = out[0].text;
    EXPECT_EQ(t.rfind(R"({"msgId":"lbs-tracking-location-rsp","result":1,"reason":0,"method":3,"locationInfo":[{"method":1,"timestamp":1767225651000,)", 0), 0u) << t.substr(0, 200);
    EXPECT_EQ(count(t, "\"timestamp\""), 150u);
    EXPECT_NE(t.find("\"timestamp\":1767225800000"), std::string::npos);
}

TEST_F(PhoneReplies, WpsPositionsAreNoisyCoarseAndRepeatable)
{
    kov(R"({"msgId": "lbs-tracking-location-req","cmd":1, "method":2, "interval":1})", 0);
    const std::string first = m.tick(1).at(0).text;
    EXPECT_NE(first.find("\"method\":2"), std::string::npos);
    EXPECT_NE(first.find("\"speed\":0.00,\"bearing\":0.0,\"h_accuracy\":"), std::string::npos) << first;
    const double hacc = std::stod(first.substr(first.find("h_accuracy\":") + 12));
    EXPECT_GE(hacc, 40);
    EXPECT_LT(hacc, 60);
    // The same requests from a new phone give the same texts.
    PhoneModel again;
    again.set_track(equator_track(), 0);
    again.request(Dialect::Kov, R"({"msgId": "lbs-tracking-location-req","cmd":1, "method":2, "interval":1})", 0);
    EXPECT_EQ(again.tick(1).at(0).text, first);
}

TEST_F(PhoneReplies, SettingsReferenceTimeAndRefusals)
{
    EXPECT_EQ(kov(R"({"msgId": "lbs-location-setting-check-req"})", 0).at(0).text,
              R"({"msgId":"lbs-location-setting-check-rsp","gpsSettings":1,"wpsSettings":1})");
    EXPECT_EQ(kov(R"({"msgId": "lbs-switch-location-setting-req", "method": 0})", 0).at(0).text,
              R"({"msgId":"lbs-switch-location-setting-rsp","result":1})");
    EXPECT_FALSE(m.gps());
    EXPECT_FALSE(m.wps());
    EXPECT_EQ(kov(R"({"msgId": "lbs-ntp-time-req","method":1,"timeout":30000})", 42).at(0).text,
              R"({"msgId":"lbs-ntp-time-rsp","result":1,"reason":0,"method":1,"ntptime":1767225642000,"uncertainty":25})");
    m.refuse_assistance(3);
    const PhoneOutputs refused = kov(R"({"msgId": "lbs-gps-plus-req", "method":1})", 0);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].text, R"({"msgId":"lbs-gps-plus-rsp","result":2,"reason":3,"method":1})");
    m.refuse_map(5);
    const PhoneOutputs map = kov(R"({"msgId": "lbs-here-map-req","appId":"a", "appCode":"b", "width":320, "height":320, "centerLatitude":0.000000, "centerLongitude":0.000000, "zoomLevel":15.000000, "timeout":30})", 0);
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map[0].text, R"({"msgId":"lbs-here-map-rsp","result":2,"reason":5})");
    // Not JSON (the second link's keep-alive byte): no answer.
    EXPECT_TRUE(kov("@", 0).empty());
}

TEST_F(PhoneReplies, AssistanceIsAnnouncedThenOfferedTheSameForTheSameHour)
{
    const PhoneOutputs out = kov(R"({"msgId": "lbs-gps-plus-req", "method":2})", 10);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].text, R"({"msgId":"lbs-gps-plus-rsp","result":1,"reason":0,"method":2})");
    EXPECT_EQ(out[1].kind, PhoneOutput::Kind::File);
    EXPECT_EQ(out[1].file_name, "gpsPlus.dat");
    EXPECT_EQ(out[1].bytes.size(), kAssistanceSize);
    const std::string head(out[1].bytes.begin(), out[1].bytes.begin() + 37);
    EXPECT_EQ(head, "LBSSIM-GPSPLUS 1 method=2 hour=490896"); // 1767225600 / 3600
    EXPECT_EQ(m.assistance_file(2, 20), out[1].bytes);
    EXPECT_NE(m.assistance_file(1, 20), out[1].bytes);
}

TEST_F(PhoneReplies, MapIsAnnouncedThenOfferedAsAnImage)
{
    const PhoneOutputs out = kov(R"({"msgId": "lbs-here-map-req","appId":"a", "appCode":"b", "width":64, "height":48, "centerLatitude":0.000000, "centerLongitude":0.000500, "zoomLevel":16.000000, "timeout":30})", 50);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].text, R"({"msgId":"lbs-here-map-rsp","result":1,"reason":0})");
    EXPECT_EQ(out[1].file_name, "map.jpg");
    EXPECT_FALSE(out[1].bytes.empty());
    // A size no picture can have is refused.
    EXPECT_EQ(kov(R"({"msgId": "lbs-here-map-req","width":0, "height":48})", 50).at(0).text,
              R"({"msgId":"lbs-here-map-rsp","result":2,"reason":1})");
}

// 50 s of the track at 1.1131949 m/s: 55.66 m, walked by a 175 cm, 70 kg
// user: stride 0.72625 m, so 76 steps; VO2 3.5 + 0.1 * 1.1132 * 60 =
// 10.1792, 50 s * 10.1792 * 70 * 5 / 60000 = 2.97 kcal.
TEST_F(PhoneReplies, ExerciseReportsGpsStatusThenFiguresEveryInterval)
{
    const PhoneOutputs start = kov(R"({"msgId": "lbs-exercise-info-req","cmd":1, "exerciseType":1, "height":175.000000, "weight":70.000000, "basePressure":1013.250000, "interval":50, "pserviceType":0})", 0);
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(start[0].text, R"({"msgId":"lbs-exercise-info-rsp","result":3,"reason":6})");
    EXPECT_EQ(m.next_due(), 50);
    const std::string t = m.tick(50).at(0).text;
    EXPECT_EQ(t.rfind(R"({"msgId":"lbs-exercise-info-rsp","result":1,"reason":0,"exerciseInfo":[{"timestamp":1767225650000,"latitude":0.0000000,"longitude":0.0005000,"totalDistance":55.66,)", 0), 0u) << t;
    EXPECT_NE(t.find(R"("consumedCalorie":2.97,"stepCount":76,"basePressure":1013.25,"gpsStatus":3,"accuracy":4.0,"durationTime":50.0,"movingTime":50.0,"autoPauseStatus":0,"stepCadence":92.0})"), std::string::npos) << t;
    // GPS off during the session is reported.
    EXPECT_EQ(m.set_gps(false, 60).at(0).text, R"({"msgId":"lbs-exercise-info-rsp","result":3,"reason":7})");
    // Paused, nothing; stopped, nothing more is scheduled.
    kov(R"({"msgId": "lbs-exercise-info-req","cmd":4, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0})", 70);
    EXPECT_TRUE(m.tick(100).empty());
    kov(R"({"msgId": "lbs-exercise-info-req","cmd":2, "exerciseType":0, "height":0.000000, "weight":0.000000, "basePressure":0.000000, "interval":0, "pserviceType":0})", 110);
    EXPECT_EQ(m.next_due(), -1);
}

// The second link: one tracking session without method or interval, fixes
// once a second reported as GPS; cadence as a whole number.
TEST_F(PhoneReplies, SecondLinkDialect)
{
    m.request(Dialect::Bap, R"({"msgId": "lbs-tracking-location-req","cmd":1, "accuracy":2})", 0);
    EXPECT_EQ(m.next_due(), 1);
    EXPECT_NE(m.tick(1).at(0).text.find("\"method\":1,\"timestamp\":1767225601000"), std::string::npos);
    m.request(Dialect::Bap, R"({"msgId": "lbs-tracking-location-req","cmd":2})", 1);
    EXPECT_EQ(m.next_due(), -1);
    m.request(Dialect::Bap, R"({"msgId": "lbs-exercise-info-req","cmd":1, "exerciseType":1, "height":175.000000, "weight":70.000000, "basePressure":0.000000, "interval":10, "pserviceType":0})", 0);
    EXPECT_NE(m.tick(10).at(0).text.find("\"stepCadence\":92}"), std::string::npos);
    // No map and no PDC on this link.
    EXPECT_TRUE(m.request(Dialect::Bap, R"({"msgId": "lbs-here-map-req","width":10, "height":10})", 10).empty());
}

} // namespace
} // namespace lbs_sim
