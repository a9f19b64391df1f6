// The first link's event senders: what the host callback receives, byte for
// byte, and what is logged when nothing is delivered.
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
    std::optional<std::string> path;             // file events
    std::vector<consumer_exercise_info> entries; // exercise events
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
        auto *self = static_cast<Respond *>(user_data);
        Delivered d{*event, user_data, std::nullopt, {}};
        if ((event->type == CONSUMER_EVENT_EXTRA_DATA || event->type == CONSUMER_EVENT_HERE_MAP_DOWNLOAD) &&
            event->file.path != nullptr)
            d.path = event->file.path;
        if (event->type >= CONSUMER_EVENT_KINETRA_INFO && event->type <= CONSUMER_EVENT_KINETRA_PAUSED &&
            event->kinetra.info != nullptr)
            d.entries.assign(event->kinetra.info, event->kinetra.info + event->kinetra.count);
        self->delivered.push_back(std::move(d));
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
            delivered.push_back({blank(-1), nullptr, std::nullopt, {}});
        EXPECT_EQ(delivered.back().user_data, this);
        return delivered.back();
    }

    // Byte for byte, so that a stray byte anywhere in the 9624 fails too.
    void expect_only(const lbs_consumer_event_s &expected)
    {
        const auto *a = reinterpret_cast<const unsigned char *>(&only().event);
        const auto *b = reinterpret_cast<const unsigned char *>(&expected);
        for (size_t i = 0; i < sizeof expected; ++i)
            if (a[i] != b[i]) {
                ADD_FAILURE() << "event differs at byte " << i << " (type " << expected.type << ")";
                return;
            }
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

std::string conversion_log(const char *name, int code, int internal)
{
    return "[" + std::string(name) + "][" + std::to_string(code) + "] LBS Consumer Plugin Error [" +
           std::to_string(internal) + "]";
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
        EXPECT_TRUE(logged(DLOG_ERROR, conversion_log(r.name, r.code, r.internal))) << r.internal;
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
        {9, -999, "unhandled error reason [9]"},
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

TEST_F(Respond, RequestResultEventsCarryMethodAndCommunicationError)
{
    using Sender = void (*)(int, int);
    const struct {
        Sender send;
        int type;
    } senders[] = {
        {respond_start_session, CONSUMER_EVENT_START_SESSION},
        {respond_change_interval, CONSUMER_EVENT_CHANGE_INTERVAL},
        {respond_change_batch_period, CONSUMER_EVENT_CHANGE_BATCH_PERIOD},
    };
    const struct {
        int result, error;
    } results[] = {{0, 0}, {-5, -200}, {-4, -200}, {1, -200}};
    for (const auto &s : senders)
        for (const auto &r : results) {
            reset();
            s.send(CONSUMER_METHOD_WPS, r.result);
            lbs_consumer_event_s e = blank(s.type, r.error);
            e.session.method = CONSUMER_METHOD_WPS;
            expect_only(e);
        }
    reset();
    respond_stop_session(CONSUMER_METHOD_GPS);
    lbs_consumer_event_s e = blank(CONSUMER_EVENT_STOP_SESSION);
    e.session.method = CONSUMER_METHOD_GPS;
    expect_only(e);
}

TEST_F(Respond, ConnectionStatusEventsHaveNoPayload)
{
    const struct {
        int status, type;
    } rows[] = {{1, 768}, {0, 769}, {-1, 768}, {2, 768}};
    for (const auto &r : rows) {
        reset();
        respond_service_connection_status(r.status);
        expect_only(blank(r.type));
    }
}

TEST_F(Respond, PositionOfEachMethodIsDeliveredInSeconds)
{
    const struct {
        int64_t method;
        int type;
    } rows[] = {{1, 256}, {2, 257}};
    for (const auto &r : rows) {
        reset();
        loc_tracking_rsp_message rsp = position(r.method, 90999, 10.0);
        respond_update_position(&rsp);
        lbs_consumer_event_s e = blank(r.type);
        e.position.pos = host_position(90, 10.0);
        expect_only(e);
    }
}

TEST_F(Respond, PositionFailureCarriesTheReasonAndAZeroPosition)
{
    const struct {
        int64_t reason;
        int error;
    } rows[] = {{1, -100}, {2, -102}, {3, -103}, {4, -104}, {9, -999}};
    for (const auto &r : rows) {
        reset();
        loc_tracking_rsp_message rsp = position(1, 90999, 10.0);
        rsp.result = 2;
        rsp.reason = r.reason;
        respond_update_position(&rsp);
        expect_only(blank(CONSUMER_EVENT_POSITION_GPS, r.error));
    }
}

TEST_F(Respond, PositionThatCannotBeReadDeliversNothing)
{
    const struct {
        int64_t method, result;
        int prio;
        const char *log;
    } rows[] = {
        {1, 0, DLOG_WARN, "critical error!! unhandled result [0]"},
        {2, 3, DLOG_WARN, "critical error!! unhandled result [3]"},
        {3, 1, DLOG_ERROR, "Critical error!! Unknown method [3]"},
        {0, 1, DLOG_ERROR, "Critical error!! Unknown method [0]"},
    };
    for (const auto &r : rows) {
        loc_tracking_rsp_message rsp = position(r.method, 1000, 1.0);
        rsp.result = r.result;
        respond_update_position(&rsp);
        EXPECT_TRUE(logged(r.prio, r.log)) << r.log;
    }
    respond_update_position(nullptr);
    EXPECT_TRUE(logged(DLOG_ERROR, "loc_tracking_rsp_message is NULL"));
    EXPECT_TRUE(delivered.empty());
}

TEST_F(Respond, FullBatchFillsTheRecordExactly)
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
    respond_batch_position(rsp.get());
    expect_only(e);
    EXPECT_TRUE(logged(DLOG_INFO, "starting"));
    EXPECT_TRUE(logged(DLOG_INFO, "respond batch data is done"));

    // A count past the capacity is never read past the record's entries.
    reset();
    rsp->num_of_location = 151;
    respond_batch_position(rsp.get());
    expect_only(e);
    reset();
    rsp->num_of_location = UINT32_MAX;
    respond_batch_position(rsp.get());
    expect_only(e);
}

TEST_F(Respond, BatchFailureCarriesTheReasonAndNoEntries)
{
    auto rsp = make_record<location_batch_rsp_message>();
    rsp->result = 2;
    rsp->reason = 3;
    rsp->method = 3;
    rsp->num_of_location = 2;
    rsp->locations[0] = position(0, 5000, 1.0);
    respond_batch_position(rsp.get());
    expect_only(blank(CONSUMER_EVENT_BATCH_POSITION, -103));
    EXPECT_TRUE(logged(DLOG_ERROR, "CONSUMER_ERR_LOCATION_SETTING_ON"));
}

TEST_F(Respond, BatchThatCannotBeUsedDeliversNothing)
{
    const struct {
        int64_t method, result;
        uint32_t count;
        const char *log;
    } rows[] = {
        {3, 1, 0, "Ignore response - num_of_location 0"},
        {1, 1, 5, "critical error!! Invalid method [1]"},
        {2, 2, 0, "critical error!! Invalid method [2]"},
        {3, 0, 5, "critical error!! unhandled result [0]"},
        {3, 7, 5, "critical error!! unhandled result [7]"},
    };
    auto rsp = make_record<location_batch_rsp_message>();
    for (const auto &r : rows) {
        reset();
        rsp->method = r.method;
        rsp->result = r.result;
        rsp->num_of_location = r.count;
        respond_batch_position(rsp.get());
        EXPECT_TRUE(logged(DLOG_ERROR, r.log)) << r.log;
        EXPECT_FALSE(logged(DLOG_INFO, "respond batch data is done"));
    }
    respond_batch_position(nullptr);
    EXPECT_TRUE(logged(DLOG_ERROR, "location_batch_rsp_message is NULL"));
    EXPECT_TRUE(delivered.empty());
}

TEST_F(Respond, SettingAndReferenceTimeEventsKeepTheLowBits)
{
    location_setting_check_rsp_message check{(int64_t{1} << 32) | 2, -1};
    respond_location_setting_check(&check);
    lbs_consumer_event_s e = blank(CONSUMER_EVENT_LOCATION_SETTING_CHECK);
    e.setting_check.gps = 2;
    e.setting_check.wps = -1;
    expect_only(e);

    reset();
    location_setting_change_rsp_message change{2};
    respond_location_setting_change(&change);
    e = blank(CONSUMER_EVENT_LOCATION_SETTING_CHANGE);
    e.setting_change.result = 2;
    expect_only(e);

    reset();
    ref_time_rsp_message ref{2, 3, 1, int64_t{1700000000123} << 4, 0x100000050};
    respond_ref_time(&ref);
    e = blank(CONSUMER_EVENT_REF_TIME); // the error stays 0 whatever the result
    e.ref_time.result = 2;
    e.ref_time.reason = 3;
    e.ref_time.ntp_time = int64_t{1700000000123} << 4;
    e.ref_time.method = 1;
    e.ref_time.uncertainty = 0x50;
    expect_only(e);

    reset();
    respond_location_setting_check(nullptr);
    respond_location_setting_change(nullptr);
    respond_ref_time(nullptr);
    EXPECT_TRUE(logged(DLOG_ERROR, "location_setting_check_rsp_message is NULL"));
    EXPECT_TRUE(logged(DLOG_ERROR, "rsp_msg is NULL"));
    EXPECT_TRUE(logged(DLOG_ERROR, "rsp is NULL"));
    EXPECT_TRUE(delivered.empty());
}

TEST_F(Respond, ExtraDataHandsTheHostACopyOfThePath)
{
    char path[] = "/opt/usr/media/.extra/gpsPlus.dat";
    respond_extra_data(path);
    const Delivered &d = only();
    EXPECT_EQ(d.event.type, CONSUMER_EVENT_EXTRA_DATA);
    EXPECT_EQ(d.event.error, 0);
    EXPECT_NE(d.event.file.path, path) << "a copy, not the caller's text";
    EXPECT_EQ(d.path, std::optional<std::string>(path));

    reset();
    respond_extra_data(nullptr);
    expect_only(blank(CONSUMER_EVENT_EXTRA_DATA)); // a NULL path still reaches the host
}

TEST_F(Respond, MapDownloadCodesBecomeErrorsAndThePathPassesAsGiven)
{
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
        e.file.path = r.path; // the very pointer
        expect_only(e);
        if (r.log)
            EXPECT_TRUE(logged(DLOG_ERROR, r.log)) << r.code;
        else
            EXPECT_EQ(dlog_ctl_count(), 0u);
    }
}

