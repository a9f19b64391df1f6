/*
 * Plays a scenario against the plugin: the host's calls, the settings store,
 * storage, the alarm clock, the accessory framework and the BLE daemon, all
 * through the platform stand-ins' control side, on the default GLib main
 * context. After every command, and after every alarm that fires, whatever
 * the main context has ready is dispatched until nothing is.
 *
 * Everything the plugin does at its boundaries goes to the sink, stamped
 * with the virtual time.
 */
#ifndef LBS_SIM_RUNNER_H
#define LBS_SIM_RUNNER_H

#include "lbs_sim_phone.h"
#include "lbs_sim_plugin.h"
#include "lbs_sim_scenario.h"
#include "lbs_sim_sink.h"

#include <dlog_control.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lbs_sim {

// A platform log line taken apart: "file: function(line) > message". A line
// without that prefix is all message, with no function.
struct LogPrefix {
    std::string_view function;
    std::string_view message;
};
LogPrefix split_log_prefix(std::string_view text);

struct RunnerOptions {
    // The plugin's file directory; a PATH argument starting with $EXTRA/
    // is read as a path in it.
    std::string extra_dir;
    // Pace the virtual clock with the wall clock: one second a second.
    bool realtime = false;
};

class Runner {
public:
    // Resets every stand-in and listens to them. One runner at a time: the
    // stand-ins have one observer each.
    Runner(const Plugin &plugin, Sink &sink, RunnerOptions options);
    ~Runner();
    Runner(const Runner &) = delete;
    Runner &operator=(const Runner &) = delete;

    // Runs one command, then drains the main context. False with *message
    // when the command cannot be played (figures storage cannot report).
    bool execute(const Command &cmd, std::string *message);

    // Dispatches the default main context until nothing is ready.
    static void drain();

    // The track the simulated phone played so far (Phone::played_track):
    // the walked points of its last `phone track`, in virtual milliseconds.
    std::vector<TrackPoint> played_track() const { return phone_->played_track(alarmmgr_ctl_now()); }

private:
    void advance(int64_t seconds);
    // `filedir`: what stands where the plugin keeps its files.
    bool set_file_directory(const std::string &state, std::string *message);
    // `filedir put NAME` and where NAME stands in the directory.
    bool put_file(const std::string &name, std::string *message);
    std::string file_directory_entry(const std::string &name) const;
    void deliver(const Command &cmd);
    const char *path_arg(const Command &cmd, std::string *storage) const;
    void missed(std::string_view callback);

    static int on_event(lbs_consumer_event_s *event, void *user_data);
    static void on_log(const dlog_ctl_line *line, void *user_data);
    static void on_alarm(const alarmmgr_ctl_traffic *traffic, void *user_data);
    static void on_power(const device_power_ctl_call *call, void *user_data);
    static void on_kov(const kov_ctl_call *call, void *user_data);
    static void on_bap(const bap_ctl_call *call, void *user_data);

    const Plugin &plugin_;
    Sink &sink_;
    RunnerOptions options_;
    // The simulated phone; it does nothing until a `phone` command.
    std::unique_ptr<Phone> phone_;
    // A scenario changed the file directory: it is put back at the end.
    bool file_directory_changed_ = false;
    bool loop_held_ = false; // `loop hold`: no dispatch after commands
    std::vector<std::string> put_files_; // removed at the end of the run
};

} // namespace lbs_sim

#endif // LBS_SIM_RUNNER_H
