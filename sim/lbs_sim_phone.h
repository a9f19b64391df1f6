/*
 * The simulated phone: a paired phone running the provider app, brought in
 * and out of range by `phone` commands, answering the plugin on whichever
 * link it uses. It holds the provider model, the two link adapters and the
 * model's schedule (a control-side timer of the alarm manager stand-in, so
 * that nothing of it shows as alarm traffic). The runner hands it every
 * framework and daemon call it observes and every `phone` command.
 */
#ifndef LBS_SIM_PHONE_H
#define LBS_SIM_PHONE_H

#include "lbs_sim_phone_bap.h"
#include "lbs_sim_phone_kov.h"
#include "lbs_sim_phone_later.h"
#include "lbs_sim_phone_model.h"
#include "lbs_sim_scenario.h"

#include <string>

namespace lbs_sim {

class Phone {
public:
    Phone();
    ~Phone();
    Phone(const Phone &) = delete;
    Phone &operator=(const Phone &) = delete;

    // A `phone` command. False with *message when it cannot be played (a
    // track that cannot be read).
    bool command(const Command &cmd, std::string *message);

    void kov_call(const kov_ctl_call &call) { kov_.observe(call); }
    void bap_call(const bap_ctl_call &call) { bap_.observe(call); }

    // Told of each file transfer progress report the phone makes.
    void set_progress_observer(std::function<void(int id, unsigned percent)> f) { state_.progress = std::move(f); }

    // The part of the track the phone has walked by now, each point's
    // time_ms the virtual time in milliseconds at which the phone was there,
    // ending where it is now; empty without a track.
    std::vector<TrackPoint> played_track(int64_t now) const { return model_.played_track(now); }

    const PhoneModel &model() const { return model_; }

private:
    PhoneOutputs ask(Dialect dialect, std::string_view request);
    void reschedule();
    static void on_due(void *self);

    PhoneState state_;
    Later later_;
    PhoneModel model_;
    PhoneKov kov_;
    PhoneBap bap_;
    Dialect active_ = Dialect::Kov;
    unsigned timer_ = 0;
};

} // namespace lbs_sim

#endif // LBS_SIM_PHONE_H
