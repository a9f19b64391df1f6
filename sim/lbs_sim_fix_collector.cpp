#include "lbs_sim_fix_collector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lbs_sim {

const char *fix_source_name(FixSource source)
{
    switch (source) {
    case FixSource::Gps: return "GPS";
    case FixSource::Wps: return "WPS";
    case FixSource::Batch: return "batch";
    }
    return "?";
}

void FixCollector::event(int64_t time, const lbs_consumer_event_s &ev)
{
    switch (ev.type) {
    case CONSUMER_EVENT_POSITION_GPS:
        if (ev.error != CONSUMER_ERR_NONE)
            failures_.push_back({time, ev.error});
        else
            fixes_.push_back({FixSource::Gps, time, ev.position.pos});
        break;
    case CONSUMER_EVENT_POSITION_WPS:
        if (ev.error == CONSUMER_ERR_NONE)
            fixes_.push_back({FixSource::Wps, time, ev.position.pos});
        break;
    case CONSUMER_EVENT_BATCH_POSITION: {
        const int count = std::clamp(ev.batch.count, 0, LBS_CONSUMER_MAX_BATCH_POSITIONS);
        for (int i = 0; i < count; ++i)
            fixes_.push_back({FixSource::Batch, time, ev.batch.pos[i]});
        break;
    }
    default:
        break;
    }
}

void FixCollector::set_played_track(std::vector<GeoPoint> track, int64_t epoch_ms)
{
    for (GeoPoint &p : track)
        p.time_ms -= epoch_ms;
    played_ = std::move(track);
}

size_t FixCollector::count(FixSource source) const
{
    return static_cast<size_t>(
        std::count_if(fixes_.begin(), fixes_.end(), [source](const ReceivedFix &f) { return f.source == source; }));
}

double haversine_m(double lat1, double lon1, double lat2, double lon2)
{
    constexpr double kMeanRadiusM = 6371008.8;
    constexpr double kRad = std::numbers::pi / 180.0;
    const double dlat = (lat2 - lat1) * kRad;
    const double dlon = (lon2 - lon1) * kRad;
    const double a = std::sin(dlat / 2) * std::sin(dlat / 2) +
                     std::cos(lat1 * kRad) * std::cos(lat2 * kRad) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * kMeanRadiusM * std::asin(std::min(1.0, std::sqrt(a)));
}

double path_length_m(const std::vector<ReceivedFix> &fixes, FixSource source)
{
    double total = 0;
    const consumer_position *prev = nullptr;
    for (const ReceivedFix &f : fixes) {
        if (f.source != source || !std::isfinite(f.pos.latitude) || !std::isfinite(f.pos.longitude))
            continue;
        if (prev != nullptr)
            total += haversine_m(prev->latitude, prev->longitude, f.pos.latitude, f.pos.longitude);
        prev = &f.pos;
    }
    return total;
}

void FanOutSink::command(int64_t time, const Command &cmd)
{
    for (Sink *s : sinks_)
        s->command(time, cmd);
}

void FanOutSink::returned(int64_t time, std::string_view what, int value)
{
    for (Sink *s : sinks_)
        s->returned(time, what, value);
}

void FanOutSink::event(int64_t time, const lbs_consumer_event_s &event)
{
    for (Sink *s : sinks_)
        s->event(time, event);
}

void FanOutSink::kov_call(int64_t time, const kov_ctl_call &call)
{
    for (Sink *s : sinks_)
        s->kov_call(time, call);
}

void FanOutSink::bap_call(int64_t time, const bap_ctl_call &call)
{
    for (Sink *s : sinks_)
        s->bap_call(time, call);
}

void FanOutSink::alarm(int64_t time, const alarmmgr_ctl_traffic &traffic)
{
    for (Sink *s : sinks_)
        s->alarm(time, traffic);
}

void FanOutSink::power_lock(int64_t time, const device_power_ctl_call &call)
{
    for (Sink *s : sinks_)
        s->power_lock(time, call);
}

void FanOutSink::log(int64_t time, int prio, std::string_view tag, std::string_view message)
{
    for (Sink *s : sinks_)
        s->log(time, prio, tag, message);
}

void FanOutSink::note(int64_t time, std::string_view text)
{
    for (Sink *s : sinks_)
        s->note(time, text);
}

void FanOutSink::progress(int64_t time, int transaction_id, unsigned percent)
{
    for (Sink *s : sinks_)
        s->progress(time, transaction_id, percent);
}

} // namespace lbs_sim
