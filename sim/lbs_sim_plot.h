/*
 * A picture of where the phone went and what the host heard: the track the
 * phone played (when it was handed to the collector), the positions the host
 * received by kind (GPS, WPS, batch entries), and the GPS events that came
 * with an error, placed where the phone was at that time on the played track
 * or, without one, at the last position received before. Axes are metres
 * east and north of the middle of everything drawn (a local equirectangular
 * projection); a legend names and counts each kind, with the distance and
 * duration of the played track and of each kind's line. Start and finish
 * are marked and arrows show the direction of travel. Markers closer than a
 * few pixels to the last one drawn of their kind are left out, so that the
 * played track, drawn under them, shows between a long run's thousands of
 * fixes. The same collector gives the same PNG bytes.
 */
#ifndef LBS_SIM_PLOT_H
#define LBS_SIM_PLOT_H

#include "lbs_sim_fix_collector.h"

#include <optional>
#include <string>
#include <vector>

namespace lbs_sim {

inline constexpr int kPlotMinSide = 200;
inline constexpr int kPlotMaxSide = 8192;

// Metres east and north of an origin, on a sphere of the Earth's mean radius
// with the east-west scale of the origin's latitude.
struct LocalProjection {
    double lat0, lon0;
    double east_m(double lon) const;
    double north_m(double lat) const;
};

// Where the phone was when a GPS event came with an error: on the played
// track at that time (interpolated), else at the last position the host
// received up to then; nothing when neither is known.
std::optional<GeoPoint> place_failure(const FailedFix &failure, const std::vector<GeoPoint> &played,
                                      const std::vector<ReceivedFix> &fixes);

struct PixelPoint {
    double x, y;
};

// The points that get a marker: the first, then each at least min_gap px
// from the last one kept. Indices, in order.
std::vector<size_t> thin_markers(const std::vector<PixelPoint> &points, double min_gap);

// count arrows spread along the line by its length, at (k + 0.3) / count of
// it (so that a way out and back shows both directions); angle is the direction of travel there, radians from the +x axis
// (y grows downwards). None for a line without length.
struct Arrow {
    double x, y, angle;
};
std::vector<Arrow> arrows_along(const std::vector<PixelPoint> &line, int count);

// The legend's words: a label and, under it, details (points, distance,
// duration), for the played track (when there is one), each kind of fix,
// the GPS errors. Distances are path_length_m's, as in the summary.
struct LegendRow {
    std::string label, detail;
};
std::vector<LegendRow> plot_legend(const FixCollector &collector);

// PNG bytes of the plot, or nothing when a side lies outside
// [kPlotMinSide, kPlotMaxSide].
std::vector<unsigned char> render_plot_png(int width, int height, const FixCollector &collector);

// render_plot_png written to path; false with *why when it cannot be.
bool write_plot_file(const std::string &path, int width, int height, const FixCollector &collector,
                     std::string *why);

// Cairo and fontconfig keep the fonts the plot's text used until the
// process ends; this lets them go, so that a leak checker finds nothing at
// exit. Call it once no cairo object is alive any more; a later plot loads
// the fonts again.
void release_font_caches();

} // namespace lbs_sim

#endif // LBS_SIM_PLOT_H
