// File reception on the first link: which offers are taken and where the
// files land, what the host hears when a transfer ends, and that a hostile
// name can neither reach outside the file directory nor crash the link.
#include "kov/lbs_plugin_consumer_kov_intf_internal.h"
#include "kov/lbs_plugin_consumer_main.h"

#include "kov_link_fixture.h"
#include "log_capture.h"

#include <alarmmgr_control.h>
#include <gtest/gtest.h>
#include <kov_client_control.h>
#include <storage_control.h>
#include <vconf_control.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr unsigned kAgent = 7;
constexpr int kHandle = 21;
constexpr uint64_t MiB = 1024ULL * 1024, GiB = 1024 * MiB;

const std::string kDir = LBS_EXTRA_DIR;
const std::string kGpsTarget = kDir + "gpsPlus.dat";
const std::string kMapTarget = kDir + "map.jpg";

struct Event {
    int type;
    int error;
    bool has_path;
    std::string path;
};

int record_event(lbs_consumer_event_s *ev, void *user_data)
{
    if (ev->type != CONSUMER_EVENT_EXTRA_DATA && ev->type != CONSUMER_EVENT_HERE_MAP_DOWNLOAD)
        return 0;
    Event e{ev->type, ev->error, ev->file.path != nullptr, ev->file.path ? ev->file.path : ""};
    static_cast<std::vector<Event> *>(user_data)->push_back(e);
    return 0;
}

struct ReceiveFile {
    int transaction_id;
    std::string path;
    int accept;
};

bool logged_text(const std::string &message)
{
    for (const LogLine &l : captured_logs())
        if (l.message == message)
            return true;
    return false;
}

std::string dir_without_slash()
{
    return kDir.substr(0, kDir.size() - 1);
}

void write_file(const std::string &path, const std::string &content)
{
    std::ofstream(path) << content;
}

class FileReception : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove_all(dir_without_slash());
        ASSERT_EQ(start_registered_first_link(record_event, &events), 1);
        ASSERT_NE(g_lbs_consumer, nullptr);
        ASSERT_EQ(g_lbs_consumer->agent_id, kAgent);
    }

    void TearDown() override
    {
        stop_first_link();
        storage_ctl_reset();
        std::error_code ec;
        fs::remove_all(dir_without_slash(), ec);
    }

    // The host asks for the assistance file; the phone answers that it comes.
    void request_assistance()
    {
        extra_data_req_info req{3};
        ASSERT_EQ(lbs_consumer_plugin_request(CONSUMER_ACTION_REQUEST_EXTRA_DATA, &req), 1);
    }
    void announce_assistance() { phone_says(R"({"msgId":"lbs-gps-plus-rsp","result":1,"reason":0,"method":1})"); }
    void request_map()
    {
        here_map_req_info req{"app", "code", 320, 320, 37.5, 127.0, 15.0f, 30};
        ASSERT_EQ(lbs_consumer_plugin_request(CONSUMER_ACTION_HERE_MAP_IMAGE, &req), CONSUMER_ERR_NONE);
    }
    void announce_map() { phone_says(R"({"msgId":"lbs-here-map-rsp","result":1,"reason":0})"); }
    void phone_says(const std::string &json)
    {
        ASSERT_EQ(kov_ctl_on_data_ind(kHandle, LBS_KOV_CHANNEL_ID, json.size(), json.data()), 1);
    }

    // The pending request goes out over a confirmed service connection.
    void connect()
    {
        PeerAgent peer;
        kov_ctl_standard_peer(&peer);
        ASSERT_EQ(kov_ctl_on_peer_agent_fnd(kAgent, &peer, KOV_PEER_AGENT_FOUND), 1);
        ASSERT_EQ(kov_ctl_on_svc_conn_cfrm(kAgent, kHandle, &peer, KOV_CONNECTION_SUCCESS), 1);
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }

    void offer(int transaction_id, const char *path) { ASSERT_EQ(kov_ctl_on_send_file(transaction_id, path, kAgent), 1); }
    void complete(int transaction_id, const char *path, int result)
    {
        ASSERT_EQ(kov_ctl_on_receive_completed(transaction_id, path, result), 1);
    }

    static std::vector<ReceiveFile> answers()
    {
        std::vector<ReceiveFile> out;
        for (size_t i = 0; i < kov_ctl_call_count(); ++i) {
            const kov_ctl_call *c = kov_ctl_call_at(i);
            if (std::string(c->name) == "receiveFile")
                out.push_back({c->transaction_id, c->text ? c->text : "(null)", c->accept});
        }
        return out;
    }

    std::vector<Event> events;
};

