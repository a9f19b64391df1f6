/*
 * Inside the first link's transport: the state record with the small
 * internals that every file uses on it (alarms, the peer agent copy, the
 * pending list), and the functions the transport's files call on one another.
 * Only lbs_plugin_consumer_kov_intf*.cpp and the tests include this.
 *
 * The record and its internals live here, and its accessors and usage counts
 * in files of their own, so that the files of the procedures call down into
 * them and never back into the start and registration for them.
 *
 * Files:
 *   lbs_plugin_consumer_kov_intf.cpp           start and stop, registration, device reports
 *   lbs_plugin_consumer_kov_intf_state.cpp     accessors of the state record
 *   lbs_plugin_consumer_kov_intf_refcnt.cpp    usage counts
 *   lbs_plugin_consumer_kov_intf_connection.cpp peer search, service connection, retries, release
 *   lbs_plugin_consumer_kov_intf_send.cpp      send path and pending queue
 *   lbs_plugin_consumer_kov_intf_receive.cpp   receive path and the six request timers
 *   lbs_plugin_consumer_kov_intf_file.cpp      file reception
 *   lbs_plugin_consumer_kov_intf_exercise.cpp  exercise session
 */
#ifndef LBS_PLUGIN_CONSUMER_KOV_INTF_INTERNAL_H
#define LBS_PLUGIN_CONSUMER_KOV_INTF_INTERNAL_H

#include "lbs_plugin_consumer_kov_intf.h"

#include "../lbs_plugin_consumer_common.h"
#include "lbs_plugin_consumer_json_parser.h"

#include <alarmmgr.h>
#include <glib.h>
#include <kov_client.h>
#include <vconf.h>

/* Accessory link keys. */
#define KOV_CONN_STATUS_KEY "memory/private/kov/conn_status" /* 1 connected */
#define KOV_CONN_TYPE_KEY "memory/private/kov/conn_type"     /* bit 0: Bluetooth */

#define LBS_KOV_PROFILE_ID "/system/lbs-server"
#define LBS_KOV_SERVICE_NAME "lbs-server"
#define LBS_KOV_CHANNEL_ID 169
#define LBS_KOV_MAX_MSG_LENGTH 65531
#define LBS_POWER_LOCK_MS 1000

/* Retry ladders: the n-th retry waits step * n seconds, up to max retries. */
#define LBS_FIND_PEER_MAX_RETRY 7
#define LBS_FIND_PEER_RETRY_STEP 2
#define LBS_CONNECT_MAX_RETRY 15
#define LBS_CONNECT_RETRY_STEP 3

/* The link's state. One instance, created by the first
 * __lbs_plugin_consumer_data_init and kept for the process's lifetime. */
typedef struct lbs_plugin_consumer_s {
    ServiceDesc *service_desc;                /* owned; NULL when not registered */
    ChannelDesc *channel_desc;                /* owned; the channel inside service_desc */
    KOVNotification *notification;           /* owned */
    file_transfer_notification *ft_notification; /* owned */
    PeerAgent *p_peer_agent;                  /* owned copy of the peer found last, texts owned */
    unsigned int agent_id;                    /* local service agent; 0 none */
    int service_handle;
    int find_peer_retry_count;
    int connect_retry_count;
    alarm_id_t connect_alarm_id;              /* pending connection retry; 0 none */
    alarm_id_t find_peer_alarm_id;            /* pending peer-search retry; 0 none */
    guint pending_idle_id;                    /* scheduled flush; 0 none */
    int is_find_peer_working;
    int is_registered;
    int service_connection_status;            /* availability as last told to the host */
    int real_service_connection_status;       /* a service connection exists */
    int is_ready_to_receive_gps_extra_data;   /* the phone announced the assistance file */
    int is_requested_gps_extra_data;          /* an assistance request is outstanding */
    int gps_plus_req_id;                      /* its request id; -1 none */
    int is_ready_to_receive_here_map_image;   /* the phone announced the map image */
    int is_requested_map_image_data;          /* a map request is outstanding */
    int current_state;                        /* lbs_kinetra_state_e */
    int last_cmd;                             /* last state-changing exercise command */
    int pos_refcnt;
    int exercise_refcnt;
    GList *msg_list;                          /* owned texts waiting for the connection */
    alarm_id_t req_timer[REQ_TIMER_TYPE_MAX]; /* by lbs_req_timer_type_e; 0 not armed */
} lbs_plugin_consumer_s;

inline lbs_plugin_consumer_s *g_lbs_consumer = nullptr;

/* Arms a one-shot alarm of delay seconds with the state record as user data.
 * 0 armed (*alarm_id set), otherwise the alarm manager's result. */
inline int kov_add_oneshot_alarm(int delay, alarm_cb_t callback, alarm_id_t *alarm_id)
{
    return alarmmgr_add_alarm_withcb(ALARM_TYPE_DEFAULT, delay, 0, callback, g_lbs_consumer, alarm_id);
}

