// The first link's transport below the scenarios: the usage-count clamp, the
// purge of queued requests by a stop that cannot be sent, the retry ladders,
// and the hand-over of request timers on a confirmed connection.
#include "kov/lbs_plugin_consumer_json_builder.h"
#include "kov/lbs_plugin_consumer_kov_intf_internal.h"
#include "kov/lbs_plugin_consumer_main.h"

#include "kov_link_fixture.h"
#include "log_capture.h"

#include <alarmmgr_control.h>
#include <device_power_control.h>
#include <gtest/gtest.h>
#include <kov_client_control.h>
#include <vconf_control.h>

#include <string>
#include <vector>

namespace {

std::vector<int> g_events;

int record_event(lbs_consumer_event_s *ev, void *)
{
    g_events.push_back(ev->type);
    return 0;
}

class KovLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        device_power_ctl_reset();
        g_events.clear();
        start_registered_first_link(record_event, nullptr);
    }
    void TearDown() override { stop_first_link(); }

    // Vocabulary.
    static int request(int action, void *data) { return lbs_consumer_plugin_request(action, data); }
    static void start(int method)
    {
        tracking_req_info req = {method, 1, 0};
        request(CONSUMER_ACTION_START_SESSION, &req);
    }
    static void stop(int method)
    {
        tracking_req_info req = {method, 0, 0};
        request(CONSUMER_ACTION_STOP_SESSION, &req);
    }
    static void change_interval(int method, int interval)
    {
        tracking_req_info req = {method, interval, 0};
        request(CONSUMER_ACTION_CHANGE_INTERVAL, &req);
    }
    static void exercise(int command)
    {
        kinetra_req_info req = {};
        req.command = command;
        request(CONSUMER_ACTION_KINETRA_COMMAND, &req);
    }
    static void peer_found(int status)
    {
        PeerAgent peer;
        kov_ctl_standard_peer(&peer);
        kov_ctl_on_peer_agent_fnd(7, &peer, status);
    }
    static void connection_confirmed(int status)
    {
        PeerAgent peer;
        kov_ctl_standard_peer(&peer);
        kov_ctl_on_svc_conn_cfrm(7, 1, &peer, status);
    }
    static void run_idle()
    {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
    static std::vector<std::string> queued()
    {
        std::vector<std::string> out;
        for (GList *l = g_lbs_consumer->msg_list; l != nullptr; l = l->next)
            out.emplace_back(static_cast<const char *>(l->data));
        return out;
    }
    static std::vector<std::string> sent()
    {
        std::vector<std::string> out;
        for (size_t i = 0; i < kov_ctl_call_count(); ++i) {
            const kov_ctl_call *c = kov_ctl_call_at(i);
            if (std::string(c->name) == "sendData")
                out.emplace_back(c->text, c->length);
        }
        return out;
    }
    // Delays of the alarms armed so far, in order.
    static std::vector<int64_t> delays_of(alarm_id_t from)
    {
        std::vector<int64_t> out;
        for (alarm_id_t id = from; id < from + 64; ++id) {
            int64_t due = 0;
            if (alarmmgr_ctl_get(id, &due, nullptr))
                out.push_back(due - alarmmgr_ctl_now());
        }
        return out;
    }
};

TEST_F(KovLink, CountsNeverGoBelowZero)
{
    ASSERT_EQ(g_lbs_consumer->pos_refcnt, 0);
    decrease_pos_refcnt();
    EXPECT_EQ(g_lbs_consumer->pos_refcnt, 0);
    EXPECT_TRUE(logged(DLOG_INFO, "refcnt [0 -> -1]"));
    increase_pos_refcnt();
    EXPECT_EQ(g_get_pos_refcnt(), 1);

    decrease_exercise_refcnt();
    decrease_exercise_refcnt();
    EXPECT_EQ(g_get_exercise_refcnt(), 0);
    increase_exercise_refcnt();
    EXPECT_EQ(g_get_exercise_refcnt(), 1);

    // A stop at zero (no session) keeps the count at zero for the next user.
    stop(CONSUMER_METHOD_GPS);
    stop(CONSUMER_METHOD_GPS);
    EXPECT_EQ(g_get_pos_refcnt(), 0);
    start(CONSUMER_METHOD_GPS);
    EXPECT_EQ(g_get_pos_refcnt(), 1);
}

