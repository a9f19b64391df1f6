// File reception on the first link: where accepted files land and who owns
// them and their directory, that an offered name is reduced to its base name
// and can neither reach outside the file directory nor crash the link, and
// the ends of transfers the golden scenarios do not reach.
#include "kov/lbs_plugin_consumer_kov_intf_internal.h"
#include "kov/lbs_plugin_consumer_main.h"

#include "kov_link_fixture.h"
#include "log_capture.h"

#include <alarmmgr_control.h>
#include <gtest/gtest.h>
#include <kov_client_control.h>
#include <storage_control.h>
#include <vconf_control.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

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
    std::string path;
    int accept;
};

std::string dir_without_slash()
{
    return kDir.substr(0, kDir.size() - 1);
}

void write_file(const std::string &path, const std::string &content)
{
    std::ofstream(path) << content;
}

// The owner of path itself (a link is not followed).
std::pair<uid_t, gid_t> owner_of(const std::string &path)
{
    struct stat st = {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return {st.st_uid, st.st_gid};
}

// The media user, or the log of the refused change when the test does not
// run as root.
void expect_media_owner(std::pair<uid_t, gid_t> owner)
{
    if (geteuid() == 0)
        EXPECT_EQ(owner, std::make_pair(uid_t{5000}, gid_t{5000}));
    else
        EXPECT_TRUE(logged(DLOG_ERROR, "Failed chown(). errno[1] [Operation not permitted]"));
}

class FileReception : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove_all(dir_without_slash());
        ASSERT_EQ(start_registered_first_link(record_event, &events), 1);
        ASSERT_NE(g_lbs_consumer, nullptr);
    }

    void TearDown() override
    {
        stop_first_link();
        storage_ctl_reset();
        std::error_code ec;
        fs::remove_all(dir_without_slash(), ec);
        fs::remove_all(bait_dir(), ec);
    }

    // The host asks for the assistance file or the map; the phone answers
    // that it comes.
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
    void announce_both()
    {
        request_assistance();
        announce_assistance();
        request_map();
        announce_map();
    }
    void phone_says(const std::string &json)
    {
        ASSERT_EQ(kov_ctl_on_data_ind(21, LBS_KOV_CHANNEL_ID, json.size(), json.data()), 1);
    }

    void offer(int tx, const char *path) { ASSERT_EQ(kov_ctl_on_send_file(tx, path, kRegisteredAgent), 1); }
    void complete(int tx, const char *path, int result) { ASSERT_EQ(kov_ctl_on_receive_completed(tx, path, result), 1); }

    static std::vector<ReceiveFile> answers()
    {
        std::vector<ReceiveFile> out;
        for (size_t i = 0; i < kov_ctl_call_count(); ++i) {
            const kov_ctl_call *c = kov_ctl_call_at(i);
            if (std::string(c->name) == "receiveFile")
                out.push_back({c->text ? c->text : "(null)", c->accept});
        }
        return out;
    }

    // A directory beside the file directory with files of the two names in
    // it, which must stay as they are.
    static fs::path bait_dir() { return fs::path(dir_without_slash()).parent_path() / "bait"; }
    static std::string plant_bait(const char *name)
    {
        fs::create_directories(bait_dir());
        const std::string path = (bait_dir() / name).string();
        write_file(path, "not ours");
        return path;
    }

    std::vector<Event> events;
};

// ---- where files land and who owns them --------------------------------------

