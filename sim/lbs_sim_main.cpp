// lbs-sim: runs a scenario against the plugin and prints what crossed its
// boundaries, as a trace (--trace) or as a timeline for a person; on request
// also writes the positions the host received as GPX and a plot of them.
#include "lbs_sim_event_decoder.h"
#include "lbs_sim_fix_collector.h"
#include "lbs_sim_gpx_reader.h"
#include "lbs_sim_phone_model.h"
#include "lbs_sim_gpx_writer.h"
#include "lbs_sim_plot.h"
#include "lbs_sim_plugin.h"
#include "lbs_sim_runner.h"
#include "lbs_sim_scenario.h"
#include "lbs_sim_timeline.h"
#include "lbs_sim_trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#ifndef LBS_SIM_DEFAULT_PLUGIN
#error "LBS_SIM_DEFAULT_PLUGIN must name the plugin built with this tree"
#endif
#ifndef LBS_EXTRA_DIR
#error "LBS_EXTRA_DIR must be the plugin's file directory"
#endif

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;
constexpr const char *kDeviceExtraDir = "/opt/usr/media/.extra/";
constexpr int kPlotWidth = 1000;
constexpr int kPlotHeight = 750;

void usage(std::FILE *to)
{
    std::fputs("usage: lbs-sim [--trace] [--logs] [--realtime] [--plugin PATH] [--gpx-out FILE]\n"
               "               [--plot FILE.png] SCENARIO\n"
               "  --trace     print the trace format (scenario-format.md) and nothing else\n"
               "  --logs      include the platform log lines\n"
               "  --realtime  let one virtual second take one second of wall-clock time\n"
               "  --plugin    load PATH instead of the plugin built with this tool\n"
               "  --gpx-out   write the positions the host received to FILE as GPX 1.1\n"
               "  --plot      draw the played track and the positions received to FILE.png\n",
               to);
}

struct Options {
    bool trace = false;
    bool logs = false;
    bool realtime = false;
    std::string plugin = LBS_SIM_DEFAULT_PLUGIN;
    std::string gpx_out;
    std::string plot;
    std::string scenario;
};

// The value of an option that takes one: false when it is missing.
bool option_value(int argc, char **argv, int *i, const char *what, std::string *value)
{
    if (++*i == argc) {
        std::fprintf(stderr, "lbs-sim: %s needs %s\n", argv[*i - 1], what);
        return false;
    }
    *value = argv[*i];
    return true;
}

bool parse_options(int argc, char **argv, Options *o)
{
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (std::strcmp(a, "--trace") == 0) {
            o->trace = true;
        } else if (std::strcmp(a, "--logs") == 0) {
            o->logs = true;
        } else if (std::strcmp(a, "--realtime") == 0) {
            o->realtime = true;
        } else if (std::strcmp(a, "--plugin") == 0) {
            if (!option_value(argc, argv, &i, "a PATH", &o->plugin))
                return false;
        } else if (std::strcmp(a, "--gpx-out") == 0) {
            if (!option_value(argc, argv, &i, "a FILE", &o->gpx_out))
                return false;
        } else if (std::strcmp(a, "--plot") == 0) {
            if (!option_value(argc, argv, &i, "a FILE", &o->plot))
                return false;
        } else if (a[0] == '-' && a[1] != '\0') {
            std::fprintf(stderr, "lbs-sim: unknown option %s\n", a);
            return false;
        } else if (o->scenario.empty()) {
            o->scenario = a;
        } else {
            std::fprintf(stderr, "lbs-sim: one scenario at a time (%s)\n", a);
            return false;
        }
    }
    if (o->scenario.empty()) {
        std::fprintf(stderr, "lbs-sim: no scenario given\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
    Options opt;
    if (!parse_options(argc, argv, &opt)) {
        usage(stderr);
        return kExitUsage;
    }

    std::ifstream in(opt.scenario, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open the scenario: %s\n", opt.scenario.c_str(), std::strerror(errno));
        return kExitUsage;
    }
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    std::vector<lbs_sim::Command> commands;
    lbs_sim::ParseError error;
    if (!lbs_sim::parse_scenario(opt.scenario, content, &commands, &error)) {
        std::fprintf(stderr, "%s\n", error.to_string().c_str());
        return kExitUsage;
    }

    std::string why;
    std::unique_ptr<lbs_sim::Plugin> plugin = lbs_sim::Plugin::load(opt.plugin, &why);
    if (!plugin) {
        std::fprintf(stderr, "lbs-sim: %s\n", why.c_str());
        return kExitFailure;
    }

    if (opt.realtime)
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
    lbs_sim::PathStyle paths({LBS_EXTRA_DIR, kDeviceExtraDir});
    std::unique_ptr<lbs_sim::TraceWriter> trace;
    std::unique_ptr<lbs_sim::Timeline> timeline;
    lbs_sim::FixCollector collector;
    std::vector<lbs_sim::Sink *> sinks;
    if (opt.trace)
        sinks.push_back((trace = std::make_unique<lbs_sim::TraceWriter>(stdout, paths, opt.logs)).get());
    else
        sinks.push_back((timeline = std::make_unique<lbs_sim::Timeline>(stdout, paths, opt.logs)).get());
    if (!opt.gpx_out.empty() || !opt.plot.empty())
        sinks.push_back(&collector);
    lbs_sim::FanOutSink sink(sinks);

    lbs_sim::Runner runner(*plugin, sink, {LBS_EXTRA_DIR, opt.realtime});
    for (const lbs_sim::Command &cmd : commands) {
        std::string message;
        if (!runner.execute(cmd, &message)) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s:%d: %s\n", opt.scenario.c_str(), cmd.line, message.c_str());
            return kExitUsage;
        }
    }
    if (timeline)
        timeline->finish(alarmmgr_ctl_now());
    if (!opt.plot.empty()) {
        // The plot draws the track the phone played beside what the host got.
        std::vector<lbs_sim::GeoPoint> played;
        for (const lbs_sim::TrackPoint &p : runner.played_track())
            played.push_back({p.lat, p.lon, p.ele, p.time_ms});
        collector.set_played_track(std::move(played), lbs_sim::kPhoneEpochMs);
    }
    std::fflush(stdout);

    int status = 0;
    if (!opt.gpx_out.empty() && !lbs_sim::write_gpx_file(opt.gpx_out, collector.fixes(), &why)) {
        std::fprintf(stderr, "lbs-sim: %s\n", why.c_str());
        status = kExitFailure;
    }
    if (!opt.plot.empty()) {
        if (!lbs_sim::write_plot_file(opt.plot, kPlotWidth, kPlotHeight, collector, &why)) {
            std::fprintf(stderr, "lbs-sim: %s\n", why.c_str());
            status = kExitFailure;
        }
        lbs_sim::release_font_caches();
    }
    return status;
}
