// The accessory framework stand-in: results set per call, calls recorded as
// made, callbacks delivered to the registered tables, and the auto mode that
// answers on later turns of the main loop, never inside the call.
#include <kov_client.h>
#include <kov_client_control.h>

#include <glib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_seen;
bool g_inside_call = false;
bool g_answered_inside_call = false;

void note(const std::string &s)
{
    if (g_inside_call)
        g_answered_inside_call = true;
    g_seen.push_back(s);
}

std::string peer_text(const PeerAgent *p)
{
    if (p == nullptr)
        return "NULL";
    return std::to_string(p->PeerDeviceID) + "/" + std::to_string(p->PeerAgentId) + "/" + p->ALEName + "/" +
           p->ASPID + "/" + p->ProfileVersion;
}

// When set, a registration confirmation carries on the way the plugin does:
// it looks for the peer, and a found peer is connected to.
bool g_chain = false;

void on_regi(int result, unsigned int agent)
{
    note("regi " + std::to_string(result) + " " + std::to_string(agent));
    if (g_chain)
        findPeerAgent(agent);
}
void on_data(int handle, unsigned short channel, unsigned int length, const void *buffer)
{
    note("data " + std::to_string(handle) + " " + std::to_string(channel) + " " +
         std::string(static_cast<const char *>(buffer), length));
}
void on_conn_ind(unsigned int a, unsigned int b, PeerAgent *p)
{
    note("conn_ind " + std::to_string(a) + " " + std::to_string(b) + " " + peer_text(p));
}
void on_term(int handle, int status)
{
    note("term " + std::to_string(handle) + " " + std::to_string(status));
}
void on_conn_cfrm(unsigned int agent, int handle, PeerAgent *p, int status)
{
    note("conn_cfrm " + std::to_string(agent) + " " + std::to_string(handle) + " " + peer_text(p) + " " +
         std::to_string(status));
}
void on_peer(unsigned int agent, PeerAgent *p, int status)
{
    note("peer " + std::to_string(agent) + " " + peer_text(p) + " " + std::to_string(status));
    if (g_chain && status == KOV_PEER_AGENT_FOUND)
        createServiceConnection(agent, p);
}
void on_error(unsigned int agent, int code)
{
    note("error " + std::to_string(agent) + " " + std::to_string(code));
}
void on_deregi(int result)
{
    note("deregi " + std::to_string(result));
}
void on_device(unsigned int type, int status)
{
    note("device " + std::to_string(type) + " " + std::to_string(status));
}
void on_send_file(int tx, const char *path, unsigned int agent)
{
    note("send_file " + std::to_string(tx) + " " + path + " " + std::to_string(agent));
}
void on_received(int tx, const char *path, int result)
{
    note("received " + std::to_string(tx) + " " + (path != nullptr ? path : "NULL") + " " + std::to_string(result));
}

KOVNotification table()
{
    KOVNotification t{};
    t.on_regi_svc_agent_cfrm = on_regi;
    t.on_data_ind = on_data;
    t.on_svc_conn_ind = on_conn_ind;
    t.on_svc_term_ind = on_term;
    t.on_svc_conn_cfrm = on_conn_cfrm;
    t.on_peer_agent_fnd = on_peer;
    t.on_error = on_error;
    t.on_deregi_svc_agent_cfrm = on_deregi;
    t.on_device_status = on_device;
    return t;
}

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

    static ServiceDesc service(ChannelDesc *channel)
    {
        *channel = ChannelDesc{169, 2, 3, {0, 0, 0}};
        ServiceDesc d{};
        d.profile_id = "/system/lbs-server";
        d.service_name = "lbs-server";
        d.role = 1;
        d.version = 1;
        d.channels = channel;
        d.channel_count = 1;
        return d;
    }
};

TEST_F(Framework, AutoModeAnswersOnALaterTurnNeverInsideTheCall)
{
    ASSERT_EQ(registerNotifications(table()), 0);
    kov_ctl_set_auto(1);
    ChannelDesc ch;
    g_inside_call = true;
    EXPECT_EQ(registerServiceAgent(service(&ch)), 0);
    EXPECT_EQ(findPeerAgent(9), 0);
    g_inside_call = false;
    EXPECT_TRUE(g_seen.empty());

    turns();
    EXPECT_FALSE(g_answered_inside_call);
    EXPECT_EQ(g_seen, (std::vector<std::string>{"regi 0 1", "peer 9 1/2/provider/aspid/1.0 0"}));
}

