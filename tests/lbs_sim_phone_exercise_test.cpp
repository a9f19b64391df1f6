// The exercise figures the simulated phone computes, against values worked
// by hand. The walks go along the equator, where a degree of longitude is
// 111319.49079327357 m (a * pi / 180), so that a speed in m/s is a step of
// speed / 111319.49079327357 degrees a second.
#include "lbs_sim_phone_exercise.h"

#include <gtest/gtest.h>

namespace lbs_sim {
namespace {

constexpr double kDegPerMetre = 1.0 / 111319.49079327357;

// A walker on the equator, one step a second.
class Walker {
public:
    explicit Walker(ExerciseProfile p = {175, 70, 1013.25}, AutoPause a = {}) : ex_(p, a) { ex_.step(0, 0, ele_, false); }
    // seconds at speed v (m/s), climbing climb metres each second.
    void go(int seconds, double v, double climb = 0, bool paused = false)
    {
        for (int i = 0; i < seconds; ++i) {
            lon_ += v * kDegPerMetre;
            ele_ += climb;
            ex_.step(0, lon_, ele_, paused);
        }
    }
    const ExerciseFigures &f() const { return ex_.figures(); }
    ExerciseComputer ex_;

private:
    double lon_ = 0, ele_ = 100;
};

// VO2 = 3.5 + k * v * 60 ml/kg/min; kcal/s = VO2 * kg * 5 / 1000 / 60.
// Walking 1.5 m/s, 70 kg: 12.5 * 70 * 5 / 60000 = 0.0729166...
// Running 3.0 m/s, 72 kg: 39.5 * 72 * 5 / 60000 = 0.237.
// Strides: 1.75 m * 0.415 = 0.72625 m walking, 1.80 m * 0.65 = 1.17 m running.
TEST(ExerciseModels, CaloriesAndStridesWalkingAndRunning)
{
    EXPECT_NEAR(calories_per_second(1.5, 70), 0.0729166667, 1e-9);
    EXPECT_NEAR(calories_per_second(3.0, 72), 0.237, 1e-12);
    EXPECT_NEAR(calories_per_second(1.99, 70), (3.5 + 0.1 * 1.99 * 60) * 70 * 5 / 60000, 1e-12);
    EXPECT_NEAR(calories_per_second(2.0, 70), (3.5 + 0.2 * 2.0 * 60) * 70 * 5 / 60000, 1e-12);
    EXPECT_NEAR(stride_length(1.4, 175), 0.72625, 1e-12);
    EXPECT_NEAR(stride_length(3.0, 180), 1.17, 1e-12);
}

// Ten seconds at 1.5 m/s: 15 m; pace 1000 / 1.5 = 666.67 s/km; calories
// 10 * 0.0729166 = 0.729166; steps 15 / 0.72625 = 20.654; cadence
// 1.5 / 0.72625 * 60 = 123.924 steps a minute.
TEST(ExerciseComputer, SteadyWalkGivesDistancePaceCaloriesAndSteps)
{
    Walker w;
    w.go(10, 1.5);
    const ExerciseFigures &f = w.f();
    EXPECT_NEAR(f.total_distance, 15.0, 1e-6);
    EXPECT_NEAR(f.flat_distance, 15.0, 1e-6);
    EXPECT_EQ(f.flat_time, 10);
    EXPECT_EQ(f.duration_time, 10);
    EXPECT_EQ(f.moving_time, 10);
    EXPECT_NEAR(f.speed, 1.5, 1e-6);
    EXPECT_NEAR(f.max_speed, 1.5, 1e-6);
    EXPECT_NEAR(f.average_speed, 1.5, 1e-6);
    EXPECT_NEAR(f.pace, 666.6667, 1e-3);
    EXPECT_NEAR(f.max_pace, 666.6667, 1e-3);
    EXPECT_NEAR(f.average_pace, 666.6667, 1e-3);
    EXPECT_NEAR(f.calories, 0.7291667, 1e-6);
    EXPECT_NEAR(f.steps, 20.6540448, 1e-6);
    EXPECT_NEAR(f.cadence, 123.9242685, 1e-6);
    EXPECT_NEAR(f.longitude, 15 * kDegPerMetre, 1e-12);
}

// Uphill 20 s at 2.5 m/s climbing 0.5 m a second (20 %), downhill 10 s at
// 1 m/s falling 0.2 m (20 %), then 10 s at 1 m/s rising 0.005 m (0.5 %,
// under the 1 % that makes a slope). Altitude 100 -> 110 -> 108 -> 108.05.
// Running seconds (2.5 m/s) burn 3.5 + 0.2 * 150 = 33.5 ml/kg/min.
TEST(ExerciseComputer, SlopesAltitudesAndMaximaSplitByGrade)
{
    Walker w;
    w.go(20, 2.5, 0.5);
    w.go(10, 1.0, -0.2);
    w.go(10, 1.0, 0.005);
    const ExerciseFigures &f = w.f();
    EXPECT_NEAR(f.incline_distance, 50, 1e-6);
    EXPECT_NEAR(f.decline_distance, 10, 1e-6);
    EXPECT_NEAR(f.flat_distance, 10, 1e-6);
    EXPECT_EQ(f.incline_time, 20);
    EXPECT_EQ(f.decline_time, 10);
    EXPECT_EQ(f.flat_time, 10);
    EXPECT_NEAR(f.total_distance, 70, 1e-6);
    EXPECT_NEAR(f.altitude, 108.05, 1e-9);
    EXPECT_NEAR(f.max_altitude, 110, 1e-9);
    EXPECT_NEAR(f.min_altitude, 100, 1e-9);
    EXPECT_NEAR(f.max_speed, 2.5, 1e-6);
    EXPECT_NEAR(f.max_pace, 400, 1e-3);
    EXPECT_NEAR(f.average_speed, 1.75, 1e-6); // 70 m in 40 s
    EXPECT_NEAR(f.average_pace, 571.4286, 1e-3);
    const double kcal = 20 * 33.5 * 70 * 5 / 60000 + 20 * 9.5 * 70 * 5 / 60000;
    EXPECT_NEAR(f.calories, kcal, 1e-6);
    // Steps: 50 m of 1.1375 m running strides, 20 m of 0.72625 m ones.
    EXPECT_NEAR(f.steps, 50 / 1.1375 + 20 / 0.72625, 1e-6);
}

// Standing still and pausing: the clock of the session runs while standing
// (duration) but not the moving time; a paused session counts nothing,
// though the position follows.
TEST(ExerciseComputer, StopsAddDurationOnlyAndPausesAddNothing)
{
    Walker w;
    w.go(10, 1.5);
    w.go(30, 0);
    EXPECT_EQ(w.f().duration_time, 40);
    EXPECT_EQ(w.f().moving_time, 10);
    EXPECT_EQ(w.f().speed, 0);
    EXPECT_EQ(w.f().pace, 0);
    EXPECT_EQ(w.f().cadence, 0);
    EXPECT_NEAR(w.f().average_speed, 1.5, 1e-6);
    w.go(10, 1.5, 0, true);
    EXPECT_EQ(w.f().duration_time, 40);
    EXPECT_NEAR(w.f().total_distance, 15, 1e-6);
    EXPECT_NEAR(w.f().longitude, 30 * kDegPerMetre, 1e-12);
    w.go(10, 1.5);
    EXPECT_NEAR(w.f().total_distance, 30, 1e-6);
    EXPECT_EQ(w.f().duration_time, 50);
}

// Auto-pause with a threshold of 1 m/s, pausing after 3 slow seconds and
// resuming after 2 fast ones: the first two slow seconds count as duration,
// the third pauses; the first fast second still counts nothing, the second
// resumes and counts.
TEST(ExerciseComputer, AutoPauseFollowsItsWindows)
{
    Walker w({175, 70, 0}, {true, 1.0, 3, 2});
    w.go(5, 1.5);
    w.go(2, 0.6);
    EXPECT_FALSE(w.f().auto_paused);
    EXPECT_EQ(w.f().duration_time, 7);
    EXPECT_EQ(w.f().moving_time, 7); // 0.6 m/s is below the threshold but still moving
    w.go(1, 0.6);
    EXPECT_TRUE(w.f().auto_paused);
    EXPECT_EQ(w.f().duration_time, 7);
    w.go(5, 0);
    w.go(1, 1.5);
    EXPECT_TRUE(w.f().auto_paused);
    EXPECT_EQ(w.f().duration_time, 7);
    w.go(1, 1.5);
    EXPECT_FALSE(w.f().auto_paused);
    EXPECT_EQ(w.f().duration_time, 8);
    EXPECT_NEAR(w.f().total_distance, 7.5 + 1.2 + 1.5, 1e-6);
    // Turned off, it never pauses.
    w.ex_.set_auto_pause({});
    w.go(10, 0);
    EXPECT_FALSE(w.f().auto_paused);
    EXPECT_EQ(w.f().duration_time, 18);
}

} // namespace
} // namespace lbs_sim
