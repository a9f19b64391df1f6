// Event building both links share: position and exercise conversion, the
// GPS status table, and the exercise event and replies.
#include "lbs_plugin_consumer_event.h"

#include "lbs_plugin_consumer_common.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
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
    // -1000 is divided as 2^64 - 1000 and cut to 32 bits (signed would give
    // 0xFFFFFFFF); 2^40 + 5 seconds keeps its low 32 bits.
    const struct {
        int64_t ms;
        uint32_t seconds;
    } rows[] = {{90999, 90}, {0, 0}, {999, 0}, {1000, 1}, {-1000, 1271310318u}, {-1, 1271310319u},
                {(int64_t{1} << 40) * 1000 + 5999, 5}, {INT64_MAX, static_cast<uint32_t>(uint64_t{INT64_MAX} / 1000)}};
    for (const auto &r : rows) {
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

// A distinct value in every field, in the record's order, so that a field
// read from its neighbour shows up. The times past 32 bits keep their low
// bits (7, and INT32_MIN + 9); the GPS status passes unmapped (a GPS-status
// report would map 6 to 3).
exercise_info sample_exercise()
{
    return exercise_info{1700000123456, 51.123456789012, -0.987654321098,
                         1234.5678, 10.1, 20.2, 30.3,                         // distances
                         (int64_t{1} << 32) | 7, -8, 0x80000009,              // incline, decline, flat time
                         101.25, 102.5, -3.75, 4.1, 5.2, 6.3, 7.4, 8.5, 9.6, // altitudes, speeds, paces
                         321.7, 4321, 1013.25, 6, 12.8,                        // calorie .. accuracy
                         3599.99, 1800.5, -1, 170.9};                          // durations, auto-pause, cadence
}

TEST(EventConversion, ExerciseEntryFieldByField)
{
    const exercise_info in = sample_exercise();
    consumer_exercise_info out;
    std::memset(&out, 0, sizeof out);
    lbs_event_fill_exercise_info(&out, &in);

    EXPECT_EQ(out.timestamp, 1700000123u);
    EXPECT_EQ(out.reserved, 0u);
    EXPECT_EQ(out.reserved2, 0u);
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
}

TEST(EventConversion, DurationsTruncateTowardZeroAndSaturateWithoutOverflow)
{
    const struct {
        double in;
        int32_t out;
    } rows[] = {{12.9, 12}, {-12.9, -12}, {-0.5, 0}, {0.0, 0}, {kNaN, 0}, {-kNaN, 0},
                {2147483647.9, INT32_MAX}, {2147483648.0, INT32_MAX}, {1e10, INT32_MAX}, {kInf, INT32_MAX},
                {-2147483647.9, -2147483647}, {-2147483648.9, INT32_MIN}, {-2147483649.0, INT32_MIN},
                {-1e300, INT32_MIN}, {-kInf, INT32_MIN}};
    for (const auto &r : rows) {
        exercise_info in{};
        in.duration_time = r.in;
        in.moving_time = r.in;
        consumer_exercise_info out{};
        lbs_event_fill_exercise_info(&out, &in);
        EXPECT_EQ(out.duration_time, r.out) << r.in;
        EXPECT_EQ(out.moving_time, r.out) << r.in;
    }
}

// ---- the exercise event and the phone's exercise replies ----------------------

struct Delivered {
    int type;
    int error;
    int count;
    bool info_null;
    std::vector<consumer_exercise_info> entries;
};

class KinetraEvent : public ::testing::Test {
protected:
    void SetUp() override
    {
        dlog_ctl_clear();
        current = this;
    }

    // The link's sender that the reply handler is given.
    static KinetraEvent *current;
    static void respond(int error, const exercise_info_rsp_data *rsp, int command)
    {
        current->send(error, rsp, command);
    }

    static int capture(lbs_consumer_event_s *event, void *user_data)
    {
        Delivered d{event->type, event->error, event->kinetra.count, event->kinetra.info == nullptr, {}};
        if (event->kinetra.info != nullptr)
            d.entries.assign(event->kinetra.info, event->kinetra.info + event->kinetra.count);
        static_cast<KinetraEvent *>(user_data)->delivered.push_back(std::move(d));
        return 0;
    }

    void send(int error, const exercise_info_rsp_data *rsp, int command)
    {
        lbs_event_send_kinetra_info("sender", capture, this, error, rsp, command);
    }

    void reset()
    {
        delivered.clear();
        dlog_ctl_clear();
    }

    // The only event sent since the last reset.
    const Delivered &only()
    {
        EXPECT_EQ(delivered.size(), 1u);
        if (delivered.empty())
            delivered.push_back({-1, 0, 0, true, {}});
        return delivered.back();
    }

    std::vector<Delivered> delivered;
};

KinetraEvent *KinetraEvent::current = nullptr;

TEST_F(KinetraEvent, CommandChoosesTheEventTypeAndAnErrorCarriesNoEntries)
{
    exercise_info entry = sample_exercise();
    exercise_info_rsp_data rsp{0, 2, 1, &entry}; // an error report ignores the record
    const struct {
        int command;
        int type; // -1: nothing sent
    } rows[] = {{1, 1024}, {3, 1024}, {5, 1024}, {2, 1025}, {4, 1026}, {0, -1}, {6, -1}, {7, -1}, {9, -1}, {-1, -1}};
    for (const auto &r : rows) {
        reset();
        send(CONSUMER_ERR_LOCATION_SETTING_OFF, &rsp, r.command);
        if (r.type < 0) {
            EXPECT_TRUE(delivered.empty()) << r.command;
            EXPECT_TRUE(logged(DLOG_ERROR, "error!! Do not handle cmd [" + std::to_string(r.command) + "]"));
            continue;
        }
        const Delivered &d = only();
        EXPECT_EQ(d.type, r.type) << r.command;
        EXPECT_EQ(d.error, -102);
        EXPECT_EQ(d.count, 0);
        EXPECT_TRUE(d.info_null);
    }
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
        reset();
        exercise_info entry = sample_exercise(); // ignored by a status report
        exercise_info_rsp_data rsp{0, r.reason, 1, &entry};
        send(CONSUMER_ERR_GPS_STATUS_CHANGED, &rsp, 1);
        const Delivered &d = only();
        EXPECT_EQ(d.type, 1024);
        EXPECT_EQ(d.error, -105);
        ASSERT_EQ(d.entries.size(), 1u);
        consumer_exercise_info expected{};
        expected.gps_status = r.status;
        EXPECT_EQ(std::memcmp(&d.entries[0], &expected, sizeof expected), 0) << "only the status is set, " << r.reason;
        // The warning prints the low 32 bits of a value past 32 bits.
        const std::string warning = "Unhandled gps status value [" + std::to_string(int32_t(r.reason)) + "]";
        EXPECT_TRUE(r.info_log ? logged(DLOG_INFO, r.info_log) : logged(DLOG_WARN, warning)) << r.reason;
    }
}

