/*
 * The simulated phone on the second link (BLE accessory daemon). Requests
 * sent with bap_service_send_data go to the provider model in the second
 * link's dialect; its replies come back through the data received
 * callbacks; files are offered through the file incoming callbacks and,
 * once accepted with bap_service_file_transfer_receive, written where the
 * plugin asked, with progress each second (kLinkBytesPerSecond) and
 * completion. Every answer comes on a later turn of the main loop or on a
 * timer.
 */
#ifndef LBS_SIM_PHONE_BAP_H
#define LBS_SIM_PHONE_BAP_H

#include "lbs_sim_phone_link.h"

#include <bapd_client_control.h>

namespace lbs_sim {

class PhoneBap {
public:
    PhoneBap(PhoneState &state, Later &later, PhoneAsk ask);

    // The device and the service are connected.
    void on();
    // The device is detached.
    void off();
    // The service connection is lost and comes back on the next turn.
    void drop();

    void observe(const bap_ctl_call &call);
    void deliver(PhoneOutputs outputs, int64_t delay);

private:
    void deliver_from(std::shared_ptr<const PhoneOutputs> all, size_t i);
    void deliver_one(const PhoneOutput &o);
    void transfer(int id, const std::string &path, std::vector<unsigned char> bytes);

    PhoneState &state_;
    Later &later_;
    PhoneAsk ask_;
    int next_id_ = 1;
    std::map<int, std::vector<unsigned char>> offers_;
};

} // namespace lbs_sim

#endif // LBS_SIM_PHONE_BAP_H
