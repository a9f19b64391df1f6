#include "device_power.h"
#include "device_power_control.h"

#include <deque>

namespace {

struct Power {
    std::deque<device_power_ctl_call> calls; // deque: pointers stay valid as calls are added
    int fail_status = 0;
    device_power_ctl_observer observer = nullptr;
    void *observer_data = nullptr;
};

Power &power()
{
    static Power p;
    return p;
}

} // namespace

extern "C" int device_power_request_lock(power_lock_e type, int timeout_ms)
{
    Power &p = power();
    int result = DEVICE_ERROR_NONE;
    if (type < POWER_LOCK_CPU || type > POWER_LOCK_DISPLAY_DIM || timeout_ms < 0)
        result = DEVICE_ERROR_INVALID_PARAMETER;
    else if (p.fail_status != 0)
        result = p.fail_status;
    p.calls.push_back({static_cast<int>(type), timeout_ms, result});
    if (p.observer != nullptr)
        p.observer(&p.calls.back(), p.observer_data);
    return result;
}

extern "C" void device_power_ctl_set_observer(device_power_ctl_observer observer, void *user_data)
{
    power().observer = observer;
    power().observer_data = user_data;
}

extern "C" void device_power_ctl_reset(void)
{
    power().calls.clear();
    power().fail_status = 0;
}

extern "C" void device_power_ctl_fail(int status)
{
    power().fail_status = status;
}

extern "C" size_t device_power_ctl_count(void)
{
    return power().calls.size();
}

extern "C" const device_power_ctl_call *device_power_ctl_call_at(size_t index)
{
    return index < power().calls.size() ? &power().calls[index] : nullptr;
}