// ---- accepted offers -------------------------------------------------------

TEST_F(FileReception, AnnouncedAssistanceFileIsStoredInTheFileDirectoryAndHandedToTheHost)
{
    request_assistance();
    announce_assistance();
    ASSERT_EQ(g_lbs_consumer->is_ready_to_receive_gps_extra_data, 1);
    ASSERT_EQ(g_get_pos_refcnt(), 1);

    offer(11, "/storage/emulated/0/RavErodurad/gpsPlus.dat");
    ASSERT_EQ(answers().size(), 1u);
    EXPECT_EQ(answers()[0].transaction_id, 11);
    EXPECT_EQ(answers()[0].path, kGpsTarget);
    EXPECT_EQ(answers()[0].accept, 1);
    EXPECT_TRUE(logged_text("gps plus data receiving accepted."));
    EXPECT_EQ(g_lbs_consumer->is_ready_to_receive_gps_extra_data, 0) << "the announcement is used up";
    EXPECT_EQ(g_lbs_consumer->is_requested_gps_extra_data, 1) << "still waiting for the file";
    EXPECT_EQ(g_get_pos_refcnt(), 1);
    EXPECT_TRUE(events.empty()) << "the host hears only when the transfer ends";

    kov_ctl_on_file_recv_progress(11, 42, kAgent);
    EXPECT_TRUE(logged_text("receiving - TransactionId(11) Progress[42 %] AgentId(7)"));

    write_file(kGpsTarget, "xtra");
    complete(11, kGpsTarget.c_str(), KOV_TRANSFER_COMPLETE_SUCCESS);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, CONSUMER_EVENT_EXTRA_DATA);
    EXPECT_EQ(events[0].error, CONSUMER_ERR_NONE);
    EXPECT_EQ(events[0].path, kGpsTarget);
    EXPECT_TRUE(logged_text("File is received successfully"));
    EXPECT_EQ(g_lbs_consumer->is_requested_gps_extra_data, 0);
    EXPECT_EQ(g_get_pos_refcnt(), 0);
    if (geteuid() == 0) {
        struct stat st = {};
        ASSERT_EQ(stat(kGpsTarget.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 0u) << "the assistance file keeps its owner";
    }
}

TEST_F(FileReception, AnnouncedMapImageReplacesTheOldOneAndGoesToTheMediaOwner)
{
    request_map();
    announce_map();
    ASSERT_EQ(g_lbs_consumer->is_ready_to_receive_here_map_image, 1);
    fs::create_directories(kDir);
    write_file(kMapTarget, "stale image");

    offer(12, "map.jpg");
    ASSERT_EQ(answers().size(), 1u);
    EXPECT_EQ(answers()[0].path, kMapTarget);
    EXPECT_EQ(answers()[0].accept, 1);
    EXPECT_FALSE(fs::exists(kMapTarget)) << "the old image is removed before the new one comes";
    EXPECT_TRUE(logged_text("here map image data receiving accepted."));
    EXPECT_EQ(g_lbs_consumer->is_ready_to_receive_here_map_image, 0);
    EXPECT_EQ(g_get_requested_map_image_data(), 1);

    write_file(kMapTarget, "fresh image");
    complete(12, kMapTarget.c_str(), KOV_TRANSFER_COMPLETE_SUCCESS);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, CONSUMER_EVENT_HERE_MAP_DOWNLOAD);
    EXPECT_EQ(events[0].error, CONSUMER_ERR_NONE);
    EXPECT_EQ(events[0].path, kMapTarget);
    EXPECT_EQ(g_get_requested_map_image_data(), 0);
    EXPECT_EQ(g_get_pos_refcnt(), 0);

    struct stat st = {};
    ASSERT_EQ(stat(kMapTarget.c_str(), &st), 0);
    if (geteuid() == 0) {
        EXPECT_EQ(st.st_uid, 5000u);
        EXPECT_EQ(st.st_gid, 5000u);
    } else {
        EXPECT_TRUE(logged_text("Failed chown(). errno[1] [Operation not permitted]"));
    }
}

