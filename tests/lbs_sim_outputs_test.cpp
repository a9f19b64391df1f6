// What lbs-sim makes for people: the map image, the GPX file, the plot and
// the timeline's summary.
#include "lbs_sim_fix_collector.h"
#include "lbs_sim_gpx_writer.h"
#include "lbs_sim_map_render.h"
#include "lbs_sim_plot.h"
#include "lbs_sim_timeline.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
// jpeglib.h uses size_t and FILE without including their headers.
#include <jpeglib.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <clocale>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace lbs_sim {
namespace {

// ---- helpers -------------------------------------------------------------

// The plot's fonts go at the end, so that the sanitizer build's leak check
// sees only what the code under test keeps.
class ReleaseFonts : public ::testing::Environment {
public:
    void TearDown() override { release_font_caches(); }
};
const ::testing::Environment *const kReleaseFonts = ::testing::AddGlobalTestEnvironment(new ReleaseFonts);

struct DecodedJpeg {
    bool ok = false;
    int width = 0, height = 0, components = 0;
    std::vector<unsigned char> rgb;
    // The pixel at (x, y) as r, g, b.
    const unsigned char *at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

struct JpegTestError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void jpeg_test_fail(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegTestError *>(cinfo->err)->jump, 1);
}

// Decodes with libjpeg-turbo, the way a receiver of the map would.
DecodedJpeg decode_jpeg(const std::vector<unsigned char> &bytes)
{
    DecodedJpeg out;
    jpeg_decompress_struct cinfo{};
    JpegTestError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpeg_test_fail;
    if (setjmp(err.jump) == 0) {
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_RGB;
        jpeg_start_decompress(&cinfo);
        out.width = static_cast<int>(cinfo.output_width);
        out.height = static_cast<int>(cinfo.output_height);
        out.components = cinfo.num_components;
        out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = &out.rgb[static_cast<size_t>(cinfo.output_scanline) * out.width * 3];
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        out.ok = true;
    }
    jpeg_destroy_decompress(&cinfo);
    return out;
}

// Width and height from a PNG's IHDR chunk; false when the bytes do not
// start like a PNG.
bool png_size(const std::vector<unsigned char> &png, uint32_t *w, uint32_t *h)
{
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (png.size() < 24 || std::memcmp(png.data(), kSignature, 8) != 0 || std::memcmp(&png[12], "IHDR", 4) != 0)
        return false;
    auto be32 = [&](size_t i) {
        return (uint32_t{png[i]} << 24) | (uint32_t{png[i + 1]} << 16) | (uint32_t{png[i + 2]} << 8) | png[i + 3];
    };
    *w = be32(16);
    *h = be32(20);
    return true;
}

// A GPX document as a reader sees it: parsed by libxml2 and asked by XPath,
// with g: the GPX namespace and x: lbs-sim's extensions.
class GpxReader {
public:
    explicit GpxReader(const std::string &text)
        : doc_(xmlReadMemory(text.data(), static_cast<int>(text.size()), "track.gpx", nullptr,
                             XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING)),
          ctx_(doc_ != nullptr ? xmlXPathNewContext(doc_) : nullptr)
    {
        if (ctx_ != nullptr) {
            xmlXPathRegisterNs(ctx_, BAD_CAST "g", BAD_CAST "http://www.topografix.com/GPX/1/1");
            xmlXPathRegisterNs(ctx_, BAD_CAST "x", BAD_CAST kGpxExtensionNamespace);
        }
    }
    ~GpxReader()
    {
        if (ctx_ != nullptr)
            xmlXPathFreeContext(ctx_);
        if (doc_ != nullptr)
            xmlFreeDoc(doc_);
    }
    GpxReader(const GpxReader &) = delete;
    GpxReader &operator=(const GpxReader &) = delete;

