#include "lbs_sim_phone_exercise.h"

#include "lbs_sim_geo.h"

#include <algorithm>

namespace lbs_sim {

double calories_per_second(double v, double weight_kg)
{
    const double k = v < kRunSpeed ? 0.1 : 0.2;
    const double vo2 = 3.5 + k * v * 60.0; // ml/kg/min
    return vo2 * weight_kg * 5.0 / 1000.0 / 60.0;
}

double stride_length(double v, double height_cm)
{
    return height_cm / 100.0 * (v < kRunSpeed ? 0.415 : 0.65);
}

ExerciseComputer::ExerciseComputer(ExerciseProfile profile, AutoPause auto_pause)
    : profile_(profile), auto_pause_(auto_pause)
{
    if (profile_.height_cm <= 0)
        profile_.height_cm = 170;
    if (profile_.weight_kg <= 0)
        profile_.weight_kg = 65;
}

void ExerciseComputer::step(double lat, double lon, double ele, bool paused)
{
    if (!placed_) {
        placed_ = true;
        f_.latitude = lat;
        f_.longitude = lon;
        f_.altitude = f_.max_altitude = f_.min_altitude = ele;
        return;
    }
    const double d = geodesic_inverse(f_.latitude, f_.longitude, lat, lon).distance;
    const double climb = ele - f_.altitude;
    f_.latitude = lat;
    f_.longitude = lon;
    f_.altitude = ele;
    f_.max_altitude = std::max(f_.max_altitude, ele);
    f_.min_altitude = std::min(f_.min_altitude, ele);
    const double v = d; // over one second
    f_.speed = v >= kMovingSpeed ? v : 0;
    f_.pace = f_.speed > 0 ? 1000.0 / f_.speed : 0;
    f_.cadence = 0;
    if (paused)
        return;

    if (auto_pause_.enabled) {
        if (v < auto_pause_.speed_threshold) {
            ++slow_run_;
            fast_run_ = 0;
        } else {
            ++fast_run_;
            slow_run_ = 0;
        }
        if (!f_.auto_paused && slow_run_ >= auto_pause_.pause_window)
            f_.auto_paused = true;
        else if (f_.auto_paused && fast_run_ >= auto_pause_.resume_window)
            f_.auto_paused = false;
    } else {
        f_.auto_paused = false;
    }
    if (f_.auto_paused)
        return;

    f_.duration_time += 1;
    if (v < kMovingSpeed)
        return;
    f_.moving_time += 1;
    f_.total_distance += d;
    if (climb > 0.01 * d) {
        f_.incline_distance += d;
        f_.incline_time += 1;
    } else if (climb < -0.01 * d) {
        f_.decline_distance += d;
        f_.decline_time += 1;
    } else {
        f_.flat_distance += d;
        f_.flat_time += 1;
    }
    f_.max_speed = std::max(f_.max_speed, v);
    f_.max_pace = 1000.0 / f_.max_speed;
    f_.average_speed = f_.total_distance / f_.moving_time;
    f_.average_pace = 1000.0 / f_.average_speed;
    f_.calories += calories_per_second(v, profile_.weight_kg);
    const double stride = stride_length(v, profile_.height_cm);
    f_.steps += d / stride;
    f_.cadence = v / stride * 60.0;
}

} // namespace lbs_sim
