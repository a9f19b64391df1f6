// The first link's event senders: the error tables, the counts they clamp,
// what the host callback receives byte for byte where the golden scenarios
// only print the fields, and what the senders do with nothing to read.
#include "lbs_plugin_consumer_main.h"

#include "lbs_plugin_consumer_common.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Delivered {
    lbs_consumer_event_s event;
    void *user_data;
    std::optional<std::string> path; // file events
};

class Respond : public ::testing::Test {
protected:
    void SetUp() override
    {
        dlog_ctl_clear();
        g_consumer_cb = capture;
        g_consumer_user_data = this;
    }
    void TearDown() override
    {
        g_consumer_cb = nullptr;
        g_consumer_user_data = nullptr;
    }

    static int capture(lbs_consumer_event_s *event, void *user_data)
    {
        Delivered d{*event, user_data, std::nullopt};
        if ((event->type == CONSUMER_EVENT_EXTRA_DATA || event->type == CONSUMER_EVENT_HERE_MAP_DOWNLOAD) &&
            event->file.path != nullptr)
            d.path = event->file.path;
        static_cast<Respond *>(user_data)->delivered.push_back(std::move(d));
        return 0;
    }

    // A record as a sender must build it: all zero but type and error.
    static lbs_consumer_event_s blank(int type, int error = 0)
    {
        lbs_consumer_event_s e;
        std::memset(&e, 0, sizeof e);
        e.type = type;
        e.error = error;
        return e;
    }

    // The one event delivered since the last reset, or a blank one.
    const Delivered &only()
    {
        EXPECT_EQ(delivered.size(), 1u);
        if (delivered.empty())
            delivered.push_back({blank(-1), nullptr, std::nullopt});
        EXPECT_EQ(delivered.back().user_data, this);
        return delivered.back();
    }

    // Byte for byte, so that a stray byte anywhere in the 9624 fails too.
    void expect_only(const lbs_consumer_event_s &expected)
    {
        if (std::memcmp(&only().event, &expected, sizeof expected) != 0)
            ADD_FAILURE() << "event differs from the expected one (type " << expected.type << ")";
    }

    void reset()
    {
        delivered.clear();
        dlog_ctl_clear();
    }

    std::vector<Delivered> delivered;
};

// A record allocated to its exact size, so that a read past it is caught.
template <class T>
std::unique_ptr<T, void (*)(gpointer)> make_record()
{
    return {static_cast<T *>(g_malloc0(sizeof(T))), g_free};
}

loc_tracking_rsp_message position(int64_t method, int64_t ts, double base)
{
    return {1, 0, method, ts, base + 0.5, base - 100.25, base * 2, 1.5, 270.0, 32.0, 8.125};
}

consumer_position host_position(uint32_t seconds, double base)
{
    return {seconds, 0, base + 0.5, base - 100.25, base * 2, 1.5, 270.0, 32.0, 8.125};
}

TEST_F(Respond, ConvertErrorTypeMapsAndLogsEveryInternalResult)
{
    const struct {
        int internal, code;
        const char *name;
    } rows[] = {
        {0, 0, "CONSUMER_ERR_NONE"},           {-1, -50, "CONSUMER_ERR_OUT_OF_MEMORY"},
        {-2, -51, "CONSUMER_ERR_INVALID_PARAMETER"},
        {-3, -52, "CONSUMER_ERR_SYSTEM"},      {-7, -52, "CONSUMER_ERR_SYSTEM"},
        {-4, -202, "CONSUMER_ERR_LOCATION_PROVIDER_DISCONNECTED"},
        {-5, -200, "CONSUMER_ERR_COMMUNICATION"}, {-6, -200, "CONSUMER_ERR_COMMUNICATION"},
        {-8, -300, "CONSUMER_ERR_INVALID_KINETRA_COMMAND"},
        {-9, -999, "CONSUMER_ERR_UNKNOWN"},    {1, -999, "CONSUMER_ERR_UNKNOWN"},
        {-200, -999, "CONSUMER_ERR_UNKNOWN"},  {INT_MIN, -999, "CONSUMER_ERR_UNKNOWN"},
    };
    for (const auto &r : rows) {
        reset();
        EXPECT_EQ(_convert_error_type(r.internal), r.code) << r.internal;
        const std::string log = "[" + std::string(r.name) + "][" + std::to_string(r.code) +
                                "] LBS Consumer Plugin Error [" + std::to_string(r.internal) + "]";
        EXPECT_TRUE(logged(DLOG_ERROR, log)) << r.internal;
        EXPECT_EQ(dlog_ctl_count(), 1u);
    }
}

