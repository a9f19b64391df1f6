/*
 * Reads the track the simulated phone walks from a GPX 1.0 or 1.1 file
 * (libxml2): every trk/trkseg/trkpt in document order, segments joined; a
 * file without track points gives its rte/rtept instead. Each point has its
 * latitude and longitude, its elevation (0 when absent) and its time.
 *
 * Times are made relative to the first point. When any point lacks a time,
 * the whole track is timed instead by walking it at kDefaultPace, so that
 * a route drawn by hand plays as a walk.
 */
#ifndef LBS_SIM_GPX_READER_H
#define LBS_SIM_GPX_READER_H

#include <cstdint>
#include <string>
#include <vector>

namespace lbs_sim {

struct TrackPoint {
    double lat = 0;
    double lon = 0;
    double ele = 0;
    int64_t time_ms = 0; // from the first point
};

// Metres per second a track without times is walked at (5.04 km/h).
constexpr double kDefaultPace = 1.4;

// True with *points (at least one) filled; false with *error saying why:
// libxml2's own message with the file and line for XML that cannot be
// read, or what is wrong with the GPX (no points, a bad coordinate or
// time, times that run backwards) with the line of the point.
bool read_gpx(const std::string &path, std::vector<TrackPoint> *points, std::string *error);

// The same for a document in memory; name stands for the file in messages.
bool read_gpx_memory(const std::string &content, const std::string &name, std::vector<TrackPoint> *points,
                     std::string *error);

} // namespace lbs_sim

#endif // LBS_SIM_GPX_READER_H
