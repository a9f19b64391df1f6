#include "lbs_sim_geo.h"

#include <GeographicLib/Geodesic.hpp>

namespace lbs_sim {

GeoStep geodesic_inverse(double lat1, double lon1, double lat2, double lon2)
{
    double s12 = 0, azi1 = 0, azi2 = 0;
    GeographicLib::Geodesic::WGS84().Inverse(lat1, lon1, lat2, lon2, s12, azi1, azi2);
    if (s12 == 0)
        azi1 = 0; // no direction between equal points
    if (azi1 < 0)
        azi1 += 360;
    if (azi1 >= 360)
        azi1 -= 360;
    return {s12, azi1};
}

void geodesic_direct(double lat, double lon, double bearing, double distance, double *lat2, double *lon2)
{
    GeographicLib::Geodesic::WGS84().Direct(lat, lon, bearing, distance, *lat2, *lon2);
}

} // namespace lbs_sim
