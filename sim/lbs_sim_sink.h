/*
 * Where the runner reports what crosses the plugin's boundaries while a
 * scenario runs. The trace writer renders it in the trace format of
 * docs/scenarios.md; the timeline renders it for a person.
 */
#ifndef LBS_SIM_SINK_H
#define LBS_SIM_SINK_H

#include "lbs_sim_scenario.h"

#include <alarmmgr_control.h>
#include <bapd_client_control.h>
#include <device_power_control.h>
#include <kov_client_control.h>
#include <lbs_consumer_plugin.h>

#include <cstdint>
#include <string_view>

namespace lbs_sim {

class Sink {
public:
    virtual ~Sink() = default;

    // A scenario command is about to run.
    virtual void command(int64_t time, const Command &cmd) = 0;
    // What init, deinit or request returned; what names the operation.
    virtual void returned(int64_t time, std::string_view what, int value) = 0;
    // An event reached the host callback.
    virtual void event(int64_t time, const lbs_consumer_event_s &event) = 0;
    virtual void kov_call(int64_t time, const kov_ctl_call &call) = 0;
    virtual void bap_call(int64_t time, const bap_ctl_call &call) = 0;
    virtual void alarm(int64_t time, const alarmmgr_ctl_traffic &traffic) = 0;
    virtual void power_lock(int64_t time, const device_power_ctl_call &call) = 0;
    // A platform log line: the function named in its "file: function(line) > "
    // prefix (empty when the line has no such prefix), and the message after it.
    virtual void log(int64_t time, int prio, std::string_view tag, std::string_view function,
                     std::string_view message) = 0;
    // A remark of the runner's own (a delivery nobody was there to take).
    virtual void note(int64_t time, std::string_view text) = 0;
    // A file the plugin accepted is partly received: the framework's
    // on_file_recv_progress (transaction id) or the BLE daemon's progress
    // callback (transfer id). Sinks that do not show transfers ignore it.
    virtual void progress(int64_t /*time*/, int /*transaction_id*/, unsigned /*percent*/) {}
    // `filedir has NAME`: whether a file stands at path.
    virtual void file_state(int64_t /*time*/, std::string_view /*path*/, bool /*present*/) {}
};

} // namespace lbs_sim

#endif // LBS_SIM_SINK_H
