// The host reads events by fixed offsets. The header pins them at compile
// time; these checks look at real records byte by byte, in C and C++.
#include "lbs_consumer_plugin.h"

#include <gtest/gtest.h>

#include <cstring>

extern "C" size_t lbs_c_event_size(void);
extern "C" size_t lbs_c_batch_offset(void);
extern "C" size_t lbs_c_ref_time_ntp_offset(void);
extern "C" size_t lbs_c_here_map_size(void);
extern "C" size_t lbs_c_file_path_offset(void);
extern "C" size_t lbs_c_kinetra_info_offset(void);
extern "C" size_t lbs_c_request_slot_offset(void);

namespace {

constexpr size_t kPtrGrowth = sizeof(void *) - 4;

template <typename T> T read_at(const lbs_consumer_event_s &ev, size_t offset)
{
    T v;
    std::memcpy(&v, reinterpret_cast<const unsigned char *>(&ev) + offset, sizeof v);
    return v;
}

TEST(Layout, CAndCppAgree)
{
    EXPECT_EQ(lbs_c_event_size(), 9624u);
    EXPECT_EQ(lbs_c_batch_offset(), 24u);
    EXPECT_EQ(lbs_c_ref_time_ntp_offset(), 24u);
    EXPECT_EQ(lbs_c_here_map_size(), sizeof(here_map_req_info));
    EXPECT_EQ(lbs_c_file_path_offset(), 12 + kPtrGrowth);
    EXPECT_EQ(lbs_c_kinetra_info_offset(), 16u);
    EXPECT_EQ(lbs_c_request_slot_offset(), 8 + 2 * kPtrGrowth);
}

TEST(Layout, FullBatchFillsTheRecordExactly)
{
    static_assert(24 + LBS_CONSUMER_MAX_BATCH_POSITIONS * sizeof(consumer_position) == sizeof(lbs_consumer_event_s));
    lbs_consumer_event_s ev;
    std::memset(&ev, 0, sizeof ev);
    ev.type = CONSUMER_EVENT_BATCH_POSITION;
    ev.batch.count = 150;
    ev.batch.pos[149].ver_accuracy = 7.25;
    ev.batch.pos[0].timestamp = 0xAABBCCDDu;
    EXPECT_EQ(read_at<int32_t>(ev, 0), 260);
    EXPECT_EQ(read_at<int32_t>(ev, 16), 150);
    EXPECT_EQ(read_at<uint32_t>(ev, 24), 0xAABBCCDDu);
    EXPECT_EQ(read_at<double>(ev, 9624 - 8), 7.25);
}

TEST(Layout, PayloadsSitWhereTheHostReadsThem)
{
    lbs_consumer_event_s ev;
    std::memset(&ev, 0, sizeof ev);
    ev.error = CONSUMER_ERR_TIMEOUT;
    ev.session.method = CONSUMER_METHOD_WPS;
    EXPECT_EQ(read_at<int32_t>(ev, 8), -100);
    EXPECT_EQ(read_at<int32_t>(ev, 12), 2);

    std::memset(&ev, 0, sizeof ev);
    ev.position.pos.timestamp = 1700000000u;
    ev.position.pos.latitude = 52.5;
    ev.position.pos.ver_accuracy = 3.0;
    EXPECT_EQ(read_at<uint32_t>(ev, 16), 1700000000u);
    EXPECT_EQ(read_at<double>(ev, 24), 52.5);
    EXPECT_EQ(read_at<double>(ev, 72), 3.0);

    std::memset(&ev, 0, sizeof ev);
    ev.setting_check.gps = 1;
    ev.setting_check.wps = -1;
    EXPECT_EQ(read_at<int32_t>(ev, 12), 1);
    EXPECT_EQ(read_at<int32_t>(ev, 16), -1);

    std::memset(&ev, 0, sizeof ev);
    ev.ref_time.result = 1;
    ev.ref_time.reason = 2;
    ev.ref_time.ntp_time = 1733400000123LL;
    ev.ref_time.method = 3;
    ev.ref_time.uncertainty = 4;
    EXPECT_EQ(read_at<int32_t>(ev, 16), 1);
    EXPECT_EQ(read_at<int32_t>(ev, 20), 2);
    EXPECT_EQ(read_at<int64_t>(ev, 24), 1733400000123LL);
    EXPECT_EQ(read_at<int32_t>(ev, 32), 3);
    EXPECT_EQ(read_at<int32_t>(ev, 36), 4);

    std::memset(&ev, 0, sizeof ev);
    const char *path = "/x";
    ev.file.path = path;
    EXPECT_EQ(read_at<const char *>(ev, 12 + kPtrGrowth), path);

    std::memset(&ev, 0, sizeof ev);
    consumer_exercise_info entries[2] = {};
    ev.kinetra.count = 2;
    ev.kinetra.info = entries;
    EXPECT_EQ(read_at<int32_t>(ev, 12), 2);
    EXPECT_EQ(read_at<consumer_exercise_info *>(ev, 16), entries);

    std::memset(&ev, 0, sizeof ev);
    ev.pdc.count = 3;
    ev.pdc.values[2] = -9;
    EXPECT_EQ(read_at<int32_t>(ev, 12), 3);
    EXPECT_EQ(read_at<int32_t>(ev, 24), -9);
}

TEST(Layout, ExerciseEntryAndMapRequest)
{
    consumer_exercise_info e;
    std::memset(&e, 0, sizeof e);
    e.step_cadence = 1.5f;
    e.gps_status = GPS_STATUS_UNKNOWN;
    float f;
    int32_t i;
    std::memcpy(&f, reinterpret_cast<unsigned char *>(&e) + 120, 4);
    std::memcpy(&i, reinterpret_cast<unsigned char *>(&e) + 100, 4);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(i, 255);

    here_map_req_info m{};
    m.center_latitude = -33.5;
    m.timeout = 30;
    double lat;
    std::memcpy(&lat, reinterpret_cast<unsigned char *>(&m) + 16 + 2 * kPtrGrowth, 8);
    std::memcpy(&i, reinterpret_cast<unsigned char *>(&m) + 36 + 2 * kPtrGrowth, 4);
    EXPECT_EQ(lat, -33.5);
    EXPECT_EQ(i, 30);
    EXPECT_EQ(sizeof(here_map_req_info), 40 + 2 * kPtrGrowth);
}

// Writes one field by name into a zeroed record and finds its bytes at the
// offset the host reads, and nowhere else: catches a field that moved, one
// that is wider or narrower than the host expects, and two fields that
// overlap.
template <typename Record> class FieldProbe {
public:
    template <typename T> void expect_at(T Record::*field, size_t offset, T marker, const char *name)
    {
        Record r;
        std::memset(&r, 0, sizeof r);
        r.*field = marker;
        const auto *bytes = reinterpret_cast<const unsigned char *>(&r);
        T seen;
        ASSERT_LE(offset + sizeof(T), sizeof r) << name;
        std::memcpy(&seen, bytes + offset, sizeof seen);
        EXPECT_EQ(seen, marker) << name << " is not at byte " << offset;
        size_t stray = 0;
        for (size_t i = 0; i < sizeof r; ++i)
            if ((i < offset || i >= offset + sizeof(T)) && bytes[i] != 0)
                ++stray;
        EXPECT_EQ(stray, 0u) << name << " spills outside bytes " << offset << " to " << offset + sizeof(T);
        covered_ += sizeof(T);
    }
    size_t covered() const { return covered_; }

private:
    size_t covered_ = 0;
};

#define PROBE(probe, rec, field, offset, marker) probe.expect_at(&rec::field, offset, marker, #field)

TEST(Layout, EveryExerciseFigureSitsWhereTheHostReadsIt)
{
    FieldProbe<consumer_exercise_info> p;
    PROBE(p, consumer_exercise_info, timestamp, 0, 0x01020304u);
    PROBE(p, consumer_exercise_info, latitude, 8, 48.25);
    PROBE(p, consumer_exercise_info, longitude, 16, -122.5);
    PROBE(p, consumer_exercise_info, total_distance, 24, 1.5f);
    PROBE(p, consumer_exercise_info, incline_distance, 28, 2.5f);
    PROBE(p, consumer_exercise_info, decline_distance, 32, 3.5f);
    PROBE(p, consumer_exercise_info, flat_distance, 36, 4.5f);
    PROBE(p, consumer_exercise_info, incline_time, 40, int32_t{-40});
    PROBE(p, consumer_exercise_info, decline_time, 44, int32_t{44});
    PROBE(p, consumer_exercise_info, flat_time, 48, int32_t{48});
    PROBE(p, consumer_exercise_info, altitude, 52, 52.5f);
    PROBE(p, consumer_exercise_info, max_altitude, 56, 56.5f);
    PROBE(p, consumer_exercise_info, min_altitude, 60, -60.5f);
    PROBE(p, consumer_exercise_info, speed, 64, 6.25f);
    PROBE(p, consumer_exercise_info, max_speed, 68, 6.75f);
    PROBE(p, consumer_exercise_info, average_speed, 72, 7.25f);
    PROBE(p, consumer_exercise_info, pace, 76, 7.75f);
    PROBE(p, consumer_exercise_info, max_pace, 80, 8.25f);
    PROBE(p, consumer_exercise_info, average_pace, 84, 8.75f);
    PROBE(p, consumer_exercise_info, consumed_calorie, 88, 88.5f);
    PROBE(p, consumer_exercise_info, step_count, 92, int32_t{9200});
    PROBE(p, consumer_exercise_info, base_pressure, 96, 1013.25f);
    PROBE(p, consumer_exercise_info, gps_status, 100, int32_t{GPS_STATUS_STRONG});
    PROBE(p, consumer_exercise_info, accuracy, 104, 10.5f);
    PROBE(p, consumer_exercise_info, duration_time, 108, int32_t{108});
    PROBE(p, consumer_exercise_info, moving_time, 112, int32_t{112});
    PROBE(p, consumer_exercise_info, auto_pause_status, 116, int32_t{1});
    PROBE(p, consumer_exercise_info, step_cadence, 120, 120.5f);
    // Everything but the two reserved words (4 and 124) is a named figure.
    EXPECT_EQ(p.covered(), sizeof(consumer_exercise_info) - 8);
}

TEST(Layout, EveryPositionFigureSitsWhereTheHostReadsIt)
{
    FieldProbe<consumer_position> p;
    PROBE(p, consumer_position, timestamp, 0, 0xA1B2C3D4u);
    PROBE(p, consumer_position, latitude, 8, 1.25);
    PROBE(p, consumer_position, longitude, 16, 2.25);
    PROBE(p, consumer_position, altitude, 24, 3.25);
    PROBE(p, consumer_position, speed, 32, 4.25);
    PROBE(p, consumer_position, bearing, 40, 5.25);
    PROBE(p, consumer_position, hor_accuracy, 48, 6.25);
    PROBE(p, consumer_position, ver_accuracy, 56, 7.25);
    EXPECT_EQ(p.covered(), sizeof(consumer_position) - 4);
}

TEST(Layout, RequestRecordsAreReadWhereTheHostWritesThem)
{
    FieldProbe<tracking_req_info> t;
    PROBE(t, tracking_req_info, method, 0, int32_t{CONSUMER_METHOD_WPS});
    PROBE(t, tracking_req_info, interval, 4, int32_t{30});
    PROBE(t, tracking_req_info, batching_interval, 8, int32_t{-7});
    EXPECT_EQ(t.covered(), sizeof(tracking_req_info));

    FieldProbe<extra_data_req_info> e;
    PROBE(e, extra_data_req_info, data_type, 0, int32_t{4});
    EXPECT_EQ(e.covered(), sizeof(extra_data_req_info));
    FieldProbe<location_setting_req_info> l;
    PROBE(l, location_setting_req_info, setting, 0, int32_t{-3});
    EXPECT_EQ(l.covered(), sizeof(location_setting_req_info));
    FieldProbe<ref_time_req_info> r;
    PROBE(r, ref_time_req_info, timeout, 0, int32_t{15});
    EXPECT_EQ(r.covered(), sizeof(ref_time_req_info));

    FieldProbe<kinetra_req_info> k;
    PROBE(k, kinetra_req_info, command, 0, int32_t{9});
    PROBE(k, kinetra_req_info, exercise_type, 4, int32_t{2});
    PROBE(k, kinetra_req_info, base_pressure, 8, 1001.5f);
    PROBE(k, kinetra_req_info, height, 12, 180.5f);
    PROBE(k, kinetra_req_info, weight, 16, 75.25f);
    PROBE(k, kinetra_req_info, user_gender, 20, int32_t{1});
    PROBE(k, kinetra_req_info, user_age, 24, int32_t{42});
    PROBE(k, kinetra_req_info, interval, 28, int32_t{5});
    PROBE(k, kinetra_req_info, pservice_type, 32, int32_t{3});
    PROBE(k, kinetra_req_info, coaching_distance, 36, 5000.5f);
    PROBE(k, kinetra_req_info, coaching_calorie, 40, 300.25f);
    PROBE(k, kinetra_req_info, coaching_speed, 44, 3.75f);
    PROBE(k, kinetra_req_info, coaching_duration_time, 48, int32_t{3600});
    PROBE(k, kinetra_req_info, auto_pause_enabled, 52, int32_t{1});
    PROBE(k, kinetra_req_info, speed_threshold, 56, 0.5f);
    PROBE(k, kinetra_req_info, pause_window, 60, int32_t{6});
    PROBE(k, kinetra_req_info, resume_window, 64, int32_t{-8});
    EXPECT_EQ(k.covered(), sizeof(kinetra_req_info));

    static const char kId[] = "id", kCode[] = "code";
    FieldProbe<here_map_req_info> m;
    PROBE(m, here_map_req_info, app_id, 0, static_cast<const char *>(kId));
    PROBE(m, here_map_req_info, app_code, 4 + kPtrGrowth, static_cast<const char *>(kCode));
    PROBE(m, here_map_req_info, width, 8 + 2 * kPtrGrowth, int32_t{320});
    PROBE(m, here_map_req_info, height, 12 + 2 * kPtrGrowth, int32_t{240});
    PROBE(m, here_map_req_info, center_latitude, 16 + 2 * kPtrGrowth, -33.5);
    PROBE(m, here_map_req_info, center_longitude, 24 + 2 * kPtrGrowth, 151.25);
    PROBE(m, here_map_req_info, zoom_level, 32 + 2 * kPtrGrowth, 14.5f);
    PROBE(m, here_map_req_info, timeout, 36 + 2 * kPtrGrowth, int32_t{30});
    EXPECT_EQ(m.covered(), sizeof(here_map_req_info));
}

int fake_init(lbs_consumer_event_cb, void *) { return 1; }
int fake_deinit(void *) { return 1; }
int fake_request(int, void *) { return 0; }

TEST(Layout, OperationTableHoldsThreeSlotsInOrder)
{
    FieldProbe<lbs_consumer_plugin_interface_s> p;
    PROBE(p, lbs_consumer_plugin_interface_s, init, 0, &fake_init);
    PROBE(p, lbs_consumer_plugin_interface_s, deinit, 4 + kPtrGrowth, &fake_deinit);
    PROBE(p, lbs_consumer_plugin_interface_s, request, 8 + 2 * kPtrGrowth, &fake_request);
    EXPECT_EQ(p.covered(), sizeof(lbs_consumer_plugin_interface_s));
}

#undef PROBE

} // namespace
