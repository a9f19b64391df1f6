#include "lbs_sim_phone_bap.h"

#include <cstring>
#include <memory>

namespace lbs_sim {
namespace {

bool is(const bap_ctl_call &call, const char *name)
{
    return std::strcmp(call.name, name) == 0 && call.result == 0;
}

} // namespace

PhoneBap::PhoneBap(PhoneState &state, Later &later, PhoneAsk ask)
    : state_(state), later_(later), ask_(std::move(ask))
{
}

void PhoneBap::on()
{
    bap_ctl_set_device_status(1);
    bap_ctl_set_service_status(1);
}

void PhoneBap::off()
{
    offers_.clear();
    bap_ctl_set_device_status(0);
}

void PhoneBap::drop()
{
    later_.post([this]() {
        bap_ctl_set_service_status(0);
        later_.post([this]() {
            if (state_.on)
                bap_ctl_set_service_status(1);
        });
    });
}

void PhoneBap::observe(const bap_ctl_call &call)
{
    if (!state_.used || !state_.on)
        return;
    if (is(call, "bap_service_send_data")) {
        if (call.text == nullptr)
            return;
        PhoneOutputs out = ask_(std::string_view(call.text, call.length));
        if (!state_.silent)
            deliver(std::move(out), state_.slow);
    } else if (is(call, "bap_service_file_transfer_receive")) {
        auto it = offers_.find(call.transfer_id);
        if (it == offers_.end() || call.text == nullptr)
            return;
        std::vector<unsigned char> bytes = std::move(it->second);
        offers_.erase(it);
        transfer(call.transfer_id, call.text, std::move(bytes));
    } else if (is(call, "bap_service_file_transfer_reject")) {
        offers_.erase(call.transfer_id);
    }
}

void PhoneBap::deliver(PhoneOutputs outputs, int64_t delay)
{
    if (outputs.empty())
        return;
    auto all = std::make_shared<const PhoneOutputs>(std::move(outputs));
    later_.post([this, all]() { deliver_from(all, 0); }, delay);
}

// One output a turn, in order: each reply is handled before the next comes.
void PhoneBap::deliver_from(std::shared_ptr<const PhoneOutputs> all, size_t i)
{
    deliver_one((*all)[i]);
    if (i + 1 < all->size())
        later_.post([this, all, i]() { deliver_from(all, i + 1); });
}

void PhoneBap::deliver_one(const PhoneOutput &o)
{
    if (!state_.on || state_.silent)
        return;
    if (o.kind == PhoneOutput::Kind::Data) {
        bap_ctl_data_received(static_cast<unsigned int>(o.text.size()), o.text.data());
        return;
    }
    const int id = next_id_++;
    offers_[id] = o.bytes;
    bap_ctl_file_incoming(id, o.file_name.c_str(), id);
}

void PhoneBap::transfer(int id, const std::string &path, std::vector<unsigned char> bytes)
{
    const size_t size = bytes.size();
    const int64_t seconds = transfer_seconds(size);
    for (int64_t i = 1; i <= seconds; ++i) {
        const unsigned percent = transfer_percent(size, i);
        later_.post(
            [this, id, percent]() {
                bap_ctl_file_progress(id, percent);
                if (state_.progress)
                    state_.progress(id, percent);
            },
            i);
    }
    auto content = std::make_shared<std::vector<unsigned char>>(std::move(bytes));
    later_.post(
        [id, path, content]() {
            // A write that fails is reported with a status other than
            // BAP_FILE_TRANSFER_COMPLETED.
            bap_ctl_complete_transfer(id, write_file(path, *content) ? BAP_FILE_TRANSFER_COMPLETED : 0);
        },
        seconds);
}

} // namespace lbs_sim
