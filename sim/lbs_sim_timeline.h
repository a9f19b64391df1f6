/*
 * A timeline for a person watching a scenario: each command, then what it
 * caused, indented under it, with event types and error codes by name, the
 * JSON that went to the phone, and every framework and daemon call with its
 * result. Files the plugin accepts show as a progress bar each time they
 * move on. finish() ends the timeline with a summary: events by type,
 * positions received and the distance they cover (WGS84 geodesic), file transfers, and the
 * requests still waiting for their answer.
 */
#ifndef LBS_SIM_TIMELINE_H
#define LBS_SIM_TIMELINE_H

#include "lbs_sim_event_decoder.h"
#include "lbs_sim_fix_collector.h"
#include "lbs_sim_sink.h"

#include <cstdio>
#include <deque>
#include <map>
#include <string>

namespace lbs_sim {

class Timeline : public Sink {
public:
    // with_functions: log lines also name their function (implies with_logs).
    Timeline(std::FILE *out, PathStyle paths, bool with_logs, bool with_functions = false);

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
    void progress(int64_t time, int transaction_id, unsigned percent) override;
    void file_state(int64_t time, std::string_view path, bool present) override;

    // The summary, stamped with the time the run ended.
    void finish(int64_t time);

    // What the summary is made of, for tests.
    struct Waiting {
        int code;     // host request code
        int answer;   // event type that answers it
        int64_t sent; // virtual seconds
    };
    struct Transfer {
        unsigned percent = 0;
        std::string path;
        bool ended = false;
        int result = 0; // when ended: 0 received, else the failure reported
    };
    const std::map<int, int> &event_counts() const { return events_; }
    // POSITION_GPS events that came with an error.
    int gps_errors() const { return gps_errors_; }
    const FixCollector &fixes() const { return fixes_; }
    const std::deque<Waiting> &waiting() const { return waiting_; }
    const std::map<int, Transfer> &transfers() const { return transfers_; }

private:
    // "  12s  who    text"
    void line(int64_t time, std::string_view who, std::string_view text);

    void bar(int64_t time, int id, const Transfer &t, std::string_view state);
    void end_transfer(int64_t time, int id, int result);

    std::FILE *out_;
    PathStyle paths_;
    bool with_logs_;
    bool with_functions_;

    std::map<int, int> events_; // type -> count
    int gps_errors_ = 0;
    FixCollector fixes_;
    std::map<int, Transfer> transfers_; // by transaction or transfer id
    std::deque<Waiting> waiting_;       // oldest first
    // The request call under way: its code, and whether its answer came
    // before the call returned.
    int request_code_ = 0;
    bool answered_in_call_ = false;
};

} // namespace lbs_sim

#endif // LBS_SIM_TIMELINE_H
