// The host reads events by fixed offsets. The header pins them at compile
// time; these checks look at real records byte by byte, in C and C++.
#include "lbs_consumer_plugin.h"

#include <gtest/gtest.h>

#include <cstring>

extern "C" size_t lbs_c_event_size(void);
extern "C" size_t lbs_c_batch_offset(void);
extern "C" size_t lbs_c_ref_time_ntp_offset(void);
extern "C" size_t lbs_c_here_map_size(void);

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

} // namespace