TEST_F(Framework, AutoModeGivesEachAnswerATurnOfItsOwnInOrderOfTheCalls)
{
    registerNotifications(table());
    kov_ctl_set_auto(1);
    PeerAgent peer;
    kov_ctl_standard_peer(&peer);
    findPeerAgent(5);
    createServiceConnection(5, &peer);
    terminateServiceConnection(1);
    deRegisterServiceAgent(5);

    const std::vector<std::string> expected = {
        "peer 5 1/2/provider/aspid/1.0 0",
        "conn_cfrm 5 1 1/2/provider/aspid/1.0 0",
        "term 1 0",
        "deregi 0",
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_TRUE(one_turn());
        ASSERT_EQ(g_seen.size(), i + 1) << "turn " << i;
        EXPECT_EQ(g_seen.back(), expected[i]);
    }
    EXPECT_FALSE(one_turn());
    EXPECT_EQ(kov_ctl_service_handle(), 1);
}

TEST_F(Framework, AutoModeFollowsTheAgentFromRegistrationToConnection)
{
    registerNotifications(table());
    kov_ctl_set_auto(1);
    g_chain = true;
    ChannelDesc ch;
    registerServiceAgent(service(&ch));
    EXPECT_EQ(turns(), 3);
    EXPECT_EQ(g_seen, (std::vector<std::string>{"regi 0 1", "peer 1 1/2/provider/aspid/1.0 0",
                                                "conn_cfrm 1 1 1/2/provider/aspid/1.0 0"}));
    EXPECT_EQ(kov_ctl_agent_id(), 1u);
}

TEST_F(Framework, RefusedCallsAndCallsOutsideAutoModeGetNoAnswer)
{
    registerNotifications(table());
    kov_ctl_set_auto(1);
    ASSERT_EQ(kov_ctl_set_result("findPeerAgent", 2), 1);
    EXPECT_EQ(findPeerAgent(1), 2);
    EXPECT_EQ(turns(), 0);

    kov_ctl_set_auto(0);
    EXPECT_EQ(terminateServiceConnection(1), 0);
    EXPECT_EQ(turns(), 0);
    EXPECT_TRUE(g_seen.empty());
}

TEST_F(Framework, ResetDropsAnswersNotYetDelivered)
{
    registerNotifications(table());
    kov_ctl_set_auto(1);
    deRegisterServiceAgent(1);
    kov_ctl_reset();
    turns();
    EXPECT_TRUE(g_seen.empty());
    EXPECT_EQ(kov_ctl_call_count(), 0u);
}

TEST_F(Framework, ResultsAreSetPerCallAndOnlyForCallsThatHaveOne)
{
    EXPECT_EQ(kov_ctl_set_result("sendData", KOV_SEND_DATA_BUFFER_FULL), 1);
    EXPECT_EQ(kov_ctl_set_result("isKovConnected", 1), 0);
    EXPECT_EQ(kov_ctl_set_result("sendFile", 1), 0);
    EXPECT_EQ(kov_ctl_set_result(nullptr, 1), 0);
    EXPECT_EQ(sendData(1, 169, 2, "{}"), KOV_SEND_DATA_BUFFER_FULL);
    EXPECT_EQ(receiveFile(3, "/x", 1), 0);
    EXPECT_EQ(isKovConnected(), 0);
    kov_ctl_set_connected(3);
    EXPECT_EQ(isKovConnected(), 3);
}

TEST_F(Framework, RefusedNotificationTableIsNotRegistered)
{
    kov_ctl_set_result("registerNotifications", -1);
    EXPECT_EQ(registerNotifications(table()), -1);
    EXPECT_EQ(kov_ctl_get_notifications(nullptr), 0);
    EXPECT_EQ(kov_ctl_on_device_status(1, 1), 0);
}

TEST_F(Framework, CallsAreRecordedWithTheirArgumentsAsMade)
{
    const char text[] = "{\"msgId\":\"x\"}tail";
    sendData(7, 169, 13, text);
    receiveFile(4, "/tmp/gpsPlus.dat", 0);
    PeerAgent peer{};
    peer.PeerDeviceID = 11;
    peer.PeerAgentId = 12;
    createServiceConnection(3, &peer);
    rejectServiceConnection(3, 8, nullptr);

    ASSERT_EQ(kov_ctl_call_count(), 4u);
    const kov_ctl_call *send = kov_ctl_call_at(0);
    EXPECT_STREQ(send->name, "sendData");
    EXPECT_EQ(send->service_handle, 7);
    EXPECT_EQ(send->channel_id, 169);
    EXPECT_EQ(send->length, 13u);
    EXPECT_STREQ(send->text, "{\"msgId\":\"x\"}");
    const kov_ctl_call *recv = kov_ctl_call_at(1);
    EXPECT_EQ(recv->transaction_id, 4);
    EXPECT_STREQ(recv->text, "/tmp/gpsPlus.dat");
    EXPECT_EQ(recv->accept, 0);
    const kov_ctl_call *conn = kov_ctl_call_at(2);
    EXPECT_EQ(conn->agent_id, 3u);
    EXPECT_EQ(conn->has_peer, 1);
    EXPECT_EQ(conn->peer_device_id, 11u);
    EXPECT_EQ(conn->peer_agent_id, 12u);
    const kov_ctl_call *reject = kov_ctl_call_at(3);
    EXPECT_EQ(reject->connection_id, 8u);
    EXPECT_EQ(reject->has_peer, 0);
    EXPECT_EQ(kov_ctl_count_calls("sendData"), 1u);
    EXPECT_EQ(kov_ctl_call_at(4), nullptr);
}

