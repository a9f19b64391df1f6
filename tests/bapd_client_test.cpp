// The BLE daemon stand-in: services and their handles, results set per call,
// statuses answered and reported, the length limit of a send, and callbacks
// delivered only while set.
#include <bapd_client.h>
#include <bapd_client_control.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_seen;
int g_user_data;

void on_device(bap_service_h h, bap_connection_status_e status, void *ud)
{
    g_seen.push_back("device " + std::to_string(h) + " " + std::to_string(status) + (ud == &g_user_data ? " ud" : ""));
}
void on_service(bap_service_h h, bap_connection_status_e status, void *)
{
    g_seen.push_back("service " + std::to_string(h) + " " + std::to_string(status));
}
void on_data(bap_service_h h, unsigned int length, const void *data, void *)
{
    g_seen.push_back("data " + std::to_string(h) + " " + std::string(static_cast<const char *>(data), length));
}
void on_sent(bap_service_h h, int result, void *)
{
    g_seen.push_back("sent " + std::to_string(h) + " " + std::to_string(result));
}
void on_incoming(bap_transfer_h t, const char *name, int id, void *)
{
    g_seen.push_back("incoming " + std::to_string(t) + " " + name + " " + std::to_string(id));
}
void on_completed(bap_service_h h, int status, const char *path, int id, void *)
{
    g_seen.push_back("completed " + std::to_string(h) + " " + std::to_string(status) + " " +
                     (path != nullptr ? path : "NULL") + " " + std::to_string(id));
}

class Daemon : public ::testing::Test {
protected:
    void SetUp() override
    {
        bap_ctl_reset();
        g_seen.clear();
    }
    void TearDown() override { bap_ctl_reset(); }

    bap_service_h add()
    {
        bap_service_h h = 0;
        EXPECT_EQ(bap_service_add("LBS", &h), BAP_ERROR_NONE);
        return h;
    }
};

TEST_F(Daemon, ServicesGetHandlesFromOneAndRemovedOnesAreGone)
{
    EXPECT_EQ(add(), 1);
    EXPECT_EQ(add(), 2);
    EXPECT_EQ(bap_service_remove(1), BAP_ERROR_NONE);
    EXPECT_EQ(bap_service_remove(1), BAP_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bap_service_set_data_received_cb(1, on_data, nullptr), BAP_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bap_ctl_service_count(), 1u);
    EXPECT_EQ(add(), 3);
}

TEST_F(Daemon, RefusedAddHandsOutNoHandle)
{
    ASSERT_EQ(bap_ctl_set_result("bap_service_add", BAP_ERROR_OPERATION_FAILED), 1);
    bap_service_h h = 0;
    EXPECT_EQ(bap_service_add("LBS", &h), BAP_ERROR_OPERATION_FAILED);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(bap_ctl_service_count(), 0u);
    bap_ctl_set_result("bap_service_add", 0);
    EXPECT_EQ(add(), 1);
    EXPECT_EQ(bap_service_add(nullptr, &h), BAP_ERROR_INVALID_PARAMETER);
}

TEST_F(Daemon, GettersAnswerTheStatusesUnlessAResultOverridesThem)
{
    const bap_service_h h = add();
    EXPECT_EQ(bap_device_get_connection_status(h), BAP_CONNECTION_STATUS_CONNECTED);
    EXPECT_EQ(bap_service_get_connection_status(h), BAP_CONNECTION_STATUS_CONNECTED);
    bap_ctl_set_device_status(0);
    EXPECT_EQ(bap_device_get_connection_status(h), 0);
    EXPECT_EQ(bap_service_get_connection_status(h), 1);

    bap_ctl_set_result("bap_service_get_connection_status", -3);
    EXPECT_EQ(bap_service_get_connection_status(h), -3);
    bap_ctl_set_service_status(1);
    EXPECT_EQ(bap_service_get_connection_status(h), 1);
}

TEST_F(Daemon, StatusChangesAreReportedThroughTheMatchingCallback)
{
    const bap_service_h h = add();
    bap_ctl_set_device_status(0); // nobody listens yet
    ASSERT_EQ(bap_device_set_connection_status_changed_cb(h, on_device, &g_user_data), 0);
    ASSERT_EQ(bap_service_set_connection_status_changed_cb(h, on_service, nullptr), 0);
    bap_ctl_set_device_status(1);
    bap_ctl_set_service_status(0);
    bap_device_unset_connection_status_changed_cb(h);
    bap_ctl_set_device_status(0);
    EXPECT_EQ(g_seen, (std::vector<std::string>{"device 1 1 ud", "service 1 0"}));
}

