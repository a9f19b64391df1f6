#include "lbs_sim_plot.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>

namespace lbs_sim {

namespace {
constexpr double kMeanRadiusM = 6371008.8;
constexpr double kRad = std::numbers::pi / 180.0;
} // namespace

double LocalProjection::east_m(double lon) const
{
    double dlon = lon - lon0;
    dlon -= 360.0 * std::floor(dlon / 360.0 + 0.5); // the short way round
    return kMeanRadiusM * dlon * kRad * std::cos(lat0 * kRad);
}

double LocalProjection::north_m(double lat) const
{
    return kMeanRadiusM * (lat - lat0) * kRad;
}

std::optional<GeoPoint> place_failure(const FailedFix &failure, const std::vector<GeoPoint> &played,
                                      const std::vector<ReceivedFix> &fixes)
{
    const int64_t t = failure.received_at * 1000;
    if (!played.empty() && t >= played.front().time_ms && t <= played.back().time_ms) {
        // The first point at or after t, and the one before it.
        const auto after = std::lower_bound(played.begin(), played.end(), t,
                                            [](const GeoPoint &p, int64_t when) { return p.time_ms < when; });
        if (after->time_ms == t || after == played.begin())
            return *after;
        const GeoPoint &a = *(after - 1);
        const GeoPoint &b = *after;
        const double f = static_cast<double>(t - a.time_ms) / static_cast<double>(b.time_ms - a.time_ms);
        return GeoPoint{a.lat + f * (b.lat - a.lat), a.lon + f * (b.lon - a.lon), a.ele + f * (b.ele - a.ele), t};
    }
    const ReceivedFix *last = nullptr;
    for (const ReceivedFix &fix : fixes)
        if (fix.received_at <= failure.received_at)
            last = &fix;
    if (last == nullptr)
        return std::nullopt;
    return GeoPoint{last->pos.latitude, last->pos.longitude, last->pos.altitude, t};
}

std::vector<size_t> thin_markers(const std::vector<PixelPoint> &points, double min_gap)
{
    std::vector<size_t> kept;
    for (size_t i = 0; i < points.size(); ++i) {
        if (!kept.empty()) {
            const PixelPoint &last = points[kept.back()];
            if (std::hypot(points[i].x - last.x, points[i].y - last.y) < min_gap)
                continue;
        }
        kept.push_back(i);
    }
    return kept;
}

std::vector<Arrow> arrows_along(const std::vector<PixelPoint> &line, int count)
{
    // Not halfway into each share: there the arrows of a way out and back
    // would land on one another.
    constexpr double kArrowPhase = 0.3;
    double total = 0;
    for (size_t i = 1; i < line.size(); ++i)
        total += std::hypot(line[i].x - line[i - 1].x, line[i].y - line[i - 1].y);
    std::vector<Arrow> arrows;
    if (!(total > 0) || count <= 0)
        return arrows;
    double walked = 0;
    int k = 0;
    for (size_t i = 1; i < line.size() && k < count; ++i) {
        const double dx = line[i].x - line[i - 1].x, dy = line[i].y - line[i - 1].y;
        const double len = std::hypot(dx, dy);
        while (k < count && walked + len >= total * (k + kArrowPhase) / count) {
            const double f = (total * (k + kArrowPhase) / count - walked) / len;
            arrows.push_back({line[i - 1].x + f * dx, line[i - 1].y + f * dy, std::atan2(dy, dx)});
            ++k;
        }
        walked += len;
    }
    return arrows;
}

std::vector<LegendRow> plot_legend(const FixCollector &c)
{
    std::vector<LegendRow> rows;
    const std::vector<GeoPoint> &played = c.played_track();
    if (!played.empty()) {
        const int64_t ms = played.back().time_ms - played.front().time_ms;
        rows.push_back({"played track", std::to_string(c.played_own_points()) + " points, " +
                                            distance_text(path_length_m(played)) + ", " +
                                            duration_text(ms / 1000)});
    }
    for (FixSource s : kFixSources) {
        const size_t n = c.count(s);
        std::string detail;
        if (n > 1) {
            int64_t first = -1, last = -1;
            for (const ReceivedFix &f : c.fixes())
                if (f.source == s) {
                    if (first < 0)
                        first = f.received_at;
                    last = f.received_at;
                }
            detail = distance_text(path_length_m(c.fixes(), s)) + ", " + duration_text(last - first);
        }
        rows.push_back({std::string(fix_source_name(s)) + (s == FixSource::Batch ? " entries " : " fixes ") +
                            std::to_string(n),
                        detail});
    }
    rows.push_back({"GPS errors " + std::to_string(c.gps_failures().size()), ""});
    return rows;
}

namespace {

struct Rgb {
    double r, g, b;
};
constexpr Rgb kPlayedColour{0.30, 0.30, 0.30};
constexpr Rgb kStartColour{0.10, 0.65, 0.20};
constexpr Rgb kFinishColour{0.10, 0.10, 0.10};
// Markers of one kind closer than this to the last one drawn are left out.
constexpr double kMarkerGapPx = 6;
constexpr Rgb kGpsColour{0.10, 0.35, 0.80};
constexpr Rgb kWpsColour{0.15, 0.60, 0.25};
constexpr Rgb kBatchColour{0.90, 0.50, 0.05};
constexpr Rgb kFailureColour{0.85, 0.10, 0.10};

Rgb colour_of(FixSource s)
{
    switch (s) {
    case FixSource::Gps: return kGpsColour;
    case FixSource::Wps: return kWpsColour;
    case FixSource::Batch: return kBatchColour;
    }
    return kGpsColour;
}

void set(cairo_t *cr, Rgb c)
{
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

// The marker of each kind: circle (GPS), square (WPS), small dot (batch),
// cross (GPS error).
void marker(cairo_t *cr, FixSource s, double x, double y)
{
    set(cr, colour_of(s));
    switch (s) {
    case FixSource::Gps:
        cairo_new_sub_path(cr);
        cairo_arc(cr, x, y, 4, 0, 2 * std::numbers::pi);
        cairo_set_line_width(cr, 1.2);
        cairo_stroke(cr);
        break;
    case FixSource::Wps:
        cairo_rectangle(cr, x - 3.5, y - 3.5, 7, 7);
        cairo_set_line_width(cr, 1.2);
        cairo_stroke(cr);
        break;
    case FixSource::Batch:
        cairo_new_sub_path(cr);
        cairo_arc(cr, x, y, 2, 0, 2 * std::numbers::pi);
        cairo_fill(cr);
        break;
    }
}

void failure_marker(cairo_t *cr, double x, double y)
{
    set(cr, kFailureColour);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, x - 5, y - 5);
    cairo_line_to(cr, x + 5, y + 5);
    cairo_move_to(cr, x - 5, y + 5);
    cairo_line_to(cr, x + 5, y - 5);
    cairo_stroke(cr);
}

std::string number(double v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v == 0 ? 0.0 : v);
    return std::string(buf, r.ptr);
}

// 1, 2 or 5 times a power of ten, about range / 6.
double tick_step(double range)
{
    const double rough = range / 6;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= rough)
            return m * power;
    return 10 * power;
}