TEST_F(FileReception, MissingDirectoryIsCreatedOpenToAllAndOwnedByTheMediaUser)
{
    const mode_t old_mask = umask(022); // the mode must not depend on the umask
    request_assistance();
    announce_assistance();
    ASSERT_FALSE(fs::exists(kDir));
    offer(13, "gpsPlus.dat");
    umask(old_mask);

    struct stat st = {};
    ASSERT_EQ(stat(kDir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0777u);
    if (geteuid() == 0) {
        EXPECT_EQ(st.st_uid, 5000u);
        EXPECT_EQ(st.st_gid, 5000u);
    } else {
        EXPECT_TRUE(logged_text("Failed chown(). errno[1] [Operation not permitted]"));
    }
    EXPECT_EQ(answers().back().accept, 1);
}

TEST_F(FileReception, ExistingDirectoryIsLeftAsItIs)
{
    fs::create_directories(kDir);
    ASSERT_EQ(chmod(kDir.c_str(), 0750), 0);
    request_assistance();
    announce_assistance();
    offer(14, "gpsPlus.dat");

    struct stat st = {};
    ASSERT_EQ(stat(kDir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_EQ(answers().back().accept, 1);
}

TEST_F(FileReception, DirectoryThatCannotBeMadeIsLoggedAndTheOfferStillAccepted)
{
    write_file(dir_without_slash(), "a file where the directory belongs");
    request_map();
    announce_map();
    offer(15, "map.jpg");

    EXPECT_TRUE(logged_text("Failed to make directory.[" + kDir + "]"));
    ASSERT_EQ(answers().size(), 1u);
    EXPECT_EQ(answers()[0].accept, 1);
    EXPECT_TRUE(events.empty());
}

TEST_F(FileReception, FinishedTransferReleasesTheConnectionWhenNobodyElseNeedsIt)
{
    request_assistance();
    connect();
    ASSERT_EQ(g_lbs_consumer->real_service_connection_status, 1);
    announce_assistance();
    offer(16, "gpsPlus.dat");
    EXPECT_EQ(kov_ctl_count_calls("terminateServiceConnection"), 0u);

    complete(16, kGpsTarget.c_str(), KOV_TRANSFER_COMPLETE_SUCCESS);
    ASSERT_EQ(kov_ctl_count_calls("terminateServiceConnection"), 1u);
    for (size_t i = 0; i < kov_ctl_call_count(); ++i) {
        if (std::string(kov_ctl_call_at(i)->name) == "terminateServiceConnection") {
            EXPECT_EQ(kov_ctl_call_at(i)->service_handle, kHandle);
        }
    }
}

TEST_F(FileReception, FinishedTransferKeepsTheConnectionWhileTrackingRuns)
{
    tracking_req_info tracking{CONSUMER_METHOD_GPS, 1, 0};
    ASSERT_EQ(lbs_consumer_plugin_request(CONSUMER_ACTION_START_SESSION, &tracking), 1);
    request_assistance();
    connect();
    announce_assistance();
    offer(17, "gpsPlus.dat");
    complete(17, kGpsTarget.c_str(), KOV_TRANSFER_COMPLETE_SUCCESS);

    EXPECT_EQ(g_get_pos_refcnt(), 1);
    EXPECT_EQ(kov_ctl_count_calls("terminateServiceConnection"), 0u);
}

// ---- refused offers --------------------------------------------------------

TEST_F(FileReception, UnannouncedOffersAreRefusedAndTheHostToldAtOnce)
{
    request_assistance();
    request_map();
    ASSERT_EQ(g_get_pos_refcnt(), 2);

    offer(21, "/sdcard/gpsPlus.dat");
    offer(22, "/sdcard/map.jpg");
    ASSERT_EQ(answers().size(), 2u);
    EXPECT_EQ(answers()[0].path, "gpsPlus.dat") << "only the base name goes back";
    EXPECT_EQ(answers()[0].accept, 0);
    EXPECT_EQ(answers()[1].path, "map.jpg");
    EXPECT_EQ(answers()[1].accept, 0);
    EXPECT_TRUE(logged_text("receiving the gps plus data is rejected."));
    EXPECT_TRUE(logged_text("receiving the map image data is rejected."));

    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, CONSUMER_EVENT_EXTRA_DATA);
    EXPECT_FALSE(events[0].has_path);
    EXPECT_EQ(events[1].type, CONSUMER_EVENT_HERE_MAP_DOWNLOAD);
    EXPECT_EQ(events[1].error, CONSUMER_ERR_SYSTEM);
    EXPECT_FALSE(events[1].has_path);
    EXPECT_EQ(g_lbs_consumer->is_requested_gps_extra_data, 0);
    EXPECT_EQ(g_get_requested_map_image_data(), 0);
    EXPECT_EQ(g_get_pos_refcnt(), 0);
    EXPECT_FALSE(fs::exists(kDir)) << "nothing is prepared for a refused file";
}

TEST_F(FileReception, OffersWithoutStorageRoomAreRefusedAndTheAnnouncementKept)
{
    ASSERT_NE(storage_ctl_set_bytes(8 * GiB, 100 * MiB), 0); // 101 MiB needed
    request_assistance();
    announce_assistance();
    request_map();
    announce_map();

    offer(23, "gpsPlus.dat");
    offer(24, "map.jpg");
    ASSERT_EQ(answers().size(), 2u);
    EXPECT_EQ(answers()[0].accept, 0);
    EXPECT_EQ(answers()[1].accept, 0);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[0].has_path);
    EXPECT_EQ(events[1].error, CONSUMER_ERR_SYSTEM);
    EXPECT_EQ(g_lbs_consumer->is_ready_to_receive_gps_extra_data, 1);
    EXPECT_EQ(g_lbs_consumer->is_ready_to_receive_here_map_image, 1);
    EXPECT_EQ(g_get_pos_refcnt(), 0);
}

TEST_F(FileReception, AcceptTheFrameworkRefusesEndsTheRequestWithoutFile)
{
    ASSERT_EQ(kov_ctl_set_result("receiveFile", 3), 1);
    request_assistance();
    announce_assistance();
    offer(25, "gpsPlus.dat");
    request_map();
    announce_map();
    offer(26, "map.jpg");

    EXPECT_TRUE(logged_text("receiveFile failed : [3]"));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, CONSUMER_EVENT_EXTRA_DATA);
    EXPECT_FALSE(events[0].has_path);
    EXPECT_EQ(events[1].type, CONSUMER_EVENT_HERE_MAP_DOWNLOAD);
    EXPECT_EQ(events[1].error, CONSUMER_ERR_SYSTEM);
    EXPECT_EQ(g_lbs_consumer->is_requested_gps_extra_data, 0);
    EXPECT_EQ(g_get_requested_map_image_data(), 0);
    EXPECT_EQ(g_get_pos_refcnt(), 0);
}

