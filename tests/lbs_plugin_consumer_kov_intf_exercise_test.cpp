// The first link's exercise session: which command goes out in which state,
// what the phone is sent, the exercise usage count, and the phone's exercise
// replies as host events.
#include "kov/lbs_plugin_consumer_kov_intf_internal.h"
#include "kov/lbs_plugin_consumer_main.h"

#include "kov_link_fixture.h"
#include "log_capture.h"

#include <alarmmgr_control.h>
#include <gtest/gtest.h>
#include <kov_client_control.h>
#include <storage_control.h>
#include <vconf_control.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr unsigned kAgent = 7;
constexpr int kHandle = 21;

struct Event {
    int type;
    int error;
    int count;
    std::vector<consumer_exercise_info> info;
};

int record_event(lbs_consumer_event_s *ev, void *user_data)
{
    if (ev->type < CONSUMER_EVENT_KINETRA_INFO || ev->type > CONSUMER_EVENT_KINETRA_PAUSED)
        return 0;
    Event e{ev->type, ev->error, ev->kinetra.count, {}};
    if (ev->kinetra.info != nullptr)
        e.info.assign(ev->kinetra.info, ev->kinetra.info + ev->kinetra.count);
    static_cast<std::vector<Event> *>(user_data)->push_back(e);
    return 0;
}

bool logged_text(const std::string &message)
{
    for (const LogLine &l : captured_logs())
        if (l.message == message)
            return true;
    return false;
}

// "ex4" for an exercise request with "cmd":4, "pdc2" for a PDC request with
// "method":2: what the phone is asked, in a word.
std::string summary(const std::string &json)
{
    auto number_after = [&](const char *key) {
        size_t at = json.find(key);
        return at == std::string::npos ? std::string("?") : std::to_string(std::atoi(json.c_str() + at + strlen(key)));
    };
    if (json.find("\"lbs-exercise-info-req\"") != std::string::npos)
        return "ex" + number_after("\"cmd\":");
    if (json.find("\"lbs-pdc-info-req\"") != std::string::npos)
        return "pdc" + number_after("\"method\":");
    return json;
}

const char *const kFigures =
    R"({"msgId":"lbs-exercise-info-rsp","result":1,"reason":0,"exerciseInfo":[)"
    R"({"timestamp":1700000000123,"latitude":37.5,"longitude":127.25,"totalDistance":1200,)"
    R"("stepCount":1500,"gpsStatus":3,"durationTime":3600.5},{"gpsStatus":1}]})";

class ExerciseSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(start_registered_first_link(record_event, &events), 1);
        ASSERT_NE(g_lbs_consumer, nullptr);
        ASSERT_EQ(g_lbs_consumer->agent_id, kAgent);
    }

    void TearDown() override
    {
        stop_first_link();
    }

    // A confirmed service connection: requests go out at once.
    void connect()
    {
        PeerAgent peer;
        kov_ctl_standard_peer(&peer);
        ASSERT_EQ(kov_ctl_on_svc_conn_cfrm(kAgent, kHandle, &peer, KOV_CONNECTION_SUCCESS), 1);
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        ASSERT_EQ(g_lbs_consumer->real_service_connection_status, 1);
    }

    int command(int cmd)
    {
        kinetra_req_info req{};
        req.command = cmd;
        req.exercise_type = 3;
        req.interval = 5;
        req.auto_pause_enabled = 1;
        return kov_knt_handle_request(&req);
    }

    void phone_says(const std::string &json)
    {
        ASSERT_EQ(kov_ctl_on_data_ind(kHandle, LBS_KOV_CHANNEL_ID, json.size(), json.data()), 1);
    }

    // What went to the phone since the last call of mark().
    void mark() { marked = kov_ctl_call_count(); }
    std::vector<std::string> sent() const
    {
        std::vector<std::string> out;
        for (size_t i = marked; i < kov_ctl_call_count(); ++i) {
            const kov_ctl_call *c = kov_ctl_call_at(i);
            if (std::string(c->name) == "sendData")
                out.push_back(summary(std::string(c->text, c->length)));
        }
        return out;
    }

    int state() const { return g_lbs_consumer->current_state; }
    int last_cmd() const { return g_lbs_consumer->last_cmd; }

    std::vector<Event> events;
    size_t marked = 0;
};

