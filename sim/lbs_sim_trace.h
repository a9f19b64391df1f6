/*
 * The trace of docs/scenarios.md: one line per thing that crossed a
 * boundary, "T KIND DETAILS", and nothing else on the output. Lines are
 * written as they happen, so a trace is complete up to the moment of a crash.
 */
#ifndef LBS_SIM_TRACE_H
#define LBS_SIM_TRACE_H

#include "lbs_sim_event_decoder.h"
#include "lbs_sim_sink.h"

#include <cstdio>
#include <string>

namespace lbs_sim {

class TraceWriter : public Sink {
public:
    // with_logs: also write the platform log lines. with_functions: write
    // them with the function each one names, "log P TAG FUNCTION > MESSAGE"
    // (implies with_logs).
    TraceWriter(std::FILE *out, PathStyle paths, bool with_logs, bool with_functions = false);

    void command(int64_t time, const Command &cmd) override;
    void returned(int64_t time, std::string_view what, int value) override;
    void event(int64_t time, const lbs_consumer_event_s &event) override;
    void kov_call(int64_t time, const kov_ctl_call &call) override;
    void bap_call(int64_t time, const bap_ctl_call &call) override;
    void alarm(int64_t time, const alarmmgr_ctl_traffic &traffic) override;
    void power_lock(int64_t time, const device_power_ctl_call &call) override;
    void log(int64_t time, int prio, std::string_view tag, std::string_view function,
             std::string_view message) override;
    void note(int64_t time, std::string_view text) override;
    void file_state(int64_t time, std::string_view path, bool present) override;

private:
    void line(int64_t time, std::string_view rest);

    std::FILE *out_;
    PathStyle paths_;
    bool with_logs_;
    bool with_functions_;
};

} // namespace lbs_sim

#endif // LBS_SIM_TRACE_H