TEST_F(FileReception, UnknownFileIsRefusedAndForgetsEverythingAnnouncedOrRequested)
{
    request_assistance();
    announce_assistance();
    request_map();
    announce_map();

    offer(27, "/sdcard/notes.txt");
    offer(28, "/sdcard/xgpsPlus.dat"); // a longer name is not the assistance file
    ASSERT_EQ(answers().size(), 2u);
    EXPECT_EQ(answers()[0].path, "notes.txt");
    EXPECT_EQ(answers()[0].accept, 0);
    EXPECT_EQ(answers()[1].path, "xgpsPlus.dat");
    EXPECT_EQ(answers()[1].accept, 0);
    EXPECT_TRUE(logged_text("====== Unknown file downloading [notes.txt] ======"));
    EXPECT_TRUE(logged_text("receiving a file [notes.txt] is rejected."));
    EXPECT_EQ(g_lbs_consumer->is_ready_to_receive_gps_extra_data, 0);
    EXPECT_EQ(g_lbs_consumer->is_ready_to_receive_here_map_image, 0);
    EXPECT_EQ(g_lbs_consumer->is_requested_gps_extra_data, 0);
    EXPECT_EQ(g_get_requested_map_image_data(), 0);
    EXPECT_EQ(g_get_pos_refcnt(), 0);
    EXPECT_TRUE(events.empty());
}