TEST_F(Daemon, SetCallsFailAsToldAndThenLeaveTheCallbackUnset)
{
    const bap_service_h h = add();
    bap_ctl_set_result("bap_service_set_data_received_cb", -1);
    EXPECT_EQ(bap_service_set_data_received_cb(h, on_data, nullptr), -1);
    EXPECT_EQ(bap_ctl_has_callback(h, "bap_service_set_data_received_cb"), 0);
    EXPECT_EQ(bap_ctl_data_received(2, "hi"), 0);
    EXPECT_EQ(bap_service_set_data_send_completed_cb(h, nullptr, nullptr), BAP_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bap_ctl_set_result("bap_service_nonsense", 0), 0);
}

TEST_F(Daemon, SendTakesUpToTheLimitAndRecordsTheBytes)
{
    const bap_service_h h = add();
    const std::string max(BAP_MAX_DATA_LENGTH, 'x');
    EXPECT_EQ(bap_service_send_data(h, BAP_MAX_DATA_LENGTH, max.data()), 0);
    EXPECT_EQ(bap_service_send_data(h, BAP_MAX_DATA_LENGTH + 1, (max + "y").data()), BAP_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bap_service_send_data(h + 1, 1, "@"), BAP_ERROR_INVALID_PARAMETER);
    bap_ctl_set_result("bap_service_send_data", BAP_ERROR_CANCELED_BY_PEER);
    EXPECT_EQ(bap_service_send_data(h, 1, "@!"), BAP_ERROR_CANCELED_BY_PEER);

    ASSERT_EQ(bap_ctl_count_calls("bap_service_send_data"), 4u);
    const bap_ctl_call *last = bap_ctl_call_at(bap_ctl_call_count() - 1);
    EXPECT_EQ(last->length, 1u);
    EXPECT_STREQ(last->text, "@");
    EXPECT_EQ(last->result, BAP_ERROR_CANCELED_BY_PEER);
    EXPECT_EQ(bap_ctl_call_at(1)->length, BAP_MAX_DATA_LENGTH);
}

TEST_F(Daemon, DeliveriesReachTheServicesThatHaveTheCallbackInHandleOrder)
{
    const bap_service_h a = add();
    const bap_service_h b = add();
    bap_service_set_data_received_cb(b, on_data, nullptr);
    bap_service_set_data_received_cb(a, on_data, nullptr);
    bap_service_set_data_send_completed_cb(a, on_sent, nullptr);
    bap_service_set_file_incoming_cb(a, on_incoming, nullptr);
    bap_service_set_file_transfer_receiving_completed_cb(a, on_completed, nullptr);

    EXPECT_EQ(bap_ctl_data_received(3, "abcdef"), 2);
    EXPECT_EQ(bap_ctl_send_completed(-2), 1);
    EXPECT_EQ(bap_ctl_file_incoming(6, "gpsPlus.dat", 9), 1);
    EXPECT_EQ(bap_ctl_file_receiving_completed(1, nullptr, 9), 1);
    EXPECT_EQ(bap_ctl_file_progress(9, 50), 0);
    bap_service_unset_data_received_cb(a);
    EXPECT_EQ(bap_ctl_data_received(1, "z"), 1);

    EXPECT_EQ(g_seen, (std::vector<std::string>{"data 1 abc", "data 2 abc", "sent 1 -2", "incoming 6 gpsPlus.dat 9",
                                                "completed 1 1 NULL 9", "data 2 z"}));
}

TEST_F(Daemon, FileAnswersAreRecorded)
{
    EXPECT_EQ(bap_service_file_transfer_receive(6, "/x/gpsPlus.dat", 9), 0);
    EXPECT_EQ(bap_service_file_transfer_receive(6, nullptr, 9), BAP_ERROR_INVALID_PARAMETER);
    bap_ctl_set_result("bap_service_file_transfer_reject", -1);
    EXPECT_EQ(bap_service_file_transfer_reject(6, 10), -1);
    const bap_ctl_call *receive = bap_ctl_call_at(0);
    EXPECT_EQ(receive->transfer, 6);
    EXPECT_EQ(receive->transfer_id, 9);
    EXPECT_STREQ(receive->text, "/x/gpsPlus.dat");
    EXPECT_EQ(bap_ctl_call_at(2)->transfer_id, 10);
}

} // namespace
