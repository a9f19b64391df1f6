/*
 * The simulated phone on the first link (accessory framework). The
 * framework calls the plugin makes, as the runner observes them, become
 * answers: registration and de-registration confirmed (the framework's own
 * answers, given once the scenario uses the phone), the peer found and the
 * service connection confirmed while the phone is in range, termination
 * reported, requests sent with sendData handed to the provider model, whose
 * replies come back through on_data_ind; files offered with on_send_file
 * and, once accepted with receiveFile, written where the plugin asked, with
 * progress reports each second (kLinkBytesPerSecond) and completion.
 * Every answer comes on a later turn of the main loop or on a timer.
 */
#ifndef LBS_SIM_PHONE_KOV_H
#define LBS_SIM_PHONE_KOV_H

#include "lbs_sim_phone_link.h"

#include <kov_client_control.h>

namespace lbs_sim {

class PhoneKov {
public:
    PhoneKov(PhoneState &state, Later &later, PhoneAsk ask);

    // The accessory link comes up: isKovConnected answers 1, and the
    // framework's settings report a Bluetooth connection.
    void on();
    // The phone goes away: the link goes down, an open service connection
    // is lost (device detached), the settings report no connection.
    void off();
    // The service connection is lost once (peer disconnected); the link
    // stays up.
    void drop();

    void observe(const kov_ctl_call &call);
    // Replies and files out, in order, after delay seconds.
    void deliver(PhoneOutputs outputs, int64_t delay);

private:
    void deliver_from(std::shared_ptr<const PhoneOutputs> all, size_t i);
    void deliver_one(const PhoneOutput &o);
    void transfer(int tx, const std::string &path, std::vector<unsigned char> bytes);

    PhoneState &state_;
    Later &later_;
    PhoneAsk ask_;
    int handle_ = 0;      // the open service connection, 0 when none
    int next_handle_ = 1;
    int next_tx_ = 1;
    std::map<int, std::vector<unsigned char>> offers_;
};

} // namespace lbs_sim

#endif // LBS_SIM_PHONE_KOV_H