TEST_F(FileReception, OfferWithoutStateRecordIsRefused)
{
    lbs_plugin_consumer_s *kept = g_lbs_consumer;
    g_lbs_consumer = nullptr;
    offer(29, "gpsPlus.dat");
    offer(30, "map.jpg");
    g_lbs_consumer = kept;

    EXPECT_TRUE(logged_text("lbs_consumer data not initialized"));
    ASSERT_EQ(answers().size(), 2u);
    EXPECT_EQ(answers()[0].accept, 0);
    EXPECT_EQ(answers()[1].accept, 0);
    EXPECT_EQ(events.size(), 2u);
}

// ---- hostile names ---------------------------------------------------------

TEST_F(FileReception, HostileOfferedNamesNeverReachOutsideTheFileDirectory)
{
    const fs::path parent = fs::path(dir_without_slash()).parent_path();
    const fs::path bait_dir = parent / "bait";
    fs::create_directories(bait_dir);
    write_file((bait_dir / "gpsPlus.dat").string(), "not ours");
    write_file((bait_dir / "map.jpg").string(), "not ours");
    std::set<std::string> before;
    for (const auto &entry : fs::directory_iterator(parent))
        before.insert(entry.path().filename().string());

    const std::string long_name(4096, 'a');
    const std::string long_gps = std::string(4000, 'b') + "/gpsPlus.dat";
    const std::string bait_gps = (bait_dir / "gpsPlus.dat").string();
    const std::string bait_map = (bait_dir / "map.jpg").string();
    const std::vector<std::string> names = {
        "", "/", ".", "..", "../../x/gpsPlus.dat", long_name, long_gps, "gpsPlus.dat\n", "map\n.jpg",
        "%s%s%n%s", "../%x%n/map.jpg", bait_gps, bait_map, "gpsPlus.dat/", kDir + "../bait/map.jpg",
    };
    int tx = 100;
    for (const std::string &name : names) {
        request_assistance();
        announce_assistance();
        request_map();
        announce_map();
        offer(tx++, name.c_str());
        // Let a map offer of this round not block the next request.
        g_set_requested_map_image_data(0);
        if (g_lbs_consumer->is_requested_gps_extra_data)
            g_lbs_consumer->is_requested_gps_extra_data = 0;
    }

    for (const ReceiveFile &a : answers()) {
        if (a.accept) {
            EXPECT_TRUE(a.path == kGpsTarget || a.path == kMapTarget) << a.path;
        } else {
            EXPECT_TRUE(a.path == "/" || a.path.find('/') == std::string::npos) << a.path;
        }
    }
    EXPECT_EQ(answers().size(), names.size()) << "every offer with a path is answered";
    EXPECT_TRUE(logged_text("====== Unknown file downloading [%s%s%n%s] ======"));
    EXPECT_TRUE(logged_text("====== Unknown file downloading [gpsPlus.dat\n] ======"));
    EXPECT_TRUE(fs::exists(bait_dir / "gpsPlus.dat")) << "an offered path is never removed";
    EXPECT_TRUE(fs::exists(bait_dir / "map.jpg"));

    std::set<std::string> after;
    for (const auto &entry : fs::directory_iterator(parent))
        after.insert(entry.path().filename().string());
    after.erase(fs::path(dir_without_slash()).filename().string());
    before.erase(fs::path(dir_without_slash()).filename().string());
    EXPECT_EQ(after, before) << "nothing created beside the file directory";
    fs::remove_all(bait_dir);
}

TEST_F(FileReception, OfferWithoutPathIsNotAnswered)
{
    request_assistance();
    announce_assistance();
    offer(31, nullptr);

    EXPECT_TRUE(answers().empty());
    EXPECT_TRUE(logged_text("Could not receive a file. filename is NULL"));
    EXPECT_TRUE(logged_text("file receiving is requested from provider - TransactionId(31) FilePath((null)) AgentId(7)"));
    EXPECT_EQ(g_lbs_consumer->is_ready_to_receive_gps_extra_data, 1);
    EXPECT_EQ(g_get_pos_refcnt(), 1);
    EXPECT_TRUE(events.empty());
}

