// Instruction counts for bench/run.sh. Run under callgrind with collection
// off (--collect-atstart=no): each section switches collection on around its
// measured loop only, after a warm-up, and dumps its counts under its name,
// so that bringing the link up, building texts and first-use costs (type
// registration, the first allocations) are not counted.
//
// Prints "section NAME ITERATIONS" for every section, in order. Exits 1 when
// the plugin did not do what a section measures (no event, a wrong position,
// a rendering that differs from printf's), so that a broken path cannot pass
// for a fast one.
#include "lbs_bench_fixture.h"

#include <lbs_consumer_plugin.h>

#include <glib.h>
#include <valgrind/callgrind.h>

#include <cstdio>
#include <string>

namespace {

using namespace lbs_bench;

constexpr int kWarmUp = 5;
constexpr int kReplies = 200;
constexpr int kBatches = 20;
constexpr int kRenders = 200;
constexpr int kBatchSize = LBS_CONSUMER_MAX_BATCH_POSITIONS;

bool g_ok = true;

void check(bool condition, const char *section, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "bench: %s: %s\n", section, what);
        g_ok = false;
    }
}

template <typename Op> void section(const char *name, int iterations, Op &&op)
{
    for (int i = 0; i < kWarmUp; ++i)
        op();
    clear_log();
    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < iterations; ++i)
        op();
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(name);
    std::printf("section %s %d\n", name, iterations);
}

void replies(const char *name, const char *parse_name, const std::string &text, int iterations, int event_type,
             int count, double latitude)
{
    const std::uint64_t before = host_view().events;
    section(name, iterations, [&] { deliver(text); });
    check(host_view().events - before == static_cast<std::uint64_t>(kWarmUp + iterations), name,
          "not every reply reached the host");
    check(host_view().last_type == event_type, name, "the host got another event type");
    if (event_type == CONSUMER_EVENT_BATCH_POSITION)
        check(host_view().last_count == count, name, "the batch event does not carry every position");
    check(host_view().last_latitude == latitude, name, "the host got another position");

    bool parsed = true;
    section(parse_name, iterations, [&] { parsed = bare_parse(text) && parsed; });
    check(parsed, parse_name, "json-glib refused the reply");
}

} // namespace

int main()
{
    if (!bring_up_link() || !request_cases_agree())
        return 1;

    replies("reply.plugin", "reply.parse", position_reply(), kReplies, CONSUMER_EVENT_POSITION_GPS, 1,
            position_reply_latitude());
    replies("batch.plugin", "batch.parse", batch_reply(kBatchSize), kBatches, CONSUMER_EVENT_BATCH_POSITION,
            kBatchSize, batch_reply_last_latitude(kBatchSize));

    for (const RequestCase &c : request_cases()) {
        const std::string mine = std::string("render.") + c.name;
        const std::string reference = std::string("printf.") + c.name;
        bool rendered = true;
        section(mine.c_str(), kRenders, [&] {
            char *text = c.render();
            rendered = text != nullptr && rendered;
            g_free(text);
        });
        check(rendered, mine.c_str(), "rendered nothing");
        section(reference.c_str(), kRenders, [&] { g_free(c.printf()); });
    }

    tear_down_link();
    return g_ok ? 0 : 1;
}
