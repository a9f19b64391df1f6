// Event building both links share: error tables, position and exercise
// conversion, and the whole exercise event.
#include "lbs_plugin_consumer_event.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

bool same_bits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(EventConversion, PositionTimeIsUnsignedMillisecondsToSecondsAndDoublesPassUnchanged)
{
    struct Row {
        int64_t ms;
        uint32_t seconds;
    } rows[] = {
        {90999, 90},
        {0, 0},
        {999, 0},
        {1000, 1},
        {-1000, 1271310318u}, // (2^64 - 1000) / 1000, low 32 bits; signed would give 0xFFFFFFFF
        {-1, 1271310319u},
        {(int64_t{1} << 40) * 1000 + 5999, 5}, // 2^40 + 5 seconds keeps its low 32 bits
        {INT64_MAX, static_cast<uint32_t>(uint64_t{INT64_MAX} / 1000)},
    };
    for (const Row &r : rows) {
        loc_tracking_rsp_message in{};
        in.timestamp = r.ms;
        consumer_position out{};
        lbs_event_fill_position(&out, &in);
        EXPECT_EQ(out.timestamp, r.seconds) << r.ms;
    }

    loc_tracking_rsp_message in{1, 0, 2, 0, 37.5, -122.25, kNaN, -0.0, 359.75, 32.5, kInf};
    consumer_position out;
    std::memset(&out, 0x5a, sizeof out);
    out.reserved = 0;
    lbs_event_fill_position(&out, &in);
    EXPECT_EQ(out.reserved, 0u);
    EXPECT_TRUE(same_bits(out.latitude, 37.5));
    EXPECT_TRUE(same_bits(out.longitude, -122.25));
    EXPECT_TRUE(std::isnan(out.altitude));
    EXPECT_TRUE(same_bits(out.speed, -0.0));
    EXPECT_TRUE(same_bits(out.bearing, 359.75));
    EXPECT_TRUE(same_bits(out.hor_accuracy, 32.5));
    EXPECT_TRUE(same_bits(out.ver_accuracy, kInf));
}

// A distinct value in every field, so that a field read from its neighbour
// shows up.
exercise_info sample_exercise()
{
    exercise_info in{};
    in.timestamp = 1700000123456;
    in.latitude = 51.123456789012;
    in.longitude = -0.987654321098;
    in.total_distance = 1234.5678;
    in.incline_distance = 10.1;
    in.decline_distance = 20.2;
    in.flat_distance = 30.3;
    in.incline_time = (int64_t{1} << 32) | 7; // low 32 bits: 7
    in.decline_time = -8;
    in.flat_time = 0x80000009;                 // low 32 bits: INT32_MIN + 9
    in.altitude = 101.25;
    in.max_altitude = 102.5;
    in.min_altitude = -3.75;
    in.speed = 4.1;
    in.max_speed = 5.2;
    in.average_speed = 6.3;
    in.pace = 7.4;
    in.max_pace = 8.5;
    in.average_pace = 9.6;
    in.consumed_calorie = 321.7;
    in.step_count = 4321;
    in.base_pressure = 1013.25;
    in.gps_status = 6; // passes unmapped (a GPS-status report would map 6 to 3)
    in.accuracy = 12.8;
    in.duration_time = 3599.99;
    in.moving_time = 1800.5;
    in.auto_pause_status = -1;
    in.step_cadence = 170.9;
    return in;
}

TEST(EventConversion, ExerciseEntryFieldByField)
{
    const exercise_info in = sample_exercise();
    consumer_exercise_info out;
    std::memset(&out, 0, sizeof out);
    lbs_event_fill_exercise_info(&out, &in);

    EXPECT_EQ(out.timestamp, 1700000123u);
    EXPECT_EQ(out.reserved, 0u);
    EXPECT_TRUE(same_bits(out.latitude, 51.123456789012));
    EXPECT_TRUE(same_bits(out.longitude, -0.987654321098));
    EXPECT_EQ(out.total_distance, 1234.5678f);
    EXPECT_EQ(out.incline_distance, 10.1f);
    EXPECT_EQ(out.decline_distance, 20.2f);
    EXPECT_EQ(out.flat_distance, 30.3f);
    EXPECT_EQ(out.incline_time, 7);
    EXPECT_EQ(out.decline_time, -8);
    EXPECT_EQ(out.flat_time, INT32_MIN + 9);
    EXPECT_EQ(out.altitude, 101.25f);
    EXPECT_EQ(out.max_altitude, 102.5f);
    EXPECT_EQ(out.min_altitude, -3.75f);
    EXPECT_EQ(out.speed, 4.1f);
    EXPECT_EQ(out.max_speed, 5.2f);
    EXPECT_EQ(out.average_speed, 6.3f);
    EXPECT_EQ(out.pace, 7.4f);
    EXPECT_EQ(out.max_pace, 8.5f);
    EXPECT_EQ(out.average_pace, 9.6f);
    EXPECT_EQ(out.consumed_calorie, 321.7f);
    EXPECT_EQ(out.step_count, 4321);
    EXPECT_EQ(out.base_pressure, 1013.25f);
    EXPECT_EQ(out.gps_status, 6);
    EXPECT_EQ(out.accuracy, 12.8f);
    EXPECT_EQ(out.duration_time, 3599);
    EXPECT_EQ(out.moving_time, 1800);
    EXPECT_EQ(out.auto_pause_status, -1);
    EXPECT_EQ(out.step_cadence, 170.9f);
    EXPECT_EQ(out.reserved2, 0u);
}