TEST_F(KinetraEvent, FiguresAreConvertedInOrderAndMissingFiguresDeliverNothing)
{
    exercise_info entries[3] = {sample_exercise(), sample_exercise(), sample_exercise()};
    for (int i = 0; i < 3; ++i)
        entries[i].timestamp = 1000 * (i + 1) + 999;
    exercise_info_rsp_data rsp{0, 0, 3, entries};
    send(CONSUMER_ERR_NONE, &rsp, 5);
    ASSERT_EQ(only().count, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(only().entries[i].timestamp, static_cast<uint32_t>(i + 1));

    // No record, or a count without its entries: nothing at all.
    reset();
    exercise_info_rsp_data claims_two{0, 0, 2, nullptr};
    send(CONSUMER_ERR_NONE, nullptr, 1);
    send(CONSUMER_ERR_NONE, &claims_two, 1);
    send(CONSUMER_ERR_GPS_STATUS_CHANGED, nullptr, 1);
    EXPECT_TRUE(delivered.empty());
    EXPECT_EQ(dlog_ctl_count_matching(nullptr, "exercise_info_rsp_data is NULL"), 3u);

    // An empty list is an event with no entries.
    exercise_info_rsp_data empty{0, 0, 0, nullptr};
    send(CONSUMER_ERR_NONE, &empty, 2);
    EXPECT_EQ(only().type, 1025);
    EXPECT_EQ(only().count, 0);
    EXPECT_TRUE(only().info_null);
}

TEST_F(KinetraEvent, RepliesByStateAndResult)
{
    constexpr int S = KINETRA_STATE_STOPPED, R = KINETRA_STATE_RUNNING, P = KINETRA_STATE_PAUSED;
    exercise_info figures = sample_exercise();
    const struct {
        int state, last_cmd;
        int64_t result, reason;
        bool with_figures;
        int type, error; // type -1: the host hears nothing
    } rows[] = {
        {R, 5, 1, 0, true, 1024, 0},     {P, 4, 1, 0, true, -1, 0},       {S, 2, 1, 0, true, -1, 0},
        {R, 1, 1, 0, false, -1, 0},      {R, 1, 2, 1, false, 1024, -300}, {S, 2, 2, 1, false, 1025, -300},
        {R, 1, 2, 2, false, 1024, -102}, {P, 4, 2, 2, false, 1026, -999}, {S, 2, 2, 2, false, 1025, -999},
        {R, 1, 2, 7, false, 1024, -999}, {S, 2, 3, 5, false, 1025, -105}, {P, 4, 3, 7, false, 1026, -105},
        {R, 1, 4, 0, true, -1, 0},       {R, 1, 0, 0, true, -1, 0},
    };
    for (const auto &r : rows) {
        reset();
        exercise_info_rsp_data rsp{r.result, r.reason, r.with_figures ? 1u : 0u, r.with_figures ? &figures : nullptr};
        lbs_event_handle_kinetra_reply("handler", &rsp, r.state, r.last_cmd, respond);
        const std::string row = std::to_string(r.state) + "/" + std::to_string(r.result) + "/" + std::to_string(r.reason);
        if (r.type < 0) {
            EXPECT_TRUE(delivered.empty()) << row;
            continue;
        }
        EXPECT_EQ(only().type, r.type) << row;
        EXPECT_EQ(only().error, r.error) << row;
        EXPECT_EQ(only().count, r.error == 0 || r.error == -105 ? 1 : 0) << row;
    }
    lbs_event_handle_kinetra_reply("handler", nullptr, R, 1, respond);
    EXPECT_TRUE(logged_in(DLOG_ERROR, "handler", "Invalid parameter."));
}

} // namespace
