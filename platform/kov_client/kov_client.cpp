#include "kov_client.h"
#include "kov_client_control.h"

#include <glib.h>

#include <array>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <string_view>

#if defined(__SIZEOF_POINTER__) && __SIZEOF_POINTER__ == 4
static_assert(sizeof(ServiceDesc) == 32, "ServiceDesc");
static_assert(sizeof(PeerAgent) == 36, "PeerAgent");
#endif
static_assert(sizeof(ChannelDesc) == 20, "ChannelDesc");
static_assert(sizeof(KOVNotification) == 14 * sizeof(void (*)(void)), "KOVNotification");

namespace {

// The calls whose result the control side sets.
constexpr std::array<std::string_view, 11> kResultCalls = {
    "registerNotifications",   "deregisterNotifications",   "registerFTNotifications",
    "registerServiceAgent",    "deRegisterServiceAgent",    "findPeerAgent",
    "createServiceConnection", "rejectServiceConnection",   "terminateServiceConnection",
    "sendData",                "receiveFile",
};

bool is_result_call(std::string_view name)
{
    for (std::string_view c : kResultCalls)
        if (c == name)
            return true;
    return false;
}

enum class AnswerKind { RegiCfrm, PeerFound, ConnCfrm, TermInd, DeregiCfrm };

struct Answer {
    AnswerKind kind;
    unsigned int agent_id;
    int service_handle;
};

struct StoredCall {
    kov_ctl_call view{};
    std::string text;
    std::string profile_id;
};

struct Framework {
    int connected = 0;
    bool auto_mode = false;
    std::map<std::string, int, std::less<>> results;

    std::deque<StoredCall> calls; // deque: views stay put as calls are added

    bool has_table = false;
    bool table_active = false;
    KOVNotification table{};
    bool has_ft_table = false;
    file_transfer_notification ft_table{};

    bool has_service = false;
    std::string service_profile;
    std::string service_name;
    ServiceDesc service{};
    ChannelDesc service_channel{};

    unsigned int agent_id = 0;
    unsigned int last_find_agent_id = 0;
    int service_handle = 0;
    int last_offer_tx = 0;

    std::deque<Answer> answers;
    guint answer_source = 0;

    kov_ctl_observer observer = nullptr;
    void *observer_data = nullptr;
};

Framework &fw()
{
    static Framework f;
    return f;
}

int result_of(std::string_view name)
{
    const Framework &f = fw();
    auto it = f.results.find(name);
    return it != f.results.end() ? it->second : 0;
}

// Records a call with the result the control side chose, tells the observer
// and hands back the result.
int record(kov_ctl_call call, const char *text = nullptr, size_t text_len = 0, const char *profile = nullptr)
{
    Framework &f = fw();
    call.result = result_of(call.name);
    StoredCall &s = f.calls.emplace_back();
    if (text != nullptr) {
        s.text.assign(text, text_len);
        call.text = s.text.c_str();
    }
    if (profile != nullptr) {
        s.profile_id = profile;
        call.profile_id = s.profile_id.c_str();
    }
    s.view = call;
    if (f.observer != nullptr)
        f.observer(&s.view, f.observer_data);
    return call.result;
}

void set_peer(kov_ctl_call &call, const PeerAgent *peer)
{
    call.has_peer = peer != nullptr;
    if (peer != nullptr) {
        call.peer_device_id = peer->PeerDeviceID;
        call.peer_agent_id = peer->PeerAgentId;
    }
}

gboolean deliver_answer_cb(gpointer)
{
    Framework &f = fw();
    if (f.answers.empty()) {
        f.answer_source = 0;
        return G_SOURCE_REMOVE;
    }
    const Answer a = f.answers.front();
    f.answers.pop_front();
    PeerAgent peer;
    switch (a.kind) {
    case AnswerKind::RegiCfrm:
        kov_ctl_on_regi_svc_agent_cfrm(KOV_RESULT_SUCCESS, 1);
        break;
    case AnswerKind::PeerFound:
        kov_ctl_standard_peer(&peer);
        kov_ctl_on_peer_agent_fnd(a.agent_id, &peer, KOV_PEER_AGENT_FOUND);
        break;
    case AnswerKind::ConnCfrm:
        kov_ctl_standard_peer(&peer);
        kov_ctl_on_svc_conn_cfrm(a.agent_id, 1, &peer, KOV_CONNECTION_SUCCESS);
        break;
    case AnswerKind::TermInd:
        kov_ctl_on_svc_term_ind(a.service_handle, KOV_CONNECTION_LOST_PEER_DISCONNECTED);
        break;
    case AnswerKind::DeregiCfrm:
        kov_ctl_on_deregi_svc_agent_cfrm(KOV_RESULT_SUCCESS);
        break;
    }
    // The answer's callback may have queued more; each gets a turn of its own.
    if (!f.answers.empty())
        return G_SOURCE_CONTINUE;
    f.answer_source = 0;
    return G_SOURCE_REMOVE;
}

// In auto mode an accepted call gets its answer on a later turn of the main
// loop, never from inside the call.
void answer_later(int result, Answer answer)
{
    Framework &f = fw();
    if (!f.auto_mode || result != 0)
        return;
    f.answers.push_back(answer);
    if (f.answer_source == 0)
        f.answer_source = g_idle_add(deliver_answer_cb, nullptr);
}

char g_peer_ale_name[16];
char g_peer_aspid[16];
char g_peer_profile_version[16];

} // namespace