    bool ok() const { return ctx_ != nullptr; }
    // What an XPath expression evaluates to, as text ("3" for a count of 3).
    std::string operator()(const std::string &xpath) const
    {
        xmlXPathObjectPtr o = xmlXPathEvalExpression(BAD_CAST xpath.c_str(), ctx_);
        xmlChar *s = o != nullptr ? xmlXPathCastToString(o) : nullptr;
        std::string v = s != nullptr ? reinterpret_cast<const char *>(s) : "";
        xmlFree(s);
        xmlXPathFreeObject(o);
        return v;
    }

private:
    xmlDocPtr doc_;
    xmlXPathContextPtr ctx_;
};

consumer_position position(uint32_t t, double lat, double lon)
{
    return consumer_position{t, 0, lat, lon, 34.5, 1.25, 90, 4, 6};
}

lbs_consumer_event_s position_event(int type, int error, const consumer_position &p)
{
    lbs_consumer_event_s ev{};
    ev.type = type;
    ev.error = error;
    if (error == 0)
        ev.position.pos = p;
    return ev;
}

// A short walk near Berlin heard through every kind of event: two GPS fixes
// and a GPS error, one WPS fix and a WPS error, a batch of three.
void feed_walk(Sink &sink)
{
    sink.event(10, position_event(CONSUMER_EVENT_POSITION_GPS, 0, position(1000, 52.520, 13.400)));
    sink.event(11, position_event(CONSUMER_EVENT_POSITION_GPS, 0, position(1001, 52.521, 13.400)));
    sink.event(12, position_event(CONSUMER_EVENT_POSITION_GPS, CONSUMER_ERR_TIMEOUT, {}));
    sink.event(13, position_event(CONSUMER_EVENT_POSITION_WPS, 0, position(1003, 52.5205, 13.401)));
    sink.event(14, position_event(CONSUMER_EVENT_POSITION_WPS, CONSUMER_ERR_COMMUNICATION, {}));
    lbs_consumer_event_s batch{};
    batch.type = CONSUMER_EVENT_BATCH_POSITION;
    batch.batch.count = 3;
    const double lats[] = {52.522, 52.523, 52.524};
    for (int i = 0; i < 3; ++i)
        batch.batch.pos[i] = position(1004 + i, lats[i], 13.400);
    sink.event(20, batch);
}

// ---- map: projection and scale --------------------------------------------

TEST(MapProjection, WorkedByHand)
{
    // 256-px tiles: the world is 256 px wide at zoom 0 and doubles per level.
    EXPECT_DOUBLE_EQ(mercator::world_px(0), 256);
    EXPECT_DOUBLE_EQ(mercator::world_px(3), 2048);
    EXPECT_NEAR(mercator::world_px(2.5), 256 * 5.656854249, 1e-6); // 2^2.5 = 4 * sqrt 2

    // lat 0 lon 0 is the middle of the world; 180 W its western edge; 90 E
    // three quarters across.
    EXPECT_DOUBLE_EQ(mercator::x_of(0, 0), 128);
    EXPECT_DOUBLE_EQ(mercator::y_of(0, 0), 128);
    EXPECT_DOUBLE_EQ(mercator::x_of(-180, 0), 0);
    EXPECT_DOUBLE_EQ(mercator::x_of(90, 0), 192);
    EXPECT_DOUBLE_EQ(mercator::x_of(90, 1), 384);

    // y = (1 - ln tan(pi/4 + lat/2) / pi) / 2 * 256: a quarter of the way
    // down where ln tan(pi/4 + lat/2) = pi/2, i.e. lat = 2 atan(e^(pi/2)) -
    // 90 deg = 66.51326044311186 deg.
    EXPECT_NEAR(mercator::y_of(66.51326044311186, 0), 64, 1e-9);
    EXPECT_NEAR(mercator::y_of(-66.51326044311186, 0), 192, 1e-9);
    // The square world ends at 85.0511 deg; beyond it latitudes are clamped.
    EXPECT_NEAR(mercator::y_of(mercator::kMaxLatitude, 0), 0, 1e-9);
    EXPECT_NEAR(mercator::y_of(90, 0), 0, 1e-9);

    // The equator, 2 pi 6378137 m = 40075016.686 m, over 256 px; half as
    // much ground per pixel at 60 deg, where cos = 0.5.
    EXPECT_NEAR(mercator::metres_per_px(0, 0), 156543.034, 1e-3);
    EXPECT_NEAR(mercator::metres_per_px(60, 0), 78271.517, 1e-3);
    EXPECT_NEAR(mercator::metres_per_px(0, 10), 152.874, 1e-3); // / 1024
}

TEST(MapScaleBar, PicksTheLongestRoundDistanceThatFits)
{
    EXPECT_DOUBLE_EQ(scale_bar_metres(1.0, 150), 100);   // 150 m fit: 100
    EXPECT_DOUBLE_EQ(scale_bar_metres(1.0, 100), 100);   // exactly
    EXPECT_DOUBLE_EQ(scale_bar_metres(0.3, 100), 20);    // 30 m fit: 20
    EXPECT_DOUBLE_EQ(scale_bar_metres(3.5, 150), 500);   // 525 m fit: 500
    EXPECT_DOUBLE_EQ(scale_bar_metres(156543.034, 150), 2e7); // 23481 km fit
    EXPECT_NEAR(scale_bar_metres(0.001, 150), 0.1, 1e-15);
    EXPECT_EQ(scale_bar_metres(0, 150), 0);
    EXPECT_EQ(scale_bar_metres(1, 0), 0);
    EXPECT_EQ(scale_bar_metres(std::nan(""), 150), 0);

    EXPECT_EQ(distance_label(500), "500 m");
    EXPECT_EQ(distance_label(2000), "2 km");
    EXPECT_EQ(distance_label(2e7), "20000 km");
    EXPECT_EQ(distance_label(0.5), "0.5 m");
}

// ---- map: the image ---------------------------------------------------------

TEST(MapImage, DecodesToTheRequestedSizeAndRefusesBadArguments)
{
    for (auto [w, h] : {std::pair{320, 240}, std::pair{1, 1}, std::pair{4096, 3}, std::pair{17, 4096}}) {
        const DecodedJpeg d = decode_jpeg(render_map_jpeg(w, h, 52.52, 13.405, 15.5, {}, nullptr));
        ASSERT_TRUE(d.ok) << w << "x" << h;
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(d.height, h);
        EXPECT_EQ(d.components, 3);
    }

    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const struct {
        int w, h;
        double lat, lon, zoom;
    } refused[] = {{0, 10, 0, 0, 1},    {10, 0, 0, 0, 1},    {-5, 10, 0, 0, 1},   {4097, 10, 0, 0, 1},
                   {10, 4097, 0, 0, 1}, {10, 10, nan, 0, 1}, {10, 10, 0, nan, 1}, {10, 10, 0, 0, nan},
                   {10, 10, 0, inf, 1}, {10, 10, 91, 0, 1},  {10, 10, 0, 0, -1}};
    for (const auto &r : refused)
        EXPECT_TRUE(render_map_jpeg(r.w, r.h, r.lat, r.lon, r.zoom, {}, nullptr).empty()) << r.w << "x" << r.h;
    // A broken track point or current position is left out, not fatal.
    const GeoPoint broken{nan, 13.4, 0, 0};
    EXPECT_FALSE(render_map_jpeg(10, 10, 0, 0, 1, {broken}, &broken).empty());
}

TEST(MapImage, DrawsTrackAndMarkerWhereTheProjectionPutsThem)
{
    // At zoom 16 the world is 256 * 65536 px; 100 px east of the centre is
    // 100 * 360 / 16777216 deg of longitude further east.
    const double lat = 52.52, lon = 13.405, zoom = 16;
    const double world = 256 * 65536.0;
    const double dlon = 100 * 360.0 / world;
    // Then 80 px north: the latitude whose world y is 80 px smaller, from
    // the inverse of y = (1 - ln tan(pi/4 + lat/2) / pi) / 2 * world.
    const double y_north = mercator::y_of(lat, zoom) - 80;
    const double lat_north = std::atan(std::sinh(std::numbers::pi * (1 - 2 * y_north / world))) * 180 / std::numbers::pi;
    const std::vector<GeoPoint> track = {{lat, lon, 0, 0}, {lat, lon + dlon, 0, 1000}, {lat_north, lon + dlon, 0, 2000}};

    const DecodedJpeg d = decode_jpeg(render_map_jpeg(400, 300, lat, lon, zoom, track, &track.front()));
    ASSERT_TRUE(d.ok);
    // The marker red, the track blue, the background light; JPEG blurs
    // colours a little.
    auto red = [&](int x, int y) { return d.at(x, y)[0] > 170 && d.at(x, y)[1] < 100 && d.at(x, y)[2] < 100; };
    auto blue = [&](int x, int y) { return d.at(x, y)[0] < 90 && d.at(x, y)[2] > 140; };
    auto light = [&](int x, int y) { return d.at(x, y)[0] > 200; };
    EXPECT_TRUE(red(200, 150)) << "the marker at the centre";
    EXPECT_TRUE(blue(250, 150)) << "the track halfway east";
    EXPECT_TRUE(light(250, 100) && d.at(250, 100)[2] > 190) << "away from both";
    EXPECT_TRUE(blue(300, 110)) << "then north, up the image";
    EXPECT_TRUE(light(300, 190)) << "not south";
    EXPECT_TRUE(light(320, 150)) << "and no further east";
}

TEST(MapImage, SameInputSameBytes)
{
    const std::vector<GeoPoint> track = {{52.52, 13.405, 30, 0}, {52.521, 13.407, 31, 1000}, {52.523, 13.404, 32, 2000}};
    const auto a = render_map_jpeg(480, 320, 52.521, 13.405, 15.25, track, &track[1]);
    ASSERT_FALSE(a.empty());
    EXPECT_TRUE(a == render_map_jpeg(480, 320, 52.521, 13.405, 15.25, track, &track[1]));
    // And a different track is a different picture.
    EXPECT_FALSE(a == render_map_jpeg(480, 320, 52.521, 13.405, 15.25, {track[0], track[1]}, &track[1]));
}

// ---- GPX --------------------------------------------------------------------

TEST(GpxTime, Iso8601Utc)
{
    EXPECT_EQ(iso8601_utc(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(iso8601_utc(86399), "1970-01-01T23:59:59Z");
    // 1970 to 2000: 30 * 365 + 7 leap days = 10957 days; + 31 (January) +
    // 28 = day 11016 is 29 February 2000.
    EXPECT_EQ(iso8601_utc(11016ll * 86400), "2000-02-29T00:00:00Z");
    EXPECT_EQ(iso8601_utc(11017ll * 86400 + 3723), "2000-03-01T01:02:03Z");
    EXPECT_EQ(iso8601_utc(4294967295ll), "2106-02-07T06:28:15Z"); // the last uint32 second
}

TEST(GpxWriter, OneTrackPerMethodWithItsPointsInOrder)
{
    FixCollector c;
    feed_walk(c);
    const std::string text = gpx_document(c.fixes());
    const GpxReader gpx(text);
    ASSERT_TRUE(gpx.ok()) << text;
    EXPECT_EQ(gpx("/g:gpx/@version"), "1.1");
    EXPECT_EQ(gpx("count(/g:gpx/g:trk)"), "3");
    EXPECT_EQ(gpx("/g:gpx/g:trk[1]/g:name"), "GPS");
    EXPECT_EQ(gpx("/g:gpx/g:trk[2]/g:name"), "WPS");
    EXPECT_EQ(gpx("/g:gpx/g:trk[3]/g:name"), "batch");
    // The GPS error and the WPS error bring no point.
    EXPECT_EQ(gpx("count(/g:gpx/g:trk[g:name='GPS']/g:trkseg/g:trkpt)"), "2");
    EXPECT_EQ(gpx("count(/g:gpx/g:trk[g:name='WPS']/g:trkseg/g:trkpt)"), "1");
    EXPECT_EQ(gpx("count(/g:gpx/g:trk[g:name='batch']/g:trkseg/g:trkpt)"), "3");
    EXPECT_EQ(gpx("/g:gpx/g:trk[g:name='batch']/g:trkseg/g:trkpt[3]/@lat"), "52.5240000");

    // The second GPS point in full; 1001 s after 1970-01-01T00:00:00Z is 00:16:41.
    const std::string second = "/g:gpx/g:trk[g:name='GPS']/g:trkseg/g:trkpt[2]";
    EXPECT_EQ(gpx(second + "/@lat"), "52.5210000");
    EXPECT_EQ(gpx(second + "/@lon"), "13.4000000");
    EXPECT_EQ(gpx(second + "/g:ele"), "34.50");
    EXPECT_EQ(gpx(second + "/g:time"), "1970-01-01T00:16:41Z");
    EXPECT_EQ(gpx(second + "/g:extensions/x:speed"), "1.25");
    EXPECT_EQ(gpx(second + "/g:extensions/x:course"), "90.0");
    EXPECT_EQ(gpx(second + "/g:extensions/x:hacc"), "4.0");
}

TEST(GpxWriter, LeavesOutTracksWithoutPointsAndPositionsGpxCannotHold)
{
    FixCollector c;
    c.event(1, position_event(CONSUMER_EVENT_POSITION_WPS, 0, position(5, 95, 13)));   // latitude past the pole
    c.event(2, position_event(CONSUMER_EVENT_POSITION_WPS, 0, position(6, 52, 180))); // GPX longitudes stop before 180
    c.event(3, position_event(CONSUMER_EVENT_POSITION_WPS, 0, position(7, std::nan(""), 13)));
    c.event(4, position_event(CONSUMER_EVENT_POSITION_WPS, 0, position(8, -33.9, -70.6)));
    const std::string text = gpx_document(c.fixes());
    const GpxReader gpx(text);
    ASSERT_TRUE(gpx.ok()) << text;
    EXPECT_EQ(gpx("count(//g:trk)"), "1");
    EXPECT_EQ(gpx("//g:trk/g:name"), "WPS");
    EXPECT_EQ(gpx("count(//g:trkpt)"), "1");
    EXPECT_EQ(gpx("//g:trkpt/@lat"), "-33.9000000");
    EXPECT_EQ(gpx("//g:trkpt/@lon"), "-70.6000000");
}

TEST(GpxWriter, DecimalPointWhateverTheLocale)
{
    const char *old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old != nullptr ? old : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed (scripts/install-deps.sh makes it)";
    FixCollector c;
    feed_walk(c);
    const std::string gpx = gpx_document(c.fixes());
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_NE(gpx.find("lat=\"52.5200000\""), std::string::npos);
    EXPECT_EQ(gpx.find("52,52"), std::string::npos);
}

// ---- collector and distances ----------------------------------------------------

TEST(FixCollector, SortsPositionsAndErrorsByKindThroughAFanOut)
{
    FixCollector c, other;
    FanOutSink both({&c, &other});
    feed_walk(both);
    EXPECT_EQ(other.fixes().size(), 6u);
    EXPECT_EQ(c.count(FixSource::Gps), 2u);
    EXPECT_EQ(c.count(FixSource::Wps), 1u);
    EXPECT_EQ(c.count(FixSource::Batch), 3u);
    ASSERT_EQ(c.gps_failures().size(), 1u); // the WPS error is not a GPS one
    EXPECT_EQ(c.gps_failures()[0].received_at, 12);
    EXPECT_EQ(c.gps_failures()[0].error, CONSUMER_ERR_TIMEOUT);
    // The batch entries arrive together, in order.
    EXPECT_EQ(c.fixes()[3].received_at, 20);
    EXPECT_DOUBLE_EQ(c.fixes()[5].pos.latitude, 52.524);
}

TEST(FixCollector, DistancesByHand)
{
    // On the WGS84 ellipsoid (a = 6378137 m, f = 1/298.257223563) 0.001 deg
    // of latitude near 52.52 N is the meridian's radius of curvature there,
    // a (1 - e2) / (1 - e2 sin2 phi)^1.5, times 0.001 pi / 180: 111.277 m at
    // 52.5205 N, 222.555 m for the two steps from 52.522 N; a sphere of the
    // mean radius would give 111.195 m a step.
    FixCollector c;
    feed_walk(c);
    EXPECT_NEAR(path_length_m(c.fixes(), FixSource::Gps), 111.277, 1e-3);
    EXPECT_NEAR(path_length_m(c.fixes(), FixSource::Batch), 222.555, 2e-3);
    EXPECT_EQ(path_length_m(c.fixes(), FixSource::Wps), 0);
    // A quarter of the equator: a pi / 2. Points that are not numbers are
    // left out of the line.
    const std::vector<GeoPoint> equator = {{0, 0, 0, 0}, {NAN, 45, 0, 1}, {0, 90, 0, 2}};
    EXPECT_NEAR(path_length_m(equator), 6378137 * std::numbers::pi / 2, 1e-3);

    // The plot's local projection gives the same metres; at 60 deg a degree
    // of longitude is half as long (cos 60 = 0.5); across the antimeridian
    // it goes the short way round.
    const LocalProjection at_equator{0, 0}, north{60, 10}, dateline{0, 179.9995};
    EXPECT_NEAR(at_equator.north_m(0.001), 111.195, 1e-3);
    EXPECT_NEAR(at_equator.east_m(0.001), 111.195, 1e-3);
    EXPECT_NEAR(north.east_m(10.002), 111.195, 1e-3);
    EXPECT_NEAR(north.north_m(59.999), -111.195, 1e-3);
    EXPECT_NEAR(dateline.east_m(-179.9995), 111.195, 1e-3);
}

// ---- plot ------------------------------------------------------------------------

TEST(PlotFailures, PlacedOnThePlayedTrackElseAtTheLastFix)
{
    const std::vector<GeoPoint> played = {{0, 0, 0, 0}, {1, 2, 10, 10000}, {1, 4, 10, 20000}};
    std::vector<ReceivedFix> fixes = {{FixSource::Gps, 3, position(3, 50, 8)}, {FixSource::Wps, 30, position(30, 51, 9)}};
    const struct {
        int64_t at;
        bool with_track;
        double lat, lon;
    } rows[] = {
        {5, true, 0.5, 1},  // halfway between the first two points in time: halfway in space
        {20, true, 1, 4},   // the last point exactly
        {25, true, 50, 8},  // past the played track: the last fix received up to then
        {40, false, 51, 9}, // no played track at all
    };
    for (const auto &r : rows) {
        const auto p = place_failure({r.at, CONSUMER_ERR_TIMEOUT}, r.with_track ? played : std::vector<GeoPoint>{}, fixes);
        ASSERT_TRUE(p) << r.at;
        EXPECT_DOUBLE_EQ(p->lat, r.lat) << r.at;
        EXPECT_DOUBLE_EQ(p->lon, r.lon) << r.at;
    }
    EXPECT_FALSE(place_failure({2, CONSUMER_ERR_TIMEOUT}, {}, fixes)) << "nothing known yet";

    // A phone whose clock reads 1e12 ms at virtual time 0: the collector
    // takes its times back to virtual ones.
    FixCollector c;
    c.set_played_track({{0, 0, 0, 1000000000000}, {1, 2, 10, 1000000010000}}, 1000000000000);
    ASSERT_EQ(c.played_track().size(), 2u);
    EXPECT_EQ(c.played_track()[1].time_ms, 10000);
    const auto p = place_failure({5, CONSUMER_ERR_TIMEOUT}, c.played_track(), c.fixes());
    ASSERT_TRUE(p);
    EXPECT_DOUBLE_EQ(p->lat, 0.5);
}

TEST(PlotImage, PngOfTheRequestedSizeAndTheSameBytesForTheSameInput)
{
    FixCollector c, b;
    feed_walk(c);
    feed_walk(b);
    for (auto [w, h] : {std::pair{640, 480}, std::pair{kPlotMinSide, kPlotMinSide}, std::pair{1000, 750}}) {
        uint32_t pw = 0, ph = 0;
        ASSERT_TRUE(png_size(render_plot_png(w, h, c), &pw, &ph)) << w << "x" << h;
        EXPECT_EQ(pw, static_cast<uint32_t>(w));
        EXPECT_EQ(ph, static_cast<uint32_t>(h));
    }
    EXPECT_TRUE(render_plot_png(kPlotMinSide - 1, 400, c).empty());
    EXPECT_TRUE(render_plot_png(400, kPlotMaxSide + 1, c).empty());
    // Nothing received: still a picture, of empty axes.
    uint32_t pw = 0, ph = 0;
    EXPECT_TRUE(png_size(render_plot_png(300, 300, FixCollector{}), &pw, &ph));

    // Same input, same bytes; the played track, once handed over, is drawn.
    const auto first = render_plot_png(640, 480, c);
    EXPECT_TRUE(first == render_plot_png(640, 480, b));
    b.set_played_track({{52.519, 13.399, 0, 0}, {52.525, 13.401, 0, 30000}});
    EXPECT_FALSE(first == render_plot_png(640, 480, b));
}

TEST(PlotMarks, MarkersThinnedByDistanceArrowsAlongTheWay)
{
    // Kept: the first, then each at least 6 px from the last one kept.
    const std::vector<PixelPoint> dense = {{0, 0}, {2, 0}, {4, 0}, {6, 0}, {6, 5}, {6, 6}, {20, 6}};
    EXPECT_EQ(thin_markers(dense, 6), (std::vector<size_t>{0, 3, 5, 6}));
    EXPECT_EQ(thin_markers(dense, 0).size(), dense.size());
    EXPECT_TRUE(thin_markers({}, 6).empty());

    // 100 px east then 100 px south (y grows downwards): four arrows at
    // 0.3, 1.3, 2.3 and 3.3 quarters of 200 px.
    const auto arrows = arrows_along({{0, 0}, {100, 0}, {100, 100}}, 4);
    ASSERT_EQ(arrows.size(), 4u);
    const double want[4][3] = {{15, 0, 0}, {65, 0, 0}, {100, 15, std::numbers::pi / 2}, {100, 65, std::numbers::pi / 2}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(arrows[i].x, want[i][0], 1e-9) << i;
        EXPECT_NEAR(arrows[i].y, want[i][1], 1e-9) << i;
        EXPECT_NEAR(arrows[i].angle, want[i][2], 1e-9) << i;
    }
    // Out and back: the arrows back do not cover those out.
    const auto round_trip = arrows_along({{0, 0}, {100, 0}, {0, 0}}, 2);
    ASSERT_EQ(round_trip.size(), 2u);
    EXPECT_NEAR(round_trip[0].x, 30, 1e-9);
    EXPECT_NEAR(round_trip[1].x, 70, 1e-9);
    EXPECT_NEAR(std::abs(round_trip[1].angle), std::numbers::pi, 1e-9);
    EXPECT_TRUE(arrows_along({{5, 5}, {5, 5}}, 3).empty());
}

TEST(PlotMarks, LegendCountsTheTracksOwnPointsAndAgreesWithTheSummary)
{
    FixCollector c;
    feed_walk(c);
    // No played track: no row for it. Distances are the summary's.
    auto rows = plot_legend(c);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].label, "GPS fixes 2");
    EXPECT_EQ(rows[0].detail, distance_text(path_length_m(c.fixes(), FixSource::Gps)) + ", 0:00:01");
    EXPECT_EQ(rows[0].detail, "111.3 m, 0:00:01");
    EXPECT_EQ(rows[1].label, "WPS fixes 1");
    EXPECT_EQ(rows[1].detail, "");
    EXPECT_EQ(rows[2].label, "batch entries 3");
    EXPECT_EQ(rows[2].detail, "222.6 m, 0:00:00");
    EXPECT_EQ(rows[3].label, "GPS errors 1");

    // Three points of the track's own, then where the phone is now; an hour
    // and a minute and a second of it (times in ms after the epoch given).
    c.set_played_track({{52.520, 13.4, 0, 5000}, {52.521, 13.4, 0, 65000}, {52.522, 13.4, 0, 3600000},
                        {52.5225, 13.4, 0, 3666000}},
                       5000, 3);
    rows = plot_legend(c);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].label, "played track");
    EXPECT_EQ(rows[0].detail, "3 points, 278.2 m, 1:01:01");
    EXPECT_EQ(duration_text(0), "0:00:00");
    EXPECT_EQ(duration_text(36 * 3600 + 5), "36:00:05");
}

