/*
 * The map image the simulated phone sends for a map request: a Web Mercator
 * view drawn with cairo and encoded as JPEG with libjpeg-turbo. Nothing is
 * fetched: the map shows a graticule, the track, the current position and a
 * scale bar. The same arguments always give the same bytes.
 */
#ifndef LBS_SIM_MAP_RENDER_H
#define LBS_SIM_MAP_RENDER_H

#include <cstdint>
#include <string>
#include <vector>

namespace lbs_sim {

// A point of a track: degrees, metres, and the virtual time in milliseconds
// at which the phone is there.
struct GeoPoint {
    double lat, lon, ele;
    int64_t time_ms;
};

// Web Mercator map of width x height px centred on (lat, lon) at a fractional
// zoom (256-px tiles: the world is 256 * 2^zoom px wide): the track as a line,
// the current position (may be NULL) as a marker, a scale bar with a round
// distance label. Returns JPEG bytes (quality 85), or nothing when width or
// height is below 1 or above 4096, when the centre or the zoom is not a
// finite number, the centre latitude lies outside [-90, 90] or the zoom
// outside [0, 30]. Track points whose latitude or longitude is not finite
// break the line there; a current position that is not finite is left out.
std::vector<unsigned char> render_map_jpeg(int width, int height, double center_lat, double center_lon, double zoom,
                                           const std::vector<GeoPoint> &track, const GeoPoint *current);

// The projection the map uses, exposed for tests and for callers that need
// to place things on the image.
namespace mercator {

// Latitudes are clamped to this, where the square world ends.
inline constexpr double kMaxLatitude = 85.0511287798066;

// World width (and height) in px at a zoom: 256 * 2^zoom.
double world_px(double zoom);
// World pixel coordinates: x from 0 at 180 W eastwards, y from 0 at the
// northern edge southwards.
double x_of(double lon, double zoom);
double y_of(double lat, double zoom);
// Ground metres one pixel covers at a latitude.
double metres_per_px(double lat, double zoom);

} // namespace mercator

// The longest round distance (1, 2 or 5 times a power of ten metres) whose
// bar fits in max_px at metres_per_px; 0 when the arguments are not positive
// finite numbers.
double scale_bar_metres(double metres_per_px, double max_px);
// "500 m", "2 km", "0.5 m" (below a metre).
std::string distance_label(double metres);

} // namespace lbs_sim

#endif // LBS_SIM_MAP_RENDER_H