using Sent = std::vector<std::string>;

// ---- the command table -----------------------------------------------------

enum class From { Stopped, Running, Paused, StartNeverSent };

struct Rule {
    const char *name;
    From from;
    int cmd;
    int result;
    Sent sent;
    int state_after;
    int last_cmd_after;
    int refcnt_after;
    int event_type; // -1: the host hears nothing
};

void PrintTo(const Rule &rule, std::ostream *os)
{
    *os << rule.name;
}

class CommandRules : public ExerciseSession, public ::testing::WithParamInterface<Rule> {};

TEST_P(CommandRules, AllowedCommandsSendTheirRequestsAndRefusedOnesChangeNothing)
{
    const Rule &r = GetParam();
    connect();
    switch (r.from) {
    case From::Stopped:
        break;
    case From::Running:
        ASSERT_EQ(command(KINETRA_CMD_START), 0);
        break;
    case From::Paused:
        ASSERT_EQ(command(KINETRA_CMD_START), 0);
        ASSERT_EQ(command(KINETRA_CMD_PAUSE), 0);
        break;
    case From::StartNeverSent:
        kov_ctl_set_connected(0);
        ASSERT_EQ(command(KINETRA_CMD_START), LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED);
        kov_ctl_set_connected(1);
        break;
    }
    events.clear();
    dlog_ctl_clear();
    mark();

    EXPECT_EQ(command(r.cmd), r.result);
    EXPECT_EQ(sent(), r.sent);
    EXPECT_EQ(state(), r.state_after);
    EXPECT_EQ(last_cmd(), r.last_cmd_after);
    EXPECT_EQ(g_get_exercise_refcnt(), r.refcnt_after);
    if (r.event_type < 0) {
        EXPECT_TRUE(events.empty());
    } else {
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].type, r.event_type);
        EXPECT_EQ(events[0].error, CONSUMER_ERR_INVALID_KINETRA_COMMAND);
        EXPECT_EQ(events[0].count, 0);
        EXPECT_TRUE(events[0].info.empty());
    }
    if (r.result == LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND && r.cmd >= KINETRA_CMD_PAUSE &&
        r.cmd <= KINETRA_CMD_CHANGE_COACHING_SET) {
        const std::string why = "LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND. err[-8], ref_cnt[" +
                                std::to_string(r.refcnt_after) + "], current_state[" + std::to_string(r.state_after) +
                                "]";
        EXPECT_TRUE(logged_text(why));
    }
}

constexpr int S = KINETRA_STATE_STOPPED, R = KINETRA_STATE_RUNNING, P = KINETRA_STATE_PAUSED;
constexpr int kNone = -1, kInfo = CONSUMER_EVENT_KINETRA_INFO, kStopped = CONSUMER_EVENT_KINETRA_STOPPED,
              kPaused = CONSUMER_EVENT_KINETRA_PAUSED;
constexpr int kRefused = LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND;