TEST_F(Respond, TrackingFailureReasonsAreNamedInTheLog)
{
    const struct {
        int64_t reason;
        int code;
        std::string log;
    } rows[] = {
        {1, -100, "CONSUMER_ERR_TIMEOUT"},
        {2, -102, "CONSUMER_ERR_LOCATION_SETTING_OFF"},
        {3, -103, "CONSUMER_ERR_LOCATION_SETTING_ON"},
        {4, -104, "CONSUMER_ERR_LOCATION_NO_SERVICE"},
        {0, -999, "unhandled error reason [0]"},
        {(int64_t{1} << 32) | 1, -999, "unhandled error reason [4294967297]"},
    };
    for (const auto &r : rows) {
        reset();
        EXPECT_EQ(_get_tracking_rsp_err_type(2, r.reason), r.code) << r.reason;
        EXPECT_TRUE(logged(DLOG_ERROR, r.log)) << r.reason;
    }
    reset();
    EXPECT_EQ(_get_tracking_rsp_err_type(1, 4), 0) << "success ignores the reason";
    EXPECT_EQ(dlog_ctl_count(), 0u);
}

TEST_F(Respond, RequestResultAndConnectionEventsCarryOnlyTheirFields)
{
    // Any result but 0 is a communication error; any status but 0 is a
    // connection.
    const std::pair<void (*)(int, int), int> senders[] = {
        {respond_start_session, CONSUMER_EVENT_START_SESSION},
        {respond_change_interval, CONSUMER_EVENT_CHANGE_INTERVAL},
        {respond_change_batch_period, CONSUMER_EVENT_CHANGE_BATCH_PERIOD},
    };
    for (const auto &[send, type] : senders)
        for (auto [result, error] : {std::pair{0, 0}, {-4, -200}, {1, -200}}) {
            reset();
            send(CONSUMER_METHOD_WPS, result);
            lbs_consumer_event_s e = blank(type, error);
            e.session.method = CONSUMER_METHOD_WPS;
            expect_only(e);
        }
    for (auto [status, type] : {std::pair{1, 768}, {0, 769}, {-1, 768}, {2, 768}}) {
        reset();
        respond_service_connection_status(status);
        expect_only(blank(type));
    }
}

TEST_F(Respond, BatchIsClampedToTheRecordsCapacity)
{
    auto rsp = make_record<location_batch_rsp_message>();
    rsp->result = 1;
    rsp->method = 3;
    rsp->num_of_location = LBS_CONSUMER_MAX_BATCH_POSITIONS;
    lbs_consumer_event_s e = blank(CONSUMER_EVENT_BATCH_POSITION);
    e.batch.count = LBS_CONSUMER_MAX_BATCH_POSITIONS;
    for (int i = 0; i < LBS_CONSUMER_MAX_BATCH_POSITIONS; ++i) {
        rsp->locations[i] = position(0, int64_t{1000} * (1000 + i) + i, i);
        e.batch.pos[i] = host_position(1000 + i, i);
    }
    static_assert(offsetof(lbs_consumer_event_s, batch.pos) + sizeof e.batch.pos == sizeof e);
    // A count past the capacity is never read past the record's entries.
    for (uint32_t count : {uint32_t{LBS_CONSUMER_MAX_BATCH_POSITIONS}, 151u, UINT32_MAX}) {
        reset();
        rsp->num_of_location = count;
        respond_batch_position(rsp.get());
        expect_only(e);
        EXPECT_TRUE(logged(DLOG_INFO, "respond batch data is done")) << count;
    }
}

TEST_F(Respond, FileEventsCopyTheAssistancePathAndTranslateTheMapCodes)
{
    char path[] = "/opt/usr/media/.extra/gpsPlus.dat";
    respond_extra_data(path);
    EXPECT_EQ(only().event.type, CONSUMER_EVENT_EXTRA_DATA);
    EXPECT_NE(only().event.file.path, path) << "a copy, not the caller's text";
    EXPECT_EQ(only().path, std::optional<std::string>(path));
    reset();
    respond_extra_data(nullptr);
    expect_only(blank(CONSUMER_EVENT_EXTRA_DATA)); // a NULL path still reaches the host

    // The map's path passes as the very pointer, whatever the code.
    const char *image = "/opt/usr/media/.extra/map.jpg";
    const struct {
        int code, error;
        const char *path;
        const char *log; // nullptr: nothing logged
    } rows[] = {
        {0, 0, image, nullptr},
        {1, -100, nullptr, "TIMEOUT [-100]"},
        {2, -54, nullptr, "NETWORK_SERVICE_DISABLED [-54]"},
        {3, -53, nullptr, "TEMPORARY_NOT_AVAILABLE [-53]"},
        {4, -51, nullptr, "PARAMETER_INVALID [-51]"},
        {255, -52, nullptr, "[255]"},
        {5, -52, image, "[5]"},
        {-1, -52, nullptr, "[-1]"},
    };
    for (const auto &r : rows) {
        reset();
        respond_here_map_download(r.code, r.path);
        lbs_consumer_event_s e = blank(CONSUMER_EVENT_HERE_MAP_DOWNLOAD, r.error);
        e.file.path = r.path;
        expect_only(e);
        if (r.log)
            EXPECT_TRUE(logged(DLOG_ERROR, r.log)) << r.code;
        else
            EXPECT_EQ(dlog_ctl_count(), 0u);
    }
}

