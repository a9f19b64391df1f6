#include "lbs_sim_map_render.h"

#include <cairo.h>

#include <cstddef>
#include <cstdio>
// jpeglib.h uses size_t and FILE without including their headers.
#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <numbers>
#include <string_view>

namespace lbs_sim {
namespace mercator {

double world_px(double zoom)
{
    return 256.0 * std::exp2(zoom);
}

double x_of(double lon, double zoom)
{
    return (lon + 180.0) / 360.0 * world_px(zoom);
}

double y_of(double lat, double zoom)
{
    const double clamped = std::clamp(lat, -kMaxLatitude, kMaxLatitude);
    const double phi = clamped * std::numbers::pi / 180.0;
    return (1.0 - std::log(std::tan(std::numbers::pi / 4.0 + phi / 2.0)) / std::numbers::pi) / 2.0 *
           world_px(zoom);
}

double metres_per_px(double lat, double zoom)
{
    // The equator of the WGS 84 ellipsoid spread over the world's width,
    // shrinking with the cosine of the latitude as Mercator stretches it.
    constexpr double kEquatorM = 2.0 * std::numbers::pi * 6378137.0;
    return kEquatorM * std::cos(lat * std::numbers::pi / 180.0) / world_px(zoom);
}

namespace {

double lat_of(double y, double zoom)
{
    const double n = std::numbers::pi * (1.0 - 2.0 * y / world_px(zoom));
    return std::atan(std::sinh(n)) * 180.0 / std::numbers::pi;
}

} // namespace
} // namespace mercator

double scale_bar_metres(double metres_per_px, double max_px)
{
    if (!(metres_per_px > 0) || !(max_px > 0) || !std::isfinite(metres_per_px) || !std::isfinite(max_px))
        return 0;
    const double longest = metres_per_px * max_px;
    double power = std::pow(10.0, std::floor(std::log10(longest)));
    // log10 may land a hair on either side of a power of ten: step down until
    // a round value fits.
    for (int guard = 0; guard < 4; ++guard, power /= 10.0) {
        for (double m : {5.0, 2.0, 1.0})
            if (m * power <= longest * (1 + 1e-12))
                return m * power;
    }
    return 0;
}

std::string distance_label(double metres)
{
    const bool km = metres >= 1000;
    const double value = km ? metres / 1000 : metres;
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr) + (km ? " km" : " m");
}

namespace {

constexpr int kMaxSide = 4096;
constexpr int kJpegQuality = 85;

bool finite(const GeoPoint &p)
{
    return std::isfinite(p.lat) && std::isfinite(p.lon);
}

// Where a point lies on the image: the world pixel relative to the centre's,
// the longitude difference taken the short way round the world.
class View {
public:
    View(int width, int height, double lat, double lon, double zoom)
        : w_(width), h_(height), zoom_(zoom), world_(mercator::world_px(zoom)), cx_(mercator::x_of(lon, zoom)),
          cy_(mercator::y_of(lat, zoom))
    {
    }

