// The whole plugin, driven the way the location server and the device drive
// it: each input is a sequence of actions (fuzz_session_input.h) on the
// plugin taken through get_lbs_consumer_plugin_interface: host calls, settings
// changes that switch links, every callback of the accessory framework and
// of the BLE daemon with any arguments, call results, replies from the phone
// (fuzz_session_replies.h), hostile file offers and completions, storage and
// alarm failures, time, and turns of the main loop.
//
// After every action, and at the end of the input, the run stops (abort with
// "invariant broken") when the plugin breaks what it promises:
//  - every event is one of the 18 types, well formed for its type, cleared
//    outside its payload, delivered only between init and the return of
//    deinit with the user data given to init; every byte it points to is
//    read, so the address sanitizer sees a bad pointer or a short block;
//  - a file the plugin accepts (receiveFile with accept 1, a daemon
//    transfer it receives) lands directly in its file directory, under one
//    of its two names; a file event's path is NULL, in that directory, or
//    exactly the path the platform itself reported for the transfer;
//  - nothing is done on the plugin's own initiative while it is not
//    initialised: no framework or daemon call, no alarm, no idle source, no
//    power lock; a file planted as a symbolic link never passes a change of
//    content on to what it points at (only the map image's change of owner,
//    made at the path the framework reports, follows such a link);
//  - every alarm id the links hold is armed; only the active link holds a
//    callback and watches keys;
//  - what the host is owed, held against the host's books
//    (fuzz_session_books.h, fuzz_session_checks.h): usage counts at 0 and the
//    connection released while nothing runs or waits, every timed request
//    answered by the time its timer is due, no alarm armed while idle but
//    those left behind on purpose, every idle callback run once, the power
//    lock taken for its 1,000 ms only;
//  - deinit leaves no alarm armed, no idle source of the plugin's, no key
//    watched, no framework table registered and no daemon callback set
//    (where the platform let it unset them), and the first link's record
//    holds nothing; after that, the framework's late de-registration
//    confirmation and the main loop running dry change none of this.
// Crashes, undefined behaviour and leaks end the run through the sanitizers.
//
// Between inputs every stand-in is reset and the plugin is brought back to
// the state of a freshly loaded library: the first link's record, which the
// plugin keeps for the process (it survives deinit on purpose and remembers
// whether a service connection exists), is checked to hold nothing and is
// then freed, so each input runs as in a new process and a crash reproduces
// from its input alone. Cycles of deinit and init inside one input still see
// the record carried over, as a long-running host does.
//
// The framework may misbehave: it confirms what was never asked, twice or
// out of order, reports a termination while connecting, delivers data before
// a connection is confirmed and completions of transfers never offered; and
// with the misbehave switch of "kov auto" it confirms every answer twice and
// calls the running first link's tables after their de-registration.
// Otherwise it is modelled as delivering nothing to the plugin's tables
// once they are deregistered, except the confirmation of a de-registration
// requested before (and nothing to a stopped link whose de-registration it
// refused); the stand-in would still deliver, so this target only calls
// deliveries while the table is registered. For the same reason the
// framework's answers in auto mode come from this target, not from the
// stand-in: the same answers, one per turn of the main loop in the order of
// the calls (registration confirmed with agent 1, peer found, connection
// confirmed with handle 1, termination reported, de-registration
// confirmed), under the same rule.
//
// LBS_FUZZ_SESSION_TOLERATE, a comma-separated list of check names, lets a
// triage run go on past a finding that is already known:
//   deinit-alarms   an alarm still armed after deinit (other than those left
//                   behind on purpose)
//   deinit-sources  an idle source of the plugin's still pending after deinit
//                   (other than a second-link setting-change answer)
// LBS_FUZZ_SESSION_VERBOSE prints each action and the plugin's log lines, to
// read what an input does:
//   LBS_FUZZ_SESSION_VERBOSE=1 build-fuzz/bin/fuzz_plugin_session INPUT
#include "fuzz_common.h"
#include "fuzz_session_input.h"
#include "fuzz_session_replies.h"

#include <lbs_consumer_plugin.h>

#include "bap/lbs_plugin_consumer_bap_intf_internal.h"
#include "bap/lbs_plugin_consumer_bap_main.h"
#include "kov/lbs_plugin_consumer_kov_intf_internal.h"
#include "kov/lbs_plugin_consumer_main.h"
#include "lbs_plugin_consumer_pre_intf.h"

#include <alarmmgr_control.h>
#include <bapd_client_control.h>
#include <device_power_control.h>
#include <dlog_control.h>
#include <kov_client_control.h>
#include <storage.h>
#include <storage_control.h>
#include <vconf_control.h>

#include <glib.h>

#include "fuzz_session_books.h"
#include "fuzz_session_checks.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace session;

namespace {

constexpr std::string_view kExtraDir = LBS_EXTRA_DIR;
constexpr size_t kMaxActions = 512;
constexpr int kMaxDispatchesPerDrain = 100000;
constexpr int64_t kMaxAdvance = 86400;
constexpr const char *kVictimContent = "victim\n";

// ---- What the harness knows of the session ---------------------------------------

// The user data of one init; each init gets another one, so that an event
// carrying an earlier init's user data shows.
struct Cookie {
    unsigned serial;
};
std::array<Cookie, 2> g_cookies{};

struct Session {
    const lbs_consumer_plugin_interface_s *ops = nullptr;
    bool initialized = false;         // between init and the return of deinit
    Cookie *cookie = nullptr;         // user data of the current init
    unsigned init_count = 0;
    bool auto_mode = false;           // the framework answers by itself
    bool kov_deregister_refused = false; // the framework refused the last deregisterNotifications
    std::set<std::pair<int, std::string>> bap_unset_refused; // (service, setter) the daemon kept
    bool notify_fails = false;        // settings watches cannot be registered
    bool wms_watched = false;         // init could register its settings watch
    std::string kov_accept_path;      // last receiveFile accept=1 path
    std::string bap_accept_path;      // last daemon transfer receive path
    const char *reported_path = nullptr; // the completion path being delivered, if any
    std::vector<guint> plugin_sources; // idle sources the plugin added
    std::set<guint> bap_sources;       // those the second link added: its setting-change answers
    std::set<guint> forgotten_flushes; // pending flushes a fresh start of the first link forgot
    bool in_forgotten_flush = false;   // such a flush is running
    std::vector<lbs_consumer_event_s> events; // delivered during the action in progress

    books::HostBooks books;            // the host's books (fuzz_session_books.h)
    owed::Alarms alarms;               // every alarm armed, and those left behind on purpose
    bool in_allowed_alarm = false;     // an alarm left behind on purpose is firing
    bool revived = false;              // a forgotten retry registered the first link again after deinit
    bool release_asked = false;        // the first link asked to end its connection since one was confirmed
    bool connection_left_up = false;   // a confirmation left the connection up with nothing to end it
    bool loop_turned = false;          // the main loop ran dry during this action
    bool check_went_out = false;       // a setting check was sent during this action
    bool misbehave = false;            // the framework calls the first link's tables after de-registration too
};

Session S;
unsigned g_tolerated = 0;
bool g_verbose = false; // LBS_FUZZ_SESSION_VERBOSE: each action and the plugin's log on stderr
enum Tolerance : unsigned { kTolerateDeinitAlarms = 1, kTolerateDeinitSources = 2 };

std::string g_victim_dir;
std::string g_victim_file;
std::string g_victim_dangling;

// ---- Idle sources: the plugin's own, told apart from the stand-ins' ------------------
//
// The plugin's objects are linked into this program with --wrap for GLib's
// source constructors; the stand-ins are shared libraries and reach GLib
// directly. So every id recorded here is a source the plugin added.

void note_plugin_source(guint id)
{
    FUZZ_CHECK(S.initialized); // nothing is scheduled on the plugin's own initiative
    S.plugin_sources.push_back(id);
    if (lbs_consumer_plugin_pre_get_status() == CONSUMER_STATUS_BAP)
        S.bap_sources.insert(id);
}

// Every idle callback of the plugin's runs once: it returns FALSE.
struct OnceCall {
    GSourceFunc function;
    gpointer data;
    guint id = 0;
};

gboolean run_once(gpointer call)
{
    const OnceCall *c = static_cast<const OnceCall *>(call);
    S.in_forgotten_flush = S.forgotten_flushes.erase(c->id) != 0;
    const gboolean again = c->function(c->data);
    S.in_forgotten_flush = false;
    FUZZ_CHECK(again == FALSE);
    return again;
}

void free_once(gpointer call)
{
    delete static_cast<OnceCall *>(call);
}

bool source_alive(guint id)
{
    GSource *source = g_main_context_find_source_by_id(nullptr, id);
    return source != nullptr && !g_source_is_destroyed(source);
}

void forget_finished_sources()
{
    std::erase_if(S.plugin_sources, [](guint id) { return !source_alive(id); });
}

} // namespace

extern "C" {
guint __real_g_idle_add(GSourceFunc function, gpointer data);
guint __real_g_idle_add_full(gint priority, GSourceFunc function, gpointer data, GDestroyNotify notify);
guint __real_g_timeout_add(guint interval, GSourceFunc function, gpointer data);
guint __real_g_timeout_add_seconds(guint interval, GSourceFunc function, gpointer data);

guint __wrap_g_idle_add(GSourceFunc function, gpointer data)
{
    auto *call = new OnceCall{function, data};
    const guint id = __real_g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, run_once, call, free_once);
    call->id = id;
    note_plugin_source(id);
    return id;
}

guint __wrap_g_idle_add_full(gint priority, GSourceFunc function, gpointer data, GDestroyNotify notify)
{
    const guint id = __real_g_idle_add_full(priority, function, data, notify);
    note_plugin_source(id);
    return id;
}

guint __wrap_g_timeout_add(guint interval, GSourceFunc function, gpointer data)
{
    const guint id = __real_g_timeout_add(interval, function, data);
    note_plugin_source(id);
    return id;
}