/* Removes the alarm when *alarm_id is set and clears the id. */
inline void kov_remove_alarm(alarm_id_t *alarm_id)
{
    if (*alarm_id == 0)
        return;
    alarmmgr_remove_alarm(*alarm_id);
    *alarm_id = 0;
}

/* Releases a peer agent copy and its texts; NULL is accepted. */
inline void kov_free_peer_agent(PeerAgent *peer)
{
    if (peer == nullptr)
        return;
    g_free(peer->ALEName);
    g_free(peer->ASPID);
    g_free(peer->ProfileVersion);
    g_free(peer);
}

/* Releases msg_list with its texts and sets it to NULL. */
inline void kov_release_msg_list(void)
{
    if (g_lbs_consumer == nullptr)
        return;
    g_list_free_full(g_lbs_consumer->msg_list, g_free);
    g_lbs_consumer->msg_list = nullptr;
}

/* ---- state record, registration, device reports ---- */
void __lbs_plugin_consumer_data_init(void);
void __lbs_plugin_consumer_data_deinit(void);
int __register_consumer(void);
int __deregister_consumer(void);
void on_regi_svc_agent_cfrm(int result, unsigned int local_agent_id);
void on_error(unsigned int local_agent_id, int error_code);
void on_deregi_svc_agent_cfrm(int result);
void on_device_status(unsigned int device_type, int status);
void on_kov_connection_status_changed(keynode_t *node, void *user_data);


/* ---- peer search and service connection ---- */
void __lbs_plugin_consumer_find_peer_agent(unsigned int agent_id);
void on_peer_agent_fnd(unsigned int local_agent_id, PeerAgent *peer_agent, int status);
void on_svc_conn_cfrm(unsigned int local_agent_id, int service_handle, PeerAgent *peer_agent, int status);
void on_svc_conn_ind(unsigned int local_agent_id, unsigned int connection_id, PeerAgent *peer_agent);
void on_svc_term_ind(int service_handle, int status);
int _find_peer_timeout_cb(alarm_id_t alarm_id, void *user_data);
int _connect_service_timer_cb(alarm_id_t alarm_id, void *user_data);

/* ---- send path and pending queue ---- */
int _send_message(const char *msg_str);
gboolean _pending_message_idle_cb(gpointer user_data);
void _remove_related_cmd_from_pending_list(int req_id);

/* ---- receive path and request timers ---- */
void on_data_ind(int service_handle, unsigned short channel_id, unsigned int length, const void *buffer);
int _handle_received_data(const char *buffer, unsigned int length);
void __gps_plus_rsp(gps_plus_rsp_message *rsp);
void __here_map_rsp(here_map_rsp_message *rsp);
void _release_rsp(int msg_id, void *rsp);
int req_location_setting_change_wait_connection_timeout_cb(alarm_id_t alarm_id, void *user_data);
int req_location_setting_change_wait_response_timeout_cb(alarm_id_t alarm_id, void *user_data);
int req_gpsplus_wait_connection_timeout_cb(alarm_id_t alarm_id, void *user_data);
int req_gpsplus_wait_response_timeout_cb(alarm_id_t alarm_id, void *user_data);
int req_here_map_download_wait_connection_timeout_cb(alarm_id_t alarm_id, void *user_data);
int req_here_map_download_wait_response_timeout_cb(alarm_id_t alarm_id, void *user_data);

/* The callback of each request timer, by lbs_req_timer_type_e. */
inline constexpr alarm_cb_t kReqTimerCallbacks[REQ_TIMER_TYPE_MAX] = {
    req_location_setting_change_wait_connection_timeout_cb,
    req_location_setting_change_wait_response_timeout_cb,
    req_gpsplus_wait_connection_timeout_cb,
    req_gpsplus_wait_response_timeout_cb,
    req_here_map_download_wait_connection_timeout_cb,
    req_here_map_download_wait_response_timeout_cb,
};

/* Arms the request timer of that type with its duration and callback unless
 * it is armed already. 0 armed or already armed, otherwise the alarm
 * manager's result (the id stays 0). */
inline int kov_arm_req_timer(lbs_req_timer_type_e type)
{
    alarm_id_t &id = g_lbs_consumer->req_timer[type];
    if (id != 0)
        return 0;
    const int ret = kov_add_oneshot_alarm(kReqTimerSeconds[type], kReqTimerCallbacks[type], &id);
    if (ret != 0)
        id = 0;
    return ret;
}

/* ---- file reception ---- */
void on_send_file(int transaction_id, const char *file_path, unsigned int agent_id);
void on_send_completed(int transaction_id, const char *file_path, int result);
void on_receive_completed(int transaction_id, const char *file_path, int result);
void on_file_recv_progress(int transaction_id, unsigned int percent, unsigned int agent_id);

/* ---- exercise session ---- */
void _kinetra_consumer_handle_response(exercise_info_rsp_data *rsp);

#endif /* LBS_PLUGIN_CONSUMER_KOV_INTF_INTERNAL_H */
