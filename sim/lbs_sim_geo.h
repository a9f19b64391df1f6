/*
 * Geodesy on the WGS84 ellipsoid for the simulated phone (GeographicLib):
 * the distance and the initial bearing between two points, and the point a
 * given distance along a bearing. Angles in degrees, distances in metres.
 */
#ifndef LBS_SIM_GEO_H
#define LBS_SIM_GEO_H

namespace lbs_sim {

struct GeoStep {
    double distance; // metres along the geodesic
    double bearing;  // initial azimuth, degrees clockwise from north, in [0, 360)
};

// The geodesic from (lat1, lon1) to (lat2, lon2).
GeoStep geodesic_inverse(double lat1, double lon1, double lat2, double lon2);

// The point reached from (lat, lon) after distance metres on bearing.
void geodesic_direct(double lat, double lon, double bearing, double distance, double *lat2, double *lon2);

} // namespace lbs_sim

#endif // LBS_SIM_GEO_H
