#include "lbs_sim_timeline.h"

#include <dlog.h>

#include <algorithm>
#include <cinttypes>
#include <cstring>

namespace lbs_sim {
namespace {

std::string with_name(std::string_view name, long long value)
{
    return name.empty() ? std::to_string(value) : std::string(name) + "(" + std::to_string(value) + ")";
}

std::string method_name(long long m)
{
    switch (m) {
    case CONSUMER_METHOD_GPS: return "GPS(1)";
    case CONSUMER_METHOD_WPS: return "WPS(2)";
    default: return std::to_string(m);
    }
}

std::string fields_text(const std::vector<Field> &fields)
{
    std::string s;
    for (const Field &f : fields)
        s += "  " + f.name + "=" + f.value;
    return s;
}

const char *text_or_null(const char *s)
{
    return s != nullptr ? s : "NULL";
}

std::string result_suffix(int result)
{
    return result == 0 ? std::string() : "  -> " + std::to_string(result);
}

const char *priority_name(int prio)
{
    switch (prio) {
    case DLOG_INFO: return "info ";
    case DLOG_WARN: return "WARN ";
    case DLOG_ERROR: return "ERROR";
    case DLOG_DEBUG: return "debug";
    case DLOG_VERBOSE: return "verb ";
    case DLOG_FATAL: return "FATAL";
    default: return "?    ";
    }
}


// The event that answers a request sent to the phone, or 0 for requests
// answered at once or by a stream of events.
int answer_of(int code)
{
    switch (code) {
    case CONSUMER_ACTION_REQUEST_EXTRA_DATA: return CONSUMER_EVENT_EXTRA_DATA;
    case CONSUMER_ACTION_CHECK_LOCATION_SETTING: return CONSUMER_EVENT_LOCATION_SETTING_CHECK;
    case CONSUMER_ACTION_CHANGE_LOCATION_SETTING: return CONSUMER_EVENT_LOCATION_SETTING_CHANGE;
    case CONSUMER_ACTION_GET_REF_TIME: return CONSUMER_EVENT_REF_TIME;
    case CONSUMER_ACTION_HERE_MAP_IMAGE: return CONSUMER_EVENT_HERE_MAP_DOWNLOAD;
    default: return 0;
    }
}

// Whether request returned what it returns when the message went out: the
// map request answers with an error code, 0 for none; the others with 1.
bool went_out(int code, int value)
{
    return code == CONSUMER_ACTION_HERE_MAP_IMAGE ? value == CONSUMER_ERR_NONE : value == 1;
}

} // namespace

Timeline::Timeline(std::FILE *out, PathStyle paths, bool with_logs, bool with_functions)
    : out_(out), paths_(std::move(paths)), with_logs_(with_logs || with_functions), with_functions_(with_functions)
{
}

void Timeline::line(int64_t time, std::string_view who, std::string_view text)
{
    std::fprintf(out_, "%6" PRId64 "s  %-9.*s %.*s\n", time, static_cast<int>(who.size()), who.data(),
                 static_cast<int>(text.size()), text.data());
}

void Timeline::command(int64_t time, const Command &cmd)
{
    std::fprintf(out_, "%6" PRId64 "s  > %s\n", time, cmd.source.c_str());
    const int last_number = cmd.numbers.empty() ? 0 : static_cast<int>(cmd.numbers.back());
    switch (cmd.verb) {
    case Verb::Request:
        request_code_ = cmd.code;
        answered_in_call_ = false;
        break;
    case Verb::KovReceiveCompleted:
        end_transfer(time, kov_ctl_last_offer_transaction_id(), last_number);
        break;
    case Verb::BapFileCompleted:
        if (cmd.numbers.size() >= 2)
            end_transfer(time, static_cast<int>(cmd.numbers[1]), static_cast<int>(cmd.numbers[0]));
        break;
    case Verb::BapTransferDone:
        if (const int id = bap_ctl_last_accepted_transfer(); id != 0)
            end_transfer(time, id, last_number);
        break;
    default:
        break;
    }
}

void Timeline::returned(int64_t time, std::string_view what, int value)
{
    line(time, "host", std::string(what) + " returned " + std::to_string(value));
    if (what == "request" && request_code_ != 0) {
        if (answer_of(request_code_) != 0 && went_out(request_code_, value) && !answered_in_call_)
            waiting_.push_back({request_code_, answer_of(request_code_), time});
        request_code_ = 0;
    }
}

void Timeline::event(int64_t time, const lbs_consumer_event_s &ev)
{
    const DecodedEvent d = decode_event(ev, paths_);
    std::string text = "event " + with_name(event_type_name(d.type), d.type) + "  error=" +
                       with_name(error_name(d.error), d.error);
    for (const Field &f : d.fields) {
        if (f.name == "method" && ev.type <= CONSUMER_EVENT_CHANGE_BATCH_PERIOD)
            text += "  method=" + method_name(ev.session.method);
        else
            text += "  " + f.name + "=" + f.value;
    }
    line(time, "host", text);
    for (size_t i = 0; i < d.entries.size(); ++i)
        line(time, "", "  #" + std::to_string(i) + fields_text(d.entries[i]));

    ++events_[ev.type];
    if (ev.type == CONSUMER_EVENT_POSITION_GPS && ev.error != CONSUMER_ERR_NONE)
        ++gps_errors_;
    fixes_.event(time, ev);
    const auto w = std::find_if(waiting_.begin(), waiting_.end(), [&](const Waiting &x) { return x.answer == ev.type; });
    if (w != waiting_.end())
        waiting_.erase(w);
    else if (request_code_ != 0 && answer_of(request_code_) == ev.type)
        answered_in_call_ = true;
    // A file handed to the host ends the transfer that brought it.
    if ((ev.type == CONSUMER_EVENT_EXTRA_DATA || ev.type == CONSUMER_EVENT_HERE_MAP_DOWNLOAD) && ev.file.path != nullptr)
        for (auto &[id, t] : transfers_)
            if (!t.ended && t.path == ev.file.path)
                end_transfer(time, id, 0);
}

void Timeline::kov_call(int64_t time, const kov_ctl_call &c)
{
    if (std::strcmp(c.name, "sendData") == 0) {
        line(time, "phone", "<- kov: " + std::string(c.text != nullptr ? c.text : "", c.length) +
                                (c.result != 0 ? "  (sendData refused: " + std::to_string(c.result) + ")" : ""));
        return;
    }
    std::string args;
    if (std::strcmp(c.name, "registerServiceAgent") == 0)
        args = "profile=" + std::string(text_or_null(c.profile_id)) + " service=" + text_or_null(c.text) +
               " channel=" + std::to_string(c.channel_id);
    else if (std::strcmp(c.name, "findPeerAgent") == 0 || std::strcmp(c.name, "deRegisterServiceAgent") == 0)
        args = "agent=" + std::to_string(c.agent_id);
    else if (std::strcmp(c.name, "createServiceConnection") == 0 || std::strcmp(c.name, "rejectServiceConnection") == 0)
        args = "agent=" + std::to_string(c.agent_id) +
               (c.has_peer ? " peer=" + std::to_string(c.peer_device_id) + "/" + std::to_string(c.peer_agent_id)
                           : " peer=NULL");
    else if (std::strcmp(c.name, "terminateServiceConnection") == 0)
        args = "handle=" + std::to_string(c.service_handle);
    else if (std::strcmp(c.name, "receiveFile") == 0)
        args = "tx=" + std::to_string(c.transaction_id) + " path=" + paths_.path(c.text) +
               (c.accept ? " accept" : " refuse");
    line(time, "kov", std::string(c.name) + "(" + args + ")" + result_suffix(c.result));
    if (std::strcmp(c.name, "receiveFile") == 0 && c.accept && c.result == 0) {
        Transfer &t = transfers_[c.transaction_id] = Transfer{0, c.text != nullptr ? c.text : "", false, 0};
        bar(time, c.transaction_id, t, "accepted");
    }
}

void Timeline::bap_call(int64_t time, const bap_ctl_call &c)
{
    if (std::strcmp(c.name, "bap_service_send_data") == 0) {
        line(time, "phone", "<- bap: " + std::string(c.text != nullptr ? c.text : "", c.length) +
                                (c.result != 0 ? "  (send refused: " + std::to_string(c.result) + ")" : ""));
        return;
    }
    std::string args;
    if (std::strcmp(c.name, "bap_service_add") == 0)
        args = std::string(text_or_null(c.text)) + (c.result == 0 ? ") = handle " + std::to_string(c.service) : ")");
    else if (std::strcmp(c.name, "bap_service_file_transfer_receive") == 0)
        args = "transfer=" + std::to_string(c.transfer) + " id=" + std::to_string(c.transfer_id) +
               " path=" + paths_.path(c.text) + ")";
    else if (std::strcmp(c.name, "bap_service_file_transfer_reject") == 0)
        args = "transfer=" + std::to_string(c.transfer) + " id=" + std::to_string(c.transfer_id) + ")";
    else
        args = "handle " + std::to_string(c.service) + ")";
    const bool getter = std::strstr(c.name, "_get_connection_status") != nullptr;
    line(time, "bap", std::string(c.name) + "(" + args +
                          (getter ? " = " + std::to_string(c.result) : result_suffix(c.result)));
    if (std::strcmp(c.name, "bap_service_file_transfer_receive") == 0 && c.result == 0) {
        Transfer &t = transfers_[c.transfer_id] = Transfer{0, c.text != nullptr ? c.text : "", false, 0};
        bar(time, c.transfer_id, t, "accepted");
    }
}

void Timeline::alarm(int64_t time, const alarmmgr_ctl_traffic &t)
{
    const std::string id = "#" + std::to_string(t.id);
    switch (t.what) {
    case ALARMMGR_CTL_ADD:
        line(time, "alarm", id + " armed: due in " + std::to_string(t.delay) + " s" +
                                (t.interval > 0 ? ", then every " + std::to_string(t.interval) + " s" : ""));
        break;
    case ALARMMGR_CTL_ADD_FAILED:
        line(time, "alarm", "add refused (" + std::to_string(t.result) + ")");
        break;
    case ALARMMGR_CTL_FIRE:
        line(time, "alarm", id + " fires");
        break;
    case ALARMMGR_CTL_REMOVE:
        line(time, "alarm", id + (t.result == 0 ? " removed" : " not armed, nothing to remove"));
        break;
    }
}

void Timeline::power_lock(int64_t time, const device_power_ctl_call &c)
{
    line(time, "power", "lock type " + std::to_string(c.type) + " for " + std::to_string(c.timeout_ms) + " ms" +
                            result_suffix(c.result));
}

void Timeline::log(int64_t time, int prio, std::string_view tag, std::string_view function,
                   std::string_view message)
{
    if (!with_logs_)
        return;
    std::string text = std::string(priority_name(prio)) + " " + std::string(tag) + ": ";
    if (with_functions_)
        text += std::string(function) + " > ";
    line(time, "log", text + paths_.rewrite(message));
}

void Timeline::file_state(int64_t time, std::string_view path, bool present)
{
    line(time, "file", paths_.path(std::string(path).c_str()) + (present ? " is there" : " is not there"));
}

void Timeline::note(int64_t time, std::string_view text)
{
    line(time, "", "(" + std::string(text) + ")");
}

void Timeline::progress(int64_t time, int transaction_id, unsigned percent)
{
    Transfer &t = transfers_[transaction_id];
    t.percent = std::min(percent, 100u);
    bar(time, transaction_id, t, "");
}

void Timeline::bar(int64_t time, int id, const Transfer &t, std::string_view state)
{
    constexpr unsigned kWidth = 20;
    const unsigned filled = t.percent * kWidth / 100;
    char pct[8];
    std::snprintf(pct, sizeof pct, "%3u%%", t.percent);
    std::string text = "tx=" + std::to_string(id) + " [" + std::string(filled, '#') +
                       std::string(kWidth - filled, '.') + "] " + pct;
    if (!state.empty())
        text += "  " + std::string(state);
    if (!t.path.empty())
        text += "  " + paths_.rewrite(t.path);
    line(time, "file", text);
}

void Timeline::end_transfer(int64_t time, int id, int result)
{
    const auto it = transfers_.find(id);
    if (it == transfers_.end() || it->second.ended)
        return;
    Transfer &t = it->second;
    t.ended = true;
    t.result = result;
    if (result == 0)
        t.percent = 100;
    bar(time, id, t, result == 0 ? "received" : "failed (" + std::to_string(result) + ")");
}

void Timeline::finish(int64_t time)
{
    int total = 0;
    for (const auto &[type, count] : events_)
        total += count;
    line(time, "summary", "events: " + std::to_string(total));
    for (const auto &[type, count] : events_) {
        std::string text = "  " + with_name(event_type_name(type), type) + " " + std::to_string(count);
        if (type == CONSUMER_EVENT_POSITION_GPS && gps_errors_ > 0)
            text += ", " + std::to_string(gps_errors_) + " with an error";
        line(time, "", text);
    }

    line(time, "summary", "positions received: " + std::to_string(fixes_.fixes().size()));
    for (FixSource s : kFixSources) {
        const size_t n = fixes_.count(s);
        line(time, "", std::string("  ") + fix_source_name(s) + " " + std::to_string(n) +
                           (n > 1 ? " over " + distance_text(path_length_m(fixes_.fixes(), s)) : ""));
    }

    if (!transfers_.empty()) {
        line(time, "summary", "file transfers: " + std::to_string(transfers_.size()));
        for (const auto &[id, t] : transfers_) {
            std::string state = !t.ended         ? "still open at " + std::to_string(t.percent) + "%"
                                : t.result == 0 ? std::string("received")
                                                : "failed (" + std::to_string(t.result) + ")";
            line(time, "", "  tx=" + std::to_string(id) + " " + state);
        }
    }

    line(time, "summary", "waiting for an answer: " + std::to_string(waiting_.size()));
    for (const Waiting &w : waiting_)
        line(time, "", "  " + with_name(action_name(w.code), w.code) + " sent at " + std::to_string(w.sent) +
                           "s, no " + with_name(event_type_name(w.answer), w.answer) + " yet");
}

} // namespace lbs_sim
