// lbs-sim: runs a scenario against the plugin and prints what crossed its
// boundaries, as a trace (--trace) or as a timeline for a person; on request
// also writes the positions the host received as GPX and a plot of them,
// goes on with commands typed at a console, and records what ran.
#include "lbs_sim_console.h"
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
#include "lbs_sim_verbs.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#ifndef LBS_SIM_DEFAULT_PLUGIN
#error "LBS_SIM_DEFAULT_PLUGIN must name the plugin built with this tree"
#endif
#ifndef LBS_SIM_VERSION
#error "LBS_SIM_VERSION must be the project's version"
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
// Lines that cannot be read, reported one by one before the rest are counted.
constexpr size_t kMaxReportedLines = 20;

// The plugin lbs-sim loads unless told otherwise. In a build tree it sits in
// lib/ beside bin/, and is taken from there by its path: a sanitizer's
// dlopen interceptor would not search the tool's RUNPATH. Installed, the
// library is wherever the loader finds it, so its soname is enough.
std::string default_plugin()
{
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = '\0';
        std::string dir(exe);
        dir.erase(dir.find_last_of('/') + 1);
        const std::string beside = dir + "../lib/" LBS_SIM_DEFAULT_PLUGIN;
        if (::access(beside.c_str(), R_OK) == 0)
            return beside;
    }
    return LBS_SIM_DEFAULT_PLUGIN;
}

struct Options {
    bool trace = false;
    bool logs = false;
    bool log_functions = false;
    bool realtime = false;
    bool interactive = false;
    bool help = false;
    bool version = false;
    std::string plugin;
    std::string gpx_out;
    std::string plot;
    std::string record;
    std::string scenario;
};

// One option: its names, the word for its value (nullptr for a switch),
// what it does, and how it sets Options. --help is made from this table.
struct OptionSpec {
    const char *name;
    const char *short_name;
    const char *value;
    const char *help;
    void (*apply)(Options *o, const char *value);
};

constexpr OptionSpec kOptions[] = {
    {"--trace", nullptr, nullptr, "print only the trace (for tools and golden tests)",
     [](Options *o, const char *) { o->trace = true; }},
    {"--logs", nullptr, nullptr, "include the platform log lines",
     [](Options *o, const char *) { o->logs = true; }},
    {"--log-functions", nullptr, nullptr, "the log lines, each naming its function (implies --logs)",
     [](Options *o, const char *) { o->logs = o->log_functions = true; }},
    {"--realtime", nullptr, nullptr, "let a virtual second take a second of wall-clock time",
     [](Options *o, const char *) { o->realtime = true; }},
    {"--plugin", nullptr, "PATH", "load PATH instead of the plugin built with lbs-sim",
     [](Options *o, const char *v) { o->plugin = v; }},
    {"--gpx-out", nullptr, "FILE", "write the positions the host received as GPX 1.1",
     [](Options *o, const char *v) { o->gpx_out = v; }},
    {"--plot", nullptr, "FILE.png", "draw the played track and the positions received",
     [](Options *o, const char *v) { o->plot = v; }},
    {"--interactive", "-i", nullptr, "then run commands as they are typed (a console)",
     [](Options *o, const char *) { o->interactive = true; }},
    {"--record", nullptr, "FILE", "write the commands that ran: a scenario of the run",
     [](Options *o, const char *v) { o->record = v; }},
    {"--help", "-h", nullptr, "print this help and exit", [](Options *o, const char *) { o->help = true; }},
    {"--version", "-V", nullptr, "print the version and exit",
     [](Options *o, const char *) { o->version = true; }},
};

