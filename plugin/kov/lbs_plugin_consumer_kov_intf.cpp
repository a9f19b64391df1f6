// The first link's start and stop with the set-up and release of its state
// record, the registration of the service agent with the accessory
// framework, and the reports about the accessory link itself (device attach
// and detach, framework errors, the framework's connection keys).
#include "lbs_plugin_consumer_kov_intf_internal.h"

#include "../lbs_plugin_consumer_log.h"
#include "../lbs_plugin_consumer_utils.h"
#include "lbs_plugin_consumer_main.h"

#include <cstdlib>

namespace {

// A framework slot the link has no use for.
void _on_ignored_peer_agent_updated(unsigned int, PeerAgent *, int) {}

void _release_registration_tables(void)
{
    g_free(g_lbs_consumer->notification);
    g_lbs_consumer->notification = nullptr;
    g_free(g_lbs_consumer->channel_desc);
    g_lbs_consumer->channel_desc = nullptr;
    g_free(g_lbs_consumer->service_desc);
    g_lbs_consumer->service_desc = nullptr;
    g_free(g_lbs_consumer->ft_notification);
    g_lbs_consumer->ft_notification = nullptr;
}

// Bit 0 of the device type, or of the connection type key, is Bluetooth.
bool _is_bt(unsigned int type)
{
    return (type & KOV_DEVICE_TYPE_BT) != 0;
}

// The accessory link came up: report it when already registered, otherwise
// start afresh and register.
void _on_accessory_link_up(void)
{
    if (g_lbs_consumer->is_registered) {
        g_set_service_connection_status(1);
        return;
    }
    __lbs_plugin_consumer_data_init();
    __register_consumer();
}

} // namespace

// ---- start and stop ----

int kov_init(void)
{
    __lbs_plugin_consumer_data_init();
    if (isKovConnected() & 1) {
        if (__register_consumer() != 1)
            LBS_LOGE("Failed to __register_consumer");
    }
    setting_notify_key_changed(KOV_CONN_STATUS_KEY, on_kov_connection_status_changed, nullptr);
    setting_notify_key_changed(KOV_CONN_TYPE_KEY, on_kov_connection_status_changed, nullptr);
    return 1;
}

int kov_deinit(void)
{
    __deregister_consumer();
    g_set_service_connection_status(0);
    __lbs_plugin_consumer_data_deinit();
    setting_ignore_key_changed(KOV_CONN_STATUS_KEY, on_kov_connection_status_changed);
    setting_ignore_key_changed(KOV_CONN_TYPE_KEY, on_kov_connection_status_changed);
    return 1;
}

void __lbs_plugin_consumer_data_init(void)
{
    if (g_lbs_consumer == nullptr) {
        g_lbs_consumer = static_cast<lbs_plugin_consumer_s *>(calloc(1, sizeof(lbs_plugin_consumer_s)));
        if (g_lbs_consumer == nullptr) {
            LBS_LOGE("Failed to memory allocation, lbs_plugin_consumer_s");
            return;
        }
    }
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    // A fresh start. What an earlier registration or search still holds is
    // released rather than forgotten. Armed alarms and a scheduled flush are
    // only forgotten: they still fire once, find their id cleared, and a
    // request timer among them still answers the host. Nothing takes them
    // back later, the link's stop included.
    _release_registration_tables();
    kov_free_peer_agent(c->p_peer_agent);
    c->p_peer_agent = nullptr;
    kov_release_msg_list();
    c->connect_alarm_id = 0;
    c->find_peer_alarm_id = 0;
    c->pending_idle_id = 0;
    for (alarm_id_t &id : c->req_timer)
        id = 0;

    c->agent_id = 0;
    c->service_handle = 0;
    c->find_peer_retry_count = 0;
    c->connect_retry_count = 0;
    c->is_find_peer_working = 0;
    c->is_registered = 0;
    c->pos_refcnt = 0;
    c->exercise_refcnt = 0;
    c->is_requested_gps_extra_data = 0;
    c->current_state = KINETRA_STATE_STOPPED;
    c->last_cmd = KINETRA_CMD_STOP;
    c->gps_plus_req_id = -1;
    g_set_requested_map_image_data(0);
    g_set_ready_to_download_gps_extra_data_status(0);
    g_set_ready_to_download_here_map_image_status(0);
    g_set_service_connection_status(0);
}