TEST_F(FileReception, AnnouncedFilesLandInTheFileDirectoryAndOnlyTheMapGoesToTheMediaUser)
{
    fs::create_directories(kDir);
    write_file(kMapTarget, "stale image");
    announce_both();

    offer(11, "/storage/emulated/0/RavErodurad/gpsPlus.dat");
    offer(12, "map.jpg");
    ASSERT_EQ(answers().size(), 2u);
    EXPECT_EQ(answers()[0].path, kGpsTarget);
    EXPECT_EQ(answers()[0].accept, 1);
    EXPECT_EQ(answers()[1].path, kMapTarget);
    EXPECT_EQ(answers()[1].accept, 1);
    EXPECT_FALSE(fs::exists(kMapTarget)) << "the old image is removed before the new one comes";
    EXPECT_TRUE(events.empty()) << "the host hears only when the transfer ends";

    write_file(kGpsTarget, "xtra");
    complete(11, kGpsTarget.c_str(), KOV_TRANSFER_COMPLETE_SUCCESS);
    EXPECT_EQ(owner_of(kGpsTarget), std::make_pair(geteuid(), getegid())) << "the assistance file keeps its owner";
    // Held open: a test program starting the link beside this one removes a
    // map image it finds, and the owner is the file's, not the name's.
    write_file(kMapTarget, "fresh image");
    const int image = open(kMapTarget.c_str(), O_RDONLY);
    complete(12, kMapTarget.c_str(), KOV_TRANSFER_COMPLETE_SUCCESS);
    struct stat st = {};
    EXPECT_EQ(fstat(image, &st), 0);
    close(image);
    expect_media_owner({st.st_uid, st.st_gid});
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].path, kGpsTarget);
    EXPECT_EQ(events[1].error, CONSUMER_ERR_NONE);
    EXPECT_EQ(events[1].path, kMapTarget);
}

TEST_F(FileReception, MissingDirectoryIsMadeOpenToAllForTheMediaUserAndAnExistingOneLeftAsItIs)
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
    expect_media_owner(owner_of(kDir));

    fs::remove_all(dir_without_slash());
    fs::create_directories(kDir);
    ASSERT_EQ(chmod(kDir.c_str(), 0750), 0);
    request_map();
    announce_map();
    offer(14, "map.jpg");
    ASSERT_EQ(stat(kDir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(owner_of(kDir), std::make_pair(geteuid(), getegid()));
    ASSERT_EQ(answers().size(), 2u);
    EXPECT_EQ(answers()[0].accept + answers()[1].accept, 2);
}

// The image goes to the media user at the path the framework reports,
// inside the file directory or not, and through a link to what it names.
TEST_F(FileReception, CompletedImageGoesToTheMediaUserWhereverTheFrameworkStoredIt)
{
    const std::string elsewhere = plant_bait("map.jpg");
    request_map();
    announce_map();
    complete(40, elsewhere.c_str(), KOV_TRANSFER_COMPLETE_SUCCESS);
    expect_media_owner(owner_of(elsewhere));

    fs::create_directories(kDir);
    const std::string linked = plant_bait("image.jpg");
    fs::create_symlink(linked, kMapTarget);
    request_map();
    announce_map();
    complete(41, kMapTarget.c_str(), KOV_TRANSFER_COMPLETE_SUCCESS);
    expect_media_owner(owner_of(linked));

    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].error, CONSUMER_ERR_NONE);
    EXPECT_EQ(events[0].path, elsewhere);
    EXPECT_EQ(events[1].path, kMapTarget);
}

// ---- offered names -------------------------------------------------------------