void usage(std::FILE *to)
{
    std::fputs("Usage: lbs-sim [OPTION]... SCENARIO\n"
               "  or:  lbs-sim --interactive [OPTION]... [SCENARIO]\n"
               "Play a scenario against the location consumer plugin, the host's side and the\n"
               "device's, and print what crossed the plugin's boundaries: a timeline for\n"
               "people, or the trace for tools. SCENARIO is a file of commands, one a line;\n"
               "- reads it from standard input.\n"
               "\n"
               "Options:\n",
               to);
    for (const OptionSpec &o : kOptions) {
        std::string names = o.short_name != nullptr ? std::string(o.short_name) + ", " + o.name : std::string("    ") + o.name;
        if (o.value != nullptr)
            names += std::string(" ") + o.value;
        std::fprintf(to, "  %-20s %s\n", names.c_str(), o.help);
    }
    std::fputs("\nVerbs (one command a line; # starts a comment; in the console: help VERB):\n", to);
    // A tag for each part of the world the verbs play, then its verbs,
    // wrapped under one another (help2man makes a tagged paragraph of it).
    const auto part_of = [](std::string_view first) -> std::string_view {
        if (first == "kov" || first == "bap" || first == "phone")
            return first;
        if (first == "init" || first == "deinit" || first == "request")
            return "host";
        if (first == "advance")
            return "time";
        return "device";
    };
    constexpr size_t kTagWidth = 10, kWidth = 78;
    for (std::string_view part : {"host", "device", "time", "kov", "bap", "phone"}) {
        std::string line = "  " + std::string(part);
        line.resize(2 + kTagWidth, ' ');
        size_t start = line.size();
        for (const lbs_sim::VerbHelp &v : lbs_sim::verb_help()) {
            const std::string_view first = v.name.substr(0, v.name.find(' '));
            if (part_of(first) != part)
                continue;
            std::string piece = lbs_sim::verb_usage(v);
            if (first == part)
                piece = piece.substr(first.size() + 1);
            if (line.size() > start && line.size() + 2 + piece.size() > kWidth) {
                std::fprintf(to, "%s,\n", line.c_str());
                line = std::string(2 + kTagWidth, ' ');
                start = line.size();
            } else if (line.size() > start) {
                line += ", ";
            }
            line += piece;
        }
        std::fprintf(to, "%s\n", line.c_str());
    }
    std::fputs("\n"
               "Exit status: 0 when the scenario ran to its end (and the console was left);\n"
               "2 for bad options, outputs that cannot be written, and a scenario with lines\n"
               "that cannot be read (each reported as FILE:LINE: message; nothing runs);\n"
               "1 when the plugin cannot be loaded or an output fails after the run.\n"
               "\n"
               "The scenario language and the trace: docs/scenarios.md; lbs-sim itself:\n"
               "sim/README.md.\n",
               to);
}

void version()
{
    std::printf("lbs-sim %s\n", LBS_SIM_VERSION);
}

bool parse_options(int argc, char **argv, Options *o)
{
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        const OptionSpec *option = nullptr;
        for (const OptionSpec &s : kOptions)
            if (std::strcmp(a, s.name) == 0 || (s.short_name != nullptr && std::strcmp(a, s.short_name) == 0))
                option = &s;
        if (option != nullptr) {
            const char *value = nullptr;
            if (option->value != nullptr) {
                if (++i == argc) {
                    std::fprintf(stderr, "lbs-sim: %s needs %s\n", a, option->value);
                    return false;
                }
                value = argv[i];
            }
            option->apply(o, value);
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
    if (o->help || o->version)
        return true;
    if (o->scenario.empty() && !o->interactive) {
        std::fprintf(stderr, "lbs-sim: no scenario given\n");
        return false;
    }
    if (o->interactive && o->scenario == "-") {
        std::fprintf(stderr, "lbs-sim: the console reads standard input: give the scenario as a file\n");
        return false;
    }
    return true;
}

bool ends_with_png(const std::string &name)
{
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char &c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".png";
}

// Whether a file can be written at path, found out without leaving anything
// behind: an existing file is opened for writing (not emptied), a new one
// made and removed again.
bool can_write(const std::string &path, std::string *why)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            *why = path + ": " + std::strerror(EISDIR);
            return false;
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            *why = path + ": " + std::strerror(errno);
            return false;
        }
        ::close(fd);
        return true;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *why = path + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    ::unlink(path.c_str());
    return true;
}

// Outputs are checked before anything runs: a run is not wasted on a file
// it could never write.
bool check_outputs(const Options &o)
{
    if (!o.plot.empty() && !ends_with_png(o.plot)) {
        std::fprintf(stderr, "lbs-sim: --plot writes PNG; give a FILE ending in .png, not '%s'\n", o.plot.c_str());
        return false;
    }
    std::string why;
    for (const std::string *path : {&o.gpx_out, &o.plot, &o.record})
        if (!path->empty() && !can_write(*path, &why)) {
            std::fprintf(stderr, "lbs-sim: cannot write %s\n", why.c_str());
            return false;
        }
    return true;
}

