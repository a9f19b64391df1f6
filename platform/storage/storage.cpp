#include "storage.h"
#include "storage_control.h"

#include <cstring>
#include <limits>

namespace {

struct Figures {
    unsigned long blocks;
    unsigned long bavail;
    unsigned long frsize;
    int fail_status;
};

constexpr Figures kDefault{2097152UL, 1048576UL, 4096UL, 0}; // 8 GiB, 4 GiB free

Figures &figures()
{
    static Figures f = kDefault;
    return f;
}

} // namespace

extern "C" int storage_get_internal_memory_size(struct statvfs *buf)
{
    if (buf == nullptr)
        return STORAGE_ERROR_INVALID_PARAMETER;
    const Figures &f = figures();
    if (f.fail_status != 0)
        return f.fail_status;
    std::memset(buf, 0, sizeof(*buf));
    buf->f_bsize = f.frsize;
    buf->f_frsize = f.frsize;
    buf->f_blocks = f.blocks;
    buf->f_bfree = f.bavail;
    buf->f_bavail = f.bavail;
    return STORAGE_ERROR_NONE;
}

extern "C" int storage_ctl_set_bytes(uint64_t total, uint64_t free_bytes)
{
    constexpr uint64_t kMaxBlocks = std::numeric_limits<fsblkcnt_t>::max();
    for (uint64_t frsize = 4096; frsize >= 1; frsize /= 2) {
        if (total % frsize != 0 || free_bytes % frsize != 0)
            continue;
        if (total / frsize > kMaxBlocks || free_bytes / frsize > kMaxBlocks)
            return 0;
        Figures &f = figures();
        f.blocks = static_cast<unsigned long>(total / frsize);
        f.bavail = static_cast<unsigned long>(free_bytes / frsize);
        f.frsize = static_cast<unsigned long>(frsize);
        return 1;
    }
    return 0;
}

extern "C" void storage_ctl_set_blocks(unsigned long blocks, unsigned long bavail, unsigned long frsize)
{
    Figures &f = figures();
    f.blocks = blocks;
    f.bavail = bavail;
    f.frsize = frsize;
}

extern "C" void storage_ctl_fail(int status)
{
    figures().fail_status = status;
}

extern "C" void storage_ctl_reset(void)
{
    figures() = kDefault;
}
