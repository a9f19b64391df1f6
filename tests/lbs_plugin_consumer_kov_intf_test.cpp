// The first link's transport where the scenarios cannot reach it cheaply:
// the exercise count's clamp, a connection retry cancelled by the last
// user's stop, and the link's stop with alarms armed and requests queued.
// The retry ladders, the queue's purge and flush, the timer hand-over and a
// request timer the record forgot when it started afresh are pinned by the
// kov_* scenarios.
#include "kov/lbs_plugin_consumer_kov_intf_internal.h"
#include "kov/lbs_plugin_consumer_main.h"

#include "kov_link_fixture.h"
#include "log_capture.h"

#include <alarmmgr_control.h>
#include <gtest/gtest.h>
#include <kov_client_control.h>
#include <vconf_control.h>

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
        g_events.clear();
        start_registered_first_link(record_event, nullptr);
    }
    void TearDown() override { stop_first_link(); }

    static void tracking(int action)
    {
        tracking_req_info req = {CONSUMER_METHOD_GPS, action == CONSUMER_ACTION_START_SESSION ? 1 : 0, 0};
        lbs_consumer_plugin_request(action, &req);
    }
    static void exercise(int command)
    {
        kinetra_req_info req = {};
        req.command = command;
        lbs_consumer_plugin_request(CONSUMER_ACTION_KINETRA_COMMAND, &req);
    }
    static void peer_found(int status)
    {
        PeerAgent peer;
        kov_ctl_standard_peer(&peer);
        kov_ctl_on_peer_agent_fnd(kRegisteredAgent, &peer, status);
    }
};

// No scenario stops an exercise that never started: the count still goes
// through -1 and is put back to 0, so the next start counts 1.
TEST_F(KovLink, ExerciseStopsWithoutASessionLeaveTheCountAtZero)
{
    exercise(KINETRA_CMD_STOP);
    exercise(KINETRA_CMD_STOP);
    EXPECT_TRUE(logged(DLOG_INFO, "refcnt [0 -> -1]"));
    EXPECT_EQ(g_lbs_consumer->exercise_refcnt, 0);
    increase_exercise_refcnt();
    EXPECT_EQ(g_get_exercise_refcnt(), 1);
}

TEST_F(KovLink, RetryStopsWhenNobodyNeedsTheLinkAnyMore)
{
    tracking(CONSUMER_ACTION_START_SESSION);
    peer_found(0);
    PeerAgent peer;
    kov_ctl_standard_peer(&peer);
    kov_ctl_on_svc_conn_cfrm(kRegisteredAgent, 1, &peer, KOV_CONNECTION_FAILURE_NETWORK);
    ASSERT_EQ(alarmmgr_ctl_count(), 1u);
    tracking(CONSUMER_ACTION_STOP_SESSION);
    EXPECT_EQ(alarmmgr_ctl_count(), 0u);
    EXPECT_EQ(kov_ctl_count_calls("createServiceConnection"), 1u);
    EXPECT_EQ(g_lbs_consumer->msg_list, nullptr);
}

TEST_F(KovLink, DeinitLeavesNothingArmedOrQueued)
{
    location_setting_req_info setting = {1};
    lbs_consumer_plugin_request(CONSUMER_ACTION_CHANGE_LOCATION_SETTING, &setting);
    tracking(CONSUMER_ACTION_START_SESSION);
    peer_found(KOV_PEER_AGENT_FIND_END);
    ASSERT_EQ(alarmmgr_ctl_count(), 2u);
    lbs_consumer_plugin_deinit(nullptr);
    EXPECT_EQ(alarmmgr_ctl_count(), 0u);
    EXPECT_EQ(g_lbs_consumer->msg_list, nullptr);
    EXPECT_EQ(g_lbs_consumer->pos_refcnt, 0);
    EXPECT_EQ(vconf_ctl_watcher_count(KOV_CONN_STATUS_KEY), 0u);
    EXPECT_EQ(vconf_ctl_watcher_count(KOV_CONN_TYPE_KEY), 0u);
}

} // namespace