guint __wrap_g_timeout_add_seconds(guint interval, GSourceFunc function, gpointer data)
{
    const guint id = __real_g_timeout_add_seconds(interval, function, data);
    note_plugin_source(id);
    return id;
}
}

namespace {

// ---- Paths ------------------------------------------------------------------------

// Directly inside the file directory: the directory, then one name.
bool directly_inside_file_directory(std::string_view path)
{
    if (!path.starts_with(kExtraDir))
        return false;
    const std::string_view name = path.substr(kExtraDir.size());
    return !name.empty() && name.find('/') == std::string_view::npos && name != "." && name != "..";
}

bool is_plugin_file(std::string_view path)
{
    return path == std::string(kExtraDir) + "gpsPlus.dat" || path == std::string(kExtraDir) + "map.jpg";
}

std::string expand_extra(std::string text)
{
    if (text.starts_with("$EXTRA/"))
        text.replace(0, 7, kExtraDir);
    return text;
}

// TEXT of fuzz_session_input.h, owned here.
struct Text {
    bool null = true;
    std::string value;
    const char *c_str() const { return null ? nullptr : value.c_str(); }
};

Text read_text(Input &in)
{
    Text t;
    const uint8_t b = in.byte();
    switch (b) {
    case 0:
        return t;
    case 1:
        t.null = false;
        t.value = expand_extra(in.text());
        return t;
    case 0xf0:
        t.null = S.kov_accept_path.empty();
        t.value = S.kov_accept_path;
        return t;
    case 0xf1:
        t.null = S.bap_accept_path.empty();
        t.value = S.bap_accept_path;
        return t;
    default:
        t.null = false;
        t.value = expand_extra(file_name(b - 2u));
        return t;
    }
}

// ---- Events -----------------------------------------------------------------------

const unsigned char *bytes_of(const lbs_consumer_event_s &e)
{
    return reinterpret_cast<const unsigned char *>(&e);
}

void check_zero(const lbs_consumer_event_s &e, size_t from, size_t to)
{
    const unsigned char *b = bytes_of(e);
    for (size_t i = from; i < to; ++i)
        FUZZ_CHECK(b[i] == 0);
}

void check_zero_after(const lbs_consumer_event_s &e, size_t from)
{
    check_zero(e, from, sizeof e);
}

template <typename T> void read_all(const T *p, size_t count)
{
    // Every byte, so that the address sanitizer checks the whole block.
    volatile unsigned char sink = 0;
    const unsigned char *b = reinterpret_cast<const unsigned char *>(p);
    for (size_t i = 0; i < count * sizeof(T); ++i)
        sink = sink ^ b[i];
    (void)sink;
}

bool one_of(int v, std::initializer_list<int> values)
{
    for (int x : values)
        if (x == v)
            return true;
    return false;
}

constexpr std::initializer_list<int> kHostErrors = {
    CONSUMER_ERR_NONE,          CONSUMER_ERR_OUT_OF_MEMORY,        CONSUMER_ERR_INVALID_PARAMETER,
    CONSUMER_ERR_SYSTEM,        CONSUMER_ERR_TEMPORARY_NOT_AVAILABLE, CONSUMER_ERR_NETWORK_SERVICE_DISABLED,
    CONSUMER_ERR_TIMEOUT,       CONSUMER_ERR_LOCATION_SETTING_OFF, CONSUMER_ERR_LOCATION_SETTING_ON,
    CONSUMER_ERR_LOCATION_NO_SERVICE, CONSUMER_ERR_GPS_STATUS_CHANGED, CONSUMER_ERR_COMMUNICATION,
    CONSUMER_ERR_LOCATION_PROVIDER_DISCONNECTED, CONSUMER_ERR_INVALID_KINETRA_COMMAND, CONSUMER_ERR_UNKNOWN,
};

bool position_is_zero(const consumer_position &p)
{
    static const consumer_position zero{};
    return std::memcmp(&p, &zero, sizeof p) == 0;
}

// A good fix never carries a latitude, longitude or altitude that is not a
// finite number.
bool fix_is_finite(const consumer_position &p)
{
    return std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::isfinite(p.altitude);
}

void check_file_path(const char *path)
{
    if (path == nullptr)
        return;
    const size_t length = std::strlen(path); // a text that is not terminated shows here
    const std::string_view p(path, length);
    const bool reported = S.reported_path != nullptr && p == S.reported_path;
    FUZZ_CHECK(directly_inside_file_directory(p) || reported);
}

void check_event(const lbs_consumer_event_s &e)
{
    FUZZ_CHECK(e.reserved == 0);
    FUZZ_CHECK(one_of(e.error, kHostErrors));
    switch (e.type) {
    case CONSUMER_EVENT_START_SESSION:
    case CONSUMER_EVENT_CHANGE_INTERVAL:
    case CONSUMER_EVENT_CHANGE_BATCH_PERIOD:
        FUZZ_CHECK(one_of(e.error, {CONSUMER_ERR_NONE, CONSUMER_ERR_COMMUNICATION}));
        check_zero_after(e, offsetof(lbs_consumer_event_s, session.method) + sizeof e.session.method);
        break;
    case CONSUMER_EVENT_STOP_SESSION:
        FUZZ_CHECK(e.error == CONSUMER_ERR_NONE);
        check_zero_after(e, offsetof(lbs_consumer_event_s, session.method) + sizeof e.session.method);
        break;
    case CONSUMER_EVENT_POSITION_GPS:
    case CONSUMER_EVENT_POSITION_WPS:
        FUZZ_CHECK(one_of(e.error, {CONSUMER_ERR_NONE, CONSUMER_ERR_TIMEOUT, CONSUMER_ERR_LOCATION_SETTING_OFF,
                                    CONSUMER_ERR_LOCATION_SETTING_ON, CONSUMER_ERR_LOCATION_NO_SERVICE,
                                    CONSUMER_ERR_UNKNOWN}));
        FUZZ_CHECK(e.position.reserved_ == 0 && e.position.pos.reserved == 0);
        FUZZ_CHECK(e.error == CONSUMER_ERR_NONE || position_is_zero(e.position.pos));
        FUZZ_CHECK(e.error != CONSUMER_ERR_NONE || fix_is_finite(e.position.pos));
        check_zero_after(e, offsetof(lbs_consumer_event_s, position.pos) + sizeof(consumer_position));
        break;
    case CONSUMER_EVENT_LOCATION_SETTING_CHECK:
        FUZZ_CHECK(e.error == CONSUMER_ERR_NONE);
        check_zero_after(e, offsetof(lbs_consumer_event_s, setting_check.wps) + sizeof e.setting_check.wps);
        break;
    case CONSUMER_EVENT_LOCATION_SETTING_CHANGE:
        FUZZ_CHECK(e.error == CONSUMER_ERR_NONE);
        check_zero_after(e, offsetof(lbs_consumer_event_s, setting_change.result) + sizeof e.setting_change.result);
        break;
    case CONSUMER_EVENT_BATCH_POSITION: {
        const int32_t count = e.batch.count;
        FUZZ_CHECK(count >= 0 && count <= LBS_CONSUMER_MAX_BATCH_POSITIONS);
        FUZZ_CHECK(e.error == CONSUMER_ERR_NONE ? count > 0 : count == 0);
        FUZZ_CHECK(e.batch.reserved_ == 0 && e.batch.reserved2_ == 0);
        for (int32_t i = 0; i < count; ++i)
            FUZZ_CHECK(e.batch.pos[i].reserved == 0 && fix_is_finite(e.batch.pos[i]));
        check_zero_after(e, offsetof(lbs_consumer_event_s, batch.pos) + sizeof(consumer_position) * count);
        break;
    }
    case CONSUMER_EVENT_EXTRA_DATA:
    case CONSUMER_EVENT_HERE_MAP_DOWNLOAD:
        if (e.type == CONSUMER_EVENT_EXTRA_DATA)
            FUZZ_CHECK(e.error == CONSUMER_ERR_NONE);
        else
            FUZZ_CHECK(one_of(e.error, {CONSUMER_ERR_NONE, CONSUMER_ERR_TIMEOUT, CONSUMER_ERR_NETWORK_SERVICE_DISABLED,
                                        CONSUMER_ERR_TEMPORARY_NOT_AVAILABLE, CONSUMER_ERR_INVALID_PARAMETER,
                                        CONSUMER_ERR_SYSTEM}));
        // A map failure never carries a path.
        FUZZ_CHECK(e.type == CONSUMER_EVENT_EXTRA_DATA || e.error == CONSUMER_ERR_NONE || e.file.path == nullptr);
        check_file_path(e.file.path);
        check_zero(e, 12, offsetof(lbs_consumer_event_s, file.path));
        check_zero_after(e, offsetof(lbs_consumer_event_s, file.path) + sizeof e.file.path);
        break;
    case CONSUMER_EVENT_REF_TIME:
        FUZZ_CHECK(e.error == CONSUMER_ERR_NONE && e.ref_time.reserved_ == 0);
        check_zero_after(e, offsetof(lbs_consumer_event_s, ref_time.uncertainty) + sizeof e.ref_time.uncertainty);
        break;
    case CONSUMER_EVENT_PROVIDER_CONNECTED:
    case CONSUMER_EVENT_PROVIDER_DISCONNECTED:
        FUZZ_CHECK(e.error == CONSUMER_ERR_NONE);
        check_zero_after(e, 12);
        break;
    case CONSUMER_EVENT_KINETRA_INFO:
    case CONSUMER_EVENT_KINETRA_STOPPED:
    case CONSUMER_EVENT_KINETRA_PAUSED: {
        const int32_t count = e.kinetra.count;
        FUZZ_CHECK(one_of(e.error, {CONSUMER_ERR_NONE, CONSUMER_ERR_INVALID_KINETRA_COMMAND,
                                    CONSUMER_ERR_LOCATION_SETTING_OFF, CONSUMER_ERR_UNKNOWN,
                                    CONSUMER_ERR_GPS_STATUS_CHANGED}));
        FUZZ_CHECK(count >= 0);
        FUZZ_CHECK((count > 0) == (e.kinetra.info != nullptr));
        if (e.error != CONSUMER_ERR_NONE && e.error != CONSUMER_ERR_GPS_STATUS_CHANGED)
            FUZZ_CHECK(count == 0);
        if (e.error == CONSUMER_ERR_GPS_STATUS_CHANGED) {
            FUZZ_CHECK(count == 1);
            consumer_exercise_info expected{};
            expected.gps_status = e.kinetra.info[0].gps_status;
            FUZZ_CHECK(one_of(expected.gps_status, {GPS_STATUS_UNAVILABLE, GPS_STATUS_WEAK, GPS_STATUS_OK,
                                                    GPS_STATUS_STRONG, GPS_STATUS_OFF, GPS_STATUS_UNKNOWN}));
            FUZZ_CHECK(std::memcmp(&expected, e.kinetra.info, sizeof expected) == 0);
        }
        read_all(e.kinetra.info, static_cast<size_t>(count));
        for (int32_t i = 0; i < count; ++i)
            FUZZ_CHECK(e.kinetra.info[i].reserved == 0 && e.kinetra.info[i].reserved2 == 0);
        check_zero_after(e, offsetof(lbs_consumer_event_s, kinetra.info) + sizeof e.kinetra.info);
        break;
    }
    case CONSUMER_EVENT_PDC_INFO: {
        const int32_t count = e.pdc.count;
        FUZZ_CHECK(e.error == CONSUMER_ERR_NONE);
        FUZZ_CHECK(count >= 0 && count <= LBS_CONSUMER_MAX_PDC_VALUES);
        check_zero_after(e, offsetof(lbs_consumer_event_s, pdc.values) + sizeof(int32_t) * count);
        break;
    }
    default:
        FUZZ_CHECK(!"event of an unknown type");
    }
}

int on_event(lbs_consumer_event_s *event, void *user_data)
{
    FUZZ_CHECK(event != nullptr);
    FUZZ_CHECK(S.initialized);
    FUZZ_CHECK(user_data == S.cookie);
    check_event(*event);
    S.events.push_back(*event);
    return 0;
}

// ---- The framework's answers in auto mode ----------------------------------------------

bool kov_table_registered();

struct Answer {
    enum Kind { RegiCfrm, PeerFound, ConnCfrm, TermInd, DeregiCfrm } kind;
    unsigned int agent_id;
    int service_handle;
};

std::deque<Answer> g_answers;
guint g_answer_source = 0;

// A confirmation that finds nothing using the first link (one nobody asked
// for, or one that arrives after the last use ended while it was connecting)
// leaves the connection up: with nothing queued no flush runs to end it, and
// it stays until the link next asks for a release.
template <typename Deliver> void connection_confirmed(Deliver deliver)
{
    deliver();
    const lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (c == nullptr || c->real_service_connection_status != 1)
        return;
    S.release_asked = false;
    // With something queued, the flush then finds no use and ends it.
    S.connection_left_up = c->pos_refcnt <= 0 && c->exercise_refcnt <= 0;
}

// Any confirmed de-registration de-initialises the first link's record.
void deregistration_confirmed(int result)
{
    if (S.initialized && lbs_consumer_plugin_pre_get_status() == CONSUMER_STATUS_KOV) {
        S.books.record_deinitialised();
        // A de-registered agent has no service connection left, though the
        // record keeps its real connection status over the re-initialisation.
        S.release_asked = true;
    }
    kov_ctl_on_deregi_svc_agent_cfrm(result);
}

gboolean deliver_answer_cb(gpointer)
{
    if (!g_answers.empty()) {
        const Answer a = g_answers.front();
        g_answers.pop_front();
        PeerAgent peer;
        kov_ctl_standard_peer(&peer);
        if (a.kind == Answer::DeregiCfrm)
            deregistration_confirmed(KOV_RESULT_SUCCESS);
        else if (kov_table_registered()) {
            switch (a.kind) {
            case Answer::RegiCfrm:
                kov_ctl_on_regi_svc_agent_cfrm(KOV_RESULT_SUCCESS, 1);
                break;
            case Answer::PeerFound:
                kov_ctl_on_peer_agent_fnd(a.agent_id, &peer, KOV_PEER_AGENT_FOUND);
                break;
            case Answer::ConnCfrm:
                connection_confirmed([&] { kov_ctl_on_svc_conn_cfrm(a.agent_id, 1, &peer, KOV_CONNECTION_SUCCESS); });
                break;
            default:
                kov_ctl_on_svc_term_ind(a.service_handle, KOV_CONNECTION_LOST_PEER_DISCONNECTED);
                break;
            }
        }
    }
    if (!g_answers.empty())
        return G_SOURCE_CONTINUE;
    g_answer_source = 0;
    return G_SOURCE_REMOVE;
}

// An accepted call gets its answer on a later turn of the main loop. The
// source is attached directly: g_idle_add is the plugin's, as seen here.
void answer_later(const kov_ctl_call &call)
{
    const std::string_view name = call.name;
    Answer a{Answer::RegiCfrm, call.agent_id, call.service_handle};
    if (name == "registerServiceAgent")
        a.kind = Answer::RegiCfrm;
    else if (name == "findPeerAgent")
        a.kind = Answer::PeerFound;
    else if (name == "createServiceConnection")
        a.kind = Answer::ConnCfrm;
    else if (name == "terminateServiceConnection")
        a.kind = Answer::TermInd;
    else if (name == "deRegisterServiceAgent")
        a.kind = Answer::DeregiCfrm;
    else
        return;
    g_answers.push_back(a);
    if (S.misbehave) // a misbehaving framework confirms twice
        g_answers.push_back(a);
    if (g_answer_source == 0) {
        GSource *source = g_idle_source_new();
        g_source_set_callback(source, deliver_answer_cb, nullptr, nullptr);
        g_answer_source = g_source_attach(source, nullptr);
        g_source_unref(source);
    }
}

void drop_answers()
{
    if (g_answer_source != 0)
        g_source_remove(g_answer_source);
    g_answer_source = 0;
    g_answers.clear();
}

// ---- The platform's side, watched -----------------------------------------------------

void on_kov_call(const kov_ctl_call *call, void *)
{
    // An alarm left behind on purpose may fire after deinit and end a use;
    // a forgotten pending flush may end the connection; a forgotten
    // peer-search retry finding no agent id starts the link afresh and
    // registers it again, and the link then answers the framework as it
    // would while initialised.
    FUZZ_CHECK(S.initialized || S.in_allowed_alarm || S.in_forgotten_flush || S.revived);
    const std::string_view name = call->name;
    // Revived: registered while the first link is not the one running, the
    // host stopped or on the second link.
    if (name == "registerNotifications" && call->result == 0)
        S.revived = lbs_consumer_plugin_pre_get_status() != CONSUMER_STATUS_KOV;
    if (name == "terminateServiceConnection" || name == "deRegisterServiceAgent") {
        S.release_asked = true;
        S.connection_left_up = false;
    }
    if (name == "receiveFile") {
        FUZZ_CHECK(call->accept == 0 || call->accept == 1);
        if (call->accept == 1) {
            FUZZ_CHECK(call->text != nullptr && is_plugin_file(call->text));
            if (call->result == 0)
                S.kov_accept_path = call->text;
        }
    } else if (name == "sendData") {
        FUZZ_CHECK(call->channel_id == 169);
        FUZZ_CHECK(call->length > 0 && call->length <= 65531 && call->text != nullptr);
        FUZZ_CHECK(std::string_view(call->text, call->length).starts_with("{\"msgId\": \"lbs-"));
        if (call->result == 0 && std::string_view(call->text, call->length).find("lbs-location-setting-check-req") !=
                                     std::string_view::npos)
            S.check_went_out = true;
    }
    if (name == "deregisterNotifications")
        S.kov_deregister_refused = call->result != 0;
    else if (name == "registerNotifications" && call->result == 0)
        S.kov_deregister_refused = false;
    if (S.auto_mode && call->result == 0)
        answer_later(*call);
}

void on_bap_call(const bap_ctl_call *call, void *)
{
    FUZZ_CHECK(S.initialized);
    const std::string_view name = call->name;
    if (name == "bap_service_file_transfer_receive") {
        FUZZ_CHECK(call->text != nullptr && std::string_view(call->text) == std::string(kExtraDir) + "gpsPlus.dat");
        if (call->result == 0)
            S.bap_accept_path = call->text;
    } else if (name == "bap_service_send_data") {
        FUZZ_CHECK(call->length > 0 && call->length <= 65531 && call->text != nullptr);
        const std::string_view text(call->text, call->length);
        FUZZ_CHECK(text == "@" || text.starts_with("{\"msgId\": \"lbs-"));
        if (call->result == 0 && text.find("lbs-location-setting-check-req") != std::string_view::npos)
            S.check_went_out = true;
    } else if (name == "bap_service_add") {
        FUZZ_CHECK(call->text != nullptr && std::string_view(call->text) == "LBS");
    } else if (name.find("_unset_") != std::string_view::npos) {
        std::string setter(name);
        setter.replace(setter.find("_unset_"), 7, "_set_");
        if (call->result != 0)
            S.bap_unset_refused.insert({call->service, setter});
        else
            S.bap_unset_refused.erase({call->service, setter});
    }
}

bool is_retry_delay(int64_t delay)
{
    for (int n = 1; n <= 7; ++n)
        if (delay == 2 * n)
            return true;
    for (int n = 1; n <= 15; ++n)
        if (delay == 3 * n)
            return true;
    return false;
}

void on_alarm(const alarmmgr_ctl_traffic *t, void *)
{
    // From its firing to the next alarm's or the end of the action, what
    // happens is the fired alarm's callback, whatever it arms or removes.
    if (t->what == ALARMMGR_CTL_FIRE) {
        S.in_allowed_alarm = S.alarms.allowed.contains(t->id);
        if (S.in_allowed_alarm && S.alarms.allowed.at(t->id) == owed::AllowedAlarm::ForgottenByFreshStart)
            S.books.leave_all_timed_unanswered(books::Unanswered::ForgottenTimerFired);
    }
    S.alarms.traffic(*t);
    if (t->what != ALARMMGR_CTL_ADD && t->what != ALARMMGR_CTL_ADD_FAILED)
        return;
    // A link registered again after deinit may arm its retries until the
    // input ends (finish()).
    FUZZ_CHECK(S.initialized || S.revived);
    // One-shot timers of known lengths, or the 150-second keep-alive.
    if (t->interval != 0)
        FUZZ_CHECK(t->interval == 150 && t->delay == 150);
    else
        FUZZ_CHECK(one_of(static_cast<int>(t->delay), {10, 20, 60, 360}) || is_retry_delay(t->delay));
}

void on_power(const device_power_ctl_call *call, void *)
{
    // A retry or a pending flush a fresh start forgot takes the lock when it
    // runs, after the host's deinit too, and so does a link such a retry
    // registered again.
    FUZZ_CHECK(S.initialized || S.in_allowed_alarm || S.in_forgotten_flush || S.revived);
    owed::check_power_lock(*call);
}

// ---- Files planted in the file directory ---------------------------------------------

int remove_entry(const char *path, const struct stat *, int, struct FTW *)
{
    return remove(path);
}

void remove_tree(const std::string &path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode))
        nftw(path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    else
        remove(path.c_str());
}

