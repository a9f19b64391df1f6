// The second link's transport where the scenarios cannot reach it cheaply:
// the callbacks a failed registration unsets, the length limit of a send, the
// started flags after failed sends, replies read within their length, the
// file directory, and the link without a state record.
#include "bap/lbs_plugin_consumer_bap_intf_internal.h"
#include "bap/lbs_plugin_consumer_bap_main.h"

#include "log_capture.h"

#include <alarmmgr_control.h>
#include <bapd_client_control.h>
#include <gtest/gtest.h>
#include <storage_control.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace lbs::bap;

const std::string kDir = LBS_EXTRA_DIR;
const std::string kGpsTarget = kDir + "gpsPlus.dat";

std::vector<int> g_events; // event types in the order the host got them

int record_event(lbs_consumer_event_s *ev, void *)
{
    g_events.push_back(ev->type);
    return 0;
}

// The registration's daemon calls that can fail, in the order it makes them.
constexpr const char *kRegistrationCalls[] = {
    "bap_service_add",
    "bap_device_set_connection_status_changed_cb",
    "bap_service_set_connection_status_changed_cb",
    "bap_service_set_data_received_cb",
    "bap_service_set_data_send_completed_cb",
    "bap_service_set_file_incoming_cb",
    "bap_service_set_file_transfer_receiving_completed_cb",
    "bap_service_set_file_transfer_progress_cb",
};

size_t unset_calls()
{
    size_t n = 0;
    for (size_t i = 0; i < bap_ctl_call_count(); ++i)
        if (std::string(bap_ctl_call_at(i)->name).find("_unset_") != std::string::npos)
            ++n;
    return n;
}

size_t sends()
{
    return bap_ctl_count_calls("bap_service_send_data");
}

class BapTransport : public ::testing::Test {
protected:
    void SetUp() override
    {
        bap_ctl_reset();
        alarmmgr_ctl_reset();
        storage_ctl_reset();
        dlog_ctl_clear();
        g_events.clear();
        g_bap_consumer_cb = record_event;
    }

    void TearDown() override
    {
        if (g_bap_lbs_consumer != nullptr)
            __bap_deregister_consumer();
        g_bap_consumer_cb = nullptr;
        bap_ctl_set_observer(nullptr, nullptr);
        bap_ctl_reset();
        alarmmgr_ctl_reset();
        storage_ctl_reset();
    }

    // A registered link, with what registering told the host forgotten.
    static void registered()
    {
        ASSERT_EQ(bap_init(), 1);
        g_events.clear();
        dlog_ctl_clear();
    }

    // An assistance request that went out and that the phone said it will serve.
    static void assistance_announced()
    {
        ASSERT_EQ(bap_send_message(REQ_GPS_PLUS_METHOD_1, nullptr), 0);
        const gps_plus_rsp_message ok = {1, 0, 1};
        __bap_gps_plus_rsp(&ok);
        ASSERT_EQ(g_get_ready_to_download_gps_extra_data_status(), 1);
    }
};

// fault_bap_registration fails each call in turn and shows the service
// removed; what its trace does not show is which callbacks are unset again.
TEST_F(BapTransport, RegistrationFailingAtAnyDaemonCallUnsetsExactlyTheCallbacksSetBeforeIt)
{
    for (size_t failing = 0; failing < std::size(kRegistrationCalls); ++failing) {
        SCOPED_TRACE(kRegistrationCalls[failing]);
        bap_ctl_reset();
        ASSERT_EQ(bap_ctl_set_result(kRegistrationCalls[failing], BAP_ERROR_OPERATION_FAILED), 1);
        EXPECT_EQ(bap_init(), 0);
        EXPECT_EQ(g_bap_lbs_consumer, nullptr);
        EXPECT_EQ(bap_ctl_service_count(), 0u);
        EXPECT_EQ(unset_calls(), failing == 0 ? 0u : failing - 1);
    }

    // A device status other than 1 is no connection either; then all seven go.
    bap_ctl_reset();
    bap_ctl_set_result("bap_device_get_connection_status", 2);
    EXPECT_EQ(bap_init(), 0);
    EXPECT_EQ(unset_calls(), 7u);
    EXPECT_EQ(bap_ctl_service_count(), 0u);
    EXPECT_TRUE(logged(DLOG_ERROR, "Device is NOT connected"));
    EXPECT_TRUE(g_events.empty());
}

