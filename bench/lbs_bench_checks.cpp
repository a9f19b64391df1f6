// The budgets that need no instruction counts, for bench/run.sh:
//   heap  what 10,000 replies allocate and release, counted by this
//         program's own malloc family; prints
//         "heap REPLIES EVENTS ALLOCATIONS RELEASES"
//   idle  what a finished tracking session (start, positions, stop, the
//         framework reporting the connection closed) leaves behind. Only
//         two things may stay: an alarm whose id a fresh start of the link
//         forgot (no record holds it any more) stays armed until it fires
//         once, and an idle answer waiting in the main loop runs once.
//         Prints "idle HELD PENDING LEFT": HELD the armed alarms the link's
//         record still holds, PENDING 1 when the default main context still
//         has a source ready once the loop ran dry, LEFT the alarms still
//         armed once the clock has passed the longest request timer (every
//         alarm left on purpose has fired by then)
// Exits 1 when the link could not be taken through those steps.
#include "lbs_bench_fixture.h"

#include "kov/lbs_plugin_consumer_kov_intf_internal.h"

#include <alarmmgr_control.h>
#include <lbs_consumer_plugin.h>

#include <glib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

// The wait-connection timer of a map request, then its wait-response timer.
constexpr int64_t kLongestRequestTimer = 360 + 60;

// ---- the malloc family, counted --------------------------------------------
// Defined here, these take the place of the C library's for the whole
// process, GLib and json-glib included. Counting is switched on only around
// the measured replies. realloc of a live block to a live block counts
// nothing: the block count does not change.

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *ptr, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
void __libc_free(void *ptr);
}

namespace {

bool g_counting = false;
unsigned long g_allocations = 0;
unsigned long g_releases = 0;

void *counted(void *ptr)
{
    if (g_counting && ptr != nullptr)
        ++g_allocations;
    return ptr;
}

} // namespace

extern "C" {

void *malloc(size_t size)
{
    return counted(__libc_malloc(size));
}

void *calloc(size_t count, size_t size)
{
    return counted(__libc_calloc(count, size));
}

void *realloc(void *ptr, size_t size)
{
    if (ptr == nullptr)
        return counted(__libc_malloc(size));
    if (size == 0) {
        if (g_counting)
            ++g_releases;
        __libc_free(ptr);
        return nullptr;
    }
    return __libc_realloc(ptr, size);
}

void free(void *ptr)
{
    if (g_counting && ptr != nullptr)
        ++g_releases;
    __libc_free(ptr);
}

void *memalign(size_t alignment, size_t size)
{
    return counted(__libc_memalign(alignment, size));
}

void *aligned_alloc(size_t alignment, size_t size)
{
    return counted(__libc_memalign(alignment, size));
}

int posix_memalign(void **out, size_t alignment, size_t size)
{
    void *ptr = counted(__libc_memalign(alignment, size));
    if (ptr == nullptr)
        return ENOMEM;
    *out = ptr;
    return 0;
}

} // extern "C"

namespace {

using namespace lbs_bench;

constexpr int kReplies = 10000;
constexpr int kBatchEvery = 10; // one reply in ten is a full batch
constexpr int kWarmUp = 20;

} // namespace

int main(int, char **argv)
{
    // GLib's slice allocator serves small blocks from its own chunks, where
    // a block that is never released would not show. GLib reads the switch
    // when it loads, so the program starts again with it set.
    const char *slice = std::getenv("G_SLICE");
    if (slice == nullptr || std::strstr(slice, "always-malloc") == nullptr) {
        setenv("G_SLICE", "always-malloc", 1);
        execv("/proc/self/exe", argv);
        std::perror("bench: execv");
        return 1;
    }

    if (!bring_up_link())
        return 1;
    const std::string &single = position_reply();
    const std::string batch = batch_reply(LBS_CONSUMER_MAX_BATCH_POSITIONS);
    auto reply = [&](int i) { deliver(i % kBatchEvery == kBatchEvery - 1 ? batch : single); };

    for (int i = 0; i < kWarmUp; ++i)
        reply(i);
    clear_log();
    const std::uint64_t events_before = host_view().events;
    g_counting = true;
    for (int i = 0; i < kReplies; ++i)
        reply(i);
    // The log stand-in keeps every line; what the replies logged is released
    // here, inside the count, so that only what the plugin keeps remains.
    clear_log();
    g_counting = false;
    std::printf("heap %d %llu %lu %lu\n", kReplies,
                static_cast<unsigned long long>(host_view().events - events_before), g_allocations, g_releases);

    if (!end_session())
        return 1;
    size_t held = 0;
    if (const lbs_plugin_consumer_s *c = g_lbs_consumer; c != nullptr) {
        auto count = [&](alarm_id_t id) { held += id != 0 && alarmmgr_ctl_get(id, nullptr, nullptr) == 1; };
        count(c->connect_alarm_id);
        count(c->find_peer_alarm_id);
        for (alarm_id_t id : c->req_timer)
            count(id);
    }
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    const int pending = g_main_context_pending(nullptr) ? 1 : 0;
    alarmmgr_ctl_advance(kLongestRequestTimer + 1);
    std::printf("idle %zu %d %zu\n", held, pending, alarmmgr_ctl_count());

    tear_down_link();
    return 0;
}
