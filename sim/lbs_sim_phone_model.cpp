#include "lbs_sim_phone_model.h"

#include "lbs_sim_geo.h"

#if __has_include("lbs_sim_map_render.h")
#include "lbs_sim_map_render.h"
#define LBS_SIM_HAVE_MAP_RENDER 1
#endif

#include <json-glib/json-glib.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <map>

namespace lbs_sim {

// A request's members: its message id and its numbers (an integer member
// read as a double; every request number fits).
struct RequestFields {
    std::string msg_id;
    std::map<std::string, double, std::less<>> numbers;
    std::map<std::string, std::string, std::less<>> texts;

    bool has(std::string_view key) const { return numbers.find(key) != numbers.end(); }
    double num(std::string_view key, double fallback = 0) const
    {
        auto it = numbers.find(key);
        return it != numbers.end() ? it->second : fallback;
    }
    int64_t integer(std::string_view key, int64_t fallback = 0) const
    {
        return static_cast<int64_t>(std::llround(num(key, static_cast<double>(fallback))));
    }
};

namespace {

bool parse_request(std::string_view text, RequestFields *r)
{
    JsonParser *parser = json_parser_new();
    bool ok = json_parser_load_from_data(parser, text.data(), static_cast<gssize>(text.size()), nullptr);
    JsonNode *root = ok ? json_parser_get_root(parser) : nullptr;
    ok = root != nullptr && JSON_NODE_HOLDS_OBJECT(root);
    if (ok) {
        JsonObject *obj = json_node_get_object(root);
        GList *members = json_object_get_members(obj);
        for (GList *m = members; m != nullptr; m = m->next) {
            const char *name = static_cast<const char *>(m->data);
            JsonNode *node = json_object_get_member(obj, name);
            if (!JSON_NODE_HOLDS_VALUE(node))
                continue;
            const GType t = json_node_get_value_type(node);
            if (t == G_TYPE_STRING)
                r->texts[name] = json_node_get_string(node);
            else if (t == G_TYPE_INT64)
                r->numbers[name] = static_cast<double>(json_node_get_int(node));
            else if (t == G_TYPE_DOUBLE)
                r->numbers[name] = json_node_get_double(node);
            else if (t == G_TYPE_BOOLEAN)
                r->numbers[name] = json_node_get_boolean(node) ? 1 : 0;
        }
        g_list_free(members);
        auto id = r->texts.find("msgId");
        ok = id != r->texts.end();
        if (ok)
            r->msg_id = id->second;
    }
    g_object_unref(parser);
    return ok;
}

// printf into a std::string; numbers always with a decimal point (the
// simulator runs in the C numeric locale).
template <typename... Args> std::string fmt(const char *format, Args... args)
{
    char buf[512];
    const int n = std::snprintf(buf, sizeof buf, format, args...);
    if (n >= 0 && static_cast<size_t>(n) < sizeof buf)
        return std::string(buf, static_cast<size_t>(n));
    std::string s(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(s.data(), s.size(), format, args...);
    s.resize(static_cast<size_t>(n));
    return s;
}

// A value that prints as zero with the given number of decimals is made
// exactly 0, so that no "-0.0" reaches the watch.
double clean(double v, int decimals)
{
    const double half_unit = 0.5 * std::pow(10.0, -decimals);
    return std::fabs(v) < half_unit ? 0.0 : v;
}

PhoneOutput data(std::string text)
{
    PhoneOutput o;
    o.text = std::move(text);
    return o;
}

} // namespace

uint64_t Noise::next()
{
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

double Noise::uniform()
{
    return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

Track::Track(std::vector<TrackPoint> points) : points_(std::move(points)) {}

Fix Track::at(int64_t ms) const
{
    Fix f;
    if (points_.empty())
        return f;
    const TrackPoint &last = points_.back();
    if (ms <= 0 || points_.size() == 1 || ms >= last.time_ms) {
        const TrackPoint &p = ms <= 0 ? points_.front() : last;
        f.lat = p.lat;
        f.lon = p.lon;
        f.ele = p.ele;
        return f;
    }
    // The segment [a, b] with a.time_ms <= ms < b.time_ms.
    auto it = std::upper_bound(points_.begin(), points_.end(), ms,
                               [](int64_t t, const TrackPoint &p) { return t < p.time_ms; });
    const TrackPoint &b = *it;
    const TrackPoint &a = *(it - 1);
    const double span = static_cast<double>(b.time_ms - a.time_ms);
    const double u = span > 0 ? static_cast<double>(ms - a.time_ms) / span : 0;
    f.lat = a.lat + (b.lat - a.lat) * u;
    f.lon = a.lon + (b.lon - a.lon) * u;
    f.ele = a.ele + (b.ele - a.ele) * u;
    const GeoStep seg = geodesic_inverse(a.lat, a.lon, b.lat, b.lon);
    f.speed = span > 0 ? seg.distance / (span / 1000.0) : 0;
    f.bearing = seg.bearing;
    return f;
}

PhoneModel::PhoneModel() : noise_(kPhoneSeed) {}

void PhoneModel::set_track(std::shared_ptr<const Track> track, int64_t now)
{
    catch_up(now);
    track_ = std::move(track);
    track_start_ = now;
}

std::vector<TrackPoint> PhoneModel::played_track(int64_t now) const
{
    std::vector<TrackPoint> pts;
    if (!track_)
        return pts;
    for (TrackPoint p : track_->points()) {
        p.time_ms += track_start_ * 1000;
        if (p.time_ms > now * 1000)
            break;
        pts.push_back(p);
    }
    // The walk ends where the phone is now, between two track points.
    const Fix here = where(now);
    pts.push_back({here.lat, here.lon, here.ele, now * 1000});
    return pts;
}

Fix PhoneModel::where(int64_t now) const
{
    if (!track_) {
        Fix f;
        f.lat = kHomeLat;
        f.lon = kHomeLon;
        f.ele = kHomeEle;
        return f;
    }
    return track_->at((now - track_start_) * 1000);
}

void PhoneModel::stop_all()
{
    gps_stream_ = Stream{};
    wps_stream_ = Stream{};
    ex_ = Exercise{};
    pdc_ = false;
}

std::string PhoneModel::position_json(int method, int64_t time, bool entry_only)
{
    const Fix f = where(time);
    double lat = f.lat, lon = f.lon, speed = f.speed, bearing = f.bearing, hacc = 0;
    if (method == 1) {
        hacc = 3.0 + 2.0 * noise_.uniform(); // a few metres
    } else {
        // Network positioning: up to 30 m off in any direction, no motion.
        const double dir = 360.0 * noise_.uniform();
        const double off = 30.0 * std::sqrt(noise_.uniform());
        geodesic_direct(f.lat, f.lon, dir, off, &lat, &lon);
        speed = bearing = 0;
        hacc = 40.0 + 20.0 * noise_.uniform();
    }
    if (bearing >= 359.95) // prints as 0.0, not 360.0
        bearing = 0;
    const std::string fields =
        fmt("\"method\":%d,\"timestamp\":%" PRId64 ",\"latitude\":%.7f,\"longitude\":%.7f,\"altitude\":%.1f,"
            "\"speed\":%.2f,\"bearing\":%.1f,\"h_accuracy\":%.1f,\"v_accuracy\":%.1f",
            method, kPhoneEpochMs + time * 1000, clean(lat, 7), clean(lon, 7), clean(f.ele, 1), clean(speed, 2), clean(bearing, 1),
            hacc, hacc * 1.5);
    if (entry_only)
        return "{" + fields + "}";
    return "{\"msgId\":\"lbs-tracking-location-rsp\",\"result\":1,\"reason\":0," + fields + "}";
}

void PhoneModel::tick_stream(int method, Stream &s, int64_t now, PhoneOutputs *out)
{
    const bool enabled = method == 1 ? gps_ : wps_;
    const std::string failure =
        fmt("{\"msgId\":\"lbs-tracking-location-rsp\",\"result\":2,\"reason\":2,\"method\":%d}", method);
    while (s.on && s.next_fix <= now) {
        const int64_t t = s.next_fix;
        s.next_fix += s.interval;
        if (s.batch > 0) {
            if (enabled)
                s.pending.push_back(position_json(method, t, true));
            if (s.pending.size() > kMaxBatch)
                s.pending.erase(s.pending.begin());
        } else {
            out->push_back(data(enabled ? position_json(method, t, false) : failure));
        }
    }
    while (s.on && s.batch > 0 && s.next_batch <= now) {
        s.next_batch += s.batch;
        if (!enabled && s.pending.empty()) {
            out->push_back(data(failure));
            continue;
        }
        std::string list;
        for (const std::string &e : s.pending)
            list += (list.empty() ? "" : ",") + e;
        s.pending.clear();
        // A batch names method 3; its entries name their own.
        out->push_back(data("{\"msgId\":\"lbs-tracking-location-rsp\",\"result\":1,\"reason\":0,\"method\":3,"
                            "\"locationInfo\":[" +
                            list + "]}"));
    }
}

// Feeds the exercise computer every second up to now.
void PhoneModel::catch_up(int64_t now)
{
    if (!ex_.running || !ex_.computer)
        return;
    for (int64_t t = ex_.stepped + 1; t <= now; ++t) {
        const Fix f = where(t);
        ex_.computer->step(f.lat, f.lon, f.ele, ex_.paused);
    }
    ex_.stepped = std::max(ex_.stepped, now);
}

std::string PhoneModel::exercise_json(int64_t now)
{
    const ExerciseFigures &x = ex_.computer->figures();
    std::string cadence = dialect_ == Dialect::Bap ? fmt("%" PRId64, static_cast<int64_t>(std::llround(x.cadence)))
                                                   : fmt("%.1f", clean(x.cadence, 1));
    return fmt("{\"timestamp\":%" PRId64 ",\"latitude\":%.7f,\"longitude\":%.7f,\"totalDistance\":%.2f,"
               "\"inclineDistance\":%.2f,\"declineDistance\":%.2f,\"flatDistance\":%.2f,",
               kPhoneEpochMs + now * 1000, clean(x.latitude, 7), clean(x.longitude, 7), x.total_distance,
               x.incline_distance, x.decline_distance, x.flat_distance) +
           fmt("\"inclineTime\":%" PRId64 ",\"declineTime\":%" PRId64 ",\"flatTime\":%" PRId64
               ",\"altitude\":%.1f,\"maxAltitude\":%.1f,\"minAltitude\":%.1f,",
               x.incline_time, x.decline_time, x.flat_time, clean(x.altitude, 1), clean(x.max_altitude, 1),
               clean(x.min_altitude, 1)) +
           fmt("\"speed\":%.2f,\"maxSpeed\":%.2f,\"averageSpeed\":%.2f,\"pace\":%.1f,\"maxPace\":%.1f,"
               "\"averagePace\":%.1f,\"consumedCalorie\":%.2f,\"stepCount\":%" PRId64 ",",
               x.speed, x.max_speed, x.average_speed, x.pace, x.max_pace, x.average_pace, x.calories,
               static_cast<int64_t>(std::floor(x.steps))) +
           fmt("\"basePressure\":%.2f,\"gpsStatus\":%d,\"accuracy\":%.1f,\"durationTime\":%.1f,\"movingTime\":%.1f,"
               "\"autoPauseStatus\":%d,\"stepCadence\":",
               profile_.base_pressure, gps_ ? 3 : 4, gps_ ? 4.0 : 0.0, x.duration_time, x.moving_time,
               x.auto_paused ? 1 : 0) +
           cadence + "}";
}

std::vector<unsigned char> PhoneModel::assistance_file(int method, int64_t now) const
{
    // A header naming what it is and when it was made, then data that
    // stands for orbit predictions: bytes of a generator seeded by the
    // method and the hour, so that the same request gives the same file.
    const int64_t hour = (kPhoneEpochMs / 1000 + now) / 3600;
    const std::string header = fmt("LBSSIM-GPSPLUS 1 method=%d hour=%" PRId64 "\n", method, hour);
    std::vector<unsigned char> bytes(header.begin(), header.end());
    Noise gen(kPhoneSeed ^ (static_cast<uint64_t>(hour) << 8) ^ static_cast<uint64_t>(method));
    while (bytes.size() < kAssistanceSize)
        bytes.push_back(static_cast<unsigned char>(gen.next() >> 56));
    return bytes;
}

PhoneOutputs PhoneModel::set_gps(bool on, int64_t now)
{
    PhoneOutputs out;
    catch_up(now);
    if (on != gps_ && ex_.running)
        out.push_back(data(fmt("{\"msgId\":\"lbs-exercise-info-rsp\",\"result\":3,\"reason\":%d}", on ? 6 : 7)));
    gps_ = on;
    return out;
}

PhoneOutputs PhoneModel::tracking(const RequestFields &r, int64_t now)
{
    PhoneOutputs out;
    const int64_t cmd = r.integer("cmd");
    // The second link's start and stop carry no method: one shared session,
    // reported as GPS, once a second.
    const int method = dialect_ == Dialect::Bap && !r.has("method") ? 1 : static_cast<int>(r.integer("method"));
    if (method != 1 && method != 2)
        return out;
    Stream &s = method == 1 ? gps_stream_ : wps_stream_;
    switch (cmd) {
    case 1:
        s = Stream{};
        s.on = true;
        s.interval = std::max<int64_t>(1, r.integer("interval", 1));
        s.batch = method == 1 ? std::max<int64_t>(0, r.integer("batchingInterval")) : 0;
        s.next_fix = now + s.interval;
        s.next_batch = now + s.batch;
        break;
    case 2:
        s = Stream{};
        break;
    case 3:
        if (s.on) {
            s.interval = std::max<int64_t>(1, r.integer("interval", 1));
            s.next_fix = now + s.interval;
        }
        break;
    case 4:
        if (s.on && method == 1) {
            s.batch = std::max<int64_t>(0, r.integer("batchingInterval"));
            s.next_batch = now + s.batch;
        }
        break;
    default:
        break;
    }
    return out;
}

PhoneOutputs PhoneModel::exercise(const RequestFields &r, int64_t now)
{
    PhoneOutputs out;
    catch_up(now);
    switch (r.integer("cmd")) {
    case 1:
    case 3:
        profile_.height_cm = r.num("height");
        profile_.weight_kg = r.num("weight");
        profile_.base_pressure = r.num("basePressure");
        ex_ = Exercise{};
        ex_.running = true;
        ex_.interval = std::max<int64_t>(1, r.integer("interval", 1));
        ex_.next = now + ex_.interval;
        ex_.stepped = now;
        ex_.computer.emplace(profile_, auto_pause_);
        {
            const Fix f = where(now);
            ex_.computer->step(f.lat, f.lon, f.ele, false);
        }
        out.push_back(data(fmt("{\"msgId\":\"lbs-exercise-info-rsp\",\"result\":3,\"reason\":%d}", gps_ ? 6 : 7)));
        break;
    case 2:
        ex_ = Exercise{};
        break;
    case 4:
        ex_.paused = ex_.running;
        break;
    case 5:
        if (ex_.running && ex_.paused) {
            ex_.paused = false;
            ex_.next = now + ex_.interval;
        }
        break;
    case 6:
        if (ex_.running) {
            ex_.interval = std::max<int64_t>(1, r.integer("interval", 1));
            ex_.next = now + ex_.interval;
        }
        break;
    case 8:
        auto_pause_.enabled = r.integer("autoPauseEnabled") != 0;
        break;
    case 9:
        auto_pause_.speed_threshold = r.num("speedThreshold", auto_pause_.speed_threshold);
        auto_pause_.pause_window = static_cast<int>(r.integer("pauseWindow", auto_pause_.pause_window));
        auto_pause_.resume_window = static_cast<int>(r.integer("resumeWindow", auto_pause_.resume_window));
        break;
    default: // 7: coaching is the watch's business
        break;
    }
    if (ex_.computer)
        ex_.computer->set_auto_pause(auto_pause_);
    return out;
}

PhoneOutputs PhoneModel::map_image(const RequestFields &r, int64_t now)
{
    PhoneOutputs out;
    int reason = refuse_map_;
    const int width = static_cast<int>(r.integer("width"));
    const int height = static_cast<int>(r.integer("height"));
    if (reason == 0 && (width <= 0 || height <= 0 || width > 4096 || height > 4096))
        reason = 1;
    std::vector<unsigned char> image;
    if (reason == 0) {
        const double lat = r.num("centerLatitude"), lon = r.num("centerLongitude"), zoom = r.num("zoomLevel");
#ifdef LBS_SIM_HAVE_MAP_RENDER
        std::vector<GeoPoint> line;
        if (track_)
            for (const TrackPoint &p : track_->points())
                line.push_back({p.lat, p.lon, p.ele, kPhoneEpochMs + track_start_ * 1000 + p.time_ms});
        const Fix f = where(now);
        const GeoPoint here{f.lat, f.lon, f.ele, kPhoneEpochMs + now * 1000};
        image = render_map_jpeg(width, height, lat, lon, zoom, line, &here);
#else
        // Without the map renderer the phone sends a text that says what
        // the picture would show.
        const std::string text = fmt("LBSSIM-MAP-PLACEHOLDER %dx%d center=%.6f,%.6f zoom=%.2f time=%" PRId64 "\n",
                                     width, height, lat, lon, zoom, now);
        image.assign(text.begin(), text.end());
#endif
        if (image.empty())
            reason = 1;
    }
    if (reason != 0) {
        out.push_back(data(fmt("{\"msgId\":\"lbs-here-map-rsp\",\"result\":2,\"reason\":%d}", reason)));
        return out;
    }
    out.push_back(data("{\"msgId\":\"lbs-here-map-rsp\",\"result\":1,\"reason\":0}"));
    PhoneOutput file;
    file.kind = PhoneOutput::Kind::File;
    file.file_name = "map.jpg";
    file.bytes = std::move(image);
    out.push_back(std::move(file));
    return out;
}

PhoneOutputs PhoneModel::request(Dialect dialect, std::string_view text, int64_t now)
{
    PhoneOutputs out;
    RequestFields r;
    if (!parse_request(text, &r))
        return out; // the keep-alive byte and anything else not JSON
    dialect_ = dialect;
    const std::string &id = r.msg_id;
    if (id == "lbs-tracking-location-req")
        return tracking(r, now);
    if (id == "lbs-exercise-info-req")
        return exercise(r, now);
    if (id == "lbs-location-setting-check-req") {
        out.push_back(data(fmt("{\"msgId\":\"lbs-location-setting-check-rsp\",\"gpsSettings\":%d,\"wpsSettings\":%d}",
                               gps_ ? 1 : 0, wps_ ? 1 : 0)));
    } else if (id == "lbs-switch-location-setting-req") {
        // 0 switches location off, anything else on: GPS and network alike.
        gps_ = wps_ = r.integer("method") != 0;
        out.push_back(data("{\"msgId\":\"lbs-switch-location-setting-rsp\",\"result\":1}"));
    } else if (id == "lbs-ntp-time-req") {
        out.push_back(data(fmt("{\"msgId\":\"lbs-ntp-time-rsp\",\"result\":1,\"reason\":0,\"method\":1,"
                               "\"ntptime\":%" PRId64 ",\"uncertainty\":%" PRId64 "}",
                               kPhoneEpochMs + now * 1000, kRefTimeUncertainty)));
    } else if (id == "lbs-gps-plus-req") {
        const int method = static_cast<int>(r.integer("method"));
        if (refuse_assistance_ != 0) {
            out.push_back(data(fmt("{\"msgId\":\"lbs-gps-plus-rsp\",\"result\":2,\"reason\":%d,\"method\":%d}",
                                   refuse_assistance_, method)));
        } else {
            out.push_back(
                data(fmt("{\"msgId\":\"lbs-gps-plus-rsp\",\"result\":1,\"reason\":0,\"method\":%d}", method)));
            PhoneOutput file;
            file.kind = PhoneOutput::Kind::File;
            file.file_name = "gpsPlus.dat";
            file.bytes = assistance_file(method, now);
            out.push_back(std::move(file));
        }
    } else if (id == "lbs-here-map-req" && dialect == Dialect::Kov) {
        return map_image(r, now);
    } else if (id == "lbs-pdc-info-req" && dialect == Dialect::Kov) {
        pdc_ = r.integer("method") == 1;
        pdc_next_ = now + kPdcPeriod;
    }
    return out;
}

PhoneOutputs PhoneModel::tick(int64_t now)
{
    PhoneOutputs out;
    tick_stream(1, gps_stream_, now, &out);
    tick_stream(2, wps_stream_, now, &out);
    if (ex_.running) {
        catch_up(now);
        while (ex_.next <= now) {
            if (!ex_.paused)
                out.push_back(data("{\"msgId\":\"lbs-exercise-info-rsp\",\"result\":1,\"reason\":0,\"exerciseInfo\":[" +
                                   exercise_json(now) + "]}"));
            ex_.next += ex_.interval;
        }
    }
    while (pdc_ && pdc_next_ <= now) {
        // The values the phone's sensors would give, as whole numbers:
        // altitude in decimetres, speed in cm/s, bearing in degrees.
        const Fix f = where(pdc_next_);
        out.push_back(data(fmt("{\"msgId\":\"lbs-pdc-info-rsp\",\"result\":1,\"reason\":0,\"SF1\":%lld,\"SF2\":%lld,"
                               "\"SF3\":%lld}",
                               static_cast<long long>(std::llround(f.ele * 10)),
                               static_cast<long long>(std::llround(f.speed * 100)),
                               static_cast<long long>(std::llround(f.bearing)))));
        pdc_next_ += kPdcPeriod;
    }
    return out;
}

int64_t PhoneModel::next_due() const
{
    int64_t due = -1;
    auto consider = [&due](int64_t t) {
        if (due < 0 || t < due)
            due = t;
    };
    for (const Stream *s : {&gps_stream_, &wps_stream_}) {
        if (!s->on)
            continue;
        consider(s->next_fix);
        if (s->batch > 0)
            consider(s->next_batch);
    }
    if (ex_.running)
        consider(ex_.next);
    if (pdc_)
        consider(pdc_next_);
    return due;
}

} // namespace lbs_sim
