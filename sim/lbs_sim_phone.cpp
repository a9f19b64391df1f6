#include "lbs_sim_phone.h"

#include <alarmmgr_control.h>

#include <cmath>
#include <cstdio>

namespace lbs_sim {

int64_t transfer_seconds(size_t size)
{
    const int64_t s = static_cast<int64_t>((size + kLinkBytesPerSecond - 1) / kLinkBytesPerSecond);
    return s < 1 ? 1 : s;
}

unsigned transfer_percent(size_t size, int64_t i)
{
    if (size == 0)
        return 100;
    const uint64_t done = static_cast<uint64_t>(i) * kLinkBytesPerSecond;
    return done >= size ? 100u : static_cast<unsigned>(done * 100 / size);
}

bool write_file(const std::string &path, const std::vector<unsigned char> &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

Phone::Phone()
    : kov_(state_, later_, [this](std::string_view r) { return ask(Dialect::Kov, r); }),
      bap_(state_, later_, [this](std::string_view r) { return ask(Dialect::Bap, r); })
{
}

Phone::~Phone()
{
    if (timer_ != 0)
        alarmmgr_ctl_timer_remove(timer_);
}

PhoneOutputs Phone::ask(Dialect dialect, std::string_view request)
{
    active_ = dialect;
    PhoneOutputs out = model_.request(dialect, request, alarmmgr_ctl_now());
    reschedule();
    return out;
}

void Phone::reschedule()
{
    if (timer_ != 0)
        alarmmgr_ctl_timer_remove(timer_);
    timer_ = 0;
    const int64_t due = model_.next_due();
    if (due >= 0) {
        const int64_t now = alarmmgr_ctl_now();
        timer_ = alarmmgr_ctl_timer_add(due > now ? due - now : 0, &Phone::on_due, this);
    }
}

void Phone::on_due(void *p)
{
    auto *self = static_cast<Phone *>(p);
    self->timer_ = 0;
    PhoneOutputs out = self->model_.tick(alarmmgr_ctl_now());
    if (self->state_.on && !self->state_.silent) {
        if (self->active_ == Dialect::Kov)
            self->kov_.deliver(std::move(out), 0);
        else
            self->bap_.deliver(std::move(out), 0);
    }
    self->reschedule();
}

bool Phone::command(const Command &cmd, std::string *message)
{
    const int64_t now = alarmmgr_ctl_now();
    const std::string &what = cmd.word;
    const bool flag = !cmd.numbers.empty() && cmd.numbers[0] != 0;
    if (what == "on") {
        state_.used = state_.on = true;
        state_.silent = false;
        kov_.on();
        bap_.on();
    } else if (what == "off") {
        if (!state_.on)
            return true;
        state_.on = false;
        model_.stop_all();
        later_.cancel_all();
        kov_.off();
        bap_.off();
    } else if (what == "track") {
        std::vector<TrackPoint> points;
        if (cmd.track) {
            points = *cmd.track;
        } else if (std::string error; !read_gpx(cmd.text, &points, &error)) {
            *message = "phone track: cannot read '" + cmd.text + "': " + error;
            return false;
        }
        model_.set_track(std::make_shared<const Track>(std::move(points)), now);
    } else if (what == "gps") {
        PhoneOutputs out = model_.set_gps(flag, now);
        if (state_.on && !state_.silent) {
            if (active_ == Dialect::Kov)
                kov_.deliver(std::move(out), 0);
            else
                bap_.deliver(std::move(out), 0);
        }
    } else if (what == "wps") {
        model_.set_wps(flag);
    } else if (what == "drop") {
        if (state_.on) {
            kov_.drop();
            bap_.drop();
        }
    } else if (what == "slow") {
        state_.slow = cmd.numbers[0];
    } else if (what == "silent") {
        state_.silent = flag;
    } else if (what == "refuse") {
        if (cmd.text == "map")
            model_.refuse_map(static_cast<int>(cmd.numbers[0]));
        else
            model_.refuse_assistance(static_cast<int>(cmd.numbers[0]));
    }
    reschedule();
    return true;
}

} // namespace lbs_sim