TEST(EventConversion, DurationsTruncateTowardZeroAndSaturateWithoutOverflow)
{
    struct Row {
        double in;
        int32_t out;
    } rows[] = {
        {12.9, 12},
        {-12.9, -12},
        {-0.5, 0},
        {0.0, 0},
        {kNaN, 0},
        {-kNaN, 0},
        {2147483647.9, INT32_MAX},
        {2147483648.0, INT32_MAX},
        {1e10, INT32_MAX},
        {kInf, INT32_MAX},
        {-2147483647.9, -2147483647},
        {-2147483648.9, INT32_MIN},
        {-2147483649.0, INT32_MIN},
        {-1e300, INT32_MIN},
        {-kInf, INT32_MIN},
    };
    for (const Row &r : rows) {
        exercise_info in{};
        in.duration_time = r.in;
        in.moving_time = r.in;
        consumer_exercise_info out{};
        lbs_event_fill_exercise_info(&out, &in);
        EXPECT_EQ(out.duration_time, r.out) << r.in;
        EXPECT_EQ(out.moving_time, r.out) << r.in;
    }
}

// ---- the exercise event ----------------------------------------------------

struct Delivered {
    lbs_consumer_event_s event;
    bool info_null;
    std::vector<consumer_exercise_info> entries;
};

class KinetraEvent : public ::testing::Test {
protected:
    void SetUp() override { dlog_ctl_clear(); }

    static int capture(lbs_consumer_event_s *event, void *user_data)
    {
        auto *self = static_cast<KinetraEvent *>(user_data);
        Delivered d{*event, event->kinetra.info == nullptr, {}};
        if (event->kinetra.info != nullptr)
            d.entries.assign(event->kinetra.info, event->kinetra.info + event->kinetra.count);
        self->delivered.push_back(std::move(d));
        return 0;
    }

    void send(int error, const exercise_info_rsp_data *rsp, int command)
    {
        lbs_event_send_kinetra_info(capture, this, error, rsp, command);
    }

    // The only event sent since the test started.
    const Delivered &only()
    {
        EXPECT_EQ(delivered.size(), 1u);
        if (delivered.empty())
            delivered.push_back({});
        return delivered.back();
    }

    exercise_info_rsp_data record(int64_t reason, exercise_info *entries, uint32_t count)
    {
        return exercise_info_rsp_data{0, reason, count, entries};
    }

    std::vector<Delivered> delivered;
};

TEST_F(KinetraEvent, CommandChoosesTheEventTypeAndOthersAreRefused)
{
    const struct {
        int command;
        int type; // -1: nothing sent
    } rows[] = {{1, 1024}, {3, 1024}, {5, 1024}, {2, 1025}, {4, 1026},
                {0, -1},   {6, -1},   {7, -1},   {9, -1},   {-1, -1}};
    for (const auto &r : rows) {
        delivered.clear();
        dlog_ctl_clear();
        send(CONSUMER_ERR_INVALID_KINETRA_COMMAND, nullptr, r.command);
        if (r.type < 0) {
            EXPECT_TRUE(delivered.empty()) << r.command;
            EXPECT_TRUE(logged(DLOG_ERROR, "error!! Do not handle cmd [" + std::to_string(r.command) + "]"));
            continue;
        }
        const Delivered &d = only();
        EXPECT_EQ(d.event.type, r.type) << r.command;
        EXPECT_EQ(d.event.error, -300);
        EXPECT_EQ(d.event.kinetra.count, 0);
        EXPECT_TRUE(d.info_null);
    }
}

TEST_F(KinetraEvent, AnErrorReportCarriesNoEntriesEvenWithARecord)
{
    exercise_info entry = sample_exercise();
    exercise_info_rsp_data rsp = record(2, &entry, 1);
    send(CONSUMER_ERR_LOCATION_SETTING_OFF, &rsp, 4);
    const Delivered &d = only();
    EXPECT_EQ(d.event.type, 1026);
    EXPECT_EQ(d.event.error, -102);
    EXPECT_EQ(d.event.kinetra.count, 0);
    EXPECT_TRUE(d.info_null);
}