// ---- The framework calls ----------------------------------------------------

extern "C" int isKovConnected(void)
{
    return fw().connected;
}

extern "C" int registerNotifications(KOVNotification notification)
{
    kov_ctl_call call{};
    call.name = "registerNotifications";
    const int result = record(call);
    if (result == 0) {
        Framework &f = fw();
        f.table = notification;
        f.has_table = true;
        f.table_active = true;
    }
    return result;
}

extern "C" int deregisterNotifications(void)
{
    kov_ctl_call call{};
    call.name = "deregisterNotifications";
    const int result = record(call);
    if (result == 0)
        fw().table_active = false;
    return result;
}

extern "C" int registerFTNotifications(file_transfer_notification notification)
{
    kov_ctl_call call{};
    call.name = "registerFTNotifications";
    const int result = record(call);
    if (result == 0) {
        fw().ft_table = notification;
        fw().has_ft_table = true;
    }
    return result;
}

extern "C" int registerServiceAgent(ServiceDesc service_desc)
{
    kov_ctl_call call{};
    call.name = "registerServiceAgent";
    const bool has_channel = service_desc.channels != nullptr && service_desc.channel_count > 0;
    if (has_channel)
        call.channel_id = service_desc.channels[0].channel_id;
    const char *name = service_desc.service_name;
    const int result = record(call, name, name != nullptr ? std::strlen(name) : 0, service_desc.profile_id);

    Framework &f = fw();
    f.has_service = true;
    f.service_profile = service_desc.profile_id != nullptr ? service_desc.profile_id : "";
    f.service_name = name != nullptr ? name : "";
    f.service_channel = has_channel ? service_desc.channels[0] : ChannelDesc{};
    f.service = service_desc;
    f.service.profile_id = service_desc.profile_id != nullptr ? f.service_profile.c_str() : nullptr;
    f.service.service_name = name != nullptr ? f.service_name.c_str() : nullptr;
    f.service.channels = has_channel ? &f.service_channel : nullptr;

    answer_later(result, {AnswerKind::RegiCfrm, 0, 0});
    return result;
}

extern "C" int deRegisterServiceAgent(unsigned int local_agent_id)
{
    kov_ctl_call call{};
    call.name = "deRegisterServiceAgent";
    call.agent_id = local_agent_id;
    const int result = record(call);
    answer_later(result, {AnswerKind::DeregiCfrm, local_agent_id, 0});
    return result;
}

extern "C" int findPeerAgent(unsigned int local_agent_id)
{
    kov_ctl_call call{};
    call.name = "findPeerAgent";
    call.agent_id = local_agent_id;
    fw().last_find_agent_id = local_agent_id;
    const int result = record(call);
    answer_later(result, {AnswerKind::PeerFound, local_agent_id, 0});
    return result;
}

extern "C" int createServiceConnection(unsigned int local_agent_id, PeerAgent *peer_agent)
{
    kov_ctl_call call{};
    call.name = "createServiceConnection";
    call.agent_id = local_agent_id;
    set_peer(call, peer_agent);
    const int result = record(call);
    answer_later(result, {AnswerKind::ConnCfrm, local_agent_id, 0});
    return result;
}

extern "C" int rejectServiceConnection(unsigned int local_agent_id, unsigned int connection_id,
                                       PeerAgent *peer_agent)
{
    kov_ctl_call call{};
    call.name = "rejectServiceConnection";
    call.agent_id = local_agent_id;
    call.connection_id = connection_id;
    set_peer(call, peer_agent);
    return record(call);
}

