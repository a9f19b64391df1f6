/*
 * The interactive console: reads scenario commands from the terminal (line
 * editing, history and completion through libedit) or, when standard input
 * is not a terminal, line by line, and plays each one as it comes. Besides
 * the scenario verbs it knows `help`, `help VERB` and `quit` (or `exit`, or
 * end of input). A line that cannot be read or played is reported as
 * "console:N: message" and skipped; the session goes on.
 *
 * The recorder keeps every command that ran, in order, as a scenario that
 * plays the same trace again.
 */
#ifndef LBS_SIM_CONSOLE_H
#define LBS_SIM_CONSOLE_H

#include "lbs_sim_runner.h"
#include "lbs_sim_scenario.h"

#include <cstdio>
#include <string>

namespace lbs_sim {

class Recorder {
public:
    // Creates (or empties) path and writes the header: where it came from
    // and, when args is not empty, the "# lbs-sim-args: ARGS" line golden
    // tests read (--logs or --log-functions). false with *why when the file
    // cannot be written.
    bool open(const std::string &path, std::string_view args, std::string *why);
    bool is_open() const { return file_ != nullptr; }

    // Writes the command as it was written. A relative GPX path of
    // `phone track` read from base_file is written so that it names the
    // same file from the recording's directory. Flushed at once, so that
    // what ran is kept whatever ends the session.
    void add(const Command &cmd, std::string_view base_file);

    ~Recorder();

private:
    std::FILE *file_ = nullptr;
    std::string path_;
};

struct ConsoleOptions {
    // Read from the terminal with libedit (prompt, editing, history,
    // completion); otherwise plain lines, no prompt.
    bool terminal = false;
    // Where help and messages go (the timeline or trace has standard
    // output to itself).
    std::FILE *messages = stderr;
};

// Runs the session until quit or end of input. Returns the number of lines
// that were reported and skipped.
int run_console(Runner &runner, Recorder *recorder, const ConsoleOptions &options);

} // namespace lbs_sim

#endif // LBS_SIM_CONSOLE_H
