// The first link's exercise session: which command goes out in which state,
// what the phone is sent and the exercise usage count. The phone's replies
// are the shared event building's (lbs_plugin_consumer_event_test.cpp).
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
#include <vector>

namespace {

constexpr int kHandle = 21;

struct Event {
    int type;
    int error;
    int count;
    bool has_info;
};

int record_event(lbs_consumer_event_s *ev, void *user_data)
{
    if (ev->type >= CONSUMER_EVENT_KINETRA_INFO && ev->type <= CONSUMER_EVENT_KINETRA_PAUSED)
        static_cast<std::vector<Event> *>(user_data)->push_back(
            {ev->type, ev->error, ev->kinetra.count, ev->kinetra.info != nullptr});
    return 0;
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

class ExerciseSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(start_registered_first_link(record_event, &events), 1);
        ASSERT_NE(g_lbs_consumer, nullptr);
    }

    void TearDown() override { stop_first_link(); }

    // A confirmed service connection: requests go out at once.
    void connect()
    {
        PeerAgent peer;
        kov_ctl_standard_peer(&peer);
        ASSERT_EQ(kov_ctl_on_svc_conn_cfrm(kRegisteredAgent, kHandle, &peer, KOV_CONNECTION_SUCCESS), 1);
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
        EXPECT_FALSE(events[0].has_info);
    }
    if (r.result == LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND && r.cmd >= KINETRA_CMD_PAUSE &&
        r.cmd <= KINETRA_CMD_CHANGE_COACHING_SET) {
        const std::string why = "LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND. err[-8], ref_cnt[" +
                                std::to_string(r.refcnt_after) + "], current_state[" + std::to_string(r.state_after) +
                                "]";
        EXPECT_TRUE(logged(DLOG_ERROR, why));
    }
}

constexpr int S = KINETRA_STATE_STOPPED, R = KINETRA_STATE_RUNNING, P = KINETRA_STATE_PAUSED;
constexpr int kNone = -1, kStopped = CONSUMER_EVENT_KINETRA_STOPPED, kPaused = CONSUMER_EVENT_KINETRA_PAUSED;
constexpr int kRefused = LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND;

// The rows the exercise scenarios do not already walk through: refusals in
// a stopped session, a second start, leaving a pause by stop or restart, and
// a start that was counted but never sent.
INSTANTIATE_TEST_SUITE_P(
    Table, CommandRules,
    ::testing::Values(
        Rule{"StoppedRestart", From::Stopped, 3, 0, {"ex3", "pdc1"}, R, 3, 0, kNone},
        Rule{"StoppedInterval", From::Stopped, 6, kRefused, {}, S, 2, 0, kStopped},
        Rule{"StoppedCoaching", From::Stopped, 7, kRefused, {}, S, 2, 0, kStopped},
        Rule{"StoppedAutoPauseParameter", From::Stopped, 9, 0, {"ex9"}, S, 2, 0, kNone},
        Rule{"StoppedUnknown", From::Stopped, 10, kRefused, {}, S, 2, 0, kNone},
        Rule{"StoppedZero", From::Stopped, 0, kRefused, {}, S, 2, 0, kNone},
        Rule{"RunningStart", From::Running, 1, 0, {"ex1", "pdc1"}, R, 1, 2, kNone},
        Rule{"RunningPause", From::Running, 4, 0, {"pdc2", "ex4"}, P, 4, 1, kNone},
        Rule{"PausedStop", From::Paused, 2, 0, {"pdc2", "ex2"}, S, 2, 0, kNone},
        Rule{"PausedRestart", From::Paused, 3, 0, {"ex3", "pdc1"}, R, 3, 1, kNone},
        Rule{"StartNeverSentPause", From::StartNeverSent, 4, kRefused, {}, S, 2, 1, kPaused},
        Rule{"StartNeverSentResume", From::StartNeverSent, 5, kRefused, {}, S, 2, 1, kNone},
        Rule{"StartNeverSentInterval", From::StartNeverSent, 6, kRefused, {}, S, 2, 1, kStopped},
        Rule{"StartNeverSentStop", From::StartNeverSent, 2, 0, {"pdc2", "ex2"}, S, 2, 0, kNone}),
    [](const ::testing::TestParamInfo<Rule> &info) { return std::string(info.param.name); });

// ---- what cannot go out, and no record at all --------------------------------

TEST_F(ExerciseSession, CommandsThatCannotBeSentLeaveTheStateButAStopStillEndsTheSession)
{
    connect();
    ASSERT_EQ(command(KINETRA_CMD_START), 0);
    ASSERT_EQ(command(KINETRA_CMD_PAUSE), 0);
    kov_ctl_set_connected(0);
    EXPECT_EQ(command(KINETRA_CMD_RESTART), LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED);
    EXPECT_EQ(command(KINETRA_CMD_RESUME), LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED);
    EXPECT_EQ(command(KINETRA_CMD_SET_AUTO_PAUSE_ENABLED), LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED);
    EXPECT_TRUE(logged(DLOG_ERROR, "Failed to send kinetra-resume command. [-4]"));
    EXPECT_EQ(state(), KINETRA_STATE_PAUSED);
    EXPECT_EQ(last_cmd(), KINETRA_CMD_PAUSE);

    kov_ctl_set_connected(1);
    ASSERT_EQ(command(KINETRA_CMD_RESUME), 0);
    kov_ctl_set_connected(0);
    EXPECT_EQ(command(KINETRA_CMD_PAUSE), LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED);
    EXPECT_EQ(command(KINETRA_CMD_CHANGE_INTERVAL), LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED);
    EXPECT_TRUE(logged(DLOG_ERROR, "Failed to send kinetra-change interval command. [-4]"));
    EXPECT_EQ(state(), KINETRA_STATE_RUNNING);
    EXPECT_EQ(last_cmd(), KINETRA_CMD_RESUME);
    EXPECT_TRUE(events.empty());

    EXPECT_EQ(command(KINETRA_CMD_STOP), 0);
    EXPECT_EQ(state(), KINETRA_STATE_STOPPED);
    EXPECT_EQ(last_cmd(), KINETRA_CMD_STOP);
    EXPECT_EQ(g_get_exercise_refcnt(), 0);
    EXPECT_TRUE(logged(DLOG_ERROR, "Failed to send kinetra-stop command. [-4]. but consumer-side will be stopped."));
}

TEST_F(ExerciseSession, MissingRecordsAreRefusedWithoutHarm)
{
    EXPECT_EQ(kov_knt_handle_request(nullptr), LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(logged(DLOG_ERROR, "req_info is NULL"));
    _kinetra_consumer_handle_response(nullptr);
    EXPECT_TRUE(logged(DLOG_ERROR, "Invalid parameter."));

    lbs_plugin_consumer_s *kept = g_lbs_consumer;
    g_lbs_consumer = nullptr;
    std::vector<int> results;
    for (int cmd = KINETRA_CMD_START; cmd <= KINETRA_CMD_SET_AUTO_PAUSE_PARAMETER; ++cmd)
        results.push_back(command(cmd));
    exercise_info_rsp_data rsp{3, 5, 0, nullptr};
    _kinetra_consumer_handle_response(&rsp);
    g_lbs_consumer = kept;

    EXPECT_EQ(results, std::vector<int>(9, LBS_CONSUMER_PLUGIN_ERROR_NO_DATA));
    EXPECT_TRUE(logged(DLOG_ERROR, "g_lbs_consumer is NULL"));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(kov_ctl_count_calls("sendData"), 0u);
}

} // namespace