struct Bounds {
    double min_e = INFINITY, max_e = -INFINITY, min_n = INFINITY, max_n = -INFINITY;
    void add(double e, double n)
    {
        min_e = std::min(min_e, e);
        max_e = std::max(max_e, e);
        min_n = std::min(min_n, n);
        max_n = std::max(max_n, n);
    }
    bool empty() const { return !(min_e <= max_e); }
};

bool usable(double lat, double lon)
{
    return std::isfinite(lat) && std::isfinite(lon) && lat >= -90 && lat <= 90;
}

class Plot {
public:
    Plot(cairo_t *cr, int width, int height, const FixCollector &c) : cr_(cr), w_(width), h_(height), c_(c) {}

    void draw()
    {
        place_failures();
        choose_frame();
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_paint(cr_);
        cairo_select_font_face(cr_, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        axes();
        data();
        legend();
        title();
    }

private:
    static constexpr double kLeft = 70, kRight = 210, kTop = 36, kBottom = 50;
    static constexpr int kArrows = 6;

    void place_failures()
    {
        for (const FailedFix &f : c_.gps_failures()) {
            if (const auto p = place_failure(f, c_.played_track(), c_.fixes()); p && usable(p->lat, p->lon))
                failures_.push_back(*p);
            else
                ++unplaced_;
        }
    }

    // The origin at the middle of everything drawn; one scale for both axes.
    void choose_frame()
    {
        double min_lat = INFINITY, max_lat = -INFINITY, min_lon = INFINITY, max_lon = -INFINITY;
        auto add = [&](double lat, double lon) {
            if (!usable(lat, lon))
                return;
            min_lat = std::min(min_lat, lat);
            max_lat = std::max(max_lat, lat);
            min_lon = std::min(min_lon, lon);
            max_lon = std::max(max_lon, lon);
        };
        for (const GeoPoint &p : c_.played_track())
            add(p.lat, p.lon);
        for (const ReceivedFix &f : c_.fixes())
            add(f.pos.latitude, f.pos.longitude);
        for (const GeoPoint &p : failures_)
            add(p.lat, p.lon);
        proj_ = min_lat <= max_lat ? LocalProjection{(min_lat + max_lat) / 2, (min_lon + max_lon) / 2}
                                   : LocalProjection{0, 0};

        Bounds b;
        for (const GeoPoint &p : c_.played_track())
            if (usable(p.lat, p.lon))
                b.add(proj_.east_m(p.lon), proj_.north_m(p.lat));
        for (const ReceivedFix &f : c_.fixes())
            if (usable(f.pos.latitude, f.pos.longitude))
                b.add(proj_.east_m(f.pos.longitude), proj_.north_m(f.pos.latitude));
        for (const GeoPoint &p : failures_)
            b.add(proj_.east_m(p.lon), proj_.north_m(p.lat));
        if (b.empty())
            b.add(0, 0);
        // At least 100 m across, and a tenth more on each side than the data.
        const double half_e = std::max(50.0, (b.max_e - b.min_e) * 0.55);
        const double half_n = std::max(50.0, (b.max_n - b.min_n) * 0.55);
        mid_e_ = (b.min_e + b.max_e) / 2;
        mid_n_ = (b.min_n + b.max_n) / 2;
        const double pw = w_ - kLeft - kRight, ph = h_ - kTop - kBottom;
        px_per_m_ = std::min(pw / (2 * half_e), ph / (2 * half_n));
        half_e_ = pw / px_per_m_ / 2;
        half_n_ = ph / px_per_m_ / 2;
    }

    double x(double east) const { return kLeft + (w_ - kLeft - kRight) / 2 + (east - mid_e_) * px_per_m_; }
    double y(double north) const { return kTop + (h_ - kTop - kBottom) / 2 - (north - mid_n_) * px_per_m_; }

    void text(double tx, double ty, const std::string &s, double size, double align = 0)
    {
        cairo_set_font_size(cr_, size);
        cairo_text_extents_t ext;
        cairo_text_extents(cr_, s.c_str(), &ext);
        cairo_move_to(cr_, tx - align * ext.x_advance, ty);
        cairo_show_text(cr_, s.c_str());
    }

    void axes()
    {
        const double x0 = kLeft, x1 = w_ - kRight, y0 = kTop, y1 = h_ - kBottom;
        const double step = tick_step(2 * std::max(half_e_, half_n_));
        cairo_set_line_width(cr_, 1);
        for (double k = std::ceil((mid_e_ - half_e_) / step); k * step <= mid_e_ + half_e_; ++k) {
            const double px = std::floor(x(k * step)) + 0.5;
            cairo_set_source_rgb(cr_, 0.90, 0.90, 0.90);
            cairo_move_to(cr_, px, y0);
            cairo_line_to(cr_, px, y1);
            cairo_stroke(cr_);
            cairo_set_source_rgb(cr_, 0.2, 0.2, 0.2);
            text(px, y1 + 16, number(k * step), 10, 0.5);
        }
        for (double k = std::ceil((mid_n_ - half_n_) / step); k * step <= mid_n_ + half_n_; ++k) {
            const double py = std::floor(y(k * step)) + 0.5;
            cairo_set_source_rgb(cr_, 0.90, 0.90, 0.90);
            cairo_move_to(cr_, x0, py);
            cairo_line_to(cr_, x1, py);
            cairo_stroke(cr_);
            cairo_set_source_rgb(cr_, 0.2, 0.2, 0.2);
            text(x0 - 6, py + 4, number(k * step), 10, 1);
        }
        cairo_set_source_rgb(cr_, 0.2, 0.2, 0.2);
        cairo_rectangle(cr_, x0 + 0.5, y0 + 0.5, x1 - x0 - 1, y1 - y0 - 1);
        cairo_stroke(cr_);
        text((x0 + x1) / 2, h_ - 12, "east (m)", 11, 0.5);
        cairo_save(cr_);
        cairo_translate(cr_, 18, (y0 + y1) / 2);
        cairo_rotate(cr_, -std::numbers::pi / 2);
        text(0, 0, "north (m)", 11, 0.5);
        cairo_restore(cr_);
    }

    PixelPoint at(double lat, double lon) const { return {x(proj_.east_m(lon)), y(proj_.north_m(lat))}; }

    // The played track in pixels, split where a point cannot be placed.
    std::vector<std::vector<PixelPoint>> played_pieces() const
    {
        std::vector<std::vector<PixelPoint>> pieces(1);
        for (const GeoPoint &p : c_.played_track()) {
            if (!usable(p.lat, p.lon)) {
                if (!pieces.back().empty())
                    pieces.emplace_back();
                continue;
            }
            pieces.back().push_back(at(p.lat, p.lon));
        }
        if (pieces.back().empty())
            pieces.pop_back();
        return pieces;
    }

    std::vector<PixelPoint> fix_points(FixSource s) const
    {
        std::vector<PixelPoint> pts;
        for (const ReceivedFix &f : c_.fixes())
            if (f.source == s && usable(f.pos.latitude, f.pos.longitude))
                pts.push_back(at(f.pos.latitude, f.pos.longitude));
        return pts;
    }

    void polyline(const std::vector<PixelPoint> &pts)
    {
        for (size_t i = 0; i < pts.size(); ++i)
            (i == 0 ? cairo_move_to : cairo_line_to)(cr_, pts[i].x, pts[i].y);
    }

    void arrow(const Arrow &a, double size)
    {
        cairo_save(cr_);
        cairo_translate(cr_, a.x, a.y);
        cairo_rotate(cr_, a.angle);
        cairo_move_to(cr_, size, 0);
        cairo_line_to(cr_, -size * 0.7, size * 0.75);
        cairo_line_to(cr_, -size * 0.35, 0);
        cairo_line_to(cr_, -size * 0.7, -size * 0.75);
        cairo_close_path(cr_);
        cairo_restore(cr_);
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_set_line_width(cr_, 2);
        cairo_stroke_preserve(cr_);
        set(cr_, kPlayedColour);
        cairo_fill(cr_);
    }

    void start_marker(PixelPoint p)
    {
        cairo_new_sub_path(cr_);
        cairo_arc(cr_, p.x, p.y, 6, 0, 2 * std::numbers::pi);
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_set_line_width(cr_, 2.5);
        cairo_stroke_preserve(cr_);
        set(cr_, kStartColour);
        cairo_fill(cr_);
    }

    void finish_marker(PixelPoint p)
    {
        // A chequered flag: four squares, two of them dark.
        const double h = 6;
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_rectangle(cr_, p.x - h, p.y - h, 2 * h, 2 * h);
        cairo_fill_preserve(cr_);
        set(cr_, kFinishColour);
        cairo_set_line_width(cr_, 1.5);
        cairo_stroke(cr_);
        cairo_rectangle(cr_, p.x - h, p.y - h, h, h);
        cairo_rectangle(cr_, p.x, p.y, h, h);
        cairo_fill(cr_);
    }

    void data()
    {
        cairo_save(cr_);
        cairo_rectangle(cr_, kLeft, kTop, w_ - kLeft - kRight, h_ - kTop - kBottom);
        cairo_clip(cr_);
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);

        // The played track first, under everything received.
        const auto pieces = played_pieces();
        for (const auto &piece : pieces)
            polyline(piece);
        set(cr_, kPlayedColour);
        cairo_set_line_width(cr_, 2);
        cairo_stroke(cr_);

        // Markers, thinned so that the track shows between them: batch
        // entries first, they are many and small. A kind drawn whole is also
        // joined by a thin line in the order it arrived; a thinned one
        // would only cover the track with it.
        std::array<std::vector<PixelPoint>, kFixSources.size()> pts;
        std::array<std::vector<size_t>, kFixSources.size()> kept;
        for (FixSource s : kFixSources) {
            const size_t i = static_cast<size_t>(s);
            pts[i] = fix_points(s);
            kept[i] = thin_markers(pts[i], kMarkerGapPx);
            drawn_[i] = kept[i].size();
            if (kept[i].size() == pts[i].size() && pts[i].size() > 1) {
                const Rgb c = colour_of(s);
                cairo_set_source_rgba(cr_, c.r, c.g, c.b, 0.5);
                cairo_set_line_width(cr_, 1);
                polyline(pts[i]);
                cairo_stroke(cr_);
            }
        }
        for (FixSource s : {FixSource::Batch, FixSource::Wps, FixSource::Gps}) {
            const size_t i = static_cast<size_t>(s);
            for (size_t k : kept[i])
                marker(cr_, s, pts[i][k].x, pts[i][k].y);
        }

        for (const GeoPoint &p : failures_)
            failure_marker(cr_, x(proj_.east_m(p.lon)), y(proj_.north_m(p.lat)));

        // Direction, start and finish: of the played track, or without one
        // of the kind of fix that came most.
        std::vector<PixelPoint> route;
        for (const auto &piece : pieces)
            route.insert(route.end(), piece.begin(), piece.end());
        if (route.empty()) {
            FixSource most = FixSource::Gps;
            for (FixSource s : kFixSources)
                if (c_.count(s) > c_.count(most))
                    most = s;
            route = fix_points(most);
        }
        for (const Arrow &a : arrows_along(route, kArrows))
            arrow(a, 7);
        if (!route.empty()) {
            // A round trip ends where it began: the two side by side.
            PixelPoint first = route.front(), last = route.back();
            if (std::hypot(first.x - last.x, first.y - last.y) < 14) {
                first.x -= 8;
                last.x += 8;
            }
            finish_marker(last);
            start_marker(first);
        }
        cairo_restore(cr_);
    }