std::string extra_dir_path()
{
    std::string dir(kExtraDir);
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

void write_file(const std::string &path, const char *content)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return;
    const ssize_t n = write(fd, content, std::strlen(content));
    (void)n;
    close(fd);
}

void set_up_victim()
{
    // One per process: a parallel run must not see another's planted links.
    // Those of processes that ended in a crash are cleared away here.
    const std::string dir = extra_dir_path();
    const std::string parent = dir.substr(0, dir.rfind('/'));
    const std::string prefix = "fuzz-session-victim-";
    if (GDir *d = g_dir_open(parent.c_str(), 0, nullptr); d != nullptr) {
        while (const char *name = g_dir_read_name(d)) {
            const std::string_view n(name);
            if (!n.starts_with(prefix))
                continue;
            const long pid = std::strtol(name + prefix.size(), nullptr, 10);
            if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
                remove_tree(parent + "/" + name);
        }
        g_dir_close(d);
    }
    g_victim_dir = parent + "/" + prefix + std::to_string(getpid());
    g_victim_file = g_victim_dir + "/victim";
    g_victim_dangling = g_victim_dir + "/never-created";
    remove_tree(g_victim_dir);
    mkdir(g_victim_dir.c_str(), 0755);
    write_file(g_victim_file, kVictimContent);
    std::atexit([] { remove_tree(g_victim_dir); });
}

