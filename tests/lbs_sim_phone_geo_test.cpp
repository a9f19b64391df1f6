// Geodesics on WGS84 and GPX reading for the simulated phone.
#include "lbs_sim_geo.h"
#include "lbs_sim_gpx_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lbs_sim {
namespace {

// Worked by hand: on the equator a geodesic is the equator itself, so one
// degree of longitude is a * pi / 180 = 6378137 * 0.017453292519943295 =
// 111319.49079327357 m. One degree of latitude from the equator is the
// meridian arc of WGS84, 110574.3886 m (the textbook value for the first
// degree).
TEST(Geodesic, DistancesAndBearingsOfKnownArcs)
{
    GeoStep east = geodesic_inverse(0, 0, 0, 1);
    EXPECT_NEAR(east.distance, 111319.4908, 1e-3);
    EXPECT_NEAR(east.bearing, 90, 1e-9);

    GeoStep north = geodesic_inverse(0, 0, 1, 0);
    EXPECT_NEAR(north.distance, 110574.3886, 1e-3);
    EXPECT_NEAR(north.bearing, 0, 1e-9);

    // Bearings are in [0, 360): west is 270, not -90; south 180.
    EXPECT_NEAR(geodesic_inverse(0, 1, 0, 0).bearing, 270, 1e-9);
    EXPECT_NEAR(geodesic_inverse(1, 0, 0, 0).bearing, 180, 1e-9);
    // No way to go between a point and itself.
    EXPECT_EQ(geodesic_inverse(37.5, 127, 37.5, 127).distance, 0);
    EXPECT_EQ(geodesic_inverse(37.5, 127, 37.5, 127).bearing, 0);
}

TEST(Geodesic, DirectUndoesInverse)
{
    double lat = 0, lon = 0;
    geodesic_direct(0, 0, 90, 111319.49079327357, &lat, &lon);
    EXPECT_NEAR(lat, 0, 1e-12);
    EXPECT_NEAR(lon, 1, 1e-12);

    const GeoStep s = geodesic_inverse(37.5663, 126.9779, 37.5190, 126.9400);
    geodesic_direct(37.5663, 126.9779, s.bearing, s.distance, &lat, &lon);
    EXPECT_NEAR(lat, 37.5190, 1e-9);
    EXPECT_NEAR(lon, 126.9400, 1e-9);
}

std::string data(const std::string &name)
{
    return std::string(LBS_TEST_DATA_DIR) + "/gpx/" + name;
}

TEST(GpxReader, TrackOfSegmentsWithTimesAndZones)
{
    std::vector<TrackPoint> pts;
    std::string error;
    ASSERT_TRUE(read_gpx(data("two_segments_1_1.gpx"), &pts, &error)) << error;
    // The route is left out: the track has points. Segments are joined.
    ASSERT_EQ(pts.size(), 3u);
    EXPECT_EQ(pts[0].lat, 37.5);
    EXPECT_EQ(pts[0].ele, 10.5);
    EXPECT_EQ(pts[1].ele, 12);
    EXPECT_EQ(pts[2].ele, 0); // none given
    EXPECT_EQ(pts[2].lon, 127.001);
    // From the first point: 30.5 s; 09:01+01:00 is 08:01Z, 60 s.
    EXPECT_EQ(pts[0].time_ms, 0);
    EXPECT_EQ(pts[1].time_ms, 30500);
    EXPECT_EQ(pts[2].time_ms, 60000);
}

// Without times the route is walked at 1.4 m/s: each step of 0.001 degree
// on the equator is 111.31949079 m, 79.51392 s, so 79514 ms and 159028 ms.
TEST(GpxReader, RouteWithoutTimesIsWalkedAtTheDefaultPace)
{
    std::vector<TrackPoint> pts;
    std::string error;
    ASSERT_TRUE(read_gpx(data("route_1_0.gpx"), &pts, &error)) << error;
    ASSERT_EQ(pts.size(), 3u);
    EXPECT_EQ(pts[0].ele, 5);
    EXPECT_EQ(pts[0].time_ms, 0);
    EXPECT_EQ(pts[1].time_ms, 79514);
    EXPECT_EQ(pts[2].time_ms, 159028);
}

TEST(GpxReader, FilesThatCannotBeReadSayWhereAndWhy)
{
    struct Case {
        const char *file;
        const char *where; // file:line the message starts with
        const char *why;   // a piece of the message
    };
    const Case cases[] = {
        // libxml2's own message, with its line.
        {"broken_xml.gpx", "broken_xml.gpx:4: ", "mismatch"},
        {"bad_latitude.gpx", "bad_latitude.gpx:5: ", "bad or missing lat 'north'"},
        {"backwards.gpx", "backwards.gpx:5: ", "time runs backwards"},
        {"no_points.gpx", "no_points.gpx: ", "no track points"},
        {"not_gpx.gpx", "not_gpx.gpx: ", "not a GPX document"},
        {"missing.gpx", "missing.gpx", "missing.gpx"},
    };
    for (const Case &c : cases) {
        std::vector<TrackPoint> pts;
        std::string error;
        EXPECT_FALSE(read_gpx(data(c.file), &pts, &error)) << c.file;
        EXPECT_NE(error.find(data(c.where)), std::string::npos) << error;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
    }
}

TEST(GpxReader, DocumentInMemoryIsNamedInMessages)
{
    std::vector<TrackPoint> pts;
    std::string error;
    EXPECT_TRUE(read_gpx_memory("<gpx><trk><trkseg><trkpt lat='-90' lon='180'/></trkseg></trk></gpx>", "mem",
                                &pts, &error));
    ASSERT_EQ(pts.size(), 1u);
    EXPECT_EQ(pts[0].lat, -90);
    EXPECT_FALSE(read_gpx_memory("<gpx><trk><trkseg><trkpt lat='0' lon='181'/></trkseg></trk></gpx>", "mem", &pts,
                                 &error));
    EXPECT_EQ(error, "mem:1: bad or missing lon '181'");
}

} // namespace
} // namespace lbs_sim
