#include "lbs_sim_timeline.h"

#include <dlog.h>

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

} // namespace

Timeline::Timeline(std::FILE *out, PathStyle paths, bool with_logs)
    : out_(out), paths_(std::move(paths)), with_logs_(with_logs)
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
}

void Timeline::returned(int64_t time, std::string_view what, int value)
{
    line(time, "host", std::string(what) + " returned " + std::to_string(value));
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

void Timeline::log(int64_t time, int prio, std::string_view tag, std::string_view message)
{
    if (!with_logs_)
        return;
    line(time, "log", std::string(priority_name(prio)) + " " + std::string(tag) + ": " + paths_.rewrite(message));
}

void Timeline::note(int64_t time, std::string_view text)
{
    line(time, "", "(" + std::string(text) + ")");
}

} // namespace lbs_sim