INSTANTIATE_TEST_SUITE_P(
    Table, CommandRules,
    ::testing::Values(
        Rule{"StoppedStart", From::Stopped, 1, 0, {"ex1", "pdc1"}, R, 1, 1, kNone},
        Rule{"StoppedStop", From::Stopped, 2, 0, {}, S, 2, 0, kNone},
        Rule{"StoppedRestart", From::Stopped, 3, 0, {"ex3", "pdc1"}, R, 3, 0, kNone},
        Rule{"StoppedPause", From::Stopped, 4, kRefused, {}, S, 2, 0, kPaused},
        Rule{"StoppedResume", From::Stopped, 5, kRefused, {}, S, 2, 0, kNone},
        Rule{"StoppedInterval", From::Stopped, 6, kRefused, {}, S, 2, 0, kStopped},
        Rule{"StoppedCoaching", From::Stopped, 7, kRefused, {}, S, 2, 0, kStopped},
        Rule{"StoppedAutoPause", From::Stopped, 8, 0, {"ex8"}, S, 2, 0, kNone},
        Rule{"StoppedAutoPauseParameter", From::Stopped, 9, 0, {"ex9"}, S, 2, 0, kNone},
        Rule{"StoppedUnknown", From::Stopped, 10, kRefused, {}, S, 2, 0, kNone},
        Rule{"StoppedZero", From::Stopped, 0, kRefused, {}, S, 2, 0, kNone},
        Rule{"RunningStart", From::Running, 1, 0, {"ex1", "pdc1"}, R, 1, 2, kNone},
        Rule{"RunningStop", From::Running, 2, 0, {"pdc2", "ex2"}, S, 2, 0, kNone},
        Rule{"RunningRestart", From::Running, 3, 0, {"ex3", "pdc1"}, R, 3, 1, kNone},
        Rule{"RunningPause", From::Running, 4, 0, {"pdc2", "ex4"}, P, 4, 1, kNone},
        Rule{"RunningResume", From::Running, 5, kRefused, {}, R, 1, 1, kNone},
        Rule{"RunningInterval", From::Running, 6, 0, {"ex6"}, R, 1, 1, kNone},
        Rule{"RunningCoaching", From::Running, 7, 0, {"ex7"}, R, 1, 1, kNone},
        Rule{"RunningAutoPause", From::Running, 8, 0, {"ex8"}, R, 1, 1, kNone},
        Rule{"RunningAutoPauseParameter", From::Running, 9, 0, {"ex9"}, R, 1, 1, kNone},
        Rule{"PausedStop", From::Paused, 2, 0, {"pdc2", "ex2"}, S, 2, 0, kNone},
        Rule{"PausedRestart", From::Paused, 3, 0, {"ex3", "pdc1"}, R, 3, 1, kNone},
        Rule{"PausedPause", From::Paused, 4, kRefused, {}, P, 4, 1, kPaused},
        Rule{"PausedResume", From::Paused, 5, 0, {"ex5", "pdc1"}, R, 5, 1, kNone},
        Rule{"PausedInterval", From::Paused, 6, kRefused, {}, P, 4, 1, kPaused},
        Rule{"PausedCoaching", From::Paused, 7, kRefused, {}, P, 4, 1, kPaused},
        Rule{"PausedAutoPause", From::Paused, 8, 0, {"ex8"}, P, 4, 1, kNone},
        Rule{"StartNeverSentPause", From::StartNeverSent, 4, kRefused, {}, S, 2, 1, kPaused},
        Rule{"StartNeverSentResume", From::StartNeverSent, 5, kRefused, {}, S, 2, 1, kNone},
        Rule{"StartNeverSentInterval", From::StartNeverSent, 6, kRefused, {}, S, 2, 1, kStopped},
        Rule{"StartNeverSentStop", From::StartNeverSent, 2, 0, {"pdc2", "ex2"}, S, 2, 0, kNone}),
    [](const ::testing::TestParamInfo<Rule> &info) { return std::string(info.param.name); });

// ---- sessions over time ----------------------------------------------------

TEST_F(ExerciseSession, PauseRightAfterAQueuedStartIsAllowed)
{
    ASSERT_EQ(command(KINETRA_CMD_START), 0);
    EXPECT_EQ(state(), KINETRA_STATE_RUNNING) << "queued counts as sent";
    EXPECT_EQ(command(KINETRA_CMD_PAUSE), 0);
    EXPECT_EQ(state(), KINETRA_STATE_PAUSED);
    EXPECT_EQ(g_list_length(g_lbs_consumer->msg_list), 4u) << "start, PDC start, PDC stop, pause";
    EXPECT_EQ(kov_ctl_count_calls("sendData"), 0u);
}

TEST_F(ExerciseSession, StopWithNothingRunningSendsNothingAndKeepsTheCountAtZero)
{
    connect();
    mark();
    EXPECT_EQ(command(KINETRA_CMD_STOP), 0);
    EXPECT_TRUE(logged_text("Already stopped. [0]"));
    EXPECT_TRUE(logged_text("exercise stop"));
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(g_get_exercise_refcnt(), 0);

    EXPECT_EQ(command(KINETRA_CMD_START), 0);
    EXPECT_EQ(g_get_exercise_refcnt(), 1) << "a start after a stop at 0 counts from 0";
}

