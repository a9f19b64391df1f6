#include "lbs_sim_trace.h"

#include <dlog.h>

#include <cinttypes>
#include <cstring>

namespace lbs_sim {
namespace {

std::string fields_text(const std::vector<Field> &fields)
{
    std::string s;
    for (const Field &f : fields)
        s += " " + f.name + "=" + f.value;
    return s;
}

bool is(const char *name, const char *expected)
{
    return name != nullptr && std::strcmp(name, expected) == 0;
}

char priority_letter(int prio)
{
    switch (prio) {
    case DLOG_VERBOSE: return 'V';
    case DLOG_DEBUG: return 'D';
    case DLOG_INFO: return 'I';
    case DLOG_WARN: return 'W';
    case DLOG_ERROR: return 'E';
    case DLOG_FATAL: return 'F';
    default: return '?';
    }
}

} // namespace

TraceWriter::TraceWriter(std::FILE *out, PathStyle paths, bool with_logs, bool with_functions)
    : out_(out), paths_(std::move(paths)), with_logs_(with_logs || with_functions), with_functions_(with_functions)
{
}

void TraceWriter::line(int64_t time, std::string_view rest)
{
    std::fprintf(out_, "%" PRId64 " ", time);
    std::fwrite(rest.data(), 1, rest.size(), out_);
    std::fputc('\n', out_);
}

void TraceWriter::command(int64_t, const Command &)
{
    // Commands are not part of the trace.
}

void TraceWriter::returned(int64_t time, std::string_view, int value)
{
    line(time, "return " + std::to_string(value));
}

void TraceWriter::event(int64_t time, const lbs_consumer_event_s &ev)
{
    const DecodedEvent d = decode_event(ev, paths_);
    line(time, "event " + d.name + " error=" + std::to_string(d.error) + fields_text(d.fields));
    for (size_t i = 0; i < d.entries.size(); ++i)
        line(time, "entry " + std::to_string(i) + fields_text(d.entries[i]));
}

void TraceWriter::kov_call(int64_t time, const kov_ctl_call &c)
{
    const std::string agent = " agent=" + std::to_string(c.agent_id);
    if (is(c.name, "sendData"))
        line(time, "send kov " + std::string(c.text != nullptr ? c.text : "", c.length));
    else if (is(c.name, "registerServiceAgent"))
        line(time, "call registerServiceAgent");
    else if (is(c.name, "deRegisterServiceAgent"))
        line(time, "call deRegisterServiceAgent" + agent);
    else if (is(c.name, "findPeerAgent"))
        line(time, "call findPeerAgent" + agent);
    else if (is(c.name, "createServiceConnection"))
        line(time, "call createServiceConnection" + agent);
    else if (is(c.name, "rejectServiceConnection"))
        line(time, "call rejectServiceConnection");
    else if (is(c.name, "terminateServiceConnection"))
        line(time, "call terminateServiceConnection handle=" + std::to_string(c.service_handle));
    else if (is(c.name, "receiveFile"))
        line(time, "call receiveFile tx=" + std::to_string(c.transaction_id) + " path=" + paths_.path(c.text) +
                       " accept=" + std::to_string(c.accept));
}

void TraceWriter::bap_call(int64_t time, const bap_ctl_call &c)
{
    if (is(c.name, "bap_service_send_data"))
        line(time, "send bap " + std::string(c.text != nullptr ? c.text : "", c.length));
    else if (is(c.name, "bap_service_add"))
        line(time, "call bap_service_add name=" + std::string(c.text != nullptr ? c.text : "NULL"));
    else if (is(c.name, "bap_service_remove"))
        line(time, "call bap_service_remove");
    else if (is(c.name, "bap_service_file_transfer_receive"))
        line(time, "call bap_service_file_transfer_receive id=" + std::to_string(c.transfer_id) +
                       " path=" + paths_.path(c.text));
    else if (is(c.name, "bap_service_file_transfer_reject"))
        line(time, "call bap_service_file_transfer_reject id=" + std::to_string(c.transfer_id));
}

void TraceWriter::alarm(int64_t time, const alarmmgr_ctl_traffic &t)
{
    switch (t.what) {
    case ALARMMGR_CTL_ADD:
        line(time, "alarm add id=" + std::to_string(t.id) + " delay=" + std::to_string(t.delay) +
                       " interval=" + std::to_string(t.interval));
        break;
    case ALARMMGR_CTL_ADD_FAILED:
        line(time, "alarm add failed");
        break;
    case ALARMMGR_CTL_FIRE:
        line(time, "alarm fire id=" + std::to_string(t.id));
        break;
    case ALARMMGR_CTL_REMOVE:
        line(time, "alarm remove id=" + std::to_string(t.id));
        break;
    }
}

void TraceWriter::power_lock(int64_t time, const device_power_ctl_call &c)
{
    line(time, "call device_power_request_lock ms=" + std::to_string(c.timeout_ms));
}

void TraceWriter::log(int64_t time, int prio, std::string_view tag, std::string_view function,
                      std::string_view message)
{
    if (!with_logs_)
        return;
    std::string text = std::string("log ") + priority_letter(prio) + " " + std::string(tag) + " ";
    if (with_functions_)
        text += std::string(function) + " > ";
    line(time, text + paths_.rewrite(message));
}

void TraceWriter::file_state(int64_t time, std::string_view path, bool present)
{
    line(time, "file path=" + paths_.path(std::string(path).c_str()) + " present=" + (present ? "1" : "0"));
}

void TraceWriter::note(int64_t, std::string_view)
{
    // Remarks are for people; the trace has only what crossed a boundary.
}

} // namespace lbs_sim