// ---- timeline: transfers and summary ------------------------------------------------

class TimelineSummary : public ::testing::Test {
protected:
    void SetUp() override
    {
        out_ = open_memstream(&buf_, &len_);
        ASSERT_NE(out_, nullptr);
        timeline_ = std::make_unique<Timeline>(out_, PathStyle({"/extra/"}), false);
    }
    void TearDown() override
    {
        timeline_.reset();
        if (out_ != nullptr)
            std::fclose(out_);
        std::free(buf_);
    }

    // The host asks; request returns value.
    void request(int64_t t, int code, int value)
    {
        Command cmd{};
        cmd.verb = Verb::Request;
        cmd.code = code;
        cmd.source = "request " + std::to_string(code);
        timeline_->command(t, cmd);
        timeline_->returned(t, "request", value);
    }
    void answer(int64_t t, int type, const char *path = nullptr)
    {
        lbs_consumer_event_s ev{};
        ev.type = type;
        ev.file.path = path;
        timeline_->event(t, ev);
    }

    // The summary written at time t holds each of lines.
    void expect_summary(int64_t t, std::initializer_list<const char *> lines)
    {
        timeline_->finish(t);
        std::fflush(out_);
        const std::string text(buf_, len_);
        for (const char *line : lines)
            EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
    }