TEST_F(ExerciseSession, StopThatCannotBeSentStillEndsTheSession)
{
    connect();
    ASSERT_EQ(command(KINETRA_CMD_START), 0);
    ASSERT_EQ(command(KINETRA_CMD_PAUSE), 0);
    kov_ctl_set_connected(0);
    dlog_ctl_clear();

    EXPECT_EQ(command(KINETRA_CMD_STOP), 0);
    EXPECT_EQ(state(), KINETRA_STATE_STOPPED);
    EXPECT_EQ(last_cmd(), KINETRA_CMD_STOP);
    EXPECT_EQ(g_get_exercise_refcnt(), 0);
    EXPECT_TRUE(logged_text("Failed to send kinetra-stop command. [-4]. but consumer-side will be stopped."));
}

TEST_F(ExerciseSession, CommandsThatCannotBeSentLeaveTheStateAndReturnTheSendResult)
{
    connect();
    kov_ctl_set_connected(0);
    EXPECT_EQ(command(KINETRA_CMD_START), LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED);
    EXPECT_TRUE(logged_text("Failed to send kinetra-start command. [-4]"));
    EXPECT_EQ(command(KINETRA_CMD_RESTART), LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED);
    EXPECT_TRUE(logged_text("Failed to send kinetra-restart command. [-4]"));
    EXPECT_EQ(command(KINETRA_CMD_SET_AUTO_PAUSE_ENABLED), LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED);
    EXPECT_EQ(state(), KINETRA_STATE_STOPPED);
    EXPECT_EQ(last_cmd(), KINETRA_CMD_STOP);
    EXPECT_EQ(g_get_exercise_refcnt(), 1) << "the failed start stays counted until a stop";

    kov_ctl_set_connected(1);
    ASSERT_EQ(command(KINETRA_CMD_START), 0);
    ASSERT_EQ(command(KINETRA_CMD_PAUSE), 0);
    kov_ctl_set_connected(0);
    EXPECT_EQ(command(KINETRA_CMD_RESUME), LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED);
    EXPECT_TRUE(logged_text("Failed to send kinetra-resume command. [-4]"));
    EXPECT_EQ(state(), KINETRA_STATE_PAUSED);
    EXPECT_EQ(last_cmd(), KINETRA_CMD_PAUSE);

    kov_ctl_set_connected(1);
    ASSERT_EQ(command(KINETRA_CMD_RESUME), 0);
    kov_ctl_set_connected(0);
    EXPECT_EQ(command(KINETRA_CMD_PAUSE), LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED);
    EXPECT_EQ(command(KINETRA_CMD_CHANGE_INTERVAL), LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED);
    EXPECT_TRUE(logged_text("Failed to send kinetra-change interval command. [-4]"));
    EXPECT_EQ(state(), KINETRA_STATE_RUNNING);
    EXPECT_EQ(last_cmd(), KINETRA_CMD_RESUME);
    EXPECT_TRUE(events.empty());
}

TEST_F(ExerciseSession, ConnectionIsReleasedWithTheLastStop)
{
    connect();
    ASSERT_EQ(command(KINETRA_CMD_START), 0);
    ASSERT_EQ(command(KINETRA_CMD_START), 0);
    ASSERT_EQ(g_get_exercise_refcnt(), 2);

    EXPECT_EQ(command(KINETRA_CMD_STOP), 0);
    EXPECT_EQ(kov_ctl_count_calls("terminateServiceConnection"), 0u) << "one session still counted";
    EXPECT_EQ(command(KINETRA_CMD_STOP), 0);
    EXPECT_EQ(kov_ctl_count_calls("terminateServiceConnection"), 1u);
    EXPECT_EQ(g_get_exercise_refcnt(), 0);
}