// A planted link never passes a change of content on to its target.
void check_victim()
{
    struct stat st;
    FUZZ_CHECK(lstat(g_victim_file.c_str(), &st) == 0 && S_ISREG(st.st_mode));
    // A received map image is given to the media user at the path the
    // framework reports, and chown follows a link planted there: the
    // target may change hands (where the process may give it away), never
    // its content.
    FUZZ_CHECK((st.st_uid == getuid() && st.st_gid == getgid()) || (st.st_uid == 5000 && st.st_gid == 5000));
    char buf[32] = {};
    const int fd = open(g_victim_file.c_str(), O_RDONLY);
    FUZZ_CHECK(fd >= 0);
    const ssize_t n = read(fd, buf, sizeof buf - 1);
    close(fd);
    FUZZ_CHECK(n >= 0 && std::string_view(buf, static_cast<size_t>(n)) == kVictimContent);
    FUZZ_CHECK(lstat(g_victim_dangling.c_str(), &st) != 0);
}

void plant(Input &in)
{
    static constexpr std::array<const char *, 3> kTargets = {"gpsPlus.dat", "map.jpg", ""};
    const std::string dir = extra_dir_path();
    const char *name = kTargets[in.byte() % kTargets.size()];
    const std::string path = *name != '\0' ? dir + "/" + name : dir;
    const uint8_t what = in.byte() % 6;
    remove_tree(path);
    if (*name != '\0' && what != 0)
        mkdir(dir.c_str(), 0755);
    switch (what) {
    case 1:
        write_file(path, "planted\n");
        break;
    case 2:
        mkdir(path.c_str(), 0755);
        break;
    case 3: // fails, as it should, where the directory is a file
        if (*name != '\0')
            (void)symlink(g_victim_file.c_str(), path.c_str());
        break;
    case 4:
        if (*name != '\0')
            (void)symlink(g_victim_dangling.c_str(), path.c_str());
        break;
    case 5: // a regular file where the directory should be
        if (*name == '\0')
            write_file(path, "planted\n");
        break;
    default:
        break;
    }
}

// ---- Invariants ------------------------------------------------------------------------

bool alarm_armed(int id)
{
    return alarmmgr_ctl_get(id, nullptr, nullptr) == 1;
}

void check_held_alarm(alarm_id_t id)
{
    FUZZ_CHECK(id == 0 || alarm_armed(id));
}

void check_invariants()
{
    forget_finished_sources();
    const int status = lbs_consumer_plugin_pre_get_status();
    FUZZ_CHECK(S.initialized || status == CONSUMER_STATUS_NONE);

    // Only the active link holds the host's callback and watches its keys.
    if (status != CONSUMER_STATUS_KOV) {
        FUZZ_CHECK(g_consumer_cb == nullptr);
        FUZZ_CHECK(vconf_ctl_watcher_count("memory/private/kov/conn_status") == 0);
        FUZZ_CHECK(vconf_ctl_watcher_count("memory/private/kov/conn_type") == 0);
    }
    if (status != CONSUMER_STATUS_BAP) {
        FUZZ_CHECK(g_bap_consumer_cb == nullptr);
        FUZZ_CHECK(lbs::bap::g_bap_lbs_consumer == nullptr);
    }
    FUZZ_CHECK((lbs::bap::g_bap_lbs_consumer != nullptr) == (lbs::bap::g_bap_service_handle != 0));
    FUZZ_CHECK(vconf_ctl_watcher_count("memory/wms/wmanager_connected") == (S.initialized && S.wms_watched ? 1u : 0u));

    if (const lbs_plugin_consumer_s *c = g_lbs_consumer; c != nullptr) {
        check_held_alarm(c->connect_alarm_id);
        check_held_alarm(c->find_peer_alarm_id);
        for (alarm_id_t id : c->req_timer)
            check_held_alarm(id);
        FUZZ_CHECK(c->pending_idle_id == 0 || source_alive(c->pending_idle_id));
        for (GList *l = c->msg_list; l != nullptr; l = l->next)
            FUZZ_CHECK(l->data != nullptr);
    }
    if (const lbs_plugin_consumer_bap_s *b = lbs::bap::g_bap_lbs_consumer; b != nullptr) {
        check_held_alarm(b->dummy_pkt_alarm_id);
        check_held_alarm(b->knt_dummy_pkt_alarm_id);
        for (int id : b->req_timer)
            check_held_alarm(id);
        FUZZ_CHECK(b->req_data == nullptr);
    }
}

// What a stopped plugin leaves behind: nothing of its own.
void check_stopped()
{
    forget_finished_sources();
    // Left behind on purpose, each until it fires once: alarms a fresh start
    // of the first link forgot or a stray completion outlived
    // (owed::AllowedAlarm), the second link's setting-change answers
    // waiting in the main loop, and a pending flush a fresh start of the
    // first link forgot.
    FUZZ_CHECK(S.alarms.armed.size() == alarmmgr_ctl_count());
    if (!(g_tolerated & kTolerateDeinitAlarms))
        FUZZ_CHECK(S.alarms.unexplained() == 0);
    const auto answer_waiting = [](guint id) {
        return S.bap_sources.contains(id) || S.forgotten_flushes.contains(id);
    };
    if (!(g_tolerated & kTolerateDeinitSources))
        FUZZ_CHECK(std::all_of(S.plugin_sources.begin(), S.plugin_sources.end(), answer_waiting));
    // A triage run that goes on past these drops what was left, so that it
    // cannot fire into the checks below.
    if (S.alarms.unexplained() != 0) {
        const int64_t now = alarmmgr_ctl_now();
        alarmmgr_ctl_reset();
        alarmmgr_ctl_advance(now);
        S.alarms.clear();
    }
    std::erase_if(S.plugin_sources, [&](guint id) {
        if (answer_waiting(id))
            return false;
        g_source_remove(id);
        return true;
    });
    FUZZ_CHECK(lbs_consumer_plugin_pre_get_status() == CONSUMER_STATUS_NONE);
    FUZZ_CHECK(vconf_ctl_watcher_count("memory/wms/wmanager_connected") == 0);
    if (!S.kov_deregister_refused)
        FUZZ_CHECK(kov_ctl_get_notifications(nullptr) == 0);

    // Every daemon callback the plugin set is unset, where the daemon let it.
    for (size_t i = 0; i < bap_ctl_call_count(); ++i) {
        const bap_ctl_call *call = bap_ctl_call_at(i);
        if (std::string_view(call->name) != "bap_service_add" || call->result != 0)
            continue;
        for (size_t s = 7; s < kBapCalls.size(); s += 2) {
            const char *setter = kBapCalls[s];
            if (!S.bap_unset_refused.contains({call->service, setter}))
                FUZZ_CHECK(bap_ctl_has_callback(call->service, setter) == 0);
        }
    }

    if (const lbs_plugin_consumer_s *c = g_lbs_consumer; c != nullptr) {
        FUZZ_CHECK(c->service_desc == nullptr);
        FUZZ_CHECK(c->channel_desc == nullptr);
        FUZZ_CHECK(c->notification == nullptr);
        FUZZ_CHECK(c->ft_notification == nullptr);
        FUZZ_CHECK(c->p_peer_agent == nullptr);
        FUZZ_CHECK(c->msg_list == nullptr);
        FUZZ_CHECK(c->pending_idle_id == 0 && c->connect_alarm_id == 0 && c->find_peer_alarm_id == 0);
        for (alarm_id_t id : c->req_timer)
            FUZZ_CHECK(id == 0);
        FUZZ_CHECK(c->pos_refcnt == 0 && c->exercise_refcnt == 0 && c->is_registered == 0);
    }
}