extern "C" int terminateServiceConnection(int service_handle)
{
    kov_ctl_call call{};
    call.name = "terminateServiceConnection";
    call.service_handle = service_handle;
    const int result = record(call);
    answer_later(result, {AnswerKind::TermInd, 0, service_handle});
    return result;
}

extern "C" int sendData(int service_handle, unsigned short channel_id, unsigned int length, const void *data)
{
    kov_ctl_call call{};
    call.name = "sendData";
    call.service_handle = service_handle;
    call.channel_id = channel_id;
    call.length = data != nullptr ? length : 0;
    return record(call, static_cast<const char *>(data), call.length);
}

extern "C" int receiveFile(int transaction_id, const char *file_path, int accept)
{
    kov_ctl_call call{};
    call.name = "receiveFile";
    call.transaction_id = transaction_id;
    call.accept = accept;
    return record(call, file_path, file_path != nullptr ? std::strlen(file_path) : 0);
}

// ---- Control ------------------------------------------------------------------

extern "C" void kov_ctl_set_observer(kov_ctl_observer observer, void *user_data)
{
    fw().observer = observer;
    fw().observer_data = user_data;
}

extern "C" void kov_ctl_reset(void)
{
    Framework &f = fw();
    if (f.answer_source != 0)
        g_source_remove(f.answer_source);
    kov_ctl_observer observer = f.observer;
    void *observer_data = f.observer_data;
    f = Framework{};
    f.observer = observer;
    f.observer_data = observer_data;
}

extern "C" void kov_ctl_set_connected(int value)
{
    fw().connected = value;
}

extern "C" void kov_ctl_set_auto(int on)
{
    fw().auto_mode = on != 0;
}

extern "C" int kov_ctl_set_result(const char *name, int result)
{
    if (name == nullptr || !is_result_call(name))
        return 0;
    fw().results[name] = result;
    return 1;
}

extern "C" int kov_ctl_is_call_name(const char *name)
{
    return name != nullptr && is_result_call(name) ? 1 : 0;
}

extern "C" size_t kov_ctl_call_count(void)
{
    return fw().calls.size();
}

extern "C" const kov_ctl_call *kov_ctl_call_at(size_t index)
{
    return index < fw().calls.size() ? &fw().calls[index].view : nullptr;
}

extern "C" size_t kov_ctl_count_calls(const char *name)
{
    size_t n = 0;
    for (const StoredCall &c : fw().calls)
        if (name != nullptr && std::strcmp(c.view.name, name) == 0)
            ++n;
    return n;
}

extern "C" int kov_ctl_get_notifications(KOVNotification *out)
{
    const Framework &f = fw();
    if (out != nullptr && f.has_table)
        *out = f.table;
    return f.table_active ? 1 : 0;
}

extern "C" int kov_ctl_get_ft_notifications(file_transfer_notification *out)
{
    const Framework &f = fw();
    if (out != nullptr && f.has_ft_table)
        *out = f.ft_table;
    return f.has_ft_table ? 1 : 0;
}

extern "C" int kov_ctl_get_service_desc(ServiceDesc *desc, ChannelDesc *channel)
{
    const Framework &f = fw();
    if (!f.has_service)
        return 0;
    if (desc != nullptr)
        *desc = f.service;
    if (channel != nullptr)
        *channel = f.service_channel;
    return 1;
}

extern "C" unsigned int kov_ctl_agent_id(void)
{
    return fw().agent_id;
}

extern "C" unsigned int kov_ctl_last_find_agent_id(void)
{
    return fw().last_find_agent_id;
}

extern "C" int kov_ctl_service_handle(void)
{
    return fw().service_handle;
}

extern "C" int kov_ctl_last_offer_transaction_id(void)
{
    return fw().last_offer_tx;
}

extern "C" void kov_ctl_standard_peer(PeerAgent *out)
{
    if (out == nullptr)
        return;
    // Rewritten every time, so that a callback that scribbled on the texts
    // does not change what the next one sees.
    g_strlcpy(g_peer_ale_name, "provider", sizeof g_peer_ale_name);
    g_strlcpy(g_peer_aspid, "aspid", sizeof g_peer_aspid);
    g_strlcpy(g_peer_profile_version, "1.0", sizeof g_peer_profile_version);
    *out = PeerAgent{};
    out->PeerDeviceID = 1;
    out->PeerAgentId = 2;
    out->ALEName = g_peer_ale_name;
    out->ASPID = g_peer_aspid;
    out->ProfileVersion = g_peer_profile_version;
}

