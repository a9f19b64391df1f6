/*
 * The positions the host received, as GPX 1.1: one <trk> per kind of event
 * that brought them (GPS, WPS, batch), in that order, each one <trkseg> with
 * the positions in the order they arrived. A track without positions is left
 * out. <time> is the position's own timestamp in UTC; speed, course and the
 * two accuracies go in <extensions> in the namespace kGpxExtensionNamespace.
 * Positions outside the ranges GPX allows (or not numbers) are left out.
 * Numbers are written with a decimal point whatever the locale.
 */
#ifndef LBS_SIM_GPX_WRITER_H
#define LBS_SIM_GPX_WRITER_H

#include "lbs_sim_fix_collector.h"

#include <string>
#include <vector>

namespace lbs_sim {

inline constexpr const char *kGpxExtensionNamespace = "urn:lbs-sim:gpx-extensions:1";

std::string gpx_document(const std::vector<ReceivedFix> &fixes);

// Writes gpx_document to path. False with *why when the file cannot be
// written.
bool write_gpx_file(const std::string &path, const std::vector<ReceivedFix> &fixes, std::string *why);

// Seconds since 1970 as "YYYY-MM-DDTHH:MM:SSZ".
std::string iso8601_utc(int64_t seconds);

} // namespace lbs_sim

#endif // LBS_SIM_GPX_WRITER_H