    double x(double lon) const
    {
        double dx = mercator::x_of(lon, zoom_) - cx_;
        dx -= world_ * std::floor(dx / world_ + 0.5);
        return w_ / 2.0 + dx;
    }
    double y(double lat) const { return h_ / 2.0 + mercator::y_of(lat, zoom_) - cy_; }
    double lat_at(double py) const { return mercator::lat_of(cy_ + py - h_ / 2.0, zoom_); }
    double px_per_degree_lon() const { return world_ / 360.0; }

private:
    int w_, h_;
    double zoom_, world_, cx_, cy_;
};

// The graticule step in degrees: the smallest of 1, 2 or 5 times a power of
// ten (then 10, 15, 30) that keeps lines at least min_px apart.
double graticule_step(double px_per_degree, double min_px)
{
    for (int e = -7; e <= 0; ++e)
        for (double m : {1.0, 2.0, 5.0}) {
            const double step = m * std::pow(10.0, e);
            if (step * px_per_degree >= min_px)
                return step;
        }
    for (double step : {10.0, 15.0, 30.0})
        if (step * px_per_degree >= min_px)
            return step;
    return 30.0;
}

void draw_graticule(cairo_t *cr, const View &v, int width, int height, double center_lon)
{
    const double step = graticule_step(v.px_per_degree_lon(), 80.0);
    cairo_set_source_rgb(cr, 0.80, 0.82, 0.80);
    cairo_set_line_width(cr, 1.0);

    // Meridians: linear in x, so walk whole steps across the image. Beyond
    // the antimeridian the numbers simply go on; the picture stays the same.
    const double left_lon = center_lon - (width / 2.0) / v.px_per_degree_lon();
    const double right_lon = center_lon + (width / 2.0) / v.px_per_degree_lon();
    const double first = std::ceil(left_lon / step);
    for (double k = first; k * step <= right_lon && k - first < 4096; ++k) {
        const double x = width / 2.0 + (k * step - center_lon) * v.px_per_degree_lon();
        cairo_move_to(cr, std::floor(x) + 0.5, 0);
        cairo_line_to(cr, std::floor(x) + 0.5, height);
    }
    cairo_stroke(cr);

    // Parallels: the image's latitude range, inside the square world.
    const double north = std::min(v.lat_at(0), mercator::kMaxLatitude);
    const double south = std::max(v.lat_at(height), -mercator::kMaxLatitude);
    const double lat_first = std::ceil(south / step);
    for (double k = lat_first; k * step <= north && k - lat_first < 4096; ++k) {
        const double y = v.y(k * step);
        cairo_move_to(cr, 0, std::floor(y) + 0.5);
        cairo_line_to(cr, width, std::floor(y) + 0.5);
    }
    cairo_stroke(cr);

    // The edges of the world, where the view reaches past them.
    cairo_set_source_rgb(cr, 0.55, 0.60, 0.65);
    for (double lat : {mercator::kMaxLatitude, -mercator::kMaxLatitude}) {
        const double y = v.y(lat);
        if (y > 0 && y < height) {
            cairo_move_to(cr, 0, std::floor(y) + 0.5);
            cairo_line_to(cr, width, std::floor(y) + 0.5);
        }
    }
    cairo_stroke(cr);
}

void draw_track(cairo_t *cr, const View &v, const std::vector<GeoPoint> &track)
{
    cairo_set_source_rgb(cr, 0.10, 0.30, 0.75);
    cairo_set_line_width(cr, 3.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    size_t run = 0; // points in the current piece of line
    for (size_t i = 0; i <= track.size(); ++i) {
        if (i == track.size() || !finite(track[i])) {
            if (run == 1) {
                // A lone point still shows, as a dot.
                const GeoPoint &p = track[i - 1];
                cairo_new_sub_path(cr);
                cairo_arc(cr, v.x(p.lon), v.y(p.lat), 1.5, 0, 2 * std::numbers::pi);
            }
            run = 0;
            continue;
        }
        const double x = v.x(track[i].lon);
        const double y = v.y(track[i].lat);
        if (run++ == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    cairo_stroke(cr);
}

void draw_marker(cairo_t *cr, const View &v, const GeoPoint &p)
{
    const double x = v.x(p.lon);
    const double y = v.y(p.lat);
    cairo_arc(cr, x, y, 8.0, 0, 2 * std::numbers::pi);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill(cr);
    cairo_arc(cr, x, y, 6.0, 0, 2 * std::numbers::pi);
    cairo_set_source_rgb(cr, 0.82, 0.20, 0.17);
    cairo_fill(cr);
}

// The scale bar's label is drawn with strokes of its own rather than a
// system font: the image then depends on nothing installed on the machine,
// and no font cache outlives the call. Glyphs are polylines on a grid 6
// units high (y down, baseline at 6), separated by NaN pairs.
struct Glyph {
    char c;
    double width;
    int n; // numbers used in xy
    std::array<double, 16> xy;
};
constexpr Glyph make_glyph(char c, double width, std::initializer_list<double> xy)
{
    Glyph g{c, width, 0, {}};
    for (double v : xy)
        g.xy[static_cast<size_t>(g.n++)] = v;
    return g;
}
constexpr double kBreak = std::numeric_limits<double>::quiet_NaN();
constexpr Glyph kGlyphs[] = {
    make_glyph('0', 4, {0, 0, 4, 0, 4, 6, 0, 6, 0, 0}),
    make_glyph('1', 3, {0.5, 1, 1.5, 0, 1.5, 6, kBreak, kBreak, 0.5, 6, 2.5, 6}),
    make_glyph('2', 4, {0, 0, 4, 0, 4, 3, 0, 3, 0, 6, 4, 6}),
    make_glyph('3', 4, {0, 0, 4, 0, 4, 6, 0, 6, kBreak, kBreak, 0, 3, 4, 3}),
    make_glyph('4', 4, {0, 0, 0, 3, 4, 3, kBreak, kBreak, 4, 0, 4, 6}),
    make_glyph('5', 4, {4, 0, 0, 0, 0, 3, 4, 3, 4, 6, 0, 6}),
    make_glyph('6', 4, {4, 0, 0, 0, 0, 6, 4, 6, 4, 3, 0, 3}),
    make_glyph('7', 4, {0, 0, 4, 0, 4, 6}),
    make_glyph('8', 4, {0, 0, 4, 0, 4, 6, 0, 6, 0, 0, kBreak, kBreak, 0, 3, 4, 3}),
    make_glyph('9', 4, {4, 3, 0, 3, 0, 0, 4, 0, 4, 6, 0, 6}),
    make_glyph('.', 1, {0.5, 5.6, 0.5, 6}),
    make_glyph('k', 3, {0, 0, 0, 6, kBreak, kBreak, 3, 2, 0, 4.5, kBreak, kBreak, 1.2, 3.6, 3, 6}),
    make_glyph('m', 4, {0, 6, 0, 2, 4, 2, 4, 6, kBreak, kBreak, 2, 2, 2, 6}),
    make_glyph(' ', 1, {}),
};
constexpr double kGlyphUnitPx = 1.5;
constexpr double kGlyphGap = 1.5; // units between glyphs

const Glyph *glyph(char c)
{
    for (const Glyph &g : kGlyphs)
        if (g.c == c)
            return &g;
    return nullptr;
}

double label_width(std::string_view text)
{
    double units = 0;
    for (char c : text)
        if (const Glyph *g = glyph(c))
            units += g->width + kGlyphGap;
    return units > 0 ? (units - kGlyphGap) * kGlyphUnitPx : 0;
}

// Strokes text with its baseline at y, starting at x.
void draw_label(cairo_t *cr, double x, double y, std::string_view text)
{
    cairo_save(cr);
    cairo_set_line_width(cr, 1.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    const double top = y - 6 * kGlyphUnitPx;
    for (char c : text) {
        const Glyph *g = glyph(c);
        if (g == nullptr)
            continue;
        bool pen_down = false;
        for (auto it = g->xy.begin(); it != g->xy.begin() + g->n; it += 2) {
            if (std::isnan(*it)) {
                pen_down = false;
                continue;
            }
            const double px = x + it[0] * kGlyphUnitPx, py = top + it[1] * kGlyphUnitPx;
            if (pen_down)
                cairo_line_to(cr, px, py);
            else
                cairo_move_to(cr, px, py);
            pen_down = true;
        }
        x += (g->width + kGlyphGap) * kGlyphUnitPx;
    }
    cairo_stroke(cr);
    cairo_restore(cr);
}

void draw_scale_bar(cairo_t *cr, int width, int height, double metres_per_px)
{
    const double max_px = std::min(150.0, width * 0.4);
    const double metres = scale_bar_metres(metres_per_px, max_px);
    const double len = metres / metres_per_px;
    if (!(len >= 2) || height < 30)
        return;
    const std::string label = distance_label(metres);
    const double x0 = 10, y0 = height - 10.5;

    cairo_set_source_rgba(cr, 1, 1, 1, 0.75);
    cairo_rectangle(cr, x0 - 4, y0 - 22, std::max(len, label_width(label)) + 8, 26);
    cairo_fill(cr);

    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, x0, y0 - 5);
    cairo_line_to(cr, x0, y0);
    cairo_line_to(cr, x0 + len, y0);
    cairo_line_to(cr, x0 + len, y0 - 5);
    cairo_stroke(cr);
    draw_label(cr, x0, y0 - 8, label);
}

// libjpeg reports a fatal error by calling error_exit, which must not
// return: jump back to the encoder and give up.
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void jpeg_fail(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegError *>(cinfo->err)->jump, 1);
}

void jpeg_quiet(j_common_ptr, int) {}

// Encodes an RGB24 image surface. Nothing with a destructor lives between
// setjmp and the calls that may jump back to it.
std::vector<unsigned char> encode_jpeg(cairo_surface_t *surface, int quality)
{
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char *pixels = cairo_image_surface_get_data(surface);
    std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
    std::vector<unsigned char> out;

    jpeg_compress_struct cinfo{};
    JpegError err{};
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpeg_fail;
    err.mgr.emit_message = jpeg_quiet;
    if (setjmp(err.jump) == 0) {
        jpeg_create_compress(&cinfo);
        jpeg_mem_dest(&cinfo, &buffer, &size);
        cinfo.image_width = static_cast<JDIMENSION>(width);
        cinfo.image_height = static_cast<JDIMENSION>(height);
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, quality, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            // Cairo keeps a pixel as a native-endian 32-bit word 0x00RRGGBB.
            const auto *src = reinterpret_cast<const uint32_t *>(pixels + static_cast<size_t>(cinfo.next_scanline) * stride);
            for (int x = 0; x < width; ++x) {
                row[3 * x] = static_cast<unsigned char>(src[x] >> 16);
                row[3 * x + 1] = static_cast<unsigned char>(src[x] >> 8);
                row[3 * x + 2] = static_cast<unsigned char>(src[x]);
            }
            JSAMPROW rows[1] = {row.data()};
            jpeg_write_scanlines(&cinfo, rows, 1);
        }
        jpeg_finish_compress(&cinfo);
        out.assign(buffer, buffer + size);
    }
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

} // namespace

std::vector<unsigned char> render_map_jpeg(int width, int height, double center_lat, double center_lon, double zoom,
                                           const std::vector<GeoPoint> &track, const GeoPoint *current)
{
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        return {};
    if (!std::isfinite(center_lat) || !std::isfinite(center_lon) || !std::isfinite(zoom))
        return {};
    if (center_lat < -90 || center_lat > 90 || zoom < 0 || zoom > 30)
        return {};

    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t *cr = cairo_create(surface);
    std::vector<unsigned char> jpeg;
    if (cairo_status(cr) == CAIRO_STATUS_SUCCESS) {
        cairo_set_source_rgb(cr, 0.95, 0.94, 0.91);
        cairo_paint(cr);

        const View view(width, height, center_lat, center_lon, zoom);
        draw_graticule(cr, view, width, height, center_lon);
        draw_track(cr, view, track);
        if (current != nullptr && finite(*current))
            draw_marker(cr, view, *current);
        draw_scale_bar(cr, width, height, mercator::metres_per_px(center_lat, zoom));
        cairo_surface_flush(surface);
        if (cairo_status(cr) == CAIRO_STATUS_SUCCESS)
            jpeg = encode_jpeg(surface, kJpegQuality);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return jpeg;
}

} // namespace lbs_sim
