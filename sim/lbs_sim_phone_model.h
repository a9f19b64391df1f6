/*
 * The simulated phone's provider app, knowing nothing of links: the track
 * and where the phone is at a virtual time, and the answer to every request
 * of the protocol as the JSON texts (and files) the provider sends back.
 * The link adapters (lbs_sim_phone_kov, lbs_sim_phone_bap) carry requests in
 * and answers out.
 *
 * Time is the alarm manager stand-in's virtual clock in whole seconds. The
 * phone's clock reads kPhoneEpochMs plus the virtual time. Everything random
 * (accuracies, network-position noise, the assistance file) comes from one
 * generator seeded with kPhoneSeed, so that runs repeat byte for byte.
 * Numbers go into JSON with fixed precision.
 *
 * Work that happens over time (positions, batches, exercise figures, PDC
 * values) is kept as schedules: next_due() says when the model next has
 * something to say, and tick(now) returns everything due by then.
 */
#ifndef LBS_SIM_PHONE_MODEL_H
#define LBS_SIM_PHONE_MODEL_H

#include "lbs_sim_gpx_reader.h"
#include "lbs_sim_phone_exercise.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lbs_sim {

// 2026-01-01T00:00:00Z in milliseconds: the phone's clock at virtual time 0.
constexpr int64_t kPhoneEpochMs = 1767225600000;
constexpr uint64_t kPhoneSeed = 20260101;
// Where a phone without a track stands (Seoul City Hall, 38 m).
constexpr double kHomeLat = 37.5663, kHomeLon = 126.9779, kHomeEle = 38.0;
// A batch holds at most this many positions; older ones are dropped.
constexpr size_t kMaxBatch = 150;
// PDC values go out this often while PDC runs.
constexpr int64_t kPdcPeriod = 10;
// The uncertainty the phone gives its reference time, milliseconds.
constexpr int64_t kRefTimeUncertainty = 25;
// Size of the assistance file.
constexpr size_t kAssistanceSize = 48 * 1024;

// Which dialect the request came in, and so the reply goes out in.
enum class Dialect { Kov, Bap };

// Where the phone is: interpolated by time between track points.
struct Fix {
    double lat = 0, lon = 0, ele = 0;
    double speed = 0;   // m/s, of the track segment
    double bearing = 0; // degrees, of the track segment
};

class Track {
public:
    explicit Track(std::vector<TrackPoint> points);
    // At ms after the start; before it the first point, after the end the
    // last point, standing still.
    Fix at(int64_t ms) const;
    const std::vector<TrackPoint> &points() const { return points_; }

private:
    std::vector<TrackPoint> points_;
};

struct PhoneOutput {
    enum class Kind { Data, File };
    Kind kind = Kind::Data;
    std::string text;                 // Data: the reply
    std::string file_name;            // File: the name offered
    std::vector<unsigned char> bytes; // File: the content
};
using PhoneOutputs = std::vector<PhoneOutput>;

// A small deterministic generator (splitmix64).
class Noise {
public:
    explicit Noise(uint64_t seed) : state_(seed) {}
    uint64_t next();
    double uniform(); // [0, 1)

private:
    uint64_t state_;
};

struct RequestFields;

class PhoneModel {
public:
    PhoneModel();

    // The phone follows this track from now on.
    void set_track(std::shared_ptr<const Track> track, int64_t now);
    Fix where(int64_t now) const;
    // The part of the track walked by now, in virtual milliseconds, ending
    // where the phone is now (see Phone::played_track).
    std::vector<TrackPoint> played_track(int64_t now) const;

    // The phone's own location settings. Turning GPS on or off during an
    // exercise reports the GPS status.
    PhoneOutputs set_gps(bool on, int64_t now);
    void set_wps(bool on) { wps_ = on; }
    bool gps() const { return gps_; }
    bool wps() const { return wps_; }
    // A reason other than 0 refuses these requests with result 2 and it.
    void refuse_map(int reason) { refuse_map_ = reason; }
    void refuse_assistance(int reason) { refuse_assistance_ = reason; }

    // One request as the watch sent it.
    PhoneOutputs request(Dialect dialect, std::string_view text, int64_t now);
    // Everything scheduled up to now.
    PhoneOutputs tick(int64_t now);
    // When something is next scheduled, -1 when nothing is.
    int64_t next_due() const;
    // The watch is gone: every session ends.
    void stop_all();

    // The texts, for the adapters and tests.
    std::string position_json(int method, int64_t time, bool entry_only);
    std::string exercise_json(int64_t now);
    std::vector<unsigned char> assistance_file(int method, int64_t now) const;

private:
    struct Stream {
        bool on = false;
        int64_t interval = 1;
        int64_t batch = 0;
        int64_t next_fix = 0;
        int64_t next_batch = 0;
        std::vector<std::string> pending; // batch entries
    };
    struct Exercise {
        bool running = false;
        bool paused = false;
        int64_t interval = 1;
        int64_t next = 0;
        int64_t stepped = 0; // last second fed to the computer
        std::optional<ExerciseComputer> computer;
    };

    PhoneOutputs tracking(const RequestFields &r, int64_t now);
    PhoneOutputs exercise(const RequestFields &r, int64_t now);
    PhoneOutputs map_image(const RequestFields &r, int64_t now);
    void catch_up(int64_t now);
    void tick_stream(int method, Stream &s, int64_t now, PhoneOutputs *out);

    std::shared_ptr<const Track> track_;
    int64_t track_start_ = 0;
    Dialect dialect_ = Dialect::Kov;
    bool gps_ = true, wps_ = true;
    int refuse_map_ = 0, refuse_assistance_ = 0;
    Noise noise_;
    Stream gps_stream_, wps_stream_;
    Exercise ex_;
    ExerciseProfile profile_;
    AutoPause auto_pause_;
    bool pdc_ = false;
    int64_t pdc_next_ = 0;
};

} // namespace lbs_sim

#endif // LBS_SIM_PHONE_MODEL_H