TEST_F(KovLink, StopThatCannotBeSentPurgesOnlyItsMethod)
{
    start(CONSUMER_METHOD_GPS);
    start(CONSUMER_METHOD_WPS);
    change_interval(CONSUMER_METHOD_GPS, 5);
    change_interval(CONSUMER_METHOD_WPS, 6);
    tracking_req_info batch = {CONSUMER_METHOD_GPS, 0, 30};
    request(CONSUMER_ACTION_CHANGE_BATCH_PERIOD, &batch);
    request(CONSUMER_ACTION_CHECK_LOCATION_SETTING, nullptr);
    ASSERT_EQ(queued().size(), 6u);

    stop(CONSUMER_METHOD_GPS);

    const std::vector<std::string> left = queued();
    ASSERT_EQ(left.size(), 3u);
    for (const std::string &text : left)
        EXPECT_EQ(text.find("\"method\":1"), std::string::npos) << text;
    EXPECT_NE(left[0].find("\"method\":2"), std::string::npos);
    EXPECT_NE(left[2].find("lbs-location-setting-check-req"), std::string::npos);
    EXPECT_TRUE(logged(DLOG_ERROR, "Removed [3] pended cmd. remained pending messages [3]"));
    // The stop itself is never queued.
    for (const std::string &text : left)
        EXPECT_EQ(text.find("\"cmd\":2"), std::string::npos) << text;
}

TEST_F(KovLink, ExerciseStopThatCannotBeSentPurgesEveryExerciseCommand)
{
    start(CONSUMER_METHOD_WPS);
    exercise(1);
    exercise(4);
    ASSERT_EQ(queued().size(), 5u); // WPS start, exercise start, PDC start, PDC stop, pause
    exercise(2);
    const std::vector<std::string> left = queued();
    for (const std::string &text : left)
        EXPECT_EQ(text.find("lbs-exercise-info-req"), std::string::npos) << text;
    // The PDC requests travel with their own message id and stay.
    EXPECT_EQ(left.size(), 4u);
    EXPECT_NE(left[0].find("lbs-tracking-location-req"), std::string::npos);
}

TEST_F(KovLink, QueuedRequestsGoOutOnceAfterTheConfirmation)
{
    start(CONSUMER_METHOD_GPS);
    start(CONSUMER_METHOD_GPS);
    EXPECT_TRUE(sent().empty());
    peer_found(0);
    connection_confirmed(0);
    EXPECT_TRUE(sent().empty()) << "the flush runs from the main loop, not inside the confirmation";
    run_idle();
    const std::vector<std::string> out = sent();
    ASSERT_EQ(out.size(), 2u) << "requests are not merged";
    EXPECT_EQ(out[0], out[1]);
    EXPECT_EQ(g_lbs_consumer->msg_list, nullptr);
    EXPECT_EQ(g_lbs_consumer->pending_idle_id, 0u);
    EXPECT_EQ(device_power_ctl_count(), 2u); // the confirmation and the flush
}