TEST_F(Respond, PdcCountIsClampedToTheRecordsCapacity)
{
    pdc_info_rsp_message rsp{};
    rsp.result = 1;
    lbs_consumer_event_s e = blank(CONSUMER_EVENT_PDC_INFO);
    e.pdc.count = LBS_CONSUMER_MAX_PDC_VALUES;
    for (int i = 0; i < LBS_CONSUMER_MAX_PDC_VALUES; ++i)
        rsp.sf[i] = e.pdc.values[i] = 100 + i;
    for (uint64_t count : {uint64_t{LBS_CONSUMER_MAX_PDC_VALUES}, uint64_t{25}, UINT64_MAX}) {
        reset();
        rsp.sf_count = count;
        respond_pdc_info(&rsp);
        expect_only(e);
    }
}

TEST_F(Respond, NothingToReadDeliversNothing)
{
    loc_tracking_rsp_message no_method = position(0, 1000, 1.0);
    respond_update_position(&no_method);
    auto batch = make_record<location_batch_rsp_message>();
    batch->method = 3;
    batch->result = 7;
    batch->num_of_location = 5;
    respond_batch_position(batch.get());
    EXPECT_TRUE(logged(DLOG_ERROR, "Critical error!! Unknown method [0]"));
    EXPECT_TRUE(logged(DLOG_ERROR, "critical error!! unhandled result [7]"));

    respond_update_position(nullptr);
    respond_batch_position(nullptr);
    respond_location_setting_check(nullptr);
    respond_location_setting_change(nullptr);
    respond_ref_time(nullptr);
    respond_pdc_info(nullptr);
    EXPECT_TRUE(delivered.empty());
    EXPECT_TRUE(logged(DLOG_ERROR, "loc_tracking_rsp_message is NULL"));
    EXPECT_TRUE(logged(DLOG_ERROR, "location_batch_rsp_message is NULL"));
    EXPECT_TRUE(logged(DLOG_ERROR, "location_setting_check_rsp_message is NULL"));
    EXPECT_TRUE(logged(DLOG_ERROR, "rsp_msg is NULL"));
    EXPECT_EQ(dlog_ctl_count_matching(nullptr, "rsp is NULL"), 2u);
}

TEST_F(Respond, WithoutCallbackEveryEventIsDroppedAndItsCopiesReleased)
{
    g_consumer_cb = nullptr;
    loc_tracking_rsp_message pos = position(1, 1000, 1.0);
    auto batch = make_record<location_batch_rsp_message>();
    batch->result = 1;
    batch->method = 3;
    batch->num_of_location = 1;
    exercise_info figures{};
    exercise_info_rsp_data exercise{0, 5, 1, &figures};
    pdc_info_rsp_message pdc{1, 0, 1, {5}};

    respond_start_session(1, 0);
    respond_stop_session(1);
    respond_service_connection_status(1);
    respond_update_position(&pos);
    respond_batch_position(batch.get());
    respond_extra_data("/opt/usr/media/.extra/gpsPlus.dat"); // the copy must still be freed
    respond_here_map_download(1, nullptr);
    respond_kinetra_info(CONSUMER_ERR_NONE, &exercise, KINETRA_CMD_START);
    respond_kinetra_info(CONSUMER_ERR_GPS_STATUS_CHANGED, &exercise, KINETRA_CMD_START);
    respond_pdc_info(&pdc);

    // The senders ran to their end; the leak check at exit covers the copies.
    EXPECT_TRUE(logged(DLOG_INFO, "respond batch data is done"));
    EXPECT_TRUE(logged(DLOG_ERROR, "TIMEOUT [-100]"));
    EXPECT_TRUE(logged(DLOG_INFO, "GPS_STATUS_OK"));
}

} // namespace
