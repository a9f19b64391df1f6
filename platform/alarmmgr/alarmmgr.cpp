#include "alarmmgr.h"
#include "alarmmgr_control.h"

#include <glib.h>

#include <algorithm>
#include <vector>

namespace {

struct Alarm {
    alarm_id_t id;
    int64_t due;
    int64_t interval; // 0: one-shot
    alarm_cb_t cb;
    void *user_param;
};

// A control-side timer: the clock's own, not the platform's; never
// reported to the observer and never counted among the alarms.
struct Timer {
    unsigned id;
    int64_t due;
    alarmmgr_ctl_timer_cb cb;
    void *user_data;
};

struct Manager {
    int64_t now = 0;
    alarm_id_t next_id = 1;
    std::vector<Alarm> alarms; // in order of id
    unsigned next_timer_id = 1;
    std::vector<Timer> timers; // in order of id
    bool fail_add = false;
    bool advancing = false;
    alarmmgr_ctl_observer observer = nullptr;
    void *observer_data = nullptr;
};

Manager &manager()
{
    static Manager m;
    return m;
}

void tell(const alarmmgr_ctl_traffic &t)
{
    Manager &m = manager();
    if (m.observer != nullptr)
        m.observer(&t, m.observer_data);
}

std::vector<Alarm>::iterator find(alarm_id_t id)
{
    std::vector<Alarm> &a = manager().alarms;
    return std::find_if(a.begin(), a.end(), [id](const Alarm &x) { return x.id == id; });
}

// The alarm that fires next: earliest due time, then lowest id.
const Alarm *next_alarm()
{
    const Alarm *best = nullptr;
    for (const Alarm &a : manager().alarms)
        if (best == nullptr || a.due < best->due || (a.due == best->due && a.id < best->id))
            best = &a;
    return best;
}

const Timer *next_timer()
{
    const Timer *best = nullptr;
    for (const Timer &t : manager().timers)
        if (best == nullptr || t.due < best->due || (t.due == best->due && t.id < best->id))
            best = &t;
    return best;
}

// Fires the next timer (there must be one): one-shot, removed before its
// callback runs so that the callback may add timers freely.
void fire_timer()
{
    Manager &m = manager();
    const Timer t = *next_timer();
    m.timers.erase(std::find_if(m.timers.begin(), m.timers.end(), [&t](const Timer &x) { return x.id == t.id; }));
    m.now = t.due;
    t.cb(t.user_data);
}

// Bounds one drain of the main context, so that a source that is always
// ready cannot hang the clock.
constexpr int kMaxDispatchesPerDrain = 1000000;

void drain_default_context()
{
    for (int i = 0; i < kMaxDispatchesPerDrain && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
}

} // namespace

extern "C" int alarmmgr_add_alarm_withcb(int alarm_type, time_t trigger_at_time, time_t interval,
                                         alarm_cb_t handler, void *user_param, alarm_id_t *alarm_id)
{
    (void)alarm_type;
    Manager &m = manager();
    const int64_t delay = trigger_at_time;
    const int64_t every = interval;
    int result = ALARMMGR_RESULT_SUCCESS;
    if (handler == nullptr || alarm_id == nullptr || delay < 0 || every < 0)
        result = ERR_ALARM_INVALID_PARAM;
    else if (m.fail_add)
        result = ERR_ALARM_SYSTEM_FAIL;
    if (result != ALARMMGR_RESULT_SUCCESS) {
        tell({ALARMMGR_CTL_ADD_FAILED, 0, delay, every, result});
        return result;
    }

    const alarm_id_t id = m.next_id++;
    m.alarms.push_back({id, m.now + delay, every, handler, user_param});
    *alarm_id = id;
    tell({ALARMMGR_CTL_ADD, id, delay, every, ALARMMGR_RESULT_SUCCESS});
    return ALARMMGR_RESULT_SUCCESS;
}

extern "C" int alarmmgr_remove_alarm(alarm_id_t alarm_id)
{
    auto it = find(alarm_id);
    int result = ERR_ALARM_INVALID_ID;
    if (it != manager().alarms.end()) {
        manager().alarms.erase(it);
        result = ALARMMGR_RESULT_SUCCESS;
    }
    tell({ALARMMGR_CTL_REMOVE, alarm_id, 0, 0, result});
    return result;
}

extern "C" void alarmmgr_ctl_set_observer(alarmmgr_ctl_observer observer, void *user_data)
{
    manager().observer = observer;
    manager().observer_data = user_data;
}

extern "C" void alarmmgr_ctl_reset(void)
{
    Manager &m = manager();
    m.now = 0;
    m.next_id = 1;
    m.alarms.clear();
    m.fail_add = false;
    m.next_timer_id = 1;
    m.timers.clear();
}

extern "C" int64_t alarmmgr_ctl_now(void)
{
    return manager().now;
}

extern "C" alarm_id_t alarmmgr_ctl_fire_next(int64_t until)
{
    Manager &m = manager();
    const Alarm *next = next_alarm();
    if (next == nullptr || next->due > until)
        return 0;

    // Copied: the callback may add or remove alarms, which moves the vector.
    const Alarm a = *next;
    m.now = a.due;
    tell({ALARMMGR_CTL_FIRE, a.id, 0, 0, 0});
    // The alarm stays armed while its callback runs, so that the callback can
    // remove it by id like any other; a repeating one is then due again.
    a.cb(a.id, a.user_param);

    auto it = find(a.id);
    if (it != m.alarms.end()) {
        if (it->interval > 0)
            it->due = a.due + it->interval;
        else
            m.alarms.erase(it);
    }
    return a.id;
}

extern "C" unsigned alarmmgr_ctl_advance(int64_t seconds)
{
    Manager &m = manager();
    if (seconds < 0 || m.advancing)
        return 0;
    m.advancing = true;
    const int64_t target = m.now + seconds;
    unsigned fired = 0;
    for (;;) {
        // A timer due before the next alarm (or at the same time: alarms
        // first) fires in its turn.
        const Alarm *next = next_alarm();
        const Timer *timer = next_timer();
        if (timer != nullptr && timer->due <= target && (next == nullptr || timer->due < next->due)) {
            fire_timer();
            drain_default_context();
            continue;
        }
        if (alarmmgr_ctl_fire_next(target) == 0)
            break;
        ++fired;
        drain_default_context();
    }
    m.now = target;
    m.advancing = false;
    return fired;
}

extern "C" void alarmmgr_ctl_fail_add(int on)
{
    manager().fail_add = on != 0;
}

extern "C" size_t alarmmgr_ctl_count(void)
{
    return manager().alarms.size();
}

extern "C" int alarmmgr_ctl_get(alarm_id_t id, int64_t *due, int64_t *interval)
{
    auto it = find(id);
    if (it == manager().alarms.end())
        return 0;
    if (due != nullptr)
        *due = it->due;
    if (interval != nullptr)
        *interval = it->interval;
    return 1;
}

extern "C" int64_t alarmmgr_ctl_next_due(void)
{
    const Alarm *next = next_alarm();
    return next != nullptr ? next->due : -1;
}

extern "C" unsigned alarmmgr_ctl_timer_add(int64_t delay, alarmmgr_ctl_timer_cb cb, void *user_data)
{
    Manager &m = manager();
    if (cb == nullptr || delay < 0)
        return 0;
    const unsigned id = m.next_timer_id++;
    m.timers.push_back({id, m.now + delay, cb, user_data});
    return id;
}

extern "C" int alarmmgr_ctl_timer_remove(unsigned id)
{
    std::vector<Timer> &t = manager().timers;
    auto it = std::find_if(t.begin(), t.end(), [id](const Timer &x) { return x.id == id; });
    if (it == t.end())
        return 0;
    t.erase(it);
    return 1;
}

extern "C" size_t alarmmgr_ctl_timer_count(void)
{
    return manager().timers.size();
}
