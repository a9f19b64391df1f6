// The trace as other tools read it: event records decoded by type, numbers
// in their fixed formats, paths in the plugin's file directory as $EXTRA/,
// and only the calls that change the link. Return and log lines are pinned
// by the golden scenarios.
#include "lbs_sim_event_decoder.h"
#include "lbs_sim_runner.h"
#include "lbs_sim_trace.h"

#include <dlog.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace lbs_sim;

namespace {

const PathStyle kPaths({"/build/extra", "/opt/usr/media/.extra/"});

// A TraceWriter whose output is kept in memory.
struct Captured {
    char *buf = nullptr;
    size_t len = 0;
    std::FILE *file = open_memstream(&buf, &len);
    TraceWriter writer;

    explicit Captured(bool with_logs = false, bool with_functions = false)
        : writer(file, kPaths, with_logs, with_functions)
    {
    }
    ~Captured()
    {
        std::fclose(file);
        std::free(buf);
    }
    std::string text()
    {
        std::fflush(file);
        return std::string(buf, len);
    }
};

lbs_consumer_event_s blank(int type, int error = 0)
{
    lbs_consumer_event_s ev;
    std::memset(&ev, 0, sizeof ev);
    ev.type = type;
    ev.error = error;
    return ev;
}

std::string trace_of(const lbs_consumer_event_s &ev, int64_t t = 7)
{
    Captured c;
    c.writer.event(t, ev);
    return c.text();
}

TEST(TraceEvents, BatchPrintsOneEntryLinePerPositionUpToTheRoomOfTheRecord)
{
    lbs_consumer_event_s ev = blank(CONSUMER_EVENT_BATCH_POSITION);
    ev.batch.count = 2;
    ev.batch.pos[0] = {10, 0, 1.5, 2.5, 3, 4, 5, 6, 7};
    ev.batch.pos[1].timestamp = 11;
    EXPECT_EQ(trace_of(ev, 3), "3 event BATCH_POSITION error=0 count=2\n"
                               "3 entry 0 ts=10 lat=1.5 lon=2.5 alt=3 speed=4 bearing=5 hacc=6 vacc=7\n"
                               "3 entry 1 ts=11 lat=0 lon=0 alt=0 speed=0 bearing=0 hacc=0 vacc=0\n");

    ev.batch.count = 151;
    const DecodedEvent d = decode_event(ev, kPaths);
    EXPECT_EQ(d.fields[0].value, "151");
    EXPECT_EQ(d.entries.size(), 150u);
    ev.batch.count = -1;
    EXPECT_TRUE(decode_event(ev, kPaths).entries.empty());
}

TEST(TraceEvents, ExerciseEntriesNameEveryFieldByItsJsonKeyAndPrintFloatsWithNineDigits)
{
    consumer_exercise_info info{};
    info.timestamp = 5;
    info.latitude = 1.25;
    info.total_distance = 0.1f;
    info.step_count = 12;
    info.gps_status = GPS_STATUS_UNKNOWN;
    info.step_cadence = 1.5f;
    lbs_consumer_event_s ev = blank(CONSUMER_EVENT_KINETRA_PAUSED, CONSUMER_ERR_GPS_STATUS_CHANGED);
    ev.kinetra.count = 1;
    ev.kinetra.info = &info;
    EXPECT_EQ(trace_of(ev, 0),
              "0 event KINETRA_PAUSED error=-105 count=1\n"
              "0 entry 0 timestamp=5 latitude=1.25 longitude=0 totalDistance=0.100000001 inclineDistance=0 "
              "declineDistance=0 flatDistance=0 inclineTime=0 declineTime=0 flatTime=0 altitude=0 maxAltitude=0 "
              "minAltitude=0 speed=0 maxSpeed=0 averageSpeed=0 pace=0 maxPace=0 averagePace=0 consumedCalorie=0 "
              "stepCount=12 basePressure=0 gpsStatus=255 accuracy=0 durationTime=0 movingTime=0 autoPauseStatus=0 "
              "stepCadence=1.5\n");
    ev.kinetra.count = 0;
    ev.kinetra.info = nullptr;
    EXPECT_EQ(trace_of(ev), "7 event KINETRA_PAUSED error=-105 count=0\n");
}

TEST(TraceEvents, EventsPrintTheFieldsOfTheirTypeAndDoublesWithFifteenSignificantDigits)
{
    lbs_consumer_event_s ev = blank(CONSUMER_EVENT_POSITION_WPS);
    ev.position.pos = {4294967295u, 0, 37.566535, -126.97796919, 0.1 + 0.2, 1e-7, 359.99999999999997, 1e21, -0.0};
    EXPECT_EQ(trace_of(ev), "7 event POSITION_WPS error=0 ts=4294967295 lat=37.566535 lon=-126.97796919 alt=0.3 "
                            "speed=1e-07 bearing=360 hacc=1e+21 vacc=-0\n");

    ev = blank(CONSUMER_EVENT_START_SESSION, CONSUMER_ERR_COMMUNICATION);
    ev.session.method = 2;
    EXPECT_EQ(trace_of(ev), "7 event START_SESSION error=-200 method=2\n");

    ev = blank(CONSUMER_EVENT_EXTRA_DATA);
    ev.file.path = "/build/extra/gpsPlus.dat";
    EXPECT_EQ(trace_of(ev), "7 event EXTRA_DATA error=0 path=$EXTRA/gpsPlus.dat\n");
    ev = blank(CONSUMER_EVENT_HERE_MAP_DOWNLOAD, CONSUMER_ERR_SYSTEM);
    EXPECT_EQ(trace_of(ev), "7 event HERE_MAP_DOWNLOAD error=-52 path=NULL\n");
    ev.file.path = "/tmp/map.jpg";
    EXPECT_EQ(trace_of(ev), "7 event HERE_MAP_DOWNLOAD error=-52 path=/tmp/map.jpg\n");

    ev = blank(CONSUMER_EVENT_LOCATION_SETTING_CHECK);
    ev.setting_check.gps = 1;
    ev.setting_check.wps = -1;
    EXPECT_EQ(trace_of(ev), "7 event LOCATION_SETTING_CHECK error=0 gps=1 wps=-1\n");
    ev = blank(CONSUMER_EVENT_LOCATION_SETTING_CHANGE);
    ev.setting_change.result = 2;
    EXPECT_EQ(trace_of(ev), "7 event LOCATION_SETTING_CHANGE error=0 result=2\n");

    ev = blank(CONSUMER_EVENT_REF_TIME);
    ev.ref_time.result = 1;
    ev.ref_time.ntp_time = 1700000000123LL;
    ev.ref_time.method = 3;
    ev.ref_time.uncertainty = 25;
    EXPECT_EQ(trace_of(ev), "7 event REF_TIME error=0 result=1 reason=0 ntptime=1700000000123 method=3 uncertainty=25\n");

    ev = blank(CONSUMER_EVENT_PDC_INFO);
    EXPECT_EQ(trace_of(ev), "7 event PDC_INFO error=0 count=0 values=\n");
    ev.pdc.count = 3;
    ev.pdc.values[0] = -1;
    ev.pdc.values[2] = 70000;
    EXPECT_EQ(trace_of(ev), "7 event PDC_INFO error=0 count=3 values=-1,0,70000\n");

    EXPECT_EQ(trace_of(blank(4242, -1)), "7 event 4242 error=-1\n");
    EXPECT_EQ(trace_of(blank(CONSUMER_EVENT_PROVIDER_DISCONNECTED)), "7 event PROVIDER_DISCONNECTED error=0\n");
}

TEST(TraceLines, OnlyTheCallsThatChangeTheLinkAreTraced)
{
    // Every call carries every argument; each line prints only its own.
    const struct {
        const char *name, *text, *line;
    } rows[] = {
        {"registerNotifications", "x", ""},
        {"registerServiceAgent", "lbs", "call registerServiceAgent"},
        {"findPeerAgent", "x", "call findPeerAgent agent=7"},
        {"createServiceConnection", "x", "call createServiceConnection agent=7"},
        {"deRegisterServiceAgent", "x", "call deRegisterServiceAgent agent=7"},
        {"rejectServiceConnection", "x", "call rejectServiceConnection"},
        {"terminateServiceConnection", "x", "call terminateServiceConnection handle=3"},
        {"receiveFile", "/build/extra/gpsPlus.dat", "call receiveFile tx=4 path=$EXTRA/gpsPlus.dat accept=1"},
        {"sendData", "{\"a\": 1}\0junk", "send kov {\"a\": 1}"},
        {"bap_service_add", "LBS", "call bap_service_add name=LBS"},
        {"bap_service_remove", "x", "call bap_service_remove"},
        {"bap_service_set_data_received_cb", "x", ""},
        {"bap_service_send_data", "@!", "send bap @"},
        {"bap_service_file_transfer_receive", "/opt/usr/media/.extra/gpsPlus.dat",
         "call bap_service_file_transfer_receive id=9 path=$EXTRA/gpsPlus.dat"},
        {"bap_service_file_transfer_reject", "x", "call bap_service_file_transfer_reject id=9"},
    };
    for (const auto &r : rows) {
        Captured c;
        if (std::strncmp(r.name, "bap_", 4) == 0)
            c.writer.bap_call(5, {r.name, 0, 1, 6, 9, r.text, 1});
        else
            c.writer.kov_call(5, {r.name, 0, 7, 8, 3, 169, 4, 1, r.text, 8, "/p", 1, 1, 2});
        EXPECT_EQ(c.text(), *r.line != '\0' ? "5 " + std::string(r.line) + "\n" : "") << r.name;
    }
}

TEST(TraceLines, AlarmAndPowerTrafficAndPathsInLogs)
{
    Captured c(true);
    c.writer.power_lock(0, {0, 1000, 0});
    c.writer.alarm(0, {ALARMMGR_CTL_ADD, 1, 150, 150, 0});
    c.writer.alarm(0, {ALARMMGR_CTL_ADD_FAILED, 0, 10, 0, ERR_ALARM_SYSTEM_FAIL});
    c.writer.alarm(150, {ALARMMGR_CTL_FIRE, 1, 0, 0, 0});
    c.writer.alarm(151, {ALARMMGR_CTL_REMOVE, 1, 0, 0, 0});
    c.writer.log(151, DLOG_WARN, "LBS_CONSUMER_PLUGIN", "on_receive_completed",
                 "file(/build/extra/gpsPlus.dat) receive completed");
    c.writer.log(151, DLOG_ERROR, "LBS_CONSUMER_REFCNT", "on_send_file",
                 "Failed to make directory.[/opt/usr/media/.extra]");
    EXPECT_EQ(c.text(), "0 call device_power_request_lock ms=1000\n"
                        "0 alarm add id=1 delay=150 interval=150\n"
                        "0 alarm add failed\n"
                        "150 alarm fire id=1\n"
                        "151 alarm remove id=1\n"
                        "151 log W LBS_CONSUMER_PLUGIN file($EXTRA/gpsPlus.dat) receive completed\n"
                        "151 log E LBS_CONSUMER_REFCNT Failed to make directory.[$EXTRA]\n");
}

// --log-functions: the function goes between the tag and the message, and
// implies the log lines themselves.
TEST(TraceLines, LogFunctionsNameTheFunctionOfEachLine)
{
    Captured c(false, true);
    c.writer.log(3, DLOG_INFO, "LBS_CONSUMER_REFCNT", "increase_pos_refcnt", "refcnt [0 -> 1]");
    c.writer.log(4, DLOG_ERROR, "LBS_CONSUMER_PLUGIN", "", "no prefix > at all");
    EXPECT_EQ(c.text(), "3 log I LBS_CONSUMER_REFCNT increase_pos_refcnt > refcnt [0 -> 1]\n"
                        "4 log E LBS_CONSUMER_PLUGIN  > no prefix > at all\n");
}

// The runner takes the function out of the "file: function(line) > " prefix;
// the message may hold " > " and parentheses of its own.
TEST(TraceLines, LogPrefixSplitsFileFunctionAndMessage)
{
    const LogPrefix p = split_log_prefix("kov_intf.cpp: on_data_ind(42) > f(x) > y");
    EXPECT_EQ(p.function, "on_data_ind");
    EXPECT_EQ(p.message, "f(x) > y");
    const LogPrefix bare = split_log_prefix("no prefix here");
    EXPECT_EQ(bare.function, "");
    EXPECT_EQ(bare.message, "no prefix here");
}

TEST(PathStyleTest, RewritesOnlyTheDirectoryItself)
{
    EXPECT_EQ(kPaths.rewrite("/build/extra2/x /build/extra/x /build/extra"), "/build/extra2/x $EXTRA/x $EXTRA");
    EXPECT_EQ(expand_extra("$EXTRA/gpsPlus.dat", "/build/extra"), "/build/extra/gpsPlus.dat");
}

} // namespace