    void legend()
    {
        const double lx = w_ - kRight + 14;
        double ly = kTop + 10;
        const std::vector<LegendRow> rows = plot_legend(c_);
        size_t r = 0;
        auto row = [&](const LegendRow &text, const std::string &more = {}) {
            cairo_set_source_rgb(cr_, 0.1, 0.1, 0.1);
            this->text(lx + 22, ly + 4, text.label + more, 11);
            ly += 16;
            if (!text.detail.empty()) {
                cairo_set_source_rgb(cr_, 0.35, 0.35, 0.35);
                this->text(lx + 22, ly + 2, text.detail, 10);
                ly += 14;
            }
            ly += 6;
        };
        if (!c_.played_track().empty()) {
            cairo_move_to(cr_, lx, ly);
            cairo_line_to(cr_, lx + 16, ly);
            set(cr_, kPlayedColour);
            cairo_set_line_width(cr_, 2);
            cairo_stroke(cr_);
            row(rows[r++]);
        }
        for (FixSource s : kFixSources) {
            marker(cr_, s, lx + 8, ly);
            const size_t drawn = drawn_[static_cast<size_t>(s)];
            row(rows[r++], drawn < c_.count(s) ? " (" + std::to_string(drawn) + " drawn)" : "");
        }
        failure_marker(cr_, lx + 8, ly);
        row(rows[r++], unplaced_ > 0 ? ", " + std::to_string(unplaced_) + " not placed" : "");
        start_marker({lx + 8, ly});
        row({"start", ""});
        finish_marker({lx + 8, ly});
        row({"finish", ""});
        arrow({lx + 8, ly, 0}, 7);
        row({"direction of travel", ""});
    }

