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
int g_handle = 0;
std::string g_text; // keeps an event's path alive during the callback

void send_event(int type, int method_or_ts, const char *path = nullptr)
{
    lbs_consumer_event_s ev;
    std::memset(&ev, 0, sizeof ev);
    ev.type = type;
    if (type == CONSUMER_EVENT_POSITION_GPS)
        ev.position.pos.timestamp = static_cast<uint32_t>(method_or_ts);
    else if (type == CONSUMER_EVENT_EXTRA_DATA)
        ev.file.path = path;
    else
        ev.session.method = method_or_ts;
    if (g_cb != nullptr)
        g_cb(&ev, g_ud);
}

gboolean stop_idle_cb(gpointer)
{
    send_event(CONSUMER_EVENT_STOP_SESSION, 0);
    return G_SOURCE_REMOVE;
}

gboolean start_idle_cb(gpointer)
{
    send_event(CONSUMER_EVENT_START_SESSION, 9);
    return G_SOURCE_REMOVE;
}

gboolean send_idle_cb(gpointer)
{
    sendData(g_handle, 169, 5, "hello");
    return G_SOURCE_REMOVE;
}

int position_alarm_cb(alarm_id_t id, void *)
{
    send_event(CONSUMER_EVENT_POSITION_GPS, id);
    g_idle_add(stop_idle_cb, nullptr);
    return 0;
}

void on_regi(int result, unsigned int agent)
{
    if (result != 0)
        return;
    send_event(CONSUMER_EVENT_PROVIDER_CONNECTED, 0);
    findPeerAgent(agent);
}

void on_peer(unsigned int agent, PeerAgent *peer, int status)
{
    if (status == 0)
        createServiceConnection(agent, peer);
}

void on_conn(unsigned int agent, int handle, PeerAgent *, int status)
{
    if (status != 0)
        return;
    g_handle = handle;
    send_event(CONSUMER_EVENT_CHANGE_INTERVAL, static_cast<int>(agent));
    g_idle_add(send_idle_cb, nullptr);
}

void on_data(int handle, unsigned short channel, unsigned int length, const void *buffer)
{
    g_text = std::to_string(handle) + "/" + std::to_string(channel) + "/" + std::to_string(length) + "/" +
             std::string(static_cast<const char *>(buffer), length);
    send_event(CONSUMER_EVENT_EXTRA_DATA, 0, g_text.c_str());
}

void on_send_file(int tx, const char *path, unsigned int)
{
    receiveFile(tx, path, 1);
}

int plugin_init(lbs_consumer_event_cb cb, void *ud)
{
    g_cb = cb;
    g_ud = ud;
    KOVNotification table{};
    table.on_regi_svc_agent_cfrm = on_regi;
    table.on_peer_agent_fnd = on_peer;
    table.on_svc_conn_cfrm = on_conn;
    table.on_data_ind = on_data;
    registerNotifications(table);
    file_transfer_notification ft{};
    ft.on_send_file = on_send_file;
    registerFTNotifications(ft);
    ChannelDesc channel{169, 2, 3, {0, 0, 0}};
    ServiceDesc service{};
    service.profile_id = "/test";
    service.service_name = "test";
    service.channels = &channel;
    service.channel_count = 1;
    registerServiceAgent(service);
    return 1;
}

int plugin_deinit(void *)
{
    g_cb = nullptr;
    return 1;
}

// 1: a position after tracking_req_info.interval seconds; 2: answered 7 at
// once and reported on the next turn of the loop.
int plugin_request(int action, void *data)
{
    if (action == CONSUMER_ACTION_START_SESSION) {
        if (data == nullptr)
            return 0;
        alarm_id_t id = 0;
        const int delay = static_cast<tracking_req_info *>(data)->interval;
        return alarmmgr_add_alarm_withcb(0, delay, 0, position_alarm_cb, nullptr, &id) == 0 ? 1 : 0;
    }
    if (action == CONSUMER_ACTION_STOP_SESSION) {
        g_idle_add(start_idle_cb, nullptr);
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