TEST_F(ExerciseSession, HostCommandsComeBackAsHostErrorCodes)
{
    kinetra_req_info req{};
    req.command = KINETRA_CMD_PAUSE;
    EXPECT_EQ(lbs_consumer_plugin_request(CONSUMER_ACTION_KINETRA_COMMAND, &req), CONSUMER_ERR_INVALID_KINETRA_COMMAND);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, CONSUMER_EVENT_KINETRA_PAUSED);

    req.command = 42;
    EXPECT_EQ(lbs_consumer_plugin_request(CONSUMER_ACTION_KINETRA_COMMAND, &req), CONSUMER_ERR_INVALID_KINETRA_COMMAND);
    EXPECT_TRUE(logged(DLOG_WARN, "Invalid command! [42]"));
    req.command = KINETRA_CMD_START;
    EXPECT_EQ(lbs_consumer_plugin_request(CONSUMER_ACTION_KINETRA_COMMAND, &req), CONSUMER_ERR_NONE);
    EXPECT_EQ(state(), KINETRA_STATE_RUNNING);
}

TEST_F(ExerciseSession, MissingRecordsAreRefusedWithoutHarm)
{
    EXPECT_EQ(kov_knt_handle_request(nullptr), LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(logged_text("req_info is NULL"));
    _kinetra_consumer_handle_response(nullptr);
    EXPECT_TRUE(logged_text("Invalid parameter."));

    lbs_plugin_consumer_s *kept = g_lbs_consumer;
    g_lbs_consumer = nullptr;
    std::vector<int> results;
    for (int cmd = KINETRA_CMD_START; cmd <= KINETRA_CMD_SET_AUTO_PAUSE_PARAMETER; ++cmd)
        results.push_back(command(cmd));
    exercise_info_rsp_data rsp{3, 5, 0, nullptr};
    _kinetra_consumer_handle_response(&rsp);
    g_lbs_consumer = kept;

    EXPECT_EQ(results, std::vector<int>(9, LBS_CONSUMER_PLUGIN_ERROR_NO_DATA));
    EXPECT_TRUE(logged_text("g_lbs_consumer is NULL"));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(kov_ctl_count_calls("sendData"), 0u);
}

// ---- the phone's exercise replies --------------------------------------------

TEST_F(ExerciseSession, FiguresReachTheHostOnlyWhileTheSessionRuns)
{
    phone_says(kFigures);
    EXPECT_TRUE(events.empty()) << "no session yet";
    EXPECT_TRUE(logged_text("Do not handle. current_state [0], last_cmd [2]"));

    ASSERT_EQ(command(KINETRA_CMD_START), 0);
    phone_says(kFigures);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, CONSUMER_EVENT_KINETRA_INFO);
    EXPECT_EQ(events[0].error, CONSUMER_ERR_NONE);
    ASSERT_EQ(events[0].count, 2);
    ASSERT_EQ(events[0].info.size(), 2u);
    EXPECT_EQ(events[0].info[0].timestamp, 1700000000u);
    EXPECT_EQ(events[0].info[0].latitude, 37.5);
    EXPECT_EQ(events[0].info[0].total_distance, 1200.0f);
    EXPECT_EQ(events[0].info[0].step_count, 1500);
    EXPECT_EQ(events[0].info[0].gps_status, 3);
    EXPECT_EQ(events[0].info[0].duration_time, 3600);
    EXPECT_EQ(events[0].info[1].gps_status, 1);

    ASSERT_EQ(command(KINETRA_CMD_PAUSE), 0);
    phone_says(kFigures);
    EXPECT_EQ(events.size(), 1u);
    EXPECT_TRUE(logged_text("Do not handle. current_state [3], last_cmd [4]"));

    ASSERT_EQ(command(KINETRA_CMD_RESUME), 0);
    phone_says(kFigures);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].type, CONSUMER_EVENT_KINETRA_INFO);
    EXPECT_TRUE(logged_text("LBS_VALUE_RESULT_OK. cmd [5]"));

    ASSERT_EQ(command(KINETRA_CMD_STOP), 0);
    phone_says(kFigures);
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(ExerciseSession, OkReplyWithoutFiguresGivesTheHostNothing)
{
    ASSERT_EQ(command(KINETRA_CMD_START), 0);
    phone_says(R"({"msgId":"lbs-exercise-info-rsp","result":1,"reason":0})");
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(logged_text("rsp_info->p_exercise_info is NULL"));
}

