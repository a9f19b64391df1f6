// The host's books, kept by fuzz_plugin_session beside the plugin: what the
// location server believes is running (tracking sessions per method, the
// exercise and the PDC values that come with it) and which of its requests
// still wait for an answer (setting change, assistance file, map image,
// reference time, setting check), with the time by which each timed one is
// owed its answer. Everything here is learnt from the host's side of the
// table: the calls it made, what they returned, the events it received, and
// which link the plugin runs. fuzz_session_checks.h holds these books
// against the plugin.
#ifndef LBS_FUZZ_SESSION_BOOKS_H
#define LBS_FUZZ_SESSION_BOOKS_H

#include <lbs_consumer_plugin.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace books {

enum class Link { None, Kov, Bap };

enum class Wait { SettingChange, Assistance, MapImage, RefTime, SettingCheck };

// Why a request may go past the time its timer gives without an answer:
// the cases where the link leaves the host unanswered. Each one is set by
// the harness at the moment it happens.
enum class Unanswered {
    No,
    // A second request of a kind on the first link while one waits (a
    // setting change; an assistance file or a map image after an unknown
    // file offer cleared the request's mark): the timer already running is
    // not armed again, so its one answer (or the phone's one reply) answers
    // one of the two.
    SharesRunningTimer,
    // The alarm manager refused the timer: nothing is left to answer.
    TimerRefused,
    // The phone announced the file (result 1): the wait timers stop and the
    // offer and transfer that follow are not timed.
    AnnouncedFileNotTimed,
    // The phone's announcement carried a result other than 1 or 2: the wait
    // timers stop and nothing answers the request.
    AnnouncementOtherResult,
    // The link that held the request stopped: its stop removes the timers it
    // holds. (A timer a fresh start of the first link forgot still fires and
    // answers; the books take that answer too.)
    LinkStopped,
    // The framework confirmed a de-registration of the first link (after the
    // device detached, the accessory link went down, an error): the link's
    // record is de-initialised, which removes its timers and resets its
    // usage counts, while the link itself stays the active one.
    RecordDeinitialised,
    // A timer a fresh start of the first link forgot fired: its callback
    // removes whatever timer of its type the record holds now, so its one
    // answer stands for every request of that type waiting then.
    ForgottenTimerFired,
};

struct Waiting {
    Wait kind;
    Link link;
    unsigned generation; // the link's start this request belongs to
    int64_t asked_at;
    int64_t due;         // -1: no timer answers it
    Unanswered unanswered = Unanswered::No;
};

// The longest a timed request waits for its answer, from the request on:
// the wait-connection timer, then the wait-response timer it hands over to.
constexpr int64_t kKovSettingChangeDue = 20 + 10;
constexpr int64_t kKovAssistanceDue = 360 + 10;
constexpr int64_t kKovMapImageDue = 360 + 60;
// The second link sends at once and waits 10 s for the file.
constexpr int64_t kBapAssistanceDue = 10;

struct HostBooks {
    Link link = Link::None;  // the link the host's requests go to
    unsigned generation = 0; // bumped at every link start
    int tracking[3] = {};    // sessions per method (1 GPS, 2 WPS) started and not stopped
    // Exercise starts not yet stopped. The first link counts a start as a
    // running exercise whatever the start's result (its count is raised
    // before the command is sent), so the books do too.
    int exercise = 0;
    bool pdc = false;        // PDC values flow: an exercise start, restart or resume went out
    std::vector<Waiting> waiting;

    void clear() { *this = HostBooks{}; }

    // The link the plugin runs changed (or stopped): what ran on the old
    // one is over for the plugin; what waited there is left unanswered
    // (LinkStopped) but still waits for the host.
    void link_changed(Link now)
    {
        if (now == link)
            return;
        for (int &t : tracking)
            t = 0;
        exercise = 0;
        pdc = false;
        for (Waiting &w : waiting)
            if (w.unanswered == Unanswered::No)
                w.unanswered = Unanswered::LinkStopped;
        link = now;
        ++generation;
    }

    // The first link's record was de-initialised under a running link: what
    // waited there is left unanswered and holds no use any more.
    void record_deinitialised()
    {
        for (Waiting &w : waiting)
            if (w.link == Link::Kov && w.unanswered == Unanswered::No)
                w.unanswered = Unanswered::RecordDeinitialised;
        ++generation;
    }

    void ask(Wait kind, int64_t now, int64_t timer, Unanswered why = Unanswered::No)
    {
        waiting.push_back({kind, link, generation, now, timer < 0 ? -1 : now + timer, why});
    }

    bool waits(Wait kind, Link on) const
    {
        return std::any_of(waiting.begin(), waiting.end(), [&](const Waiting &w) {
            return w.kind == kind && w.link == on && w.generation == generation;
        });
    }

    // An answer of this kind arrived: it answers the oldest request that is
    // owed one by a timer, else the oldest one waiting. An answer nobody
    // waits for (the link answers some requests twice) changes nothing.
    void answer(Wait kind)
    {
        auto owed = std::find_if(waiting.begin(), waiting.end(), [&](const Waiting &w) {
            return w.kind == kind && w.unanswered == Unanswered::No;
        });
        if (owed == waiting.end())
            owed = std::find_if(waiting.begin(), waiting.end(), [&](const Waiting &w) { return w.kind == kind; });
        if (owed != waiting.end())
            waiting.erase(owed);
    }

    // Every request of this kind on this link waiting now is left unanswered.
    void leave_unanswered(Wait kind, Link on, Unanswered why)
    {
        for (Waiting &w : waiting)
            if (w.kind == kind && w.link == on && w.unanswered == Unanswered::No)
                w.unanswered = why;
    }

    void leave_all_timed_unanswered(Unanswered why)
    {
        for (Waiting &w : waiting)
            if (w.due >= 0 && w.unanswered == Unanswered::No)
                w.unanswered = why;
    }

    // Nothing runs and nothing waits that holds the first link: every use
    // the usage counts stand for is over. A setting check holds no use.
    bool holds_no_use() const
    {
        if (tracking[1] > 0 || tracking[2] > 0 || exercise > 0 || pdc)
            return false;
        return std::none_of(waiting.begin(), waiting.end(), [&](const Waiting &w) {
            return w.link == link && w.generation == generation && w.kind != Wait::SettingCheck;
        });
    }

    // Nothing runs and nothing waits at all.
    bool idle() const { return holds_no_use() && waiting.empty(); }

    bool running() const { return tracking[1] > 0 || tracking[2] > 0 || exercise > 0 || pdc; }
};

inline Wait answer_of(int event_type, bool &is_answer)
{
    is_answer = true;
    switch (event_type) {
    case CONSUMER_EVENT_LOCATION_SETTING_CHANGE:
        return Wait::SettingChange;
    case CONSUMER_EVENT_EXTRA_DATA:
        return Wait::Assistance;
    case CONSUMER_EVENT_HERE_MAP_DOWNLOAD:
        return Wait::MapImage;
    case CONSUMER_EVENT_REF_TIME:
        return Wait::RefTime;
    case CONSUMER_EVENT_LOCATION_SETTING_CHECK:
        return Wait::SettingCheck;
    default:
        is_answer = false;
        return Wait::SettingCheck;
    }
}

} // namespace books

#endif // LBS_FUZZ_SESSION_BOOKS_H
