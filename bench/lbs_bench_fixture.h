/*
 * What the benchmarks of the first link share: the link brought up on the
 * platform stand-ins the way the framework brings it up, the phone's replies
 * as texts, and a realistic record for every request together with the plain
 * printf rendering of the same template and values.
 *
 * Conventions:
 *  1. One link per process, on the default main context, main thread only.
 *  2. Functions that can find the plugin misbehaving return false after
 *     printing why on standard error; callers stop with a failure.
 *  3. Texts returned are owned by the caller (std::string, or g_free for
 *     char *).
 */
#ifndef LBS_BENCH_FIXTURE_H
#define LBS_BENCH_FIXTURE_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lbs_bench {

/* What the host callback saw. */
struct HostView {
    std::uint64_t events = 0;       /* every event */
    int last_type = 0;
    int last_count = 0;             /* positions in the last batch event */
    double last_latitude = 0.0;     /* of the last single position, or of the last entry of a batch */
};
const HostView &host_view();

/* Starts the first link, registers it, starts GPS tracking, confirms the
 * service connection and runs the flush, so that replies reach the host. */
bool bring_up_link();

/* Stops the GPS session; checks that the plugin asked the framework to
 * close the service connection, and reports the connection closed. */
bool end_session();

/* Stops the link and runs the main loop dry. */
void tear_down_link();

/* Runs the default main context until nothing is ready. */
void run_main_loop_dry();

/* Hands text to the plugin's data callback as the framework does, on the
 * connected service and the link's channel. */
void deliver(std::string_view text);

/* Empties the log stand-in, which keeps every line the plugin logs. */
void clear_log();

/* "lbs-tracking-location-rsp" texts as the phone sends them: one GPS fix,
 * and a batch of count fixes (one per second along a track). */
const std::string &position_reply();
std::string batch_reply(int count);
/* The latitude the host must see for the fix, and for the last entry of a
 * batch of count. */
double position_reply_latitude();
double batch_reply_last_latitude(int count);

/* One parse as any caller would write it: json_parser_new,
 * json_parser_load_from_data, g_object_unref. */
bool bare_parse(std::string_view text);

/* A request with a realistic record. render() is what the plugin sends
 * (generate_req_message); printf() is g_strdup_printf of the same template
 * with the same values. Both return g_free-able texts. */
struct RequestCase {
    int id;
    const char *name;
    char *(*render)();
    char *(*printf)();
};
std::span<const RequestCase> request_cases();

/* Checks that every case renders, and that both renderings agree byte for
 * byte. */
bool request_cases_agree();

} // namespace lbs_bench

#endif /* LBS_BENCH_FIXTURE_H */