TEST_F(KovLink, ConfirmationHandsWaitConnectionTimersOverToWaitResponse)
{
    location_setting_req_info setting = {1};
    extra_data_req_info extra = {3};
    here_map_req_info map = {"id", "code", 10, 10, 0.0, 0.0, 1.0f, 5};
    request(CONSUMER_ACTION_CHANGE_LOCATION_SETTING, &setting);
    request(CONSUMER_ACTION_REQUEST_EXTRA_DATA, &extra);
    ASSERT_EQ(request(CONSUMER_ACTION_HERE_MAP_IMAGE, &map), CONSUMER_ERR_NONE);
    const alarm_id_t *timers = g_lbs_consumer->req_timer;
    int64_t due = 0;
    ASSERT_TRUE(alarmmgr_ctl_get(timers[REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_CONNECTION], &due, nullptr));
    EXPECT_EQ(due, 20);
    ASSERT_TRUE(alarmmgr_ctl_get(timers[REQ_TIMER_TYPE_GPSPLUS_WAIT_CONNECTION], &due, nullptr));
    EXPECT_EQ(due, 360);
    ASSERT_TRUE(alarmmgr_ctl_get(timers[REQ_TIMER_TYPE_HERE_MAP_WAIT_CONNECTION], &due, nullptr));
    EXPECT_EQ(due, 360);
    EXPECT_EQ(g_lbs_consumer->gps_plus_req_id, REQ_GPS_PLUS_METHOD_1);

    alarmmgr_ctl_advance(5);
    peer_found(0);
    connection_confirmed(0);

    for (int t : {REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_CONNECTION, REQ_TIMER_TYPE_GPSPLUS_WAIT_CONNECTION,
                  REQ_TIMER_TYPE_HERE_MAP_WAIT_CONNECTION})
        EXPECT_EQ(timers[t], 0) << "timer " << t;
    ASSERT_TRUE(alarmmgr_ctl_get(timers[REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_RESPONSE], &due, nullptr));
    EXPECT_EQ(due, 15);
    ASSERT_TRUE(alarmmgr_ctl_get(timers[REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE], &due, nullptr));
    EXPECT_EQ(due, 15);
    ASSERT_TRUE(alarmmgr_ctl_get(timers[REQ_TIMER_TYPE_HERE_MAP_WAIT_RESPONSE], &due, nullptr));
    EXPECT_EQ(due, 65);
    EXPECT_EQ(alarmmgr_ctl_count(), 3u);

    // The flush sends the three texts; sending them does not restart timers.
    run_idle();
    EXPECT_EQ(sent().size(), 3u);
    EXPECT_EQ(alarmmgr_ctl_count(), 3u);

    // No answer: each one is answered by its timer.
    alarmmgr_ctl_advance(60);
    EXPECT_EQ(g_events, (std::vector<int>{CONSUMER_EVENT_PROVIDER_CONNECTED, CONSUMER_EVENT_LOCATION_SETTING_CHANGE,
                                          CONSUMER_EVENT_EXTRA_DATA, CONSUMER_EVENT_HERE_MAP_DOWNLOAD}));
    EXPECT_EQ(g_get_pos_refcnt(), 0);
    EXPECT_EQ(kov_ctl_count_calls("terminateServiceConnection"), 1u);
}

TEST_F(KovLink, PeerSearchRetriesSevenTimesTwoSecondsApartThenGivesUp)
{
    start(CONSUMER_METHOD_GPS);
    ASSERT_EQ(kov_ctl_count_calls("findPeerAgent"), 1u);
    std::vector<int64_t> waits;
    for (int i = 0; i < 8; ++i) {
        peer_found(KOV_PEER_AGENT_FIND_TIMEDOUT);
        const int64_t next = alarmmgr_ctl_next_due();
        if (next < 0)
            break;
        waits.push_back(next - alarmmgr_ctl_now());
        alarmmgr_ctl_advance(next - alarmmgr_ctl_now());
    }
    EXPECT_EQ(waits, (std::vector<int64_t>{2, 4, 6, 8, 10, 12, 14}));
    EXPECT_EQ(kov_ctl_count_calls("findPeerAgent"), 8u);
    EXPECT_TRUE(logged(DLOG_WARN, "max try count reached [7]"));
    EXPECT_EQ(g_events.back(), CONSUMER_EVENT_PROVIDER_DISCONNECTED);
    EXPECT_EQ(g_lbs_consumer->is_find_peer_working, 0);
    EXPECT_EQ(device_power_ctl_count(), 7u);
}

TEST_F(KovLink, ConnectionRetriesFifteenTimesThreeSecondsApartThenGivesUp)
{
    start(CONSUMER_METHOD_GPS);
    peer_found(0);
    std::vector<int64_t> waits;
    for (int i = 0; i < 16; ++i) {
        connection_confirmed(KOV_CONNECTION_FAILURE_NETWORK);
        const int64_t next = alarmmgr_ctl_next_due();
        if (next < 0)
            break;
        waits.push_back(next - alarmmgr_ctl_now());
        alarmmgr_ctl_advance(next - alarmmgr_ctl_now());
    }
    std::vector<int64_t> expected;
    for (int n = 1; n <= 15; ++n)
        expected.push_back(3 * n);
    EXPECT_EQ(waits, expected);
    EXPECT_EQ(kov_ctl_count_calls("createServiceConnection"), 16u);
    EXPECT_TRUE(logged(DLOG_WARN, "max try count reached [15]"));
    // The host was told the provider is reachable, and nothing says otherwise.
    EXPECT_EQ(g_events.back(), CONSUMER_EVENT_START_SESSION);
    EXPECT_EQ(g_lbs_consumer->real_service_connection_status, 0);
}

