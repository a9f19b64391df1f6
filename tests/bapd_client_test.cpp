// The BLE daemon stand-in: services and their handles, results set per call,
// statuses answered and reported, the length limit of a send, and callbacks
// delivered only while set.
#include <bapd_client.h>
#include <bapd_client_control.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using Seen = std::vector<std::string>;
Seen g_seen;
int g_user_data;

// Keeps a delivery as its words, separated by one space.
template <typename... Args> void note(Args... args)
{
    std::ostringstream s;
    const char *sep = "";
    ((s << sep << args, sep = " "), ...);
    g_seen.push_back(s.str());
}

void on_data(bap_service_h h, unsigned int length, const void *data, void *)
{
    note("data", h, std::string(static_cast<const char *>(data), length));
}

class Daemon : public ::testing::Test {
protected:
    void SetUp() override
    {
        bap_ctl_reset();
        g_seen.clear();
    }
    void TearDown() override { bap_ctl_reset(); }

    static bap_service_h add()
    {
        bap_service_h h = 0;
        EXPECT_EQ(bap_service_add("LBS", &h), BAP_ERROR_NONE);
        return h;
    }
};

TEST_F(Daemon, ServicesGetHandlesFromOneAndRemovedOrRefusedOnesAndCallbacksAreGone)
{
    ASSERT_EQ(bap_ctl_set_result("bap_service_add", BAP_ERROR_OPERATION_FAILED), 1);
    bap_service_h h = 0;
    EXPECT_EQ(bap_service_add("LBS", &h), BAP_ERROR_OPERATION_FAILED);
    EXPECT_EQ(h, 0);
    bap_ctl_set_result("bap_service_add", 0);
    EXPECT_EQ(bap_service_add(nullptr, &h), BAP_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bap_ctl_service_count(), 0u);

    EXPECT_EQ(add(), 1);
    EXPECT_EQ(add(), 2);
    EXPECT_EQ(bap_service_remove(1), BAP_ERROR_NONE);
    EXPECT_EQ(bap_service_remove(1), BAP_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bap_service_set_data_received_cb(1, on_data, nullptr), BAP_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bap_ctl_service_count(), 1u);
    EXPECT_EQ(add(), 3);

    // A refused set call leaves the callback unset.
    bap_ctl_set_result("bap_service_set_data_received_cb", -1);
    EXPECT_EQ(bap_service_set_data_received_cb(3, on_data, nullptr), -1);
    EXPECT_EQ(bap_ctl_has_callback(3, "bap_service_set_data_received_cb"), 0);
    EXPECT_EQ(bap_ctl_data_received(2, "hi"), 0);
    EXPECT_EQ(bap_service_set_data_send_completed_cb(3, nullptr, nullptr), BAP_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bap_ctl_set_result("bap_service_nonsense", 0), 0);
}

TEST_F(Daemon, StatusesAreAnsweredUnlessAResultOverridesThemAndReportedWhileACallbackIsSet)
{
    const bap_service_h h = add();
    EXPECT_EQ(bap_device_get_connection_status(h), BAP_CONNECTION_STATUS_CONNECTED);
    bap_ctl_set_device_status(0); // nobody listens yet
    EXPECT_EQ(bap_device_get_connection_status(h), 0);
    EXPECT_EQ(bap_service_get_connection_status(h), 1);
    bap_ctl_set_result("bap_service_get_connection_status", -3);
    EXPECT_EQ(bap_service_get_connection_status(h), -3);

    const auto device = [](bap_service_h s, bap_connection_status_e status, void *ud) {
        note("device", s, status, ud == &g_user_data ? "ud" : "-");
    };
    const auto service = [](bap_service_h s, bap_connection_status_e status, void *) { note("service", s, status); };
    ASSERT_EQ(bap_device_set_connection_status_changed_cb(h, device, &g_user_data), 0);
    ASSERT_EQ(bap_service_set_connection_status_changed_cb(h, service, nullptr), 0);
    bap_ctl_set_device_status(1);
    bap_ctl_set_service_status(0);
    bap_device_unset_connection_status_changed_cb(h);
    bap_ctl_set_device_status(0);
    EXPECT_EQ(g_seen, (Seen{"device 1 1 ud", "service 1 0"}));
    EXPECT_EQ(bap_service_get_connection_status(h), 0);
}

