#include "lbs_sim_gpx_writer.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace lbs_sim {
namespace {

std::string fixed(double v, int decimals)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}

bool in_gpx_range(const consumer_position &p)
{
    // GPX latitudes lie in [-90, 90], longitudes in [-180, 180).
    return p.latitude >= -90 && p.latitude <= 90 && p.longitude >= -180 && p.longitude < 180;
}

void element(std::string *out, const char *name, double v, int decimals)
{
    if (!std::isfinite(v))
        return;
    *out += std::string("<") + name + ">" + fixed(v, decimals) + "</" + name + ">";
}

void trkpt(std::string *out, const consumer_position &p)
{
    *out += "      <trkpt lat=\"" + fixed(p.latitude, 7) + "\" lon=\"" + fixed(p.longitude, 7) + "\">";
    element(out, "ele", p.altitude, 2);
    *out += "<time>" + iso8601_utc(p.timestamp) + "</time>";
    std::string ext;
    element(&ext, "lbssim:speed", p.speed, 2);
    element(&ext, "lbssim:course", p.bearing, 1);
    element(&ext, "lbssim:hacc", p.hor_accuracy, 1);
    element(&ext, "lbssim:vacc", p.ver_accuracy, 1);
    if (!ext.empty())
        *out += "<extensions>" + ext + "</extensions>";
    *out += "</trkpt>\n";
}

} // namespace

std::string iso8601_utc(int64_t seconds)
{
    // Days to a civil date in the proleptic Gregorian calendar, counting in
    // 400-year eras from 0000-03-01 so that leap days fall at era ends.
    int64_t days = seconds / 86400;
    int64_t rem = seconds % 86400;
    if (rem < 0) {
        rem += 86400;
        --days;
    }
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(y),
                  static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(rem / 3600),
                  static_cast<long long>(rem / 60 % 60), static_cast<long long>(rem % 60));
    return buf;
}

std::string gpx_document(const std::vector<ReceivedFix> &fixes)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<gpx version=\"1.1\" creator=\"lbs-sim\" xmlns=\"http://www.topografix.com/GPX/1/1\""
                      " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                      " xmlns:lbssim=\"";
    out += kGpxExtensionNamespace;
    out += "\" xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1"
           " http://www.topografix.com/GPX/1/1/gpx.xsd\">\n"
           "  <metadata><name>Positions received by the host</name></metadata>\n";
    for (FixSource source : kFixSources) {
        std::string points;
        for (const ReceivedFix &f : fixes)
            if (f.source == source && in_gpx_range(f.pos))
                trkpt(&points, f.pos);
        if (points.empty())
            continue;
        out += std::string("  <trk>\n    <name>") + fix_source_name(source) + "</name>\n    <trkseg>\n";
        out += points;
        out += "    </trkseg>\n  </trk>\n";
    }
    out += "</gpx>\n";
    return out;
}

bool write_gpx_file(const std::string &path, const std::vector<ReceivedFix> &fixes, std::string *why)
{
    const std::string text = gpx_document(fixes);
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f) {
        *why = path + ": " + std::strerror(errno);
        return false;
    }
    if (std::fwrite(text.data(), 1, text.size(), f.get()) != text.size() || std::fflush(f.get()) != 0) {
        *why = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace lbs_sim