TEST_F(KovLink, RetryStopsWhenNobodyNeedsTheLinkAnyMore)
{
    start(CONSUMER_METHOD_GPS);
    peer_found(0);
    connection_confirmed(KOV_CONNECTION_FAILURE_NETWORK);
    ASSERT_EQ(alarmmgr_ctl_count(), 1u);
    stop(CONSUMER_METHOD_GPS); // cancels the retry
    EXPECT_EQ(alarmmgr_ctl_count(), 0u);
    EXPECT_EQ(kov_ctl_count_calls("createServiceConnection"), 1u);
    EXPECT_EQ(g_lbs_consumer->msg_list, nullptr);
}

TEST_F(KovLink, ExerciseAloneKeepsTheConnection)
{
    exercise(1);
    peer_found(0);
    connection_confirmed(0);
    run_idle();
    start(CONSUMER_METHOD_GPS);
    stop(CONSUMER_METHOD_GPS);
    EXPECT_EQ(kov_ctl_count_calls("terminateServiceConnection"), 0u);
    exercise(2);
    EXPECT_EQ(kov_ctl_count_calls("terminateServiceConnection"), 1u);
}

TEST_F(KovLink, DeinitLeavesNothingArmedOrQueued)
{
    location_setting_req_info setting = {1};
    request(CONSUMER_ACTION_CHANGE_LOCATION_SETTING, &setting);
    start(CONSUMER_METHOD_GPS);
    peer_found(KOV_PEER_AGENT_FIND_END);
    ASSERT_EQ(alarmmgr_ctl_count(), 2u);
    lbs_consumer_plugin_deinit(nullptr);
    EXPECT_EQ(alarmmgr_ctl_count(), 0u);
    EXPECT_EQ(g_lbs_consumer->msg_list, nullptr);
    EXPECT_EQ(g_lbs_consumer->pos_refcnt, 0);
    EXPECT_EQ(vconf_ctl_watcher_count(KOV_CONN_STATUS_KEY), 0u);
    EXPECT_EQ(vconf_ctl_watcher_count(KOV_CONN_TYPE_KEY), 0u);
}

// A request queued before the registration is confirmed finds no agent: the
// record starts afresh, forgetting the request's timer, which still fires
// and answers the host once. A stop before that takes the timer back.
TEST_F(KovLink, AFreshStartForgetsArmedTimersButTheStopTakesThemBack)
{
    const auto restart_unconfirmed = []() {
        lbs_consumer_plugin_deinit(nullptr);
        kov_ctl_reset();
        kov_ctl_set_connected(1);
        lbs_consumer_plugin_init(record_event, nullptr); // no confirmation: no agent id
        g_events.clear();
    };
    location_setting_req_info setting = {1};

    restart_unconfirmed();
    request(CONSUMER_ACTION_CHANGE_LOCATION_SETTING, &setting);
    EXPECT_TRUE(logged(DLOG_ERROR, "agent_id is invalid [0]"));
    EXPECT_EQ(g_lbs_consumer->req_timer[REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_CONNECTION], 0);
    ASSERT_EQ(alarmmgr_ctl_count(), 1u);
    alarmmgr_ctl_advance(20);
    EXPECT_EQ(g_events, std::vector<int>{CONSUMER_EVENT_LOCATION_SETTING_CHANGE});

    restart_unconfirmed();
    request(CONSUMER_ACTION_CHANGE_LOCATION_SETTING, &setting);
    ASSERT_EQ(alarmmgr_ctl_count(), 1u);
    lbs_consumer_plugin_deinit(nullptr);
    EXPECT_EQ(alarmmgr_ctl_count(), 0u);
    alarmmgr_ctl_advance(30);
    EXPECT_TRUE(g_events.empty());
}

} // namespace