TEST_F(Daemon, SendTakesUpToTheLimitToAnAddedService)
{
    const bap_service_h h = add();
    const std::string max(BAP_MAX_DATA_LENGTH, 'x');
    EXPECT_EQ(bap_service_send_data(h, BAP_MAX_DATA_LENGTH, max.data()), 0);
    EXPECT_EQ(bap_service_send_data(h, BAP_MAX_DATA_LENGTH + 1, (max + "y").data()), BAP_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bap_service_send_data(h + 1, 1, "@"), BAP_ERROR_INVALID_PARAMETER);
    bap_ctl_set_result("bap_service_send_data", BAP_ERROR_CANCELED_BY_PEER);
    EXPECT_EQ(bap_service_send_data(h, 1, "@!"), BAP_ERROR_CANCELED_BY_PEER);
    const bap_ctl_call *last = bap_ctl_call_at(bap_ctl_call_count() - 1);
    EXPECT_EQ(last->length, 1u);
    EXPECT_STREQ(last->text, "@");

    EXPECT_EQ(bap_service_file_transfer_receive(6, nullptr, 9), BAP_ERROR_INVALID_PARAMETER);
}

TEST_F(Daemon, DeliveriesReachTheServicesThatHaveTheCallbackInHandleOrder)
{
    const bap_service_h a = add();
    const bap_service_h b = add();
    bap_service_set_data_received_cb(b, on_data, nullptr);
    bap_service_set_data_received_cb(a, on_data, nullptr);

    EXPECT_EQ(bap_ctl_data_received(3, "abcdef"), 2);
    EXPECT_EQ(bap_ctl_send_completed(-2), 0);
    bap_service_unset_data_received_cb(a);
    EXPECT_EQ(bap_ctl_data_received(1, "z"), 1);

    EXPECT_EQ(g_seen, (Seen{"data 1 abc", "data 2 abc", "data 2 z"}));
}

TEST_F(Daemon, TransfersRememberTheAnswerAndCompleteOnlyWhatWasAccepted)
{
    const bap_service_h h = add();
    const auto completed = [](bap_service_h s, int status, const char *path, int id, void *) {
        note("completed", s, status, path, id);
    };
    ASSERT_EQ(bap_service_set_file_transfer_receiving_completed_cb(h, completed, nullptr), 0);
    const char *path = "unset";

    EXPECT_EQ(bap_ctl_transfer_answer(7, &path), BAP_CTL_TRANSFER_UNKNOWN);
    bap_ctl_file_incoming(3, "gpsPlus.dat", 7);
    EXPECT_EQ(bap_ctl_transfer_answer(7, &path), BAP_CTL_TRANSFER_OFFERED);
    EXPECT_EQ(path, nullptr);
    EXPECT_EQ(bap_ctl_complete_transfer(7, 1), -1); // not accepted: nothing reported

    // A refused accept is no answer; the accepted one is the last to complete.
    bap_ctl_set_result("bap_service_file_transfer_receive", BAP_ERROR_OPERATION_FAILED);
    EXPECT_EQ(bap_service_file_transfer_receive(3, "/x/gpsPlus.dat", 7), BAP_ERROR_OPERATION_FAILED);
    EXPECT_EQ(bap_ctl_transfer_answer(7, nullptr), BAP_CTL_TRANSFER_OFFERED);
    EXPECT_EQ(bap_ctl_last_accepted_transfer(), 0);
    bap_ctl_set_result("bap_service_file_transfer_receive", 0);
    EXPECT_EQ(bap_service_file_transfer_receive(3, "/x/gpsPlus.dat", 7), 0);
    EXPECT_EQ(bap_ctl_transfer_answer(7, &path), BAP_CTL_TRANSFER_ACCEPTED);
    EXPECT_STREQ(path, "/x/gpsPlus.dat");
    EXPECT_EQ(bap_ctl_last_accepted_transfer(), 7);

    bap_ctl_file_incoming(4, "other.bin", 8);
    EXPECT_EQ(bap_service_file_transfer_reject(4, 8), 0);
    EXPECT_EQ(bap_ctl_transfer_answer(8, nullptr), BAP_CTL_TRANSFER_REJECTED);
    EXPECT_EQ(bap_ctl_complete_transfer(8, 1), -1);

    EXPECT_EQ(bap_ctl_complete_transfer(7, 1), 1);
    EXPECT_EQ(bap_ctl_transfer_answer(7, nullptr), BAP_CTL_TRANSFER_ENDED);
    EXPECT_EQ(bap_ctl_last_accepted_transfer(), 0);
    EXPECT_EQ(bap_ctl_complete_transfer(7, 1), -1); // a transfer ends once
    EXPECT_EQ(g_seen, (Seen{"completed 1 1 /x/gpsPlus.dat 7"}));

    bap_ctl_reset();
    EXPECT_EQ(bap_ctl_transfer_answer(7, nullptr), BAP_CTL_TRANSFER_UNKNOWN);
}

} // namespace