TEST_F(FileReception, CompletedImageOutsideTheFileDirectoryKeepsItsOwner)
{
    const fs::path bait_dir = fs::path(dir_without_slash()).parent_path() / "bait";
    fs::create_directories(bait_dir);
    const std::string bait = (bait_dir / "map.jpg").string();
    write_file(bait, "not ours");
    fs::create_directories(kDir);
    const std::string sneaky = kDir + "../bait/map.jpg";

    for (const std::string &path : {bait, sneaky}) {
        request_map();
        announce_map();
        complete(40, path.c_str(), KOV_TRANSFER_COMPLETE_SUCCESS);
        EXPECT_TRUE(logged_text("[" + path + "] is not in the file directory"));
    }
    // A link planted where the image belongs does not pass the owner on.
    fs::create_symlink(bait, kMapTarget);
    request_map();
    announce_map();
    complete(41, kMapTarget.c_str(), KOV_TRANSFER_COMPLETE_SUCCESS);

    struct stat st = {};
    ASSERT_EQ(stat(bait.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_EQ(st.st_gid, getegid());
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].error, CONSUMER_ERR_NONE);
    EXPECT_EQ(events[0].path, bait);
    fs::remove_all(bait_dir);
}

// ---- ends of transfers -----------------------------------------------------

TEST_F(FileReception, FailedTransfersGiveTheEventWithoutFile)
{
    const struct {
        int result;
        const char *log;
    } rows[] = {
        {KOV_TRANSFER_COMPLETE_FAIL_FILE_IO, "TRANSFER_COMPLETE_FAIL_FILE_IO"},
        {KOV_TRANSFER_COMPLETE_FAIL_PEER_UNRESPONSIVE, "TRANSFER_COMPLETE_FAIL_PEER_UNRESPONSIVE"},
        {KOV_TRANSFER_COMPLETE_FAIL_PEER_CONN_LOST, "TRANSFER_COMPLETE_FAIL_PEER_CONN_LOST"},
        {KOV_TRANSFER_COMPLETE_FAIL_PEER_CANCELLED, "TRANSFER_COMPLETE_FAIL_PEER_CANCELLED"},
        {KOV_TRANSFER_COMPLETE_FAIL_SPACE_NOT_AVAILABLE, "TRANSFER_COMPLETE_FAIL_SPACE_NOT_AVAILABLE"},
        {1, "Unknown error. [1]"},
        {-3, "Unknown error. [-3]"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.log);
        events.clear();
        dlog_ctl_clear();
        request_assistance();
        announce_assistance();
        offer(50, "gpsPlus.dat");
        complete(50, kGpsTarget.c_str(), row.result);
        request_map();
        announce_map();
        offer(51, "map.jpg");
        complete(51, kMapTarget.c_str(), row.result);

        EXPECT_EQ(dlog_ctl_count_matching(nullptr, row.log), 2u);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].type, CONSUMER_EVENT_EXTRA_DATA);
        EXPECT_FALSE(events[0].has_path);
        EXPECT_EQ(events[1].type, CONSUMER_EVENT_HERE_MAP_DOWNLOAD);
        EXPECT_EQ(events[1].error, CONSUMER_ERR_SYSTEM);
        EXPECT_FALSE(events[1].has_path);
        EXPECT_EQ(g_lbs_consumer->is_requested_gps_extra_data, 0);
        EXPECT_EQ(g_get_requested_map_image_data(), 0);
        EXPECT_EQ(g_get_pos_refcnt(), 0);
    }
}

TEST_F(FileReception, CompletedNameContainingTheAssistanceNameCountsAsAssistance)
{
    request_assistance();
    const std::string path = kDir + "gpsPlus.dat.part";
    complete(60, path.c_str(), KOV_TRANSFER_COMPLETE_SUCCESS);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, CONSUMER_EVENT_EXTRA_DATA);
    EXPECT_EQ(events[0].path, path);
    EXPECT_EQ(g_get_pos_refcnt(), 0);
}

TEST_F(FileReception, CompletionOfAnyOtherFileOnlyEndsOneUse)
{
    request_assistance();
    request_map();
    complete(61, "/sdcard/notes.txt", KOV_TRANSFER_COMPLETE_SUCCESS);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(g_get_pos_refcnt(), 1);
    EXPECT_EQ(g_lbs_consumer->is_requested_gps_extra_data, 1);
    EXPECT_EQ(g_get_requested_map_image_data(), 1);

    complete(62, nullptr, KOV_TRANSFER_COMPLETE_SUCCESS);
    EXPECT_TRUE(logged_text("Could not get filename."));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(g_get_pos_refcnt(), 0);
}

} // namespace
