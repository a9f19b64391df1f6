#include "lbs_sim_phone_kov.h"

#include <vconf_control.h>

#include <cstring>
#include <memory>

namespace lbs_sim {
namespace {

constexpr unsigned int kAgentId = 1;
constexpr unsigned short kDataChannel = 169;
constexpr const char *kConnStatusKey = "memory/private/kov/conn_status";
constexpr const char *kConnTypeKey = "memory/private/kov/conn_type";
constexpr const char *kPhoneFileDir = "/phone/files/";

bool is(const kov_ctl_call &call, const char *name)
{
    return std::strcmp(call.name, name) == 0 && call.result == 0;
}

} // namespace

PhoneKov::PhoneKov(PhoneState &state, Later &later, PhoneAsk ask)
    : state_(state), later_(later), ask_(std::move(ask))
{
}

void PhoneKov::on()
{
    kov_ctl_set_connected(1);
    vconf_ctl_set_int(kConnTypeKey, 1);
    vconf_ctl_set_int(kConnStatusKey, 1);
}

void PhoneKov::off()
{
    kov_ctl_set_connected(0);
    const int handle = handle_;
    handle_ = 0;
    offers_.clear();
    // The connection goes first, then the settings: the status (which alone
    // changes nothing while the type still says Bluetooth), and on a later
    // turn the type, which takes the link down once.
    later_.post([this, handle]() {
        if (handle != 0)
            kov_ctl_on_svc_term_ind(handle, KOV_CONNECTION_LOST_DEVICE_DETACHED);
        vconf_ctl_set_int(kConnStatusKey, 0);
        later_.post([]() { vconf_ctl_set_int(kConnTypeKey, 0); });
    });
}

void PhoneKov::drop()
{
    if (handle_ == 0)
        return;
    const int handle = handle_;
    handle_ = 0;
    later_.post([handle]() { kov_ctl_on_svc_term_ind(handle, KOV_CONNECTION_LOST_PEER_DISCONNECTED); });
}

void PhoneKov::observe(const kov_ctl_call &call)
{
    if (!state_.used)
        return;
    const bool answering = state_.on && !state_.silent;
    if (is(call, "registerServiceAgent")) {
        later_.post([]() { kov_ctl_on_regi_svc_agent_cfrm(0, kAgentId); });
    } else if (is(call, "deRegisterServiceAgent")) {
        later_.post([]() { kov_ctl_on_deregi_svc_agent_cfrm(0); });
    } else if (is(call, "findPeerAgent")) {
        if (state_.silent)
            return;
        const unsigned int agent = call.agent_id;
        const int status = state_.on ? KOV_PEER_AGENT_FOUND : KOV_PEER_AGENT_DEVICE_NOT_CONNECTED;
        later_.post(
            [agent, status]() {
                PeerAgent peer;
                kov_ctl_standard_peer(&peer);
                kov_ctl_on_peer_agent_fnd(agent, &peer, status);
            });
    } else if (is(call, "createServiceConnection")) {
        if (!answering)
            return;
        const unsigned int agent = call.agent_id;
        const int handle = next_handle_++;
        later_.post(
            [this, agent, handle]() {
                if (!state_.on)
                    return;
                handle_ = handle;
                PeerAgent peer;
                kov_ctl_standard_peer(&peer);
                kov_ctl_on_svc_conn_cfrm(agent, handle, &peer, KOV_CONNECTION_SUCCESS);
            });
    } else if (is(call, "terminateServiceConnection")) {
        const int handle = call.service_handle;
        if (handle == handle_)
            handle_ = 0;
        later_.post([handle]() { kov_ctl_on_svc_term_ind(handle, KOV_CONNECTION_LOST_PEER_DISCONNECTED); });
    } else if (is(call, "sendData")) {
        if (!state_.on || handle_ == 0 || call.service_handle != handle_ || call.text == nullptr)
            return;
        PhoneOutputs out = ask_(std::string_view(call.text, call.length));
        if (!state_.silent)
            deliver(std::move(out), state_.slow);
    } else if (is(call, "receiveFile")) {
        auto it = offers_.find(call.transaction_id);
        if (it == offers_.end())
            return;
        std::vector<unsigned char> bytes = std::move(it->second);
        offers_.erase(it);
        if (call.accept == 1 && call.text != nullptr)
            transfer(call.transaction_id, call.text, std::move(bytes));
    }
}

void PhoneKov::deliver(PhoneOutputs outputs, int64_t delay)
{
    if (outputs.empty())
        return;
    auto all = std::make_shared<const PhoneOutputs>(std::move(outputs));
    later_.post([this, all]() { deliver_from(all, 0); }, delay);
}

// One output a turn, in order: each reply is handled before the next comes.
void PhoneKov::deliver_from(std::shared_ptr<const PhoneOutputs> all, size_t i)
{
    deliver_one((*all)[i]);
    if (i + 1 < all->size())
        later_.post([this, all, i]() { deliver_from(all, i + 1); });
}

void PhoneKov::deliver_one(const PhoneOutput &o)
{
    if (!state_.on || state_.silent || handle_ == 0)
        return;
    if (o.kind == PhoneOutput::Kind::Data) {
        kov_ctl_on_data_ind(handle_, kDataChannel, static_cast<unsigned int>(o.text.size()), o.text.data());
        return;
    }
    const int tx = next_tx_++;
    offers_[tx] = o.bytes;
    const std::string path = std::string(kPhoneFileDir) + o.file_name;
    kov_ctl_on_send_file(tx, path.c_str(), kov_ctl_agent_id());
}

void PhoneKov::transfer(int tx, const std::string &path, std::vector<unsigned char> bytes)
{
    const size_t size = bytes.size();
    const int64_t seconds = transfer_seconds(size);
    for (int64_t i = 1; i <= seconds; ++i) {
        const unsigned percent = transfer_percent(size, i);
        later_.post(
            [this, tx, percent]() {
                kov_ctl_on_file_recv_progress(tx, percent, kov_ctl_agent_id());
                if (state_.progress)
                    state_.progress(tx, percent);
            },
            i);
    }
    auto content = std::make_shared<std::vector<unsigned char>>(std::move(bytes));
    later_.post(
        [tx, path, content]() {
            const int result = write_file(path, *content) ? KOV_TRANSFER_COMPLETE_SUCCESS
                                                          : KOV_TRANSFER_COMPLETE_FAIL_FILE_IO;
            kov_ctl_on_receive_completed(tx, path.c_str(), result);
        },
        seconds);
}

} // namespace lbs_sim