void __lbs_plugin_consumer_data_deinit(void)
{
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (c == nullptr) {
        LBS_LOGE("g_lbs_consumer is NULL");
        return;
    }
    c->find_peer_retry_count = 0;
    c->connect_retry_count = 0;
    c->agent_id = 0;
    c->service_handle = 0;
    if (c->p_peer_agent == nullptr) {
        LBS_LOGE("p_peer_agent already free.");
    } else {
        kov_free_peer_agent(c->p_peer_agent);
        c->p_peer_agent = nullptr;
    }
    _release_registration_tables();
    kov_remove_alarm(&c->connect_alarm_id);
    kov_remove_alarm(&c->find_peer_alarm_id);
    for (alarm_id_t &id : c->req_timer)
        kov_remove_alarm(&id);
    c->is_registered = 0;
    c->is_ready_to_receive_gps_extra_data = 0;
    c->is_requested_gps_extra_data = 0;
    c->pos_refcnt = 0;
    c->exercise_refcnt = 0;
    c->is_find_peer_working = 0;
    c->gps_plus_req_id = -1;
    g_set_requested_map_image_data(0);
    if (c->pending_idle_id != 0) {
        g_source_remove(c->pending_idle_id);
        c->pending_idle_id = 0;
    }
    if (c->msg_list != nullptr) {
        LBS_LOGE("Flush msg list");
        kov_release_msg_list();
    }
    c->current_state = KINETRA_STATE_STOPPED;
    c->last_cmd = KINETRA_CMD_STOP;
}

// ---- registration ----

int __register_consumer(void)
{
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (c == nullptr) {
        LBS_LOGE("<< g_lbs_consumer is NULL");
        return 0;
    }
    if (c->is_registered) {
        LBS_LOGE("<< Consumer service already registered.");
        return 0;
    }

    auto *notification = static_cast<KOVNotification *>(g_try_malloc0(sizeof(KOVNotification)));
    if (notification == nullptr) {
        LBS_LOGE("Failed to memory allocation, KOVNotification");
        return 0;
    }
    notification->on_regi_svc_agent_cfrm = on_regi_svc_agent_cfrm;
    notification->on_data_ind = on_data_ind;
    notification->on_svc_conn_ind = on_svc_conn_ind;
    notification->on_svc_term_ind = on_svc_term_ind;
    notification->on_svc_conn_cfrm = on_svc_conn_cfrm;
    notification->on_peer_agent_fnd = on_peer_agent_fnd;
    notification->on_peer_agent_updated = _on_ignored_peer_agent_updated;
    notification->on_error = on_error;
    notification->on_deregi_svc_agent_cfrm = on_deregi_svc_agent_cfrm;
    notification->on_device_status = on_device_status;
    const int ret = registerNotifications(*notification);
    if (ret != 0) {
        LBS_LOGE("Failed to registerNotifications, [%d]", ret);
        g_free(notification);
        return 0;
    }

    // The file callbacks; without their table the link still works, it only
    // cannot take files.
    g_free(c->ft_notification);
    c->ft_notification =
        static_cast<file_transfer_notification *>(g_try_malloc0(sizeof(file_transfer_notification)));
    if (c->ft_notification != nullptr) {
        c->ft_notification->on_send_file = on_send_file;
        c->ft_notification->on_send_completed = on_send_completed;
        c->ft_notification->on_receive_completed = on_receive_completed;
        c->ft_notification->on_file_recv_progress = on_file_recv_progress;
        registerFTNotifications(*c->ft_notification);
    }

    auto *channel = static_cast<ChannelDesc *>(g_try_malloc0(sizeof(ChannelDesc)));
    if (channel == nullptr) {
        LBS_LOGE("Failed to memory allocation, ChannelDesc");
        g_free(notification);
        return 0;
    }
    channel->channel_id = LBS_KOV_CHANNEL_ID;
    channel->qos_type = 2;
    channel->qos_data_rate = 3;

    auto *service = static_cast<ServiceDesc *>(g_try_malloc0(sizeof(ServiceDesc)));
    if (service == nullptr) {
        LBS_LOGE("Failed to memory allocation, ServiceDesc");
        g_free(channel);
        g_free(notification);
        return 0;
    }
    service->profile_id = LBS_KOV_PROFILE_ID;
    service->service_name = LBS_KOV_SERVICE_NAME;
    service->role = 1;
    service->version = 1;
    service->channels = channel;
    service->channel_count = 1;

    const int reg = registerServiceAgent(*service);
    if (reg != 0) {
        LBS_LOGE("Failed to registerServiceAgent, [%d]", reg);
        g_free(notification);
        g_free(service);
        g_free(channel);
        return 0;
    }

    g_free(c->notification);
    g_free(c->channel_desc);
    g_free(c->service_desc);
    c->notification = notification;
    c->channel_desc = channel;
    c->service_desc = service;
    c->is_registered = 1;
    return 1;
}

