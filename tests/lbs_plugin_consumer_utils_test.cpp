// Settings wrappers, the free-space rule and the file check.
#include "lbs_plugin_consumer_utils.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <storage.h>
#include <storage_control.h>
#include <vconf_control.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr uint64_t KiB = 1024, MiB = 1024 * KiB, GiB = 1024 * MiB;

class Utils : public ::testing::Test {
protected:
    void SetUp() override
    {
        vconf_ctl_reset();
        storage_ctl_reset();
        dlog_ctl_clear();
    }
    void TearDown() override { storage_ctl_reset(); }
};

void key_cb(keynode_t *, void *) {}

TEST_F(Utils, SettingReadsReportSuccessAndNameTheKeyOnFailure)
{
    int i = -1;
    double d = -1;
    EXPECT_EQ(setting_get_int("db/missing", &i), 0);
    EXPECT_TRUE(logged(DLOG_ERROR, "vconf_get_int failed, [db/missing]"));
    EXPECT_EQ(setting_get_double("db/missing_dbl", &d), 0);
    EXPECT_EQ(dlog_ctl_count_matching("LBS_CONSUMER_PLUGIN", "db/missing_dbl"), 1u);

    vconf_ctl_set_int("db/i", -12);
    vconf_ctl_set_dbl("db/d", 2.5);
    EXPECT_EQ(setting_get_int("db/i", &i), 1);
    EXPECT_EQ(i, -12);
    EXPECT_EQ(setting_get_double("db/d", &d), 1);
    EXPECT_EQ(d, 2.5);

    // A double key has no integer value to give; the read fails, whatever
    // the double holds (no conversion of NaN or of 1e300).
    i = 7;
    for (double v : {2.5, 1e300, std::nan("")}) {
        vconf_ctl_set_dbl("db/d", v);
        EXPECT_EQ(setting_get_int("db/d", &i), 0) << v;
        EXPECT_EQ(i, 7);
    }
}

TEST_F(Utils, WatchRegistrationAndRemovalReportFailureOnce)
{
    EXPECT_EQ(setting_notify_key_changed("db/k", key_cb, nullptr), 1);
    EXPECT_EQ(vconf_ctl_watcher_count("db/k"), 1u);
    EXPECT_EQ(setting_ignore_key_changed("db/k", key_cb), 1);
    EXPECT_EQ(vconf_ctl_watcher_count("db/k"), 0u);
    EXPECT_EQ(dlog_ctl_count(), 0u);

    EXPECT_EQ(setting_ignore_key_changed("db/k", key_cb), 0) << "nothing left to remove";
    EXPECT_TRUE(logged(DLOG_ERROR, "Fail to vconf_ignore_key_changed [db/k]"));
    vconf_ctl_fail_notify(1);
    EXPECT_EQ(setting_notify_key_changed("db/k", key_cb, nullptr), 0);
    EXPECT_TRUE(logged(DLOG_ERROR, "Fail to vconf_notify_key_changed [db/k]"));
}

TEST_F(Utils, FreeSpaceThresholdDependsOnStorageSize)
{
    struct Row {
        uint64_t total, free_bytes;
        int enough;
    } rows[] = {
        {1 * GiB, 6 * MiB, 1},          // exactly 1 GiB: small storage rule
        {1 * GiB, 6 * MiB - 1, 0},
        {1 * GiB + 1, 6 * MiB, 0},      // one byte more: large storage rule
        {1 * GiB + 1, 101 * MiB, 1},
        {1 * GiB + 1, 101 * MiB - 1, 0},
        {512 * MiB, 0, 0},
        {4 * GiB, 101 * MiB, 1},        // a 32-bit product would wrap to 0 here
        {4 * GiB, 100 * MiB, 0},
        {4 * GiB + 512 * MiB, 6 * MiB, 0}, // would wrap to 512 MiB, the small rule
        {64 * GiB, 32 * GiB, 1},
    };
    for (const Row &r : rows) {
        ASSERT_EQ(storage_ctl_set_bytes(r.total, r.free_bytes), 1);
        EXPECT_EQ(lbs_util_is_memory_space_available(), r.enough) << r.total << " total, " << r.free_bytes << " free";
    }
}

// The threshold rows above only catch a reader that takes the superuser's
// free blocks or the preferred block size if the stand-in reports figures
// that differ from the right ones; this holds it to that.
TEST_F(Utils, StorageReportsPrivilegedFreeSpaceAndBlockSizeApart)
{
    auto expect_figures = [](uint64_t total, uint64_t free_bytes) {
        SCOPED_TRACE(std::to_string(total) + " total, " + std::to_string(free_bytes) + " free");
        struct statvfs s = {};
        ASSERT_EQ(storage_get_internal_memory_size(&s), STORAGE_ERROR_NONE);
        EXPECT_EQ(static_cast<uint64_t>(s.f_blocks) * s.f_frsize, total);
        EXPECT_EQ(static_cast<uint64_t>(s.f_bavail) * s.f_frsize, free_bytes);
        EXPECT_GT(s.f_bfree, s.f_bavail);
        EXPECT_LE(s.f_bfree, s.f_blocks);
        EXPECT_NE(s.f_bsize, s.f_frsize);
    };
    expect_figures(8 * GiB, 4 * GiB); // the default

    struct Row {
        uint64_t total, free_bytes;
    } rows[] = {
        {1 * GiB, 6 * MiB - 1},
        {1 * GiB + 1, 101 * MiB},
        {64 * GiB, 32 * GiB},
    };
    for (const Row &r : rows) {
        ASSERT_EQ(storage_ctl_set_bytes(r.total, r.free_bytes), 1);
        expect_figures(r.total, r.free_bytes);
    }
    EXPECT_EQ(storage_ctl_set_bytes(1 * GiB, 1 * GiB + 4096), 0) << "more free than there is";
    expect_figures(64 * GiB, 32 * GiB);
}