    void title()
    {
        cairo_set_source_rgb(cr_, 0.1, 0.1, 0.1);
        char origin[96];
        std::snprintf(origin, sizeof origin, "%.6f, %.6f", proj_.lat0, proj_.lon0);
        text(kLeft, 22, std::string("Track and positions received, origin ") + origin, 13);
    }

    cairo_t *cr_;
    int w_, h_;
    const FixCollector &c_;
    std::vector<GeoPoint> failures_;
    size_t unplaced_ = 0;
    std::array<size_t, kFixSources.size()> drawn_{};
    LocalProjection proj_{0, 0};
    double mid_e_ = 0, mid_n_ = 0, half_e_ = 50, half_n_ = 50, px_per_m_ = 1;
};

cairo_status_t append(void *closure, const unsigned char *data, unsigned int length)
{
    static_cast<std::vector<unsigned char> *>(closure)->insert(static_cast<std::vector<unsigned char> *>(closure)->end(),
                                                               data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

std::vector<unsigned char> render_plot_png(int width, int height, const FixCollector &collector)
{
    if (width < kPlotMinSide || height < kPlotMinSide || width > kPlotMaxSide || height > kPlotMaxSide)
        return {};
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t *cr = cairo_create(surface);
    std::vector<unsigned char> png;
    if (cairo_status(cr) == CAIRO_STATUS_SUCCESS) {
        Plot(cr, width, height, collector).draw();
        cairo_surface_flush(surface);
        if (cairo_status(cr) != CAIRO_STATUS_SUCCESS ||
            cairo_surface_write_to_png_stream(surface, append, &png) != CAIRO_STATUS_SUCCESS)
            png.clear();
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return png;
}

bool write_plot_file(const std::string &path, int width, int height, const FixCollector &collector,
                     std::string *why)
{
    const std::vector<unsigned char> png = render_plot_png(width, height, collector);
    if (png.empty()) {
        *why = path + ": the plot could not be drawn";
        return false;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f || std::fwrite(png.data(), 1, png.size(), f.get()) != png.size() || std::fflush(f.get()) != 0) {
        *why = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void release_font_caches()
{
    cairo_debug_reset_static_data();
    FcFini();
}

} // namespace lbs_sim
