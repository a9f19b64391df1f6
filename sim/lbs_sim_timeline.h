/*
 * A timeline for a person watching a scenario: each command, then what it
 * caused, indented under it, with event types and error codes by name, the
 * JSON that went to the phone, and every framework and daemon call with its
 * result.
 */
#ifndef LBS_SIM_TIMELINE_H
#define LBS_SIM_TIMELINE_H

#include "lbs_sim_event_decoder.h"
#include "lbs_sim_sink.h"

#include <cstdio>
#include <string>

namespace lbs_sim {

class Timeline : public Sink {
public:
    Timeline(std::FILE *out, PathStyle paths, bool with_logs);

    void command(int64_t time, const Command &cmd) override;
    void returned(int64_t time, std::string_view what, int value) override;
    void event(int64_t time, const lbs_consumer_event_s &event) override;
    void kov_call(int64_t time, const kov_ctl_call &call) override;
    void bap_call(int64_t time, const bap_ctl_call &call) override;
    void alarm(int64_t time, const alarmmgr_ctl_traffic &traffic) override;
    void power_lock(int64_t time, const device_power_ctl_call &call) override;
    void log(int64_t time, int prio, std::string_view tag, std::string_view message) override;
    void note(int64_t time, std::string_view text) override;

private:
    // "  12s  who    text"
    void line(int64_t time, std::string_view who, std::string_view text);

    std::FILE *out_;
    PathStyle paths_;
    bool with_logs_;
};

} // namespace lbs_sim

#endif // LBS_SIM_TIMELINE_H