TEST_F(Utils, FreeSpaceCountsOnlyWhatAnUnprivilegedUserMayWrite)
{
    constexpr unsigned long kFrag = 4096;
    // 8 GiB: 100 MiB for anyone, 150 MiB counting the superuser's reserve.
    storage_ctl_set_statvfs(8 * GiB / kFrag, 150 * MiB / kFrag, 100 * MiB / kFrag, kFrag, kFrag);
    EXPECT_EQ(lbs_util_is_memory_space_available(), 0);
    storage_ctl_set_statvfs(8 * GiB / kFrag, 150 * MiB / kFrag, 101 * MiB / kFrag, kFrag, kFrag);
    EXPECT_EQ(lbs_util_is_memory_space_available(), 1);
    // 1 GiB: 5 MiB for anyone, 7 MiB with the reserve.
    storage_ctl_set_statvfs(1 * GiB / kFrag, 7 * MiB / kFrag, 5 * MiB / kFrag, kFrag, kFrag);
    EXPECT_EQ(lbs_util_is_memory_space_available(), 0);
}

TEST_F(Utils, SizesAreCountedInFragmentsNotInPreferredBlocks)
{
    constexpr unsigned long kFrag = 4096, kBlock = 65536;
    // 1 GiB counted in fragments; in blocks it would look like 16 GiB and
    // need the 101 MiB of a large storage.
    storage_ctl_set_statvfs(1 * GiB / kFrag, 20 * MiB / kFrag, 6 * MiB / kFrag, kBlock, kFrag);
    EXPECT_EQ(lbs_util_is_memory_space_available(), 1);
    // 6 MiB less one fragment is short, however large a block is.
    storage_ctl_set_statvfs(1 * GiB / kFrag, 20 * MiB / kFrag, 6 * MiB / kFrag - 1, kBlock, kFrag);
    EXPECT_EQ(lbs_util_is_memory_space_available(), 0);
    // Preferred blocks smaller than fragments: 2 GiB with 100 MiB free is
    // short; counted in blocks it would shrink to 512 MiB with 25 MiB free,
    // plenty for a small storage.
    storage_ctl_set_statvfs(2 * GiB / kFrag, 200 * MiB / kFrag, 100 * MiB / kFrag, 1024, kFrag);
    EXPECT_EQ(lbs_util_is_memory_space_available(), 0);
}

TEST_F(Utils, FreeSpaceIsUnknownWhenTheQueryFails)
{
    storage_ctl_fail(-5);
    EXPECT_EQ(lbs_util_is_memory_space_available(), 0);
    EXPECT_TRUE(logged(DLOG_ERROR, "storage_get_internal_memory_size failed. ret : -5"));
}

class FileExist : public Utils {
protected:
    void SetUp() override
    {
        Utils::SetUp();
        dir_ = std::filesystem::temp_directory_path() / ("lbs_file_exist_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const char *name) const { return (dir_ / name).string(); }
    std::filesystem::path dir_;
};

TEST_F(FileExist, AnythingButADirectoryCounts)
{
    std::ofstream(path("regular")) << "x";
    std::filesystem::create_symlink(path("nowhere"), path("dangling"));
    std::filesystem::create_symlink(path("regular"), path("link"));

    EXPECT_EQ(lbs_util_is_file_exist(path("regular").c_str()), 1);
    EXPECT_EQ(lbs_util_is_file_exist(path("dangling").c_str()), 1);
    EXPECT_EQ(lbs_util_is_file_exist(path("link").c_str()), 1);
    EXPECT_EQ(lbs_util_is_file_exist("/dev/null"), 1);
    EXPECT_EQ(dlog_ctl_count(), 0u);

    EXPECT_EQ(lbs_util_is_file_exist(path("missing").c_str()), 0);
    EXPECT_EQ(dlog_ctl_count(), 0u) << "a missing file is not worth a log line";

    EXPECT_EQ(lbs_util_is_file_exist(dir_.c_str()), 0);
    EXPECT_TRUE(logged(DLOG_ERROR, "[" + dir_.string() + "] directory"));
}

TEST_F(FileExist, NullAndEmptyPathsAreRefused)
{
    EXPECT_EQ(lbs_util_is_file_exist(nullptr), 0);
    EXPECT_EQ(lbs_util_is_file_exist(""), 0);
    EXPECT_EQ(dlog_ctl_count_matching("LBS_CONSUMER_PLUGIN", "path NULL."), 2u);
}

} // namespace