// The scenario's text; "-" is standard input.
bool read_scenario(const std::string &name, std::string *content)
{
    if (name == "-") {
        content->assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open the scenario: %s\n", name.c_str(), std::strerror(errno));
        return false;
    }
    content->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    Options opt;
    if (!parse_options(argc, argv, &opt)) {
        std::fputs("Try 'lbs-sim --help' for more information.\n", stderr);
        return kExitUsage;
    }
    if (opt.help) {
        usage(stdout);
        return 0;
    }
    if (opt.version) {
        version();
        return 0;
    }
    if (!check_outputs(opt))
        return kExitUsage;

    // Every line is read before anything runs; each that cannot be is
    // reported, up to a limit.
    std::vector<lbs_sim::Command> commands;
    const std::string scenario_name = opt.scenario == "-" ? "<stdin>" : opt.scenario;
    if (!opt.scenario.empty()) {
        std::string content;
        if (!read_scenario(opt.scenario, &content))
            return kExitUsage;
        std::vector<lbs_sim::ParseError> errors;
        if (!lbs_sim::parse_scenario(scenario_name, content, &commands, &errors)) {
            for (size_t i = 0; i < errors.size() && i < kMaxReportedLines; ++i)
                std::fprintf(stderr, "%s\n", errors[i].to_string().c_str());
            if (errors.size() > kMaxReportedLines)
                std::fprintf(stderr, "%s: %zu more lines cannot be read\n", scenario_name.c_str(),
                             errors.size() - kMaxReportedLines);
            return kExitUsage;
        }
    }

    std::string why;
    if (opt.plugin.empty())
        opt.plugin = default_plugin();
    std::unique_ptr<lbs_sim::Plugin> plugin = lbs_sim::Plugin::load(opt.plugin, &why);
    if (!plugin) {
        std::fprintf(stderr, "lbs-sim: %s\n", why.c_str());
        return kExitFailure;
    }
    lbs_sim::Recorder recorder;
    if (!opt.record.empty() && !recorder.open(opt.record, opt.log_functions ? "--log-functions" : opt.logs ? "--logs" : "", &why)) {
        std::fprintf(stderr, "lbs-sim: cannot write %s\n", why.c_str());
        return kExitUsage;
    }

    if (opt.realtime)
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
    lbs_sim::PathStyle paths({LBS_EXTRA_DIR, kDeviceExtraDir});
    std::unique_ptr<lbs_sim::TraceWriter> trace;
    std::unique_ptr<lbs_sim::Timeline> timeline;
    lbs_sim::FixCollector collector;
    std::vector<lbs_sim::Sink *> sinks;
    if (opt.trace)
        sinks.push_back(
            (trace = std::make_unique<lbs_sim::TraceWriter>(stdout, paths, opt.logs, opt.log_functions)).get());
    else
        sinks.push_back(
            (timeline = std::make_unique<lbs_sim::Timeline>(stdout, paths, opt.logs, opt.log_functions)).get());
    if (!opt.gpx_out.empty() || !opt.plot.empty())
        sinks.push_back(&collector);
    lbs_sim::FanOutSink sink(sinks);

    lbs_sim::Runner runner(*plugin, sink, {LBS_EXTRA_DIR, opt.realtime});
    for (const lbs_sim::Command &cmd : commands) {
        std::string message;
        if (!runner.execute(cmd, &message)) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s:%d: %s\n", scenario_name.c_str(), cmd.line, message.c_str());
            return kExitUsage;
        }
        recorder.add(cmd, scenario_name);
    }
    if (opt.interactive) {
        lbs_sim::ConsoleOptions console;
        console.terminal = isatty(STDIN_FILENO) != 0;
        lbs_sim::run_console(runner, &recorder, console);
    }
    if (timeline)
        timeline->finish(alarmmgr_ctl_now());
    if (!opt.plot.empty()) {
        // The plot draws the track the phone played beside what the host got.
        // Its last point is where the phone is now, between two of the
        // track's own points.
        std::vector<lbs_sim::GeoPoint> played;
        for (const lbs_sim::TrackPoint &p : runner.played_track())
            played.push_back({p.lat, p.lon, p.ele, p.time_ms});
        const size_t own = played.empty() ? 0 : played.size() - 1;
        collector.set_played_track(std::move(played), lbs_sim::kPhoneEpochMs, own);
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