TEST_F(FileReception, OfferedNamesAreTakenOnlyByTheirBaseNameAndOnlyWhenAnnounced)
{
    const std::string bait_gps = plant_bait("gpsPlus.dat");
    const std::string bait_map = plant_bait("map.jpg");
    const fs::path parent = bait_dir().parent_path();
    std::set<std::string> before;
    for (const auto &entry : fs::directory_iterator(parent))
        before.insert(entry.path().filename().string());

    enum Kind { Gps, Map, Unknown };
    const struct {
        std::string name;
        Kind kind;
    } rows[] = {
        {"", Unknown}, {"/", Unknown}, {".", Unknown}, {"..", Unknown}, {"../../x/gpsPlus.dat", Gps},
        {std::string(4096, 'a'), Unknown}, {std::string(4000, 'b') + "/gpsPlus.dat", Gps},
        {"gpsPlus.dat\n", Unknown}, {"map\n.jpg", Unknown}, {"%s%s%n%s", Unknown}, {"../%x%n/map.jpg", Map},
        {bait_gps, Gps}, {bait_map, Map}, {"gpsPlus.dat/", Gps}, {kDir + "../bait/map.jpg", Map},
        {"/sdcard/xgpsPlus.dat", Unknown}, {"/sdcard/map.jpg.part", Unknown},
    };
    int tx = 100;
    for (bool announced : {true, false})
        for (const auto &row : rows) {
            SCOPED_TRACE((announced ? "announced: " : "not announced: ") + row.name);
            g_set_ready_to_download_gps_extra_data_status(0);
            g_set_ready_to_download_here_map_image_status(0);
            g_set_requested_map_image_data(0);
            g_lbs_consumer->is_requested_gps_extra_data = 0;
            events.clear();
            if (announced) {
                announce_both();
            } else {
                request_assistance();
                request_map();
            }
            offer(tx++, row.name.c_str());

            const ReceiveFile answer = answers().back();
            const char *base = row.kind == Gps ? "gpsPlus.dat" : row.kind == Map ? "map.jpg" : nullptr;
            if (announced && base != nullptr) {
                EXPECT_EQ(answer.path, kDir + base);
                EXPECT_EQ(answer.accept, 1);
                EXPECT_TRUE(events.empty());
                continue;
            }
            EXPECT_EQ(answer.accept, 0);
            if (base != nullptr)
                EXPECT_EQ(answer.path, base) << "only the base name goes back";
            else
                EXPECT_TRUE(answer.path == "/" || answer.path.find('/') == std::string::npos) << answer.path;
            // A refused file of a known name ends its request at once; an
            // unknown one only ends the link's use.
            if (base == nullptr) {
                EXPECT_TRUE(events.empty());
            } else {
                ASSERT_EQ(events.size(), 1u);
                EXPECT_EQ(events[0].type, row.kind == Gps ? CONSUMER_EVENT_EXTRA_DATA : CONSUMER_EVENT_HERE_MAP_DOWNLOAD);
                EXPECT_EQ(events[0].error, row.kind == Gps ? CONSUMER_ERR_NONE : CONSUMER_ERR_SYSTEM);
                EXPECT_FALSE(events[0].has_path);
            }
        }

    EXPECT_EQ(answers().size(), 2 * std::size(rows)) << "every offer with a path is answered";
    EXPECT_TRUE(logged(DLOG_ERROR, "====== Unknown file downloading [%s%s%n%s] ======"));
    // A name is logged as it comes; a newline in it stays inside its record.
    EXPECT_TRUE(logged(DLOG_ERROR, "====== Unknown file downloading [map\n.jpg] ======"));
    EXPECT_FALSE(logged(DLOG_ERROR, ".jpg] ======"));
    EXPECT_TRUE(fs::exists(bait_gps)) << "an offered path is never removed";
    EXPECT_TRUE(fs::exists(bait_map));
    std::set<std::string> after;
    for (const auto &entry : fs::directory_iterator(parent))
        after.insert(entry.path().filename().string());
    after.erase(fs::path(dir_without_slash()).filename().string());
    before.erase(fs::path(dir_without_slash()).filename().string());
    EXPECT_EQ(after, before) << "nothing created beside the file directory";
}

// A map image the start cannot remove (here a directory of that name with
// something in it) is logged, and the link starts all the same.
TEST_F(FileReception, AMapImageTheStartCannotRemoveIsLoggedAndTheLinkStarts)
{
    stop_first_link();
    fs::create_directories(kDir + "map.jpg/left");
    kov_ctl_set_connected(1);
    ASSERT_EQ(lbs_consumer_plugin_init(record_event, &events), 1);
    kov_ctl_on_regi_svc_agent_cfrm(KOV_RESULT_SUCCESS, kRegisteredAgent);
    EXPECT_TRUE(logged(DLOG_ERROR, "[" + kDir + "map.jpg] already exist but could not remove. [-1]"));
    EXPECT_TRUE(fs::exists(kDir + "map.jpg/left")) << "nothing inside it is touched";
    EXPECT_NE(g_lbs_consumer, nullptr);
}

