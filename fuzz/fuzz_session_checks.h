// What the host is owed, checked after every action of fuzz_plugin_session
// against the host's books (fuzz_session_books.h):
//  - while the host has nothing running and nothing waiting that holds the
//    first link, both usage counts are 0 and the service connection is gone
//    or its release was asked for;
//  - every waiting request that a timer answers is answered by the time the
//    timer is due, except where the link leaves it unanswered
//    (books::Unanswered names each case); a setting change on the second
//    link is answered once the main loop has turned;
//  - while initialised and idle, no alarm is armed but those left behind on
//    purpose (AllowedAlarm names each case), and each of those fires once;
//  - the power lock is only ever taken for its 1,000 ms.
// fuzz_plugin_session.cpp includes this file and hands it what it needs; it
// also checks where the plugin adds them that every idle source of the
// plugin's runs once (the pending flush, which outlives the link's stop when
// a fresh start of the record forgot it, and the second link's
// setting-change answer, which may outlive the link's stop and then reaches
// whichever callback is set).
#ifndef LBS_FUZZ_SESSION_CHECKS_H
#define LBS_FUZZ_SESSION_CHECKS_H

#include "fuzz_session_books.h"

#include <map>

namespace owed {

// Alarms that may stay armed while the host is idle, each until it fires.
enum class AllowedAlarm {
    // A start of the first link clears its request-timer ids without
    // removing the alarms: such an alarm fires once and answers the host.
    ForgottenByFreshStart,
    // On the first link, an assistance or map answer that comes before the
    // phone's announcement (an offer refused, a completion for a transfer
    // the link never accepted) leaves that request's wait timers running:
    // they fire once and answer it again. A confirmed connection hands such
    // a wait-connection timer over to the wait-response timer, which then
    // does the same.
    OutlivesEarlyAnswer,
    // The phone's refusal of an assistance request on the second link
    // answers the host while the 10-second wait runs on: it fires once and
    // answers again.
    OutlivesPhoneRefusal,
    // A retry of the first link's peer search or connection that nothing
    // cancels while nothing uses the link: one a failure report of the
    // framework armed (even for a connection nobody asked for), or one the
    // release left because the accessory link was down (it stops before it
    // cancels the retries). It fires once and gives up.
    RetryWithoutUse,
};

struct Alarms {
    std::map<alarm_id_t, int64_t> armed;            // id -> interval
    std::map<alarm_id_t, AllowedAlarm> allowed;     // armed, left behind on purpose
    bool refused_in_action = false;                 // a one-shot add was refused during this action
    std::vector<alarm_id_t> added_in_action;        // armed during this action
    std::map<alarm_id_t, AllowedAlarm> removed_allowed_in_action; // left on purpose, removed during this action

    void clear() { *this = Alarms{}; }

    void traffic(const alarmmgr_ctl_traffic &t)
    {
        switch (t.what) {
        case ALARMMGR_CTL_ADD:
            armed[t.id] = t.interval;
            added_in_action.push_back(t.id);
            break;
        case ALARMMGR_CTL_ADD_FAILED:
            if (t.interval == 0)
                refused_in_action = true;
            break;
        case ALARMMGR_CTL_FIRE:
            if (auto it = armed.find(t.id); it != armed.end() && it->second == 0) {
                armed.erase(it);
                allowed.erase(t.id);
            }
            break;
        case ALARMMGR_CTL_REMOVE:
            if (t.result == 0) {
                if (auto it = allowed.find(t.id); it != allowed.end())
                    removed_allowed_in_action.insert(*it);
                armed.erase(t.id);
                allowed.erase(t.id);
            }
            break;
        }
    }

    void allow(alarm_id_t id, AllowedAlarm why)
    {
        if (id != 0 && armed.contains(id))
            allowed.emplace(id, why);
    }

    // Armed and not left behind on purpose.
    size_t unexplained() const
    {
        size_t n = 0;
        for (const auto &[id, interval] : armed)
            if (!allowed.contains(id))
                ++n;
        return n;
    }
};

// What the checks need to know of the moment, taken by the harness.
struct Moment {
    int64_t now;                       // the alarm manager's clock
    bool initialized;                  // between the host's init and deinit
    books::Link link;                  // the link the plugin runs
    const lbs_plugin_consumer_s *kov;  // the first link's record, if any
    // The first link asked to end its connection since it was confirmed, or
    // the confirmation left it up with nothing to end it.
    bool release_asked;
    bool loop_turned;                  // the main loop ran dry in this action
};

// While nothing the host runs or waits for holds the first link, its usage
// counts are 0 and its service connection is gone or going.
inline void check_uses(const books::HostBooks &b, const Moment &m)
{
    if (!m.initialized || m.link != books::Link::Kov || m.kov == nullptr || !b.holds_no_use())
        return;
    FUZZ_CHECK(m.kov->pos_refcnt == 0);
    FUZZ_CHECK(m.kov->exercise_refcnt == 0);
    FUZZ_CHECK(m.kov->real_service_connection_status != 1 || m.release_asked);
}

// Every request a timer answers has its answer by the time the timer is
// due, unless the link leaves it unanswered; a second-link setting change is
// answered as soon as the main loop turns.
inline void check_answers_due(const books::HostBooks &b, const Moment &m)
{
    if (!m.initialized)
        return;
    for (const books::Waiting &w : b.waiting) {
        if (w.unanswered != books::Unanswered::No)
            continue;
        if (w.due >= 0)
            FUZZ_CHECK(m.now <= w.due);
        if (w.kind == books::Wait::SettingChange && w.link == books::Link::Bap)
            FUZZ_CHECK(!m.loop_turned);
    }
}

// While the host is idle, the only alarms armed are those left on purpose.
inline void check_idle_alarms(const books::HostBooks &b, const Alarms &a, const Moment &m)
{
    if (!m.initialized || !b.idle())
        return;
    if (a.unexplained() != 0 && std::getenv("LBS_FUZZ_SESSION_VERBOSE") != nullptr)
        for (const auto &[id, interval] : a.armed)
            std::fprintf(stderr, "armed alarm %d (every %lld s)%s\n", static_cast<int>(id),
                         static_cast<long long>(interval), a.allowed.contains(id) ? ", left on purpose" : "");
    FUZZ_CHECK(a.unexplained() == 0);
}

// The power lock is only ever taken for its 1,000 ms, so it is never held
// longer.
inline void check_power_lock(const device_power_ctl_call &call)
{
    FUZZ_CHECK(call.type == POWER_LOCK_CPU && call.timeout_ms == 1000);
}

} // namespace owed

#endif // LBS_FUZZ_SESSION_CHECKS_H
