#include "lbs_sim_fix_collector.h"

#include "lbs_sim_geo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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

void FixCollector::set_played_track(std::vector<GeoPoint> track, int64_t epoch_ms, size_t own_points)
{
    for (GeoPoint &p : track)
        p.time_ms -= epoch_ms;
    own_points_ = std::min(own_points, track.size());
    played_ = std::move(track);
}

std::string distance_text(double metres)
{
    char buf[48];
    if (metres < 1000)
        std::snprintf(buf, sizeof buf, "%.1f m", metres);
    else
        std::snprintf(buf, sizeof buf, "%.3f km", metres / 1000);
    return buf;
}

std::string duration_text(int64_t seconds)
{
    char buf[48];
    const char *sign = seconds < 0 ? "-" : "";
    const int64_t s = seconds < 0 ? -seconds : seconds;
    std::snprintf(buf, sizeof buf, "%s%lld:%02lld:%02lld", sign, static_cast<long long>(s / 3600),
                  static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    return buf;
}

size_t FixCollector::count(FixSource source) const
{
    return static_cast<size_t>(
        std::count_if(fixes_.begin(), fixes_.end(), [source](const ReceivedFix &f) { return f.source == source; }));
}

namespace {

bool measurable(double lat, double lon)
{
    return std::isfinite(lat) && std::isfinite(lon) && lat >= -90 && lat <= 90;
}

} // namespace

double path_length_m(const std::vector<GeoPoint> &points)
{
    double total = 0;
    const GeoPoint *prev = nullptr;
    for (const GeoPoint &p : points) {
        if (!measurable(p.lat, p.lon))
            continue;
        if (prev != nullptr)
            total += geodesic_inverse(prev->lat, prev->lon, p.lat, p.lon).distance;
        prev = &p;
    }
    return total;
}

double path_length_m(const std::vector<ReceivedFix> &fixes, FixSource source)
{
    double total = 0;
    const consumer_position *prev = nullptr;
    for (const ReceivedFix &f : fixes) {
        if (f.source != source || !measurable(f.pos.latitude, f.pos.longitude))
            continue;
        if (prev != nullptr)
            total += geodesic_inverse(prev->latitude, prev->longitude, f.pos.latitude, f.pos.longitude).distance;
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

void FanOutSink::log(int64_t time, int prio, std::string_view tag, std::string_view function,
                     std::string_view message)
{
    for (Sink *s : sinks_)
        s->log(time, prio, tag, function, message);
}

void FanOutSink::note(int64_t time, std::string_view text)
{
    for (Sink *s : sinks_)
        s->note(time, text);
}

void FanOutSink::file_state(int64_t time, std::string_view path, bool present)
{
    for (Sink *s : sinks_)
        s->file_state(time, path, present);
}

void FanOutSink::progress(int64_t time, int transaction_id, unsigned percent)
{
    for (Sink *s : sinks_)
        s->progress(time, transaction_id, percent);
}

} // namespace lbs_sim