    std::FILE *out_ = nullptr;
    char *buf_ = nullptr;
    size_t len_ = 0;
    std::unique_ptr<Timeline> timeline_;
};

TEST_F(TimelineSummary, RequestsWaitUntilTheirAnswer)
{
    request(1, CONSUMER_ACTION_HERE_MAP_IMAGE, CONSUMER_ERR_NONE); // map: 0 means sent
    request(2, CONSUMER_ACTION_REQUEST_EXTRA_DATA, 1);
    request(3, CONSUMER_ACTION_GET_REF_TIME, 1);
    request(4, CONSUMER_ACTION_CHANGE_LOCATION_SETTING, 1);
    request(5, CONSUMER_ACTION_GET_REF_TIME, 0);                       // not sent: nothing to wait for
    request(6, CONSUMER_ACTION_HERE_MAP_IMAGE, CONSUMER_ERR_TIMEOUT);  // refused
    ASSERT_EQ(timeline_->waiting().size(), 4u);

    answer(7, CONSUMER_EVENT_EXTRA_DATA);
    answer(8, CONSUMER_EVENT_LOCATION_SETTING_CHANGE);
    // An answer inside the request call leaves nothing waiting.
    Command check{};
    check.verb = Verb::Request;
    check.code = CONSUMER_ACTION_CHECK_LOCATION_SETTING;
    timeline_->command(9, check);
    answer(9, CONSUMER_EVENT_LOCATION_SETTING_CHECK);
    timeline_->returned(9, "request", 1);
    ASSERT_EQ(timeline_->waiting().size(), 2u);
    EXPECT_EQ(timeline_->waiting()[0].code, CONSUMER_ACTION_HERE_MAP_IMAGE);
    EXPECT_EQ(timeline_->waiting()[1].code, CONSUMER_ACTION_GET_REF_TIME);

    expect_summary(10, {"waiting for an answer: 2", "HERE_MAP_IMAGE(929) sent at 1s, no HERE_MAP_DOWNLOAD(513) yet",
                        "GET_REF_TIME(8) sent at 3s, no REF_TIME(514) yet"});
}