TEST_F(BapTransport, SendHandsTheDaemonTextsOfUpTo65531BytesAndSkipsEmptyOnes)
{
    registered();
    const std::string longest(kMaxMsgLength, 'x');
    EXPECT_EQ(__bap_send_message(longest.c_str()), 1);
    EXPECT_EQ(bap_ctl_call_at(bap_ctl_call_count() - 1)->length, 65531u);

    EXPECT_EQ(__bap_send_message((longest + "x").c_str()), 0);
    EXPECT_TRUE(logged(DLOG_ERROR, "msg_length is unavailable [65532], maximum size=[65531]"));
    EXPECT_EQ(__bap_send_message(""), 1);
    EXPECT_EQ(__bap_send_message(nullptr), 0);
    EXPECT_EQ(sends(), 1u);
}

TEST_F(BapTransport, AStartThatIsNotSentStartsNothingWhileAStopEndsItsMethodEvenUnsent)
{
    registered();
    const tracking_req_param param = {1, 0};
    bap_ctl_set_device_status(0);
    EXPECT_EQ(bap_send_message(REQ_TRACKING_LOCATION_START_GPS, &param), LBS_CONSUMER_PLUGIN_ERROR_NOT_SENT);
    EXPECT_EQ(bap_send_message(REQ_TRACKING_LOCATION_START_WPS, &param), LBS_CONSUMER_PLUGIN_ERROR_NOT_SENT);
    EXPECT_EQ(g_bap_lbs_consumer->gps_started, 0);
    EXPECT_EQ(g_bap_lbs_consumer->wps_started, 0);

    bap_ctl_set_device_status(1);
    EXPECT_EQ(bap_send_message(REQ_TRACKING_LOCATION_START_GPS, &param), 0);
    EXPECT_EQ(bap_send_message(REQ_TRACKING_LOCATION_START_WPS, &param), 0); // nothing to send: counts as sent
    EXPECT_EQ(g_bap_lbs_consumer->gps_started, 1);
    EXPECT_EQ(g_bap_lbs_consumer->wps_started, 1);
    EXPECT_EQ(sends(), 1u);

    bap_ctl_set_result("bap_service_send_data", BAP_ERROR_TIMEOUT);
    EXPECT_EQ(bap_send_message(REQ_TRACKING_LOCATION_STOP_GPS, nullptr), 0); // WPS runs on: nothing to send
    EXPECT_EQ(bap_send_message(REQ_TRACKING_LOCATION_STOP_WPS, nullptr), LBS_CONSUMER_PLUGIN_ERROR_NOT_SENT);
    EXPECT_EQ(g_bap_lbs_consumer->gps_started, 0);
    EXPECT_EQ(g_bap_lbs_consumer->wps_started, 0);

    // An assistance request that did not go out is not outstanding and waits for nothing.
    EXPECT_EQ(bap_send_message(REQ_GPS_PLUS_METHOD_1, nullptr), LBS_CONSUMER_PLUGIN_ERROR_NOT_SENT);
    EXPECT_EQ(g_get_is_requested_gps_extra_data(), 0);
    EXPECT_EQ(alarmmgr_ctl_count(), 0u);
    EXPECT_EQ(g_bap_lbs_consumer->req_data, nullptr);
}