// ---- The main loop ---------------------------------------------------------------------

void drain()
{
    for (int i = 0; i < kMaxDispatchesPerDrain && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
}

// ---- Host calls ------------------------------------------------------------------------

void host_init()
{
    if (S.initialized)
        return; // the host calls init once; the next init follows a deinit
    S.initialized = true;
    S.cookie = &g_cookies[++S.init_count % g_cookies.size()];
    S.cookie->serial = S.init_count;
    S.wms_watched = !S.notify_fails;
    const int result = S.ops->init(on_event, S.cookie);
    FUZZ_CHECK(result == 0 || result == 1);
}

void host_deinit()
{
    if (!S.initialized)
        return;
    // The framework gives no more answers by itself; those queued still come,
    // to registered tables only.
    S.auto_mode = false;
    int arg = 0;
    const int result = S.ops->deinit(&arg);
    FUZZ_CHECK(result == 1);
    S.initialized = false;
    S.books.clear(); // a stopped host waits for nothing
    check_stopped();
}

enum class RecordKind { None, Tracking, ExtraData, Setting, RefTime, Kinetra, HereMap };

RecordKind record_of(int code)
{
    switch (code) {
    case CONSUMER_ACTION_START_SESSION:
    case CONSUMER_ACTION_STOP_SESSION:
    case CONSUMER_ACTION_CHANGE_INTERVAL:
    case CONSUMER_ACTION_CHANGE_BATCH_PERIOD:
        return RecordKind::Tracking;
    case CONSUMER_ACTION_REQUEST_EXTRA_DATA:
        return RecordKind::ExtraData;
    case CONSUMER_ACTION_CHANGE_LOCATION_SETTING:
        return RecordKind::Setting;
    case CONSUMER_ACTION_GET_REF_TIME:
        return RecordKind::RefTime;
    case CONSUMER_ACTION_KINETRA_COMMAND:
        return RecordKind::Kinetra;
    case CONSUMER_ACTION_HERE_MAP_IMAGE:
        return RecordKind::HereMap;
    default:
        return RecordKind::None;
    }
}

// A block of exactly n bytes, so that a read past a record or a text is seen.
template <typename T> std::unique_ptr<T> exact_copy(const T &value)
{
    return std::make_unique<T>(value);
}

std::unique_ptr<char[]> exact_text(const Text &t)
{
    if (t.null)
        return nullptr;
    auto copy = std::make_unique<char[]>(t.value.size() + 1);
    std::memcpy(copy.get(), t.value.c_str(), t.value.size() + 1);
    return copy;
}

size_t count_events(int type)
{
    size_t n = 0;
    for (const lbs_consumer_event_s &e : S.events)
        if (e.type == type)
            ++n;
    return n;
}

const lbs_consumer_event_s *find_event(int type)
{
    for (const lbs_consumer_event_s &e : S.events)
        if (e.type == type)
            return &e;
    return nullptr;
}

// The host writes down what it asked: what runs from now on, and what waits
// for an answer (and until when, where a timer answers it). Only requests
// with their record come here (a setting check needs none).
void book_request(int code, int status, bool kov_up, int result, int32_t method, int32_t command)
{
    using books::Wait;
    books::HostBooks &b = S.books;
    const int64_t now = alarmmgr_ctl_now();
    const bool kov = status == CONSUMER_STATUS_KOV;
    const books::Unanswered refused =
        S.alarms.refused_in_action ? books::Unanswered::TimerRefused : books::Unanswered::No;
    int *session = method == 1 || method == 2 ? &b.tracking[method] : nullptr;
    if (status != CONSUMER_STATUS_KOV && status != CONSUMER_STATUS_BAP)
        return;
    switch (code) {
    case CONSUMER_ACTION_START_SESSION:
        if (result == 1 && session != nullptr)
            ++*session;
        break;
    case CONSUMER_ACTION_STOP_SESSION:
        if (session != nullptr && *session > 0)
            --*session;
        break;
    case CONSUMER_ACTION_REQUEST_EXTRA_DATA:
        if (result == 1)
            b.ask(Wait::Assistance, now, kov ? books::kKovAssistanceDue : books::kBapAssistanceDue,
                  kov && b.waits(Wait::Assistance, books::Link::Kov) ? books::Unanswered::SharesRunningTimer
                                                                      : refused);
        break;
    case CONSUMER_ACTION_CHECK_LOCATION_SETTING:
        // Sent or queued on the first link while the accessory link is up.
        if (kov ? kov_up : S.check_went_out)
            b.ask(Wait::SettingCheck, now, -1);
        break;
    case CONSUMER_ACTION_CHANGE_LOCATION_SETTING:
        if (kov && kov_up) {
            const bool shares = b.waits(Wait::SettingChange, books::Link::Kov);
            b.ask(Wait::SettingChange, now, books::kKovSettingChangeDue,
                  shares ? books::Unanswered::SharesRunningTimer : refused);
        } else if (!kov) {
            b.ask(Wait::SettingChange, now, -1); // answered on the next turn of the main loop
        }
        break;
    case CONSUMER_ACTION_GET_REF_TIME:
        if (result == 1)
            b.ask(Wait::RefTime, now, -1);
        break;
    case CONSUMER_ACTION_KINETRA_COMMAND:
        if (kov) {
            // The first link counts every start, sent or not, until a stop.
            if (command == 1)
                ++b.exercise;
            else if (command == 2 && b.exercise > 0)
                --b.exercise;
            if (result == CONSUMER_ERR_NONE && (command == 1 || command == 3 || command == 5))
                b.pdc = true;
            else if (command == 2 || (command == 4 && result == CONSUMER_ERR_NONE))
                b.pdc = false;
        } else if ((command == 1 || command == 3) && result == CONSUMER_ERR_NONE) {
            b.exercise = 1;
        } else if (command == 2) {
            b.exercise = 0;
        }
        break;
    case CONSUMER_ACTION_HERE_MAP_IMAGE:
        // The second link takes no map request: it returns 0 and no event
        // follows, so the host waits for nothing there.
        if (kov && result == CONSUMER_ERR_NONE)
            b.ask(Wait::MapImage, now, books::kKovMapImageDue,
                  b.waits(Wait::MapImage, books::Link::Kov) ? books::Unanswered::SharesRunningTimer : refused);
        break;
    default:
        break;
    }
}

void host_request(Input &in)
{
    const int code = in.v32();
    const bool null_record = in.byte() & 1;
    const RecordKind kind = record_of(code);

    std::shared_ptr<void> record;
    std::unique_ptr<char[]> app_id;
    std::unique_ptr<char[]> app_code;
    int32_t method = 0;
    switch (kind) {
    case RecordKind::Tracking: {
        tracking_req_info r{};
        r.method = method = in.v32();
        r.interval = in.v32();
        r.batching_interval = in.v32();
        record = exact_copy(r);
        break;
    }
    case RecordKind::ExtraData:
        record = exact_copy(extra_data_req_info{in.v32()});
        break;
    case RecordKind::Setting:
        record = exact_copy(location_setting_req_info{in.v32()});
        break;
    case RecordKind::RefTime:
        record = exact_copy(ref_time_req_info{in.v32()});
        break;
    case RecordKind::Kinetra: {
        kinetra_req_info k{};
        k.command = in.v32();
        k.exercise_type = in.v32();
        k.base_pressure = in.f32();
        k.height = in.f32();
        k.weight = in.f32();
        k.user_gender = in.v32();
        k.user_age = in.v32();
        k.interval = in.v32();
        k.pservice_type = in.v32();
        k.coaching_distance = in.f32();
        k.coaching_calorie = in.f32();
        k.coaching_speed = in.f32();
        k.coaching_duration_time = in.v32();
        k.auto_pause_enabled = in.v32();
        k.speed_threshold = in.f32();
        k.pause_window = in.v32();
        k.resume_window = in.v32();
        record = exact_copy(k);
        break;
    }
    case RecordKind::HereMap: {
        here_map_req_info m{};
        app_id = exact_text(read_text(in));
        app_code = exact_text(read_text(in));
        m.app_id = app_id.get();
        m.app_code = app_code.get();
        m.width = in.v32();
        m.height = in.v32();
        m.center_latitude = in.f64();
        m.center_longitude = in.f64();
        m.zoom_level = in.f32();
        m.timeout = in.v32();
        record = exact_copy(m);
        break;
    }
    case RecordKind::None:
        // A record the plugin must not read: one byte of its own.
        record = std::shared_ptr<unsigned char>(new unsigned char(0));
        break;
    }
    void *data = null_record ? nullptr : record.get();

    const bool was_initialized = S.initialized;
    const int status = lbs_consumer_plugin_pre_get_status();
    const bool kov_up = (isKovConnected() & 1) != 0; // bit 0: the accessory link is up
    S.events.clear();
    const int result = S.ops->request(code, data);
    if (was_initialized && data != nullptr)
        book_request(code, status, kov_up, result, method,
                     kind == RecordKind::Kinetra ? static_cast<const kinetra_req_info *>(data)->command : 0);
    else if (was_initialized && code == CONSUMER_ACTION_CHECK_LOCATION_SETTING)
        book_request(code, status, kov_up, result, method, 0);

    if (!was_initialized || status == CONSUMER_STATUS_NONE) {
        FUZZ_CHECK(result == 0 && S.events.empty());
        return;
    }
    if (code == CONSUMER_ACTION_KINETRA_COMMAND || code == CONSUMER_ACTION_HERE_MAP_IMAGE) {
        FUZZ_CHECK(one_of(result, kHostErrors));
        if (data == nullptr && (status == CONSUMER_STATUS_KOV || code == CONSUMER_ACTION_KINETRA_COMMAND))
            FUZZ_CHECK(result == CONSUMER_ERR_INVALID_PARAMETER);
    } else if (code >= CONSUMER_ACTION_START_SESSION && code <= CONSUMER_ACTION_GET_REF_TIME) {
        FUZZ_CHECK(result == 0 || result == 1);
    } else {
        FUZZ_CHECK(result == 0);
    }
    if (data == nullptr)
        return;

    // The result events that come before the request returns.
    const bool kov = status == CONSUMER_STATUS_KOV;
    switch (code) {
    case CONSUMER_ACTION_START_SESSION: {
        FUZZ_CHECK(count_events(CONSUMER_EVENT_START_SESSION) == 1);
        const lbs_consumer_event_s *e = find_event(CONSUMER_EVENT_START_SESSION);
        FUZZ_CHECK(e->session.method == method);
        FUZZ_CHECK((result == 1) == (e->error == CONSUMER_ERR_NONE));
        break;
    }
    case CONSUMER_ACTION_STOP_SESSION:
        FUZZ_CHECK(count_events(CONSUMER_EVENT_STOP_SESSION) == 1 && result == 1);
        FUZZ_CHECK(find_event(CONSUMER_EVENT_STOP_SESSION)->session.method == method);
        break;
    case CONSUMER_ACTION_CHANGE_INTERVAL:
        FUZZ_CHECK(count_events(CONSUMER_EVENT_CHANGE_INTERVAL) == (kov ? 1u : 0u) && result == 1);
        break;
    case CONSUMER_ACTION_CHANGE_BATCH_PERIOD:
        FUZZ_CHECK(count_events(CONSUMER_EVENT_CHANGE_BATCH_PERIOD) == (kov ? 1u : 0u) && result == (kov ? 1 : 0));
        break;
    default:
        break;
    }
}

// ---- Framework and daemon deliveries ----------------------------------------------------

// The framework delivers to the plugin's tables only while they are
// registered. A stopped link that asked for its tables to be deregistered is
// not called either, even when the framework refused the request.
bool kov_table_registered()
{
    // A misbehaving framework calls the running first link's tables after
    // their de-registration too.
    if (S.misbehave && S.initialized && lbs_consumer_plugin_pre_get_status() == CONSUMER_STATUS_KOV)
        return kov_ctl_get_notifications(nullptr) >= 0;
    if (S.kov_deregister_refused && lbs_consumer_plugin_pre_get_status() != CONSUMER_STATUS_KOV)
        return false;
    return kov_ctl_get_notifications(nullptr) == 1;
}

// The agent id the framework would use: the one of the last
// createServiceConnection, else the registered one.
unsigned int connecting_agent_id()
{
    for (size_t i = kov_ctl_call_count(); i > 0; --i) {
        const kov_ctl_call *c = kov_ctl_call_at(i - 1);
        if (std::strcmp(c->name, "createServiceConnection") == 0)
            return c->agent_id;
    }
    return kov_ctl_agent_id();
}

unsigned int read_agent(Input &in)
{
    return static_cast<unsigned int>(in.v32({static_cast<int32_t>(connecting_agent_id()),
                                             static_cast<int32_t>(kov_ctl_last_find_agent_id()),
                                             static_cast<int32_t>(kov_ctl_agent_id())}));
}

// A peer agent as the framework hands one over, for the duration of a call.
struct Peer {
    bool null = false;
    PeerAgent agent{};
    std::string ale, aspid, version;
    PeerAgent *get() { return null ? nullptr : &agent; }
};

void read_peer(Input &in, Peer &p)
{
    switch (in.byte() % 4) {
    case 1:
        p.null = true;
        break;
    case 2: // no texts
        p.agent.PeerDeviceID = 1;
        p.agent.PeerAgentId = 2;
        break;
    case 3: // long texts with format directives
        p.ale = std::string(300, 'n') + "%s%n";
        p.aspid = "%s%s%s%s";
        p.version = std::string(1000, 'v');
        p.agent.PeerDeviceID = static_cast<unsigned int>(in.v32());
        p.agent.PeerAgentId = static_cast<unsigned int>(in.v32());
        p.agent.ALEName = p.ale.data();
        p.agent.ASPID = p.aspid.data();
        p.agent.ProfileVersion = p.version.data();
        break;
    default:
        kov_ctl_standard_peer(&p.agent);
        break;
    }
}

// The phone's announcement of the assistance file or the map image stops
// that request's wait timers. Unless it answered the host (result 2), the
// request waits on without a timer: for the file (result 1) or for ever.
void book_announcement(const std::string &text)
{
    const lbs_plugin_consumer_s *c = g_lbs_consumer;
    int msg_id = 0;
    if (c == nullptr || text.empty() || get_msg_id_from_json_string(text.c_str(), text.size(), &msg_id) != 0)
        return;
    if (msg_id == MSG_ID_GPS_PLUS_RSP && count_events(CONSUMER_EVENT_EXTRA_DATA) == 0)
        S.books.leave_unanswered(books::Wait::Assistance, books::Link::Kov,
                                 c->is_ready_to_receive_gps_extra_data == 1
                                     ? books::Unanswered::AnnouncedFileNotTimed
                                     : books::Unanswered::AnnouncementOtherResult);
    if (msg_id == MSG_ID_HERE_MAP_RSP && count_events(CONSUMER_EVENT_HERE_MAP_DOWNLOAD) == 0)
        S.books.leave_unanswered(books::Wait::MapImage, books::Link::Kov,
                                 c->is_ready_to_receive_here_map_image == 1
                                     ? books::Unanswered::AnnouncedFileNotTimed
                                     : books::Unanswered::AnnouncementOtherResult);
}

void kov_data(Input &in)
{
    const Payload p = read_payload(in);
    if (!kov_table_registered())
        return;
    if (p.null_buffer) {
        kov_ctl_on_data_ind(kov_ctl_service_handle(), 169, p.null_length, nullptr);
        return;
    }
    // Exactly the bytes, without a terminator.
    std::vector<char> bytes(p.bytes.begin(), p.bytes.end());
    kov_ctl_on_data_ind(kov_ctl_service_handle(), 169, static_cast<unsigned int>(bytes.size()), bytes.data());
    book_announcement(p.bytes);
}

void bap_data(Input &in)
{
    const Payload p = read_payload(in);
    if (p.null_buffer) {
        bap_ctl_data_received(p.null_length, nullptr);
        return;
    }
    std::vector<char> bytes(p.bytes.begin(), p.bytes.end());
    const lbs_plugin_consumer_bap_s *b = lbs::bap::g_bap_lbs_consumer;
    const int wait = b != nullptr ? b->req_timer[REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE] : 0;
    bap_ctl_data_received(static_cast<unsigned int>(bytes.size()), bytes.data());
    if (count_events(CONSUMER_EVENT_EXTRA_DATA) != 0)
        S.alarms.allow(wait, owed::AllowedAlarm::OutlivesPhoneRefusal);
}

// Delivers a completion whose path the platform itself reports; the plugin
// may pass that path on to the host as it is.
template <typename Deliver> void with_reported_path(const Text &path, Deliver deliver)
{
    S.reported_path = path.c_str();
    deliver();
    S.reported_path = nullptr;
}

void kov_other(Input &in)
{
    const uint8_t what = in.byte() % 3;
    if (what == 0) {
        const int tx = in.v32({kov_ctl_last_offer_transaction_id()});
        const auto percent = static_cast<unsigned int>(in.v32());
        if (kov_table_registered())
            kov_ctl_on_file_recv_progress(tx, percent, kov_ctl_agent_id());
    } else if (what == 1) {
        const int tx = in.v32();
        const Text path = read_text(in);
        const int result = in.v32();
        if (kov_table_registered())
            kov_ctl_on_send_completed(tx, path.c_str(), result);
    } else {
        Peer peer;
        const unsigned int agent = read_agent(in);
        read_peer(in, peer);
        const int status = in.v32();
        if (kov_table_registered())
            kov_ctl_on_peer_agent_updated(agent, peer.get(), status);
    }
}

void storage(Input &in)
{
    switch (in.byte() % 4) {
    case 0:
        storage_ctl_reset();
        break;
    case 1: {
        int status = in.v32();
        storage_ctl_fail(status < 0 ? status : STORAGE_ERROR_OPERATION_FAILED);
        break;
    }
    case 2: {
        storage_ctl_fail(0);
        const uint64_t total = in.bytes_size();
        const uint64_t free_bytes = in.bytes_size();
        storage_ctl_set_bytes(total, free_bytes);
        break;
    }
    default: {
        const auto blocks = static_cast<unsigned long>(static_cast<uint32_t>(in.v32()));
        const auto bfree = static_cast<unsigned long>(static_cast<uint32_t>(in.v32()));
        const auto bavail = static_cast<unsigned long>(static_cast<uint32_t>(in.v32()));
        const auto bsize = static_cast<unsigned long>(static_cast<uint32_t>(in.v32()));
        const auto frsize = static_cast<unsigned long>(static_cast<uint32_t>(in.v32()));
        storage_ctl_set_statvfs(blocks, bfree, bavail, bsize, frsize);
        break;
    }
    }
}

int64_t read_seconds(Input &in)
{
    const int64_t s = static_cast<uint32_t>(in.v32());
    return s % (kMaxAdvance + 1);
}

void set_key(Input &in)
{
    const uint8_t selector = in.byte() % 5;
    const Text custom = selector == 4 ? read_text(in) : Text{};
    const char *key = selector < 4 ? kKeys[selector] : custom.c_str();
    if (key == nullptr)
        return;
    switch (in.byte() % 4) {
    case 0:
        vconf_ctl_set_bool(key, in.v32());
        break;
    case 1:
        vconf_ctl_set_int(key, in.v32());
        break;
    case 2: {
        // The settings stand-in hands a double key to an int reader
        // converted, which only a value in int's range survives.
        double value = in.f64();
        if (!(std::fabs(value) < 2147483648.0))
            value = std::copysign(2147483647.0, value);
        vconf_ctl_set_dbl(key, value);
        break;
    }
    default:
        vconf_ctl_unset(key);
        break;
    }
}

constexpr std::array<const char *, kOpCount> kOpNames = {
    "init", "deinit", "request", "set key", "kov connected", "kov auto", "kov result", "kov regi_cfrm",
    "kov deregi_cfrm", "kov peer_found", "kov conn_cfrm", "kov conn_ind", "kov term_ind", "kov error",
    "kov device_status", "kov data", "kov send_file", "kov receive_completed", "kov other", "bap device",
    "bap service", "bap result", "bap data", "bap file_incoming", "bap file_completed", "bap transfer_done",
    "bap other", "storage", "alarm fail", "advance", "fire next alarm", "drain", "iterate", "power fail",
    "vconf fail notify", "plant",
};

void act_on(uint8_t op, Input &in);

// The first link's record starts afresh when the link starts, when the
// accessory link comes up unregistered and when a peer search finds no agent
// id; each fresh start goes on to register its callbacks at once (whether
// the framework takes them or not), and nothing else does.
size_t registrations() { return kov_ctl_count_calls("registerNotifications"); }
// The watch-manager connection went down: the active link stops (it may
// start again within the same action, when the key comes back). Only the
// front end's line of exactly this text counts: a file name the phone
// offers is logged too, alone or inside another line, and may hold the same
// words.
constexpr std::string_view kLinkStopFile = "lbs_plugin_consumer_pre_intf.cpp: ";
constexpr std::string_view kLinkStop = "WMS disconnected, start deinit function";
size_t link_stops()
{
    size_t n = 0;
    for (size_t i = 0; i < dlog_ctl_count(); ++i) {
        const dlog_ctl_line *line = dlog_ctl_line_at(i);
        if (line == nullptr || line->text == nullptr || !std::string_view(line->text).starts_with(kLinkStopFile))
            continue;
        const char *message = std::strstr(line->text, " > ");
        if (message != nullptr && std::string_view(message + 3) == kLinkStop)
            ++n;
    }
    return n;
}

books::Link link_of(int status)
{
    return status == CONSUMER_STATUS_KOV ? books::Link::Kov
           : status == CONSUMER_STATUS_BAP ? books::Link::Bap
                                           : books::Link::None;
}

// The host's books after an action: the answers it received, the timers
// the alarm manager refused, the link it now talks to; and the alarms a
// fresh start of the first link forgot.
void after_action(bool fresh_start, const std::array<alarm_id_t, REQ_TIMER_TYPE_MAX> &held,
                  const std::array<alarm_id_t, 2> &retries, guint held_flush)
{
    const int status = lbs_consumer_plugin_pre_get_status();
    // The request timers and retries the record held before the start, or
    // alarms armed in the same action before it, and holds no more.
    if (const lbs_plugin_consumer_s *c = g_lbs_consumer; fresh_start && c != nullptr) {
        std::vector<alarm_id_t> before(held.begin(), held.end());
        before.insert(before.end(), retries.begin(), retries.end());
        before.insert(before.end(), S.alarms.added_in_action.begin(), S.alarms.added_in_action.end());
        for (alarm_id_t id : before) {
            const bool still_held = std::find(std::begin(c->req_timer), std::end(c->req_timer), id) !=
                                        std::end(c->req_timer) ||
                                    id == c->connect_alarm_id || id == c->find_peer_alarm_id;
            const lbs_plugin_consumer_bap_s *b = lbs::bap::g_bap_lbs_consumer;
            const bool bap_held = b != nullptr && (id == b->dummy_pkt_alarm_id || id == b->knt_dummy_pkt_alarm_id ||
                                                   std::find(std::begin(b->req_timer), std::end(b->req_timer), id) !=
                                                       std::end(b->req_timer));
            if (!still_held && !bap_held)
                S.alarms.allow(id, owed::AllowedAlarm::ForgottenByFreshStart);
        }
        // The start clears the scheduled flush's id without removing it: it
        // runs once, on whatever the record holds then.
        if (held_flush != 0 && held_flush != c->pending_idle_id && source_alive(held_flush))
            S.forgotten_flushes.insert(held_flush);
    }
    if (const lbs_plugin_consumer_s *c = g_lbs_consumer; c != nullptr && status == CONSUMER_STATUS_KOV) {
        if (count_events(CONSUMER_EVENT_EXTRA_DATA) != 0)
            for (int t : {REQ_TIMER_TYPE_GPSPLUS_WAIT_CONNECTION, REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE})
                S.alarms.allow(c->req_timer[t], owed::AllowedAlarm::OutlivesEarlyAnswer);
        if (count_events(CONSUMER_EVENT_HERE_MAP_DOWNLOAD) != 0)
            for (int t : {REQ_TIMER_TYPE_HERE_MAP_WAIT_CONNECTION, REQ_TIMER_TYPE_HERE_MAP_WAIT_RESPONSE})
                S.alarms.allow(c->req_timer[t], owed::AllowedAlarm::OutlivesEarlyAnswer);
        // A wait-connection timer left behind on purpose that the confirmed
        // connection handed over passes its reason to the wait-response timer.
        for (auto [wait_connection, wait_response] :
             {std::pair{REQ_TIMER_TYPE_GPSPLUS_WAIT_CONNECTION, REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE},
              std::pair{REQ_TIMER_TYPE_HERE_MAP_WAIT_CONNECTION, REQ_TIMER_TYPE_HERE_MAP_WAIT_RESPONSE}}) {
            const auto handed = S.alarms.removed_allowed_in_action.find(held[wait_connection]);
            if (held[wait_connection] != 0 && handed != S.alarms.removed_allowed_in_action.end() &&
                std::ranges::count(S.alarms.added_in_action, c->req_timer[wait_response]) != 0)
                S.alarms.allow(c->req_timer[wait_response], handed->second);
        }
    }
    if (!S.initialized)
        return;
    for (const lbs_consumer_event_s &e : S.events) {
        bool is_answer = false;
        const books::Wait kind = books::answer_of(e.type, is_answer);
        if (is_answer)
            S.books.answer(kind);
    }
    if (S.alarms.refused_in_action)
        S.books.leave_all_timed_unanswered(books::Unanswered::TimerRefused);
    S.books.link_changed(link_of(status));
}

// What the host is owed (fuzz_session_checks.h).
void check_owed()
{
    const owed::Moment m{alarmmgr_ctl_now(),
                         S.initialized,
                         link_of(lbs_consumer_plugin_pre_get_status()),
                         g_lbs_consumer,
                         // With the accessory link down no connection is left.
                         S.release_asked || S.connection_left_up || (isKovConnected() & 1) == 0,
                         S.loop_turned};
    if (g_verbose && g_lbs_consumer != nullptr) {
        std::fprintf(stderr, "     req_timer");
        for (alarm_id_t id : g_lbs_consumer->req_timer)
            std::fprintf(stderr, " %d", static_cast<int>(id));
        std::fprintf(stderr, "; uses %d %d; waiting %zu\n", g_lbs_consumer->pos_refcnt, g_lbs_consumer->exercise_refcnt,
                     S.books.waiting.size());
    }
    owed::check_uses(S.books, m);
    owed::check_answers_due(S.books, m);
    owed::check_idle_alarms(S.books, S.alarms, m);
}

void act(uint8_t op, Input &in)
{
    if (g_verbose)
        std::fprintf(stderr, "---- %s (t=%lld)\n", kOpNames[op % kOpCount], static_cast<long long>(alarmmgr_ctl_now()));
    S.events.clear();
    S.alarms.refused_in_action = false;
    S.alarms.added_in_action.clear();
    S.alarms.removed_allowed_in_action.clear();
    S.loop_turned = false;
    S.check_went_out = false;
    const int status_before = lbs_consumer_plugin_pre_get_status();
    std::array<alarm_id_t, REQ_TIMER_TYPE_MAX> held{};
    std::array<alarm_id_t, 2> retries{};
    guint held_flush = 0;
    if (const lbs_plugin_consumer_s *c = g_lbs_consumer; c != nullptr) {
        std::copy(std::begin(c->req_timer), std::end(c->req_timer), held.begin());
        retries = {c->connect_alarm_id, c->find_peer_alarm_id};
        held_flush = c->pending_idle_id;
    }
    const size_t restarts = registrations();
    const size_t stops = link_stops();
    act_on(op, in);
    const int status_after = lbs_consumer_plugin_pre_get_status();
    const bool link_stopped =
        status_before != status_after || link_stops() != stops;
    if (link_stopped && S.initialized)
        S.books.link_changed(books::Link::None);
    // A stopped link leaves its connection to the framework, and one the
    // accessory link took down is gone: the record keeps its real connection
    // status over a stop and a fresh start, and until the framework reports
    // the end, also once the accessory link is up again.
    if (link_stopped || (isKovConnected() & 1) == 0)
        S.release_asked = true;
    const bool fresh_start = registrations() != restarts ||
                             (link_stopped && status_after == CONSUMER_STATUS_KOV);
    if (const lbs_plugin_consumer_s *c = g_lbs_consumer; c != nullptr && c->pos_refcnt <= 0 && c->exercise_refcnt <= 0) {
        const bool link_down = (isKovConnected() & 1) == 0;
        for (alarm_id_t id : {c->connect_alarm_id, c->find_peer_alarm_id})
            if (link_down || (id != retries[0] && id != retries[1]))
                S.alarms.allow(id, owed::AllowedAlarm::RetryWithoutUse);
    }
    S.in_allowed_alarm = false;
    after_action(fresh_start, held, retries, held_flush);
}

void act_on(uint8_t op, Input &in)
{
    switch (op % kOpCount) {
    case kOpInit:
        host_init();
        break;
    case kOpDeinit:
        host_deinit();
        break;
    case kOpRequest:
        host_request(in);
        break;
    case kOpSetKey:
        set_key(in);
        break;
    case kOpKovConnected:
        kov_ctl_set_connected(in.v32());
        break;
    case kOpKovAuto: {
        const uint8_t mode = in.byte();
        S.auto_mode = mode & 1;
        S.misbehave = mode & 2;
        break;
    }
    case kOpKovResult: {
        const char *name = kKovCalls[in.byte() % kKovCalls.size()];
        kov_ctl_set_result(name, in.v32());
        break;
    }
    case kOpKovRegiCfrm: {
        const int result = in.v32();
        const unsigned int agent = read_agent(in);
        if (kov_table_registered())
            kov_ctl_on_regi_svc_agent_cfrm(result, agent);
        break;
    }
    case kOpKovDeregiCfrm:
        // Also after de-registration: the confirmation of one requested before.
        deregistration_confirmed(in.v32());
        break;
    case kOpKovPeerFound: {
        Peer peer;
        const unsigned int agent = read_agent(in);
        read_peer(in, peer);
        const int status = in.v32();
        if (kov_table_registered())
            kov_ctl_on_peer_agent_fnd(agent, peer.get(), status);
        break;
    }
    case kOpKovConnCfrm: {
        Peer peer;
        const unsigned int agent = read_agent(in);
        const int handle = in.v32();
        read_peer(in, peer);
        const int status = in.v32();
        if (kov_table_registered())
            connection_confirmed([&] { kov_ctl_on_svc_conn_cfrm(agent, handle, peer.get(), status); });
        break;
    }
    case kOpKovConnInd: {
        Peer peer;
        const unsigned int agent = read_agent(in);
        const auto connection = static_cast<unsigned int>(in.v32());
        read_peer(in, peer);
        if (kov_table_registered())
            kov_ctl_on_svc_conn_ind(agent, connection, peer.get());
        break;
    }
    case kOpKovTermInd: {
        const int handle = in.v32({kov_ctl_service_handle()});
        const int status = in.v32();
        if (kov_table_registered())
            kov_ctl_on_svc_term_ind(handle, status);
        break;
    }
    case kOpKovError: {
        const unsigned int agent = read_agent(in);
        const int code = in.v32();
        if (kov_table_registered())
            kov_ctl_on_error(agent, code);
        break;
    }
    case kOpKovDeviceStatus: {
        const auto type = static_cast<unsigned int>(in.v32());
        const int status = in.v32();
        if (kov_table_registered())
            kov_ctl_on_device_status(type, status);
        break;
    }
    case kOpKovData:
        kov_data(in);
        break;
    case kOpKovSendFile: {
        const int tx = in.v32();
        const Text name = read_text(in);
        const unsigned int agent = read_agent(in);
        if (kov_table_registered())
            kov_ctl_on_send_file(tx, name.c_str(), agent);
        break;
    }
    case kOpKovReceiveCompleted: {
        const int tx = in.v32({kov_ctl_last_offer_transaction_id()});
        const Text path = read_text(in);
        const int result = in.v32();
        if (kov_table_registered())
            with_reported_path(path, [&] { kov_ctl_on_receive_completed(tx, path.c_str(), result); });
        break;
    }
    case kOpKovOther:
        kov_other(in);
        break;
    // The daemon reports 0 or 1: the callbacks take the status as an enum of
    // those two values, which a C++ reader may not hold anything else in.
    case kOpBapDevice:
        bap_ctl_set_device_status(in.v32() & 1);
        break;
    case kOpBapService:
        bap_ctl_set_service_status(in.v32() & 1);
        break;
    case kOpBapResult: {
        const char *name = kBapCalls[in.byte() % kBapCalls.size()];
        bap_ctl_set_result(name, in.v32());
        break;
    }
    case kOpBapData:
        bap_data(in);
        break;
    case kOpBapFileIncoming: {
        const int handle = in.v32();
        const Text name = read_text(in);
        const int id = in.v32();
        bap_ctl_file_incoming(handle, name.c_str(), id);
        break;
    }
    case kOpBapFileCompleted: {
        const int status = in.v32();
        const Text path = read_text(in);
        const int id = in.v32({bap_ctl_last_accepted_transfer()});
        with_reported_path(path, [&] { bap_ctl_file_receiving_completed(status, path.c_str(), id); });
        break;
    }
    case kOpBapTransferDone: {
        // The daemon ends the transfer the plugin accepted last, at its path.
        const int status = in.v32();
        const int id = bap_ctl_last_accepted_transfer();
        if (id != 0)
            bap_ctl_complete_transfer(id, status);
        break;
    }
    case kOpBapOther:
        if (in.byte() & 1) {
            bap_ctl_send_completed(in.v32());
        } else {
            const int id = in.v32({bap_ctl_last_accepted_transfer()});
            bap_ctl_file_progress(id, static_cast<unsigned int>(in.v32()));
        }
        break;
    case kOpStorage:
        storage(in);
        break;
    case kOpAlarmFail:
        alarmmgr_ctl_fail_add(in.byte() & 1);
        break;
    case kOpAdvance:
        alarmmgr_ctl_advance(read_seconds(in));
        break;
    case kOpFireNext:
        alarmmgr_ctl_fire_next(alarmmgr_ctl_now() + read_seconds(in));
        break;
    case kOpDrain:
        drain();
        S.loop_turned = true;
        break;
    case kOpIterate:
        g_main_context_iteration(nullptr, FALSE);
        break;
    case kOpPowerFail: {
        const int status = in.v32();
        device_power_ctl_fail(status < 0 ? status : 0);
        break;
    }
    case kOpVconfFailNotify:
        S.notify_fails = in.byte() & 1;
        vconf_ctl_fail_notify(S.notify_fails);
        break;
    case kOpPlant:
        plant(in);
        break;
    default:
        break;
    }
}

// ---- Between inputs ----------------------------------------------------------------------

// Every stand-in back to its start, the plugin back to a freshly loaded
// library, the file directory gone.
void reset_world()
{
    vconf_ctl_reset();
    storage_ctl_reset();
    alarmmgr_ctl_reset();
    device_power_ctl_reset();
    kov_ctl_reset();
    bap_ctl_reset();
    dlog_ctl_clear();
    drop_answers();
    for (guint id : S.plugin_sources) // left only when a triage run tolerates it
        if (source_alive(id))
            g_source_remove(id);
    drain();

    if (g_lbs_consumer != nullptr) {
        free(g_lbs_consumer);
        g_lbs_consumer = nullptr;
    }
    lbs::bap::g_bap_device_connected = 0;
    remove_tree(extra_dir_path());

    const lbs_consumer_plugin_interface_s *ops = S.ops;
    S = Session{};
    S.ops = ops;
}

// The end of an input: the host stops the plugin; then the framework's late
// confirmation of the de-registration arrives and the main loop runs dry,
// which must not bring anything back.
void finish()
{
    if (!S.revived) {
        if (g_verbose)
            std::fprintf(stderr, "---- end of input: deinit\n");
        host_deinit();
        check_stopped();
        kov_ctl_on_deregi_svc_agent_cfrm(KOV_RESULT_SUCCESS);
        drain();
        alarmmgr_ctl_advance(kMaxAdvance);
    }
    if (S.revived) {
        // A forgotten peer-search retry registered the first link again after
        // it stopped (the host's deinit, or a switch to the second link),
        // during the input or in the time run out just above, as the rules
        // have it; the host guide lists it. What follows would play against
        // a link the host no longer runs: the harness stops that link itself,
        // then the host stops. No event reached the host from it meanwhile
        // while stopped: each is checked as it arrives.
        if (g_verbose)
            std::fprintf(stderr, "---- the first link came back after deinit; stopped\n");
        kov_deinit();
        drain();
        S.revived = false;
        if (S.initialized) {
            host_deinit();
            check_stopped();
        }
    } else {
        check_stopped();
        check_invariants();
    }
    check_victim();
}

unsigned parse_tolerated(const char *list)
{
    unsigned mask = 0;
    if (list == nullptr)
        return mask;
    const std::string_view all(list);
    if (all.find("deinit-alarms") != std::string_view::npos)
        mask |= kTolerateDeinitAlarms;
    if (all.find("deinit-sources") != std::string_view::npos)
        mask |= kTolerateDeinitSources;
    return mask;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_set_up();
    g_tolerated = parse_tolerated(std::getenv("LBS_FUZZ_SESSION_TOLERATE"));
    g_verbose = std::getenv("LBS_FUZZ_SESSION_VERBOSE") != nullptr;
    dlog_ctl_set_stderr(g_verbose ? 1 : 0);
    S.ops = get_lbs_consumer_plugin_interface();
    FUZZ_CHECK(S.ops != nullptr && S.ops == get_lbs_consumer_plugin_interface());
    kov_ctl_set_observer(on_kov_call, nullptr);
    bap_ctl_set_observer(on_bap_call, nullptr);
    alarmmgr_ctl_set_observer(on_alarm, nullptr);
    device_power_ctl_set_observer(on_power, nullptr);
    set_up_victim();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    reset_world();
    Input in(data, size);
    for (size_t n = 0; n < kMaxActions && !in.empty(); ++n) {
        act(in.byte(), in);
        if (S.revived)
            break;
        check_invariants();
        check_owed();
    }
    finish();
    reset_world();
    return 0;
}