TEST_F(TimelineSummary, CountsEventsPositionsAndFileTransfers)
{
    feed_walk(*timeline_);
    answer(30, CONSUMER_EVENT_PROVIDER_CONNECTED);
    EXPECT_EQ(timeline_->event_counts().at(CONSUMER_EVENT_POSITION_GPS), 3);
    EXPECT_EQ(timeline_->event_counts().at(CONSUMER_EVENT_POSITION_WPS), 2);
    EXPECT_EQ(timeline_->event_counts().at(CONSUMER_EVENT_BATCH_POSITION), 1);
    EXPECT_EQ(timeline_->gps_errors(), 1);
    EXPECT_EQ(timeline_->fixes().fixes().size(), 6u);

    for (auto [tx, path] : {std::pair{7, "/extra/gpsPlus.dat"}, std::pair{8, "/extra/map.jpg"}}) {
        kov_ctl_call accepted{};
        accepted.name = "receiveFile";
        accepted.transaction_id = tx;
        accepted.accept = 1;
        accepted.text = path;
        timeline_->kov_call(31, accepted);
    }
    timeline_->progress(32, 7, 50);
    timeline_->progress(33, 7, 150); // more than all of it is all of it
    timeline_->progress(34, 8, 40);
    answer(35, CONSUMER_EVENT_EXTRA_DATA, "/extra/gpsPlus.dat");

    // 0.001 deg of latitude per step (see DistancesByHand).
    expect_summary(40, {"events: 8", "POSITION_GPS(256) 3, 1 with an error", "positions received: 6",
                        "GPS 2 over 111.3 m", "batch 3 over 222.6 m", "waiting for an answer: 0",
                        "tx=7 [....................]   0%  accepted  $EXTRA/gpsPlus.dat",
                        "tx=7 [##########..........]  50%", "tx=7 [####################] 100%",
                        "tx=8 [########............]  40%", "file transfers: 2", "tx=7 received",
                        "tx=8 still open at 40%"});
}

} // namespace
} // namespace lbs_sim
