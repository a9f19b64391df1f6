/*
 * What the two link adapters of the simulated phone share: the state a
 * scenario sets (in range or not, faults), the way to ask the provider
 * model, and the link speed that paces file transfers.
 */
#ifndef LBS_SIM_PHONE_LINK_H
#define LBS_SIM_PHONE_LINK_H

#include "lbs_sim_phone_later.h"
#include "lbs_sim_phone_model.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lbs_sim {

// Bytes a second a file crosses either link at.
constexpr size_t kLinkBytesPerSecond = 20 * 1024;

struct PhoneState {
    bool used = false;   // a phone command was given: the framework answers too
    bool on = false;     // in range, the provider app running
    bool silent = false; // answers nothing
    int64_t slow = 0;    // seconds every reply to a request waits (link set-up does not)
    // Told of each progress report of a file transfer (the transaction or
    // transfer id, percent), after the plugin was.
    std::function<void(int id, unsigned percent)> progress;
};

// Hands a request to the model (and keeps its schedule): the answers.
using PhoneAsk = std::function<PhoneOutputs(std::string_view request)>;

// Seconds a file of size bytes takes, at least 1.
int64_t transfer_seconds(size_t size);
// Percent done after second i of a transfer of size bytes.
unsigned transfer_percent(size_t size, int64_t i);
// Writes bytes to path; false when it cannot.
bool write_file(const std::string &path, const std::vector<unsigned char> &bytes);

} // namespace lbs_sim

#endif // LBS_SIM_PHONE_LINK_H
