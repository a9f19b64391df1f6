/*
 * Keeps what the host was told about where it is: the positions of
 * POSITION_GPS and POSITION_WPS events that carry no error, the entries of
 * BATCH_POSITION events, and the GPS events that came with an error. The
 * GPX writer, the plot and the timeline's summary read it. The track the
 * phone played cannot be seen from here; whoever plays it hands it over with
 * set_played_track.
 *
 * Also here: FanOutSink, which lets the runner's one sink feed several.
 */
#ifndef LBS_SIM_FIX_COLLECTOR_H
#define LBS_SIM_FIX_COLLECTOR_H

#include "lbs_sim_map_render.h"
#include "lbs_sim_sink.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lbs_sim {

// Which kind of event brought a position.
enum class FixSource { Gps, Wps, Batch };
inline constexpr std::array<FixSource, 3> kFixSources = {FixSource::Gps, FixSource::Wps, FixSource::Batch};

// "GPS", "WPS", "batch".
const char *fix_source_name(FixSource source);

struct ReceivedFix {
    FixSource source;
    int64_t received_at; // virtual seconds
    consumer_position pos;
};

// A POSITION_GPS event with an error: it carries no position.
struct FailedFix {
    int64_t received_at; // virtual seconds
    int error;
};

class FixCollector : public Sink {
public:
    void command(int64_t, const Command &) override {}
    void returned(int64_t, std::string_view, int) override {}
    void event(int64_t time, const lbs_consumer_event_s &event) override;
    void kov_call(int64_t, const kov_ctl_call &) override {}
    void bap_call(int64_t, const bap_ctl_call &) override {}
    void alarm(int64_t, const alarmmgr_ctl_traffic &) override {}
    void power_lock(int64_t, const device_power_ctl_call &) override {}
    void log(int64_t, int, std::string_view, std::string_view, std::string_view) override {}
    void note(int64_t, std::string_view) override {}

    // The track the phone played, in the order it played it. time_ms minus
    // epoch_ms is the virtual time in milliseconds at which the phone was at
    // each point (a phone whose clock starts at epoch_ms gives its own
    // times). own_points is how many of them are the track's own (the
    // rest, after them, lie between its points: where the phone is now);
    // all of them by default. Replaces any track given before.
    void set_played_track(std::vector<GeoPoint> track, int64_t epoch_ms = 0, size_t own_points = SIZE_MAX);

    // In the order they reached the host; batch entries in their order.
    // The played track's times are virtual milliseconds.
    const std::vector<ReceivedFix> &fixes() const { return fixes_; }
    const std::vector<FailedFix> &gps_failures() const { return failures_; }
    const std::vector<GeoPoint> &played_track() const { return played_; }
    // How many points of the played track are the track's own.
    size_t played_own_points() const { return own_points_; }
    size_t count(FixSource source) const;

private:
    std::vector<ReceivedFix> fixes_;
    std::vector<FailedFix> failures_;
    std::vector<GeoPoint> played_;
    size_t own_points_ = 0;
};

// Distances are those of the WGS84 geodesic (lbs_sim_geo), the model the
// simulated phone's exercise figures use, so that the summary, the plot and
// the figures agree.
// Length of the line through the fixes of one source, in their order.
double path_length_m(const std::vector<ReceivedFix> &fixes, FixSource source);
// Length of the line through the points, in their order.
double path_length_m(const std::vector<GeoPoint> &points);
// "850.0 m", "21.630 km": how the summary and the plot write distances.
std::string distance_text(double metres);
// "0:04:05", "2:00:00": hours, minutes, seconds.
std::string duration_text(int64_t seconds);

// Hands everything on to each sink in turn, in the order given. The sinks
// are not owned and must outlive it.
class FanOutSink : public Sink {
public:
    explicit FanOutSink(std::vector<Sink *> sinks) : sinks_(std::move(sinks)) {}

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

private:
    std::vector<Sink *> sinks_;
};

} // namespace lbs_sim

#endif // LBS_SIM_FIX_COLLECTOR_H
