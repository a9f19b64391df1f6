#include "storage.h"
#include "storage_control.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// What the query reports, in the statvfs sense: block counts are in
// fragments (frsize bytes); bsize is the preferred transfer size.
struct Figures {
    unsigned long blocks;
    unsigned long bfree;
    unsigned long bavail;
    unsigned long bsize;
    unsigned long frsize;
    int fail_status;
};

// Like a freshly made ext4 file system: 5% of the blocks are kept back for
// the superuser, and the preferred transfer size is several fragments. Both
// make the figures a reader could mix up differ, so that a reader who takes
// f_bfree for f_bavail, or f_bsize for f_frsize, gets a different answer.
constexpr unsigned long kReservedPerCent = 5;
constexpr unsigned long kFragmentsPerBlock = 8;

Figures derive(unsigned long blocks, unsigned long bavail, unsigned long frsize)
{
    const unsigned long unused = blocks > bavail ? blocks - bavail : 0;
    const unsigned long reserve = std::max(1UL, blocks / 100 * kReservedPerCent + blocks % 100 * kReservedPerCent / 100);
    return Figures{blocks, bavail + std::min(unused, reserve), bavail, frsize * kFragmentsPerBlock, frsize, 0};
}

const Figures kDefault = derive(2097152UL, 1048576UL, 4096UL); // 8 GiB, 4 GiB free

Figures &figures()
{
    static Figures f = kDefault;
    return f;
}

void set_keeping_failure(const Figures &next)
{
    Figures &f = figures();
    const int fail_status = f.fail_status;
    f = next;
    f.fail_status = fail_status;
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
    buf->f_bsize = f.bsize;
    buf->f_frsize = f.frsize;
    buf->f_blocks = f.blocks;
    buf->f_bfree = f.bfree;
    buf->f_bavail = f.bavail;
    return STORAGE_ERROR_NONE;
}

extern "C" int storage_ctl_set_bytes(uint64_t total, uint64_t free_bytes)
{
    constexpr uint64_t kMaxBlocks = std::numeric_limits<fsblkcnt_t>::max();
    if (free_bytes > total)
        return 0;
    for (uint64_t frsize = 4096; frsize >= 1; frsize /= 2) {
        if (total % frsize != 0 || free_bytes % frsize != 0)
            continue;
        if (total / frsize > kMaxBlocks)
            return 0;
        set_keeping_failure(derive(static_cast<unsigned long>(total / frsize),
                                   static_cast<unsigned long>(free_bytes / frsize),
                                   static_cast<unsigned long>(frsize)));
        return 1;
    }
    return 0;
}

extern "C" void storage_ctl_set_blocks(unsigned long blocks, unsigned long bavail, unsigned long frsize)
{
    set_keeping_failure(derive(blocks, bavail, frsize));
}

extern "C" void storage_ctl_set_statvfs(unsigned long blocks, unsigned long bfree, unsigned long bavail,
                                        unsigned long bsize, unsigned long frsize)
{
    set_keeping_failure(Figures{blocks, bfree, bavail, bsize, frsize, 0});
}

extern "C" void storage_ctl_fail(int status)
{
    figures().fail_status = status;
}

extern "C" void storage_ctl_reset(void)
{
    figures() = kDefault;
}