TEST_F(ExerciseSession, PhoneFailuresBecomeHostErrorsForTheLastCommand)
{
    const char *invalid = R"({"msgId":"lbs-exercise-info-rsp","result":2,"reason":1})";
    const char *insufficient = R"({"msgId":"lbs-exercise-info-rsp","result":2,"reason":2})";
    const char *unknown = R"({"msgId":"lbs-exercise-info-rsp","result":2,"reason":7})";

    phone_says(invalid);
    phone_says(insufficient); // no session: not a settings problem the host can fix
    ASSERT_EQ(command(KINETRA_CMD_START), 0);
    phone_says(insufficient);
    phone_says(unknown);
    ASSERT_EQ(command(KINETRA_CMD_PAUSE), 0);
    phone_says(insufficient);

    const std::vector<std::pair<int, int>> expected = {
        {CONSUMER_EVENT_KINETRA_STOPPED, CONSUMER_ERR_INVALID_KINETRA_COMMAND},
        {CONSUMER_EVENT_KINETRA_STOPPED, CONSUMER_ERR_UNKNOWN},
        {CONSUMER_EVENT_KINETRA_INFO, CONSUMER_ERR_LOCATION_SETTING_OFF},
        {CONSUMER_EVENT_KINETRA_INFO, CONSUMER_ERR_UNKNOWN},
        {CONSUMER_EVENT_KINETRA_PAUSED, CONSUMER_ERR_UNKNOWN},
    };
    std::vector<std::pair<int, int>> got;
    for (const Event &e : events) {
        got.emplace_back(e.type, e.error);
        EXPECT_EQ(e.count, 0);
    }
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(logged_text("LBS_VALUE_KINETRA_INVALID_COMMAND"));
    EXPECT_TRUE(logged_text("LBS_VALUE_KINETRA_INSUFFICIENT_CONDITION_FOR_SERVICE"));
    EXPECT_EQ(dlog_ctl_count_matching(nullptr, "Unknown reason [2]"), 2u);
    EXPECT_TRUE(logged_text("Unknown reason [7]"));
    EXPECT_EQ(state(), KINETRA_STATE_PAUSED) << "replies never move the session";
}

TEST_F(ExerciseSession, GpsStatusReportsReachTheHostInAnyState)
{
    const char *status_ok = R"({"msgId":"lbs-exercise-info-rsp","result":3,"reason":5})";
    phone_says(status_ok);
    ASSERT_EQ(command(KINETRA_CMD_START), 0);
    phone_says(status_ok);
    ASSERT_EQ(command(KINETRA_CMD_PAUSE), 0);
    phone_says(R"({"msgId":"lbs-exercise-info-rsp","result":3,"reason":7})");

    ASSERT_EQ(events.size(), 3u);
    const int types[] = {CONSUMER_EVENT_KINETRA_STOPPED, CONSUMER_EVENT_KINETRA_INFO, CONSUMER_EVENT_KINETRA_PAUSED};
    const int status[] = {GPS_STATUS_OK, GPS_STATUS_OK, GPS_STATUS_OFF};
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].type, types[i]);
        EXPECT_EQ(events[i].error, CONSUMER_ERR_GPS_STATUS_CHANGED);
        ASSERT_EQ(events[i].info.size(), 1u);
        EXPECT_EQ(events[i].info[0].gps_status, status[i]);
    }
    EXPECT_TRUE(logged_text("GPS status changed to [5]"));
    EXPECT_TRUE(logged_text("GPS status changed to [7]"));
}

TEST_F(ExerciseSession, UndefinedResultIsOnlyLogged)
{
    ASSERT_EQ(command(KINETRA_CMD_START), 0);
    phone_says(R"({"msgId":"lbs-exercise-info-rsp","result":4,"reason":0})");
    phone_says(R"({"msgId":"lbs-exercise-info-rsp","result":0,"reason":0})");
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(logged_text("Critical. Undefined result received from RavErodurad.[4]"));
    EXPECT_TRUE(logged_text("Critical. Undefined result received from RavErodurad.[0]"));
}

} // namespace