TEST_F(FileReception, OffersWithoutStateRecordAreRefusedAndTheHostTold)
{
    lbs_plugin_consumer_s *kept = g_lbs_consumer;
    g_lbs_consumer = nullptr;
    offer(29, "gpsPlus.dat");
    offer(30, "map.jpg");
    g_lbs_consumer = kept;
    EXPECT_TRUE(logged(DLOG_ERROR, "lbs_consumer data not initialized"));
    ASSERT_EQ(answers().size(), 2u);
    EXPECT_EQ(answers()[0].accept + answers()[1].accept, 0);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[0].has_path);
    EXPECT_EQ(events[1].error, CONSUMER_ERR_SYSTEM);
}

// ---- ends of transfers -----------------------------------------------------

TEST_F(FileReception, FailedTransfersGiveTheEventWithoutFileAndAreNamedInTheLog)
{
    const std::pair<int, const char *> rows[] = {
        {KOV_TRANSFER_COMPLETE_FAIL_FILE_IO, "TRANSFER_COMPLETE_FAIL_FILE_IO"},
        {KOV_TRANSFER_COMPLETE_FAIL_PEER_UNRESPONSIVE, "TRANSFER_COMPLETE_FAIL_PEER_UNRESPONSIVE"},
        {KOV_TRANSFER_COMPLETE_FAIL_PEER_CONN_LOST, "TRANSFER_COMPLETE_FAIL_PEER_CONN_LOST"},
        {KOV_TRANSFER_COMPLETE_FAIL_PEER_CANCELLED, "TRANSFER_COMPLETE_FAIL_PEER_CANCELLED"},
        {KOV_TRANSFER_COMPLETE_FAIL_SPACE_NOT_AVAILABLE, "TRANSFER_COMPLETE_FAIL_SPACE_NOT_AVAILABLE"},
        {1, "Unknown error. [1]"},
        {-3, "Unknown error. [-3]"},
    };
    for (const auto &[result, log] : rows) {
        events.clear();
        dlog_ctl_clear();
        announce_both();
        offer(50, "gpsPlus.dat");
        offer(51, "map.jpg");
        complete(50, kGpsTarget.c_str(), result);
        complete(51, kMapTarget.c_str(), result);
        EXPECT_EQ(dlog_ctl_count_matching(nullptr, log), 2u) << log;
        ASSERT_EQ(events.size(), 2u) << log;
        EXPECT_FALSE(events[0].has_path || events[1].has_path) << log;
        EXPECT_EQ(events[1].error, CONSUMER_ERR_SYSTEM) << log;
        EXPECT_EQ(g_get_pos_refcnt(), 0) << log;
    }
}

TEST_F(FileReception, CompletionsOfOtherNamesOnlyEndOneUse)
{
    request_assistance();
    request_map();
    complete(61, "/sdcard/notes.txt", KOV_TRANSFER_COMPLETE_SUCCESS);
    EXPECT_EQ(g_get_pos_refcnt(), 1);
    EXPECT_EQ(g_lbs_consumer->is_requested_gps_extra_data, 1);
    EXPECT_EQ(g_get_requested_map_image_data(), 1);
    complete(62, nullptr, KOV_TRANSFER_COMPLETE_SUCCESS);
    EXPECT_TRUE(logged(DLOG_ERROR, "Could not get filename."));
    EXPECT_EQ(g_get_pos_refcnt(), 0);
    EXPECT_TRUE(events.empty());
}

} // namespace
