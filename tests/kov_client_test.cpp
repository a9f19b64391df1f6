// The accessory framework stand-in: results set per call, callbacks delivered
// to the registered tables, and the auto mode that answers on later turns of
// the main loop, one answer a turn, never inside the call.
#include <kov_client.h>
#include <kov_client_control.h>

#include <glib.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using Seen = std::vector<std::string>;
Seen g_seen;
bool g_inside_call = false;
bool g_answered_inside_call = false;
// When set, callbacks carry on the way the plugin does: a confirmed
// registration looks for the peer, a found peer is connected to.
bool g_chain = false;

std::string str(const PeerAgent *p)
{
    return std::to_string(p->PeerDeviceID) + "/" + std::to_string(p->PeerAgentId) + "/" + p->ALEName + "/" +
           p->ASPID + "/" + p->ProfileVersion;
}

// Keeps a delivery as its words, separated by one space.
template <typename... Args> void note(Args... args)
{
    if (g_inside_call)
        g_answered_inside_call = true;
    std::ostringstream s;
    const char *sep = "";
    ((s << sep << args, sep = " "), ...);
    g_seen.push_back(s.str());
}

KOVNotification table()
{
    KOVNotification t{};
    t.on_regi_svc_agent_cfrm = [](int result, unsigned agent) {
        note("regi", result, agent);
        if (g_chain)
            findPeerAgent(agent);
    };
    t.on_data_ind = [](int handle, unsigned short channel, unsigned length, const void *buffer) {
        note("data", handle, channel, std::string(static_cast<const char *>(buffer), length));
    };
    t.on_svc_term_ind = [](int handle, int status) { note("term", handle, status); };
    t.on_svc_conn_cfrm = [](unsigned agent, int handle, PeerAgent *p, int status) {
        note("conn_cfrm", agent, handle, str(p), status);
    };
    t.on_peer_agent_fnd = [](unsigned agent, PeerAgent *p, int status) {
        note("peer", agent, str(p), status);
        if (g_chain && status == KOV_PEER_AGENT_FOUND)
            createServiceConnection(agent, p);
    };
    t.on_deregi_svc_agent_cfrm = [](int result) { note("deregi", result); };
    return t;
}

const std::string kPeer = "1/2/provider/aspid/1.0";

class Framework : public ::testing::Test {
protected:
    void SetUp() override
    {
        kov_ctl_reset();
        g_seen.clear();
        g_inside_call = g_answered_inside_call = g_chain = false;
    }
    void TearDown() override
    {
        kov_ctl_reset();
        turns();
    }

    // Runs the main loop until nothing is ready; returns how many turns it took.
    static int turns()
    {
        int n = 0;
        while (g_main_context_iteration(nullptr, FALSE))
            ++n;
        return n;
    }
    static bool one_turn() { return g_main_context_iteration(nullptr, FALSE); }

    static void automatic()
    {
        ASSERT_EQ(registerNotifications(table()), 0);
        kov_ctl_set_auto(1);
    }
};

TEST_F(Framework, AutoModeAnswersOneCallATurnInOrderNeverInsideTheCall)
{
    automatic();
    g_chain = true;
    g_inside_call = true;
    EXPECT_EQ(registerServiceAgent(ServiceDesc{}), 0);
    EXPECT_EQ(terminateServiceConnection(4), 0);
    EXPECT_EQ(deRegisterServiceAgent(1), 0);
    g_inside_call = false;
    EXPECT_TRUE(g_seen.empty());

    // Answers the callbacks ask for queue up behind those asked for before.
    EXPECT_EQ(turns(), 5);
    EXPECT_FALSE(g_answered_inside_call);
    EXPECT_EQ(g_seen, (Seen{"regi 0 1", "term 4 0", "deregi 0", "peer 1 " + kPeer + " 0",
                            "conn_cfrm 1 1 " + kPeer + " 0"}));
    EXPECT_EQ(kov_ctl_agent_id(), 1u);
    EXPECT_EQ(kov_ctl_service_handle(), 1);
}

