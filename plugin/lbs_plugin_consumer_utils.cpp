#include "lbs_plugin_consumer_utils.h"

#include "lbs_plugin_consumer_log.h"

#include <storage.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint64_t kLargeStorage = 1073741824ULL;    // 1 GiB
constexpr uint64_t kFreeOnLargeStorage = 105906176ULL; // 101 MiB
constexpr uint64_t kFreeOnSmallStorage = 6291456ULL;   // 6 MiB

constexpr const char *kFileDirectory = LBS_EXTRA_DIR;
constexpr uid_t kMediaOwner = 5000;
constexpr gid_t kMediaGroup = 5000;

bool file_directory_exists()
{
    struct stat st = {};
    return stat(kFileDirectory, &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates the file directory, open to everybody and owned by the media user.
void make_file_directory(const char *func)
{
    if (mkdir(kFileDirectory, 0777) != 0) {
        // Every failure is logged, one made by someone else in between too.
        LBS_LOGE_AS(func, "Failed to make directory.[%s]", kFileDirectory);
        return;
    }
    // mkdir's mode is narrowed by the process umask; the directory must be
    // writable for every application that reads the files.
    if (chmod(kFileDirectory, 0777) != 0)
        LBS_LOGE_AS(func, "Failed chmod(). errno[%d] [%s]", errno, strerror(errno));

    errno = 0;
    if (chown(kFileDirectory, kMediaOwner, kMediaGroup) != 0)
        LBS_LOGE_AS(func, "Failed chown(). errno[%d] [%s]", errno, strerror(errno));
}


} // namespace

int setting_get_int(const char *path, int *val)
{
    if (vconf_get_int(path, val) != 0) {
        LBS_LOGE("vconf_get_int failed, [%s]", path != nullptr ? path : "(null)");
        return 0;
    }
    return 1;
}

int setting_get_double(const char *path, double *val)
{
    if (vconf_get_dbl(path, val) != 0) {
        LBS_LOGE("vconf_get_dbl failed, [%s]", path != nullptr ? path : "(null)");
        return 0;
    }
    return 1;
}

int setting_notify_key_changed(const char *path, vconf_callback_fn key_changed_cb, void *data)
{
    if (vconf_notify_key_changed(path, key_changed_cb, data) != 0) {
        LBS_LOGE("Fail to vconf_notify_key_changed [%s]", path != nullptr ? path : "(null)");
        return 0;
    }
    return 1;
}

int setting_ignore_key_changed(const char *path, vconf_callback_fn key_changed_cb)
{
    if (vconf_ignore_key_changed(path, key_changed_cb) != 0) {
        LBS_LOGE("Fail to vconf_ignore_key_changed [%s]", path != nullptr ? path : "(null)");
        return 0;
    }
    return 1;
}

int lbs_util_is_memory_space_available(void)
{
    struct statvfs s = {};
    int ret = storage_get_internal_memory_size(&s);
    if (ret < 0) {
        LBS_LOGE("storage_get_internal_memory_size failed. ret : %d", ret);
        return 0;
    }

    // Widened to 64 bits: a 32-bit product wraps on storages of 4 GiB and more.
    const uint64_t total = static_cast<uint64_t>(s.f_blocks) * s.f_frsize;
    const uint64_t available = static_cast<uint64_t>(s.f_bavail) * s.f_frsize;
    const uint64_t needed = total > kLargeStorage ? kFreeOnLargeStorage : kFreeOnSmallStorage;
    return available >= needed ? 1 : 0;
}

int lbs_util_is_file_exist(const char *path)
{
    if (path == nullptr || path[0] == '\0') {
        LBS_LOGE("path NULL.");
        return 0;
    }
    struct stat st = {};
    if (lstat(path, &st) != 0)
        return 0;
    if (S_ISDIR(st.st_mode)) {
        LBS_LOGE("[%s] directory", path);
        return 0;
    }
    return 1;
}

void lbs_util_prepare_file_target(const char *func, const char *target)
{
    if (lbs_util_is_file_exist(target)) {
        const int ret = remove(target);
        // Every failed removal is logged, one that vanished in between too.
        if (ret != 0)
            LBS_LOGE_AS(func, "[%s] already exist but could not overwrite. [%d]", target, ret);
        return;
    }
    if (!file_directory_exists())
        make_file_directory(func);
}
