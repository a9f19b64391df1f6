/*
 * The exercise figures the simulated phone computes while the watch user
 * trains: fed one position a second, it accumulates what the provider
 * reports in "lbs-exercise-info-rsp". Units: metres, seconds, m/s, s/km,
 * kcal. The models, chosen for this simulator and simple enough to check by
 * hand:
 *
 * - Distance: the geodesic between consecutive positions (WGS84).
 * - Moving: a second whose speed is at least kMovingSpeed. Only moving
 *   seconds add distance, moving time, slope figures, calories and steps.
 * - Slope: a moving second climbing more than 1 % of its distance is
 *   incline, falling more than 1 % decline, anything else flat.
 * - Speed: the distance of the last second; maximum over moving seconds;
 *   average = distance / moving time. Pace = 1000 / speed (0 while not
 *   moving); the maximum pace is the fastest one (1000 / max speed); the
 *   average pace is 1000 / average speed.
 * - Calories (ACSM walking and running equations): oxygen uptake
 *   VO2 = 3.5 + k * v * 60 ml/kg/min with k = 0.1 walking (v < kRunSpeed)
 *   and 0.2 running; 5 kcal per litre of oxygen, so one moving second burns
 *   VO2 * weight_kg * 5 / 1000 / 60 kcal.
 * - Steps: stride = height * 0.415 walking, height * 0.65 running (height
 *   in metres); steps += distance / stride; cadence = v / stride * 60
 *   steps a minute (0 while not moving).
 * - Duration: seconds while the session runs (not paused by the watch, not
 *   auto-paused).
 * - Auto-pause, when enabled: pause_window consecutive seconds below the
 *   speed threshold pause the session, resume_window consecutive seconds at
 *   or above it resume it (the seconds of those windows count as they are).
 *   While auto-paused nothing accumulates but the altitude.
 */
#ifndef LBS_SIM_PHONE_EXERCISE_H
#define LBS_SIM_PHONE_EXERCISE_H

#include <cstdint>
#include <string>

namespace lbs_sim {

constexpr double kMovingSpeed = 0.5; // m/s
constexpr double kRunSpeed = 2.0;    // m/s: at or above, running

struct ExerciseProfile {
    double height_cm = 170;
    double weight_kg = 65;
    double base_pressure = 0;
};

struct AutoPause {
    bool enabled = false;
    double speed_threshold = 0.5; // m/s
    int pause_window = 5;         // s
    int resume_window = 3;        // s
};

struct ExerciseFigures {
    double latitude = 0, longitude = 0;
    double total_distance = 0, incline_distance = 0, decline_distance = 0, flat_distance = 0;
    int64_t incline_time = 0, decline_time = 0, flat_time = 0;
    double altitude = 0, max_altitude = 0, min_altitude = 0;
    double speed = 0, max_speed = 0, average_speed = 0;
    double pace = 0, max_pace = 0, average_pace = 0;
    double calories = 0;
    double steps = 0; // fractional; reported rounded down
    double cadence = 0;
    double duration_time = 0, moving_time = 0;
    bool auto_paused = false;
};

class ExerciseComputer {
public:
    ExerciseComputer(ExerciseProfile profile, AutoPause auto_pause);

    // One second later the phone is at (lat, lon, ele); the first call
    // only places it. paused: the watch paused the session.
    void step(double lat, double lon, double ele, bool paused);

    void set_auto_pause(const AutoPause &a) { auto_pause_ = a; }
    const ExerciseFigures &figures() const { return f_; }

private:
    ExerciseProfile profile_;
    AutoPause auto_pause_;
    ExerciseFigures f_;
    bool placed_ = false;
    int slow_run_ = 0, fast_run_ = 0;
};

// Calories of one second at speed v (m/s) for weight_kg.
double calories_per_second(double v, double weight_kg);
// Stride length in metres at speed v for height_cm.
double stride_length(double v, double height_cm);

} // namespace lbs_sim

#endif // LBS_SIM_PHONE_EXERCISE_H