TEST_F(Framework, ResultsAreSetPerCallAndOnlyCallsAcceptedInAutoModeAreAnswered)
{
    automatic();
    EXPECT_EQ(kov_ctl_set_result("isKovConnected", 1), 0);
    EXPECT_EQ(kov_ctl_set_result(nullptr, 1), 0);
    ASSERT_EQ(kov_ctl_set_result("findPeerAgent", 2), 1);
    EXPECT_EQ(findPeerAgent(1), 2);
    ASSERT_EQ(kov_ctl_set_result("sendData", KOV_SEND_DATA_BUFFER_FULL), 1);
    EXPECT_EQ(sendData(1, 169, 2, "{}tail"), KOV_SEND_DATA_BUFFER_FULL);
    EXPECT_STREQ(kov_ctl_call_at(2)->text, "{}");
    EXPECT_EQ(deRegisterServiceAgent(1), 0);
    // Turning auto mode off stops new answers, not those already queued.
    kov_ctl_set_auto(0);
    EXPECT_EQ(terminateServiceConnection(1), 0);
    EXPECT_EQ(turns(), 1);
    EXPECT_EQ(g_seen, Seen{"deregi 0"});
}

TEST_F(Framework, ResetDropsAnswersNotYetDelivered)
{
    automatic();
    deRegisterServiceAgent(1);
    kov_ctl_reset();
    EXPECT_EQ(kov_ctl_call_count(), 0u);
    EXPECT_EQ(kov_ctl_get_notifications(nullptr), 0);

    // Answers to calls made afresh still come one a turn.
    automatic();
    findPeerAgent(3);
    deRegisterServiceAgent(3);
    ASSERT_TRUE(one_turn());
    EXPECT_EQ(g_seen, Seen{"peer 3 " + kPeer + " 0"});
}

TEST_F(Framework, TableIsRegisteredOnlyWhenAcceptedAndKeptForAnAnswerAfterDeregistration)
{
    kov_ctl_set_result("registerNotifications", -1);
    EXPECT_EQ(registerNotifications(table()), -1);
    EXPECT_EQ(kov_ctl_get_notifications(nullptr), 0);
    EXPECT_EQ(kov_ctl_on_device_status(1, 1), 0);

    kov_ctl_set_result("registerNotifications", 0);
    automatic();
    deRegisterServiceAgent(4);
    deregisterNotifications();
    EXPECT_EQ(kov_ctl_get_notifications(nullptr), 0);
    turns();
    EXPECT_EQ(g_seen, Seen{"deregi 0"});
}

TEST_F(Framework, DeliveriesReachOnlyTheSlotsRegistered)
{
    registerNotifications(table());
    PeerAgent peer;
    kov_ctl_standard_peer(&peer);
    EXPECT_EQ(kov_ctl_on_regi_svc_agent_cfrm(0, 7), 1);
    EXPECT_EQ(kov_ctl_on_regi_svc_agent_cfrm(1, 6), 1);
    EXPECT_EQ(kov_ctl_on_data_ind(2, 169, 4, "abcdef"), 1);
    EXPECT_EQ(kov_ctl_on_peer_agent_updated(7, &peer, 0), 0);
    EXPECT_EQ(kov_ctl_on_send_file(12, "/phone/map.jpg", 7), 0);
    EXPECT_EQ(g_seen, (Seen{"regi 0 7", "regi 1 6", "data 2 169 abcd"}));
    // What later answers of a scenario fill in: the agent confirmed, the file offered.
    EXPECT_EQ(kov_ctl_agent_id(), 7u);
    EXPECT_EQ(kov_ctl_last_offer_transaction_id(), 12);

    // Every delivery gets the standard peer whole, whatever the last one did to it.
    peer.ALEName[0] = 'X';
    kov_ctl_standard_peer(&peer);
    EXPECT_EQ(str(&peer), kPeer);
}

} // namespace
