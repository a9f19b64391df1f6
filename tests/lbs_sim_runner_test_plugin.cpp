// A stand-in plugin for the runner's tests: just enough behaviour to show
// when the runner dispatches the main loop, moves the clock and plays the
// framework's side. Loaded with dlopen like the real plugin.
#include <alarmmgr.h>
#include <kov_client.h>
#include <lbs_consumer_plugin.h>

#include <glib.h>

#include <cstring>
#include <string>

namespace {

lbs_consumer_event_cb g_cb = nullptr;
void *g_ud = nullptr;
std::string g_text; // keeps an event's path alive during the callback

// An event of the type with its method, or its file path.
void send_event(int type, int method, const char *path = nullptr)
{
    lbs_consumer_event_s ev;
    std::memset(&ev, 0, sizeof ev);
    ev.type = type;
    if (type == CONSUMER_EVENT_EXTRA_DATA)
        ev.file.path = path;
    else
        ev.session.method = method;
    if (g_cb != nullptr)
        g_cb(&ev, g_ud);
}

// An event of the type, with method 9, on the next turn of the main loop.
void event_later(int type)
{
    const GSourceFunc send = [](gpointer t) -> gboolean {
        send_event(GPOINTER_TO_INT(t), 9);
        return G_SOURCE_REMOVE;
    };
    g_idle_add(send, GINT_TO_POINTER(type));
}

// A STOP_SESSION event with the alarm's id as it fires, then a START_SESSION one.
int session_alarm_cb(alarm_id_t id, void *)
{
    send_event(CONSUMER_EVENT_STOP_SESSION, id);
    event_later(CONSUMER_EVENT_START_SESSION);
    return 0;
}

int plugin_init(lbs_consumer_event_cb cb, void *ud)
{
    g_cb = cb;
    g_ud = ud;
    // The framework's answers carried on as the real plugin does: registered,
    // look for the peer; found, connect; connected, report and send; data and
    // file offers reported or accepted.
    KOVNotification t{};
    t.on_regi_svc_agent_cfrm = [](int result, unsigned int agent) {
        if (result != 0)
            return;
        send_event(CONSUMER_EVENT_PROVIDER_CONNECTED, 0);
        findPeerAgent(agent);
    };
    t.on_peer_agent_fnd = [](unsigned int agent, PeerAgent *peer, int status) {
        if (status == 0)
            createServiceConnection(agent, peer);
    };
    t.on_svc_conn_cfrm = [](unsigned int agent, int handle, PeerAgent *, int status) {
        if (status != 0)
            return;
        send_event(CONSUMER_EVENT_CHANGE_INTERVAL, static_cast<int>(agent));
        sendData(handle, 169, 5, "hello, phone"); // the first five bytes
    };
    t.on_data_ind = [](int handle, unsigned short channel, unsigned int length, const void *buffer) {
        g_text = std::to_string(handle) + "/" + std::to_string(channel) + "/" + std::to_string(length) + "/" +
                 std::string(static_cast<const char *>(buffer), length);
        send_event(CONSUMER_EVENT_EXTRA_DATA, 0, g_text.c_str());
    };
    registerNotifications(t);
    file_transfer_notification ft{};
    ft.on_send_file = [](int tx, const char *path, unsigned int) { receiveFile(tx, path, 1); };
    registerFTNotifications(ft);
    registerServiceAgent(ServiceDesc{});
    return 1;
}

int plugin_deinit(void *)
{
    g_cb = nullptr;
    return 1;
}

// START_SESSION: an alarm due after tracking_req_info.interval seconds.
// STOP_SESSION: answered 7 at once, then a START_SESSION event.
int plugin_request(int action, void *data)
{
    if (action == CONSUMER_ACTION_START_SESSION) {
        if (data == nullptr)
            return 0;
        alarm_id_t id = 0;
        const int delay = static_cast<tracking_req_info *>(data)->interval;
        return alarmmgr_add_alarm_withcb(0, delay, 0, session_alarm_cb, nullptr, &id) == 0 ? 1 : 0;
    }
    if (action == CONSUMER_ACTION_STOP_SESSION) {
        event_later(CONSUMER_EVENT_START_SESSION);
        return 7;
    }
    return 0;
}

const lbs_consumer_plugin_interface_s kOps = {plugin_init, plugin_deinit, plugin_request};

} // namespace

extern "C" __attribute__((visibility("default"))) const lbs_consumer_plugin_interface_s *
get_lbs_consumer_plugin_interface(void)
{
    return &kOps;
}