void on_regi_svc_agent_cfrm(int result, unsigned int local_agent_id)
{
    switch (result) {
    case KOV_RESULT_SUCCESS:
        LBS_LOGE("RESULT_SUCCESS, localAgentID [%u]", local_agent_id);
        if (g_lbs_consumer == nullptr)
            return;
        g_lbs_consumer->agent_id = local_agent_id;
        g_set_service_connection_status(1);
        __lbs_plugin_consumer_find_peer_agent(local_agent_id);
        break;
    case KOV_RESULT_TIMEOUT: LBS_LOGE("RESULT_TIMEOUT"); break;
    case KOV_RESULT_FAILURE: LBS_LOGE("RESULT_FAILURE"); break;
    case KOV_RESULT_INPROGRESS: LBS_LOGE("RESULT_INPROGRESS"); break;
    default: LBS_LOGE("UNKNOWN ERROR STATUS CODE [ %d ]", result); break;
    }
}

void on_error(unsigned int local_agent_id, int error_code)
{
    (void)local_agent_id;
    if (error_code == KOV_ERROR_UNKNOWN_REASON)
        LBS_LOGE("UNKNOWN_REASON");
    else if (error_code == KOV_ERROR_IPC_DISCONNECTED)
        LBS_LOGE("KOV_ERROR_IPC_DISCONNECTED");
    else
        LBS_LOGE("KOV unknown error");
    g_set_service_connection_status(0);
}

void on_device_status(unsigned int device_type, int status)
{
    if (status == KOV_DEVICE_DETACHED) {
        LBS_LOGE("dev_type [%d], DEVICE DETACHED", static_cast<int>(device_type));
        if (_is_bt(device_type))
            __deregister_consumer();
    } else if (status == KOV_DEVICE_ATTACHED) {
        LBS_LOGE("dev_type [%d], DEVICE ATTACHED", static_cast<int>(device_type));
        if (_is_bt(device_type)) {
            if (g_lbs_consumer == nullptr) {
                LBS_LOGE("g_lbs_consumer is NULL");
                return;
            }
            _on_accessory_link_up();
        }
    } else {
        LBS_LOGE("dev_type [%d], unknown status [%d]", static_cast<int>(device_type), status);
    }
}

void on_kov_connection_status_changed(keynode_t *node, void *user_data)
{
    (void)node;
    (void)user_data;
    int status = 0;
    int type = 0;
    if (vconf_get_int(KOV_CONN_STATUS_KEY, &status) != 0) {
        LBS_LOGW("KOV_CONNECTION_STATUS get failed");
        status = 0;
    }
    if (vconf_get_int(KOV_CONN_TYPE_KEY, &type) != 0) {
        LBS_LOGW("KOV_CONNECTION_TYPE get failed");
        type = 0;
    }
    LBS_LOGE("KOV CONN STATUS [%d]/ KOV CONN TYPE [%d]", status, type);

    if (g_lbs_consumer == nullptr) {
        LBS_LOGE("g_lbs_consumer is NULL. Initialized incorrectly.");
        return;
    }
    const bool bt = _is_bt(static_cast<unsigned int>(type));
    if (status == 1 && bt) {
        _on_accessory_link_up();
    } else if (status == 1) {
        LBS_LOGE("KOV connection type is not BT");
        __deregister_consumer();
    } else if (status == 0 && !bt) {
        LBS_LOGE("KOV disconnected");
        __deregister_consumer();
    }
}

// ---- de-registration ----

int __deregister_consumer(void)
{
    if (g_lbs_consumer == nullptr) {
        LBS_LOGE("<< g_lbs_consumer is NULL");
        return 0;
    }
    if (g_lbs_consumer->is_registered) {
        const int ret = deRegisterServiceAgent(g_lbs_consumer->agent_id);
        if (ret != 0)
            LBS_LOGE("deRegisterServiceAgent FAILED [%d]", ret);
    }
    deregisterNotifications();
    return 1;
}

void on_deregi_svc_agent_cfrm(int result)
{
    switch (result) {
    case KOV_RESULT_SUCCESS:
        if (g_lbs_consumer != nullptr) {
            g_free(g_lbs_consumer->channel_desc);
            g_lbs_consumer->channel_desc = nullptr;
            g_free(g_lbs_consumer->service_desc);
            g_lbs_consumer->service_desc = nullptr;
            g_lbs_consumer->is_registered = 0;
        }
        break;
    case KOV_RESULT_TIMEOUT: LBS_LOGE("RESULT_TIMEOUT"); break;
    case KOV_RESULT_FAILURE: LBS_LOGE("RESULT_FAILURE"); break;
    case KOV_RESULT_INPROGRESS: LBS_LOGE("RESULT_INPROGRESS"); break;
    default: LBS_LOGE("UNKNOWN"); break;
    }

    if (isKovConnected() & 1) {
        g_set_service_connection_status(1);
    } else {
        g_set_service_connection_status(0);
        g_set_real_service_connection_status(0);
    }
    __lbs_plugin_consumer_data_deinit();
}