TEST_F(Framework, ServiceDescriptorIsTakenByValueAndItsTextsCopied)
{
    char profile[] = "/system/lbs-server";
    ChannelDesc ch;
    ServiceDesc d = service(&ch);
    d.profile_id = profile;
    registerServiceAgent(d);
    profile[1] = 'X';
    ch.channel_id = 1;

    ServiceDesc kept{};
    ChannelDesc kept_channel{};
    ASSERT_EQ(kov_ctl_get_service_desc(&kept, &kept_channel), 1);
    EXPECT_STREQ(kept.profile_id, "/system/lbs-server");
    EXPECT_STREQ(kept.service_name, "lbs-server");
    EXPECT_EQ(kept.role, 1u);
    EXPECT_EQ(kept.version, 1);
    EXPECT_EQ(kept.channel_count, 1);
    EXPECT_EQ(kept_channel.channel_id, 169);
    EXPECT_EQ(kept_channel.qos_type, 2);
    EXPECT_EQ(kept_channel.qos_data_rate, 3u);
    EXPECT_STREQ(kov_ctl_call_at(0)->profile_id, "/system/lbs-server");
    EXPECT_EQ(kov_ctl_call_at(0)->channel_id, 169);
}

TEST_F(Framework, DeliveriesCallTheRegisteredTablesWithTheArgumentsGiven)
{
    EXPECT_EQ(kov_ctl_on_regi_svc_agent_cfrm(0, 7), 0);
    registerNotifications(table());
    file_transfer_notification ft{};
    ft.on_send_file = on_send_file;
    ft.on_receive_completed = on_received;
    registerFTNotifications(ft);

    PeerAgent peer;
    kov_ctl_standard_peer(&peer);
    EXPECT_EQ(kov_ctl_on_regi_svc_agent_cfrm(0, 7), 1);
    EXPECT_EQ(kov_ctl_on_data_ind(2, 169, 4, "abcdef"), 1);
    EXPECT_EQ(kov_ctl_on_svc_conn_ind(7, 4, &peer), 1);
    EXPECT_EQ(kov_ctl_on_error(7, KOV_ERROR_IPC_DISCONNECTED), 1);
    EXPECT_EQ(kov_ctl_on_device_status(KOV_DEVICE_TYPE_BT, KOV_DEVICE_DETACHED), 1);
    EXPECT_EQ(kov_ctl_on_send_file(12, "/phone/map.jpg", 7), 1);
    EXPECT_EQ(kov_ctl_on_receive_completed(12, nullptr, 5), 1);
    // Slots left NULL are not called.
    EXPECT_EQ(kov_ctl_on_peer_agent_updated(7, &peer, 0), 0);
    EXPECT_EQ(kov_ctl_on_file_recv_progress(12, 50, 7), 0);

    EXPECT_EQ(g_seen, (std::vector<std::string>{
                          "regi 0 7",
                          "data 2 169 abcd",
                          "conn_ind 7 4 1/2/provider/aspid/1.0",
                          "error 7 1",
                          "device 1 0",
                          "send_file 12 /phone/map.jpg 7",
                          "received 12 NULL 5",
                      }));
    EXPECT_EQ(kov_ctl_agent_id(), 7u);
    EXPECT_EQ(kov_ctl_last_offer_transaction_id(), 12);
}

TEST_F(Framework, DeregistrationConfirmationStillArrivesAfterDeregisterNotifications)
{
    registerNotifications(table());
    kov_ctl_set_auto(1);
    deRegisterServiceAgent(4);
    deregisterNotifications();
    EXPECT_EQ(kov_ctl_get_notifications(nullptr), 0);
    turns();
    EXPECT_EQ(g_seen, (std::vector<std::string>{"deregi 0"}));
}

TEST_F(Framework, StandardPeerIsWholeAgainForEveryDelivery)
{
    PeerAgent p;
    kov_ctl_standard_peer(&p);
    p.ALEName[0] = 'X';
    kov_ctl_standard_peer(&p);
    EXPECT_EQ(peer_text(&p), "1/2/provider/aspid/1.0");
}

} // namespace