TEST_F(KinetraEvent, GpsStatusReportCarriesOneEntryWithTheMappedStatus)
{
    const struct {
        int64_t reason;
        int32_t status;
        const char *info_log; // nullptr: the warning instead
    } rows[] = {
        {3, 0, "GPS_STATUS_UNAVILABLE"}, {4, 1, "GPS_STATUS_WEAK"}, {5, 2, "GPS_STATUS_OK"},
        {6, 3, "GPS_STATUS_STRONG"},     {7, 4, "GPS_STATUS_OFF"},  {9, 255, nullptr},
        {2, 255, nullptr},               {-1, 255, nullptr}, {(int64_t{1} << 32) | 5, 255, nullptr},
    };
    for (const auto &r : rows) {
        delivered.clear();
        dlog_ctl_clear();
        exercise_info entry = sample_exercise(); // ignored by a status report
        exercise_info_rsp_data rsp = record(r.reason, &entry, 1);
        send(CONSUMER_ERR_GPS_STATUS_CHANGED, &rsp, 1);
        const Delivered &d = only();
        EXPECT_EQ(d.event.type, 1024);
        EXPECT_EQ(d.event.error, -105);
        ASSERT_EQ(d.event.kinetra.count, 1);
        ASSERT_EQ(d.entries.size(), 1u);
        consumer_exercise_info expected{};
        expected.gps_status = r.status;
        EXPECT_EQ(std::memcmp(&d.entries[0], &expected, sizeof expected), 0) << "only the status is set, " << r.reason;
        // The warning prints the low 32 bits of a value past 32 bits.
        const std::string warning = "Unhandled gps status value [" + std::to_string(int32_t(r.reason)) + "]";
        EXPECT_TRUE(r.info_log ? logged(DLOG_INFO, r.info_log) : logged(DLOG_WARN, warning)) << r.reason;
    }
}

TEST_F(KinetraEvent, FiguresAreConvertedInOrderIntoOneBlock)
{
    exercise_info entries[3] = {sample_exercise(), sample_exercise(), sample_exercise()};
    for (int i = 0; i < 3; ++i) {
        entries[i].timestamp = 1000 * (i + 1) + 999;
        entries[i].step_count = 100 + i;
    }
    exercise_info_rsp_data rsp = record(0, entries, 3);
    send(CONSUMER_ERR_NONE, &rsp, 5);
    const Delivered &d = only();
    EXPECT_EQ(d.event.type, 1024);
    EXPECT_EQ(d.event.error, 0);
    ASSERT_EQ(d.event.kinetra.count, 3);
    ASSERT_FALSE(d.info_null);
    for (int i = 0; i < 3; ++i) {
        consumer_exercise_info expected{};
        lbs_event_fill_exercise_info(&expected, &entries[i]);
        EXPECT_EQ(d.entries[i].timestamp, static_cast<uint32_t>(i + 1));
        EXPECT_EQ(d.entries[i].step_count, 100 + i);
        EXPECT_EQ(std::memcmp(&d.entries[i], &expected, sizeof expected), 0) << i;
    }
}

TEST_F(KinetraEvent, MissingFiguresDeliverNothing)
{
    send(CONSUMER_ERR_NONE, nullptr, 1);
    EXPECT_TRUE(logged(DLOG_ERROR, "exercise_info_rsp_data is NULL"));

    dlog_ctl_clear();
    exercise_info_rsp_data claims_two = record(0, nullptr, 2); // a count without its entries
    send(CONSUMER_ERR_NONE, &claims_two, 1);
    EXPECT_TRUE(logged(DLOG_ERROR, "exercise_info_rsp_data is NULL"));

    dlog_ctl_clear();
    send(CONSUMER_ERR_GPS_STATUS_CHANGED, nullptr, 1);
    EXPECT_TRUE(logged(DLOG_ERROR, "exercise_info_rsp_data is NULL"));
    EXPECT_TRUE(delivered.empty());

    exercise_info_rsp_data empty = record(0, nullptr, 0);
    send(CONSUMER_ERR_NONE, &empty, 2);
    const Delivered &d = only();
    EXPECT_EQ(d.event.type, 1025);
    EXPECT_EQ(d.event.kinetra.count, 0);
    EXPECT_TRUE(d.info_null);
}

TEST_F(KinetraEvent, WithoutCallbackTheEventIsBuiltAndDropped)
{
    exercise_info entries[2] = {sample_exercise(), sample_exercise()};
    exercise_info_rsp_data rsp = record(5, entries, 2);
    lbs_event_send_kinetra_info(nullptr, this, CONSUMER_ERR_NONE, &rsp, 1);
    lbs_event_send_kinetra_info(nullptr, this, CONSUMER_ERR_GPS_STATUS_CHANGED, &rsp, 2);
    // The status report still ran to its mapping; the leak check at exit
    // proves both entry blocks were released.
    EXPECT_TRUE(logged(DLOG_INFO, "GPS_STATUS_OK"));
}

} // namespace
