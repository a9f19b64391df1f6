/*
 * First link transport: the accessory-protocol framework underneath the
 * dispatcher. It registers a service agent while the accessory link is up,
 * builds the service connection to the phone's provider on demand (only while
 * a usage count is above zero), sends requests at once or queues them until
 * the connection is confirmed, hands replies to the event senders, times out
 * the requests whose answer the host waits for, receives the assistance file
 * and the map image, and keeps the exercise session's state.
 *
 * All of it runs on the host's main loop; framework, alarm, idle and settings
 * callbacks arrive there one at a time, so nothing is locked.
 */
#ifndef LBS_PLUGIN_CONSUMER_KOV_INTF_H
#define LBS_PLUGIN_CONSUMER_KOV_INTF_H

#include <lbs_consumer_plugin.h>

/* Start and stop of the link. Both return 1. */
int kov_init(void);
int kov_deinit(void);

/* Renders the request and sends it, or queues it until the service
 * connection is confirmed. 0 sent or queued (a stop request that cannot be
 * sent is dropped and also gives 0); -2 invalid id or no text; -4 the
 * accessory link is down. data is the record the builder reads, or NULL. */
int kov_send_message(int req_id, const void *data);

/* One exercise command (kinetra_req_info.command). 0, or a negative internal
 * code: -2 missing record, -7 no state record, -8 not allowed now, or what
 * kov_send_message returned. */
int kov_knt_handle_request(const kinetra_req_info *req);

/* Ends the service connection when both usage counts are at zero; otherwise
 * does nothing. */
void lbs_plugin_consumer_terminate_service_connection(void);

/* Usage counts: positioning services and exercise sessions. A decrease never
 * leaves a count below 0. The getters return 0 without a state record. */
void increase_pos_refcnt(void);
void decrease_pos_refcnt(void);
void increase_exercise_refcnt(void);
void decrease_exercise_refcnt(void);
int g_get_pos_refcnt(void);
int g_get_exercise_refcnt(void);

/* Accessors of the state record. The setters log and act only on change. */
int g_get_service_handle(void);
void g_set_service_connection_status(int status);
void g_set_real_service_connection_status(int status);
void g_set_ready_to_download_gps_extra_data_status(int flag);
void g_set_ready_to_download_here_map_image_status(int flag);
void g_set_requested_map_image_data(int flag);
int g_get_requested_map_image_data(void);
int g_get_requested_gps_extra_data(void);

#endif /* LBS_PLUGIN_CONSUMER_KOV_INTF_H */