// ---- Deliveries -----------------------------------------------------------------

namespace {

// Calls slot of the registered table, if the table and the slot are there.
template <typename Fn, typename... Args> int deliver(Fn KOVNotification::*slot, Args... args)
{
    const Framework &f = fw();
    if (!f.has_table || f.table.*slot == nullptr)
        return 0;
    Fn fn = f.table.*slot; // copied: the callback may register another table
    fn(args...);
    return 1;
}

template <typename Fn, typename... Args> int deliver_ft(Fn file_transfer_notification::*slot, Args... args)
{
    const Framework &f = fw();
    if (!f.has_ft_table || f.ft_table.*slot == nullptr)
        return 0;
    Fn fn = f.ft_table.*slot;
    fn(args...);
    return 1;
}

} // namespace

extern "C" int kov_ctl_on_regi_svc_agent_cfrm(int result, unsigned int local_agent_id)
{
    if (result == KOV_RESULT_SUCCESS)
        fw().agent_id = local_agent_id;
    return deliver(&KOVNotification::on_regi_svc_agent_cfrm, result, local_agent_id);
}

extern "C" int kov_ctl_on_data_ind(int service_handle, unsigned short channel_id, unsigned int length,
                                   const void *buffer)
{
    return deliver(&KOVNotification::on_data_ind, service_handle, channel_id, length, buffer);
}

extern "C" int kov_ctl_on_svc_conn_ind(unsigned int local_agent_id, unsigned int connection_id,
                                       PeerAgent *peer_agent)
{
    return deliver(&KOVNotification::on_svc_conn_ind, local_agent_id, connection_id, peer_agent);
}

extern "C" int kov_ctl_on_svc_term_ind(int service_handle, int status)
{
    return deliver(&KOVNotification::on_svc_term_ind, service_handle, status);
}

extern "C" int kov_ctl_on_svc_conn_cfrm(unsigned int local_agent_id, int service_handle, PeerAgent *peer_agent,
                                        int status)
{
    if (status == KOV_CONNECTION_SUCCESS || status == KOV_CONNECTION_ALREADY_EXIST)
        fw().service_handle = service_handle;
    return deliver(&KOVNotification::on_svc_conn_cfrm, local_agent_id, service_handle, peer_agent, status);
}

extern "C" int kov_ctl_on_peer_agent_fnd(unsigned int local_agent_id, PeerAgent *peer_agent, int status)
{
    return deliver(&KOVNotification::on_peer_agent_fnd, local_agent_id, peer_agent, status);
}

extern "C" int kov_ctl_on_peer_agent_updated(unsigned int local_agent_id, PeerAgent *peer_agent, int status)
{
    return deliver(&KOVNotification::on_peer_agent_updated, local_agent_id, peer_agent, status);
}

extern "C" int kov_ctl_on_error(unsigned int local_agent_id, int error_code)
{
    return deliver(&KOVNotification::on_error, local_agent_id, error_code);
}

extern "C" int kov_ctl_on_deregi_svc_agent_cfrm(int result)
{
    return deliver(&KOVNotification::on_deregi_svc_agent_cfrm, result);
}

extern "C" int kov_ctl_on_device_status(unsigned int device_type, int status)
{
    return deliver(&KOVNotification::on_device_status, device_type, status);
}

extern "C" int kov_ctl_on_send_file(int transaction_id, const char *file_path, unsigned int agent_id)
{
    fw().last_offer_tx = transaction_id;
    return deliver_ft(&file_transfer_notification::on_send_file, transaction_id, file_path, agent_id);
}

extern "C" int kov_ctl_on_send_completed(int transaction_id, const char *file_path, int result)
{
    return deliver_ft(&file_transfer_notification::on_send_completed, transaction_id, file_path, result);
}

extern "C" int kov_ctl_on_receive_completed(int transaction_id, const char *file_path, int result)
{
    return deliver_ft(&file_transfer_notification::on_receive_completed, transaction_id, file_path, result);
}

extern "C" int kov_ctl_on_file_recv_progress(int transaction_id, unsigned int percent, unsigned int agent_id)
{
    return deliver_ft(&file_transfer_notification::on_file_recv_progress, transaction_id, percent, agent_id);
}
