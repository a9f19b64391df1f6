/*
 * How the simulated phone answers: never from inside the call that asked,
 * always on a later turn of the default GLib main loop (an idle source) or,
 * delay seconds of virtual time later, from a control-side timer of the
 * alarm manager stand-in (which leaves no alarm traffic in the trace).
 * Whatever is still pending when the object goes away is cancelled.
 */
#ifndef LBS_SIM_PHONE_LATER_H
#define LBS_SIM_PHONE_LATER_H

#include <cstdint>
#include <functional>
#include <list>

namespace lbs_sim {

class Later {
public:
    Later() = default;
    ~Later();
    Later(const Later &) = delete;
    Later &operator=(const Later &) = delete;

    // Runs fn on a later turn (delay 0) or delay seconds from now.
    void post(std::function<void()> fn, int64_t delay = 0);
    // Forgets everything pending.
    void cancel_all();
    size_t pending() const { return jobs_.size(); }

private:
    struct Job {
        Later *owner;
        std::function<void()> fn;
        unsigned source = 0; // idle source id
        unsigned timer = 0;  // alarm manager timer id
    };
    static void run(Job *job);

    std::list<Job> jobs_;
};

} // namespace lbs_sim

#endif // LBS_SIM_PHONE_LATER_H