TEST_F(Respond, PdcValuesAreDeliveredOnlyOnSuccess)
{
    pdc_info_rsp_message rsp{};
    rsp.result = 1;
    rsp.sf_count = 3;
    rsp.sf[0] = 11;
    rsp.sf[1] = 0x1FFFFFFFF; // low 32 bits: -1
    rsp.sf[2] = -7;
    rsp.sf[3] = 99; // past the count
    respond_pdc_info(&rsp);
    lbs_consumer_event_s e = blank(CONSUMER_EVENT_PDC_INFO);
    e.pdc.count = 3;
    e.pdc.values[0] = 11;
    e.pdc.values[1] = -1;
    e.pdc.values[2] = -7;
    expect_only(e);

    reset();
    e.pdc.count = LBS_CONSUMER_MAX_PDC_VALUES;
    for (int i = 0; i < LBS_CONSUMER_MAX_PDC_VALUES; ++i)
        rsp.sf[i] = e.pdc.values[i] = 100 + i;
    rsp.sf_count = 25; // never more than the record holds
    respond_pdc_info(&rsp);
    expect_only(e);

    const struct {
        int64_t reason;
        const char *log;
    } failures[] = {{1, "PDC_NOT_SUPPORTED"}, {2, "PDC_DISABLE"}, {7, "PDC_UNKNWON 7"}};
    for (const auto &f : failures) {
        reset();
        pdc_info_rsp_message failed{2, f.reason, 3, {1, 2, 3}};
        respond_pdc_info(&failed);
        EXPECT_TRUE(logged(DLOG_ERROR, f.log));
        EXPECT_TRUE(delivered.empty()) << f.log;
    }
    respond_pdc_info(nullptr);
    EXPECT_TRUE(logged(DLOG_ERROR, "rsp is NULL"));
    EXPECT_TRUE(delivered.empty());
}