TEST_F(BapTransport, RequestIdentifiersOutsideTheRangeAndRequestsThisLinkLacksAreNotSent)
{
    EXPECT_EQ(bap_send_message(REQ_GET_REF_TIME, nullptr), LBS_CONSUMER_PLUGIN_ERROR_NO_DATA);
    registered();
    EXPECT_EQ(bap_send_message(REQ_NONE, nullptr), LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bap_send_message(REQ_PDC_INFO_STOP + 1, nullptr), LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(logged(DLOG_ERROR, "reqID is invalid"));
    // In range, but the builder has nothing for this link.
    EXPECT_EQ(bap_send_message(REQ_PDC_INFO_START, nullptr), LBS_CONSUMER_PLUGIN_ERROR_NOT_SENT);
    EXPECT_TRUE(logged(DLOG_ERROR, "msg_str is NULL"));
    const here_map_req_info map = {"app", "code", 1, 1, 0, 0, 1.0f, 1};
    EXPECT_EQ(bap_send_message(REQ_HERE_MAP_IMAGE, &map), LBS_CONSUMER_PLUGIN_ERROR_NOT_SENT);
    EXPECT_EQ(sends(), 0u);
}

TEST_F(BapTransport, RepliesAreReadWithinTheirLength)
{
    registered();
    const tracking_req_param param = {1, 0};
    ASSERT_EQ(bap_send_message(REQ_TRACKING_LOCATION_START_WPS, &param), 0);

    // The daemon's bytes end where the length says, whatever follows them.
    const std::string reply = R"({"msgId":"lbs-tracking-location-rsp","result":1,"h_accuracy":5})";
    std::vector<char> bytes(reply.begin(), reply.end());
    const std::string trailer = R"(,"x":[[[)";
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    EXPECT_EQ(bap_ctl_data_received(static_cast<unsigned int>(reply.size()), bytes.data()), 1);
    EXPECT_EQ(g_events, std::vector<int>{CONSUMER_EVENT_POSITION_WPS});
}

TEST_F(BapTransport, OffersAreJudgedByTheirBaseNameAndLandInTheFileDirectory)
{
    registered();
    assistance_announced();
    const char *path = nullptr;

    // A name only the base name of which passes is accepted into the directory.
    bap_ctl_file_incoming(1, "../../etc/gpsPlus.dat", 1);
    ASSERT_EQ(bap_ctl_transfer_answer(1, &path), BAP_CTL_TRANSFER_ACCEPTED);
    EXPECT_EQ(std::string(path), kGpsTarget);

    bap_ctl_file_incoming(2, "gpsPlus.dat/..", 2);
    EXPECT_EQ(bap_ctl_transfer_answer(2, nullptr), BAP_CTL_TRANSFER_REJECTED);
    bap_ctl_file_incoming(3, "", 3);
    EXPECT_EQ(bap_ctl_transfer_answer(3, nullptr), BAP_CTL_TRANSFER_REJECTED);
    bap_ctl_file_incoming(4, nullptr, 4);
    EXPECT_EQ(bap_ctl_transfer_answer(4, nullptr), BAP_CTL_TRANSFER_OFFERED);
    EXPECT_TRUE(logged(DLOG_ERROR, "filename is NULL"));
    // None of the refusals ended the request.
    EXPECT_EQ(g_get_is_requested_gps_extra_data(), 1);
    EXPECT_TRUE(g_events.empty());
}

bool g_target_existed_at_accept;

void note_target_at_accept(const bap_ctl_call *call, void *)
{
    if (std::string(call->name) == "bap_service_file_transfer_receive")
        g_target_existed_at_accept = access(kGpsTarget.c_str(), F_OK) == 0;
}

TEST_F(BapTransport, AnOldAssistanceFileIsRemovedBeforeTheNewTransferIsAccepted)
{
    registered();
    assistance_announced();
    fs::create_directories(kDir);
    std::ofstream(kGpsTarget) << "old assistance data";
    ASSERT_TRUE(fs::exists(kGpsTarget));

    g_target_existed_at_accept = true;
    bap_ctl_set_observer(note_target_at_accept, nullptr);
    bap_ctl_file_incoming(5, "gpsPlus.dat", 7);
    EXPECT_EQ(bap_ctl_transfer_answer(7, nullptr), BAP_CTL_TRANSFER_ACCEPTED);
    EXPECT_FALSE(g_target_existed_at_accept);
}

TEST_F(BapTransport, AMissingFileDirectoryIsCreatedOpenToAllAndOwnedByTheMediaUser)
{
    std::error_code ec;
    fs::remove(kGpsTarget, ec);
    fs::remove(kDir.substr(0, kDir.size() - 1), ec); // only when empty
    if (fs::exists(kDir))
        GTEST_SKIP() << kDir << " holds other files";

    registered();
    assistance_announced();
    bap_ctl_file_incoming(5, "gpsPlus.dat", 7);
    ASSERT_EQ(bap_ctl_transfer_answer(7, nullptr), BAP_CTL_TRANSFER_ACCEPTED);
    struct stat st = {};
    ASSERT_EQ(stat(kDir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0777u);
    if (geteuid() == 0) {
        EXPECT_EQ(st.st_uid, 5000u);
        EXPECT_EQ(st.st_gid, 5000u);
    }
}

TEST_F(BapTransport, WithoutARegistrationNothingRunsAndExerciseCommandsFindNoState)
{
    kinetra_req_info req = {};
    for (int command = KINETRA_CMD_START; command <= KINETRA_CMD_CHANGE_COACHING_SET; ++command) {
        req.command = command;
        EXPECT_EQ(bap_knt_handle_request(&req), LBS_CONSUMER_PLUGIN_ERROR_NO_DATA) << command;
    }
    req.command = KINETRA_CMD_SET_AUTO_PAUSE_ENABLED;
    EXPECT_EQ(bap_knt_handle_request(&req), CONSUMER_ERR_UNKNOWN);
    req.command = KINETRA_CMD_START;
    EXPECT_EQ(lbs_consumer_plugin_bap_request(CONSUMER_ACTION_KINETRA_COMMAND, &req), CONSUMER_ERR_SYSTEM);

    bap_location_tracking_start_dummy_pkt_alarm();
    bap_location_tracking_stop_dummy_pkt_alarm();
    EXPECT_EQ(req_gpsplus_wait_response_timeout_cb(-1, nullptr), 0);
    const exercise_info_rsp_data figures = {2, 1, 0, nullptr};
    _bap_knt_handle_rsp(&figures);
    EXPECT_EQ(_ble_dummy_packet_send_handler_cb(1, nullptr), 0);
    EXPECT_EQ(alarmmgr_ctl_count(), 0u);
    EXPECT_EQ(bap_ctl_call_count(), 0u);
    EXPECT_TRUE(g_events.empty());
}

TEST_F(BapTransport, StatusReportsOutsideZeroAndOneAreLoggedAndChangeNothing)
{
    registered();
    _lbs_plugin_consumer_bap_on_device_status(g_bap_service_handle, static_cast<bap_connection_status_e>(5), nullptr);
    EXPECT_TRUE(logged(DLOG_ERROR, "Invalid status(5)"));
    EXPECT_EQ(g_bap_device_connected, 1);
    bap_ctl_set_device_status(0);
    EXPECT_EQ(g_bap_device_connected, 0);
    _lbs_plugin_consumer_bap_on_device_status(g_bap_service_handle, static_cast<bap_connection_status_e>(-1), nullptr);
    EXPECT_EQ(g_bap_device_connected, 0);
    on_bap_service_status_changed(g_bap_service_handle, static_cast<bap_connection_status_e>(7), nullptr);
    EXPECT_TRUE(logged(DLOG_ERROR, "Invalid status(7)"));
    EXPECT_TRUE(g_events.empty());
}

} // namespace