TEST_F(Respond, ExerciseEventsGoThroughTheHostCallback)
{
    exercise_info figures{};
    figures.timestamp = 61999;
    exercise_info_rsp_data rsp{0, 5, 1, &figures};
    respond_kinetra_info(CONSUMER_ERR_GPS_STATUS_CHANGED, &rsp, KINETRA_CMD_START);
    ASSERT_EQ(only().entries.size(), 1u);
    EXPECT_EQ(only().event.type, CONSUMER_EVENT_KINETRA_INFO);
    EXPECT_EQ(only().event.error, -105);
    EXPECT_EQ(only().entries[0].gps_status, GPS_STATUS_OK);

    reset();
    respond_kinetra_info(CONSUMER_ERR_NONE, &rsp, KINETRA_CMD_STOP);
    ASSERT_EQ(only().entries.size(), 1u);
    EXPECT_EQ(only().event.type, CONSUMER_EVENT_KINETRA_STOPPED);
    EXPECT_EQ(only().entries[0].timestamp, 61u);

    reset();
    respond_kinetra_info(CONSUMER_ERR_INVALID_KINETRA_COMMAND, nullptr, KINETRA_CMD_PAUSE);
    expect_only(blank(CONSUMER_EVENT_KINETRA_PAUSED, -300));

    reset();
    respond_kinetra_info(CONSUMER_ERR_NONE, &rsp, KINETRA_CMD_CHANGE_INTERVAL);
    EXPECT_TRUE(logged(DLOG_ERROR, "error!! Do not handle cmd [6]"));
    EXPECT_TRUE(delivered.empty());
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
