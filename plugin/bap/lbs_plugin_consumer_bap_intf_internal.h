/*
 * Inside the second link's transport: the state record, the values beside it
 * and the functions the transport's files call on one another. Only
 * lbs_plugin_consumer_bap_intf*.cpp and the tests include this.
 *
 * Files:
 *   lbs_plugin_consumer_bap_intf.cpp            state record, registration, statuses, send and receive paths
 *   lbs_plugin_consumer_bap_intf_file.cpp       assistance file: reply, wait, transfer
 *   lbs_plugin_consumer_bap_intf_keepalive.cpp  one-byte keep-alive of both sessions
 *   lbs_plugin_consumer_bap_intf_exercise.cpp   exercise session
 *
 * Some names repeat the first link's (the two links mirror each other), so
 * everything here lives in lbs::bap.
 */
#ifndef LBS_PLUGIN_CONSUMER_BAP_INTF_INTERNAL_H
#define LBS_PLUGIN_CONSUMER_BAP_INTF_INTERNAL_H

#include "lbs_plugin_consumer_bap_intf.h"

#include "../lbs_plugin_consumer_common.h"
#include "lbs_plugin_consumer_bap_json_builder.h"
#include "lbs_plugin_consumer_bap_json_parser.h"

#include <alarmmgr.h>
#include <bapd_client.h>
#include <glib.h>

#include <memory>

static_assert(LBS_REQ_TIMER_TYPE_COUNT == REQ_TIMER_TYPE_MAX, "one alarm id per request timer type");

namespace lbs::bap {

inline constexpr const char *kServiceName = "LBS";
inline constexpr unsigned int kMaxMsgLength = 65531;
inline constexpr const char *kGpsPlusFileName = "gpsPlus.dat";

/* The keep-alive: one byte, '@' (0x40), every 150 seconds. */
inline constexpr const char *kKeepAlivePacket = "@";
inline constexpr int kKeepAliveSeconds = 150;

/* Owns a GLib allocation. */
struct GFree {
    void operator()(void *p) const { g_free(p); }
};
using GText = std::unique_ptr<char, GFree>;

/* The state record; NULL while the link is not registered. */
extern lbs_plugin_consumer_bap_s *g_bap_lbs_consumer;
/* 1 while the daemon last reported the BLE device connected. */
extern int g_bap_device_connected;
/* The service from bap_service_add; 0 while not registered. */
extern bap_service_h g_bap_service_handle;

/* ---- state record, registration, statuses (lbs_plugin_consumer_bap_intf.cpp) ---- */
void __bap_data_init(void);
void __bap_data_deinit(void);
int __bap_register_consumer(void);
/* Tells the host PROVIDER_CONNECTED (non-zero) or PROVIDER_DISCONNECTED (0)
 * when the status really changes. */
void g_set_bap_service_connection_status(int status);
void _lbs_plugin_consumer_bap_on_device_status(bap_service_h service, bap_connection_status_e status,
                                               void *user_data);
void on_bap_service_status_changed(bap_service_h service, bap_connection_status_e status, void *user_data);

/* Removes the alarm when *alarm_id is set and clears the id. */
void bap_remove_alarm(int *alarm_id);

/* ---- send and receive paths (lbs_plugin_consumer_bap_intf.cpp) ---- */
/* Hands text to the daemon. 1 sent, or skipped because it is empty; 0 not
 * sent (no text, no record, too long, device away, refused by the daemon). */
int __bap_send_message(const char *text);
void on_bap_send_complete(bap_service_h service, int result, void *user_data);
void on_bap_data_received(bap_service_h service, unsigned int length, const void *data, void *user_data);
void __bap_handle_received_data(const char *data, unsigned int length);
void __bap_release_rsp(int msg_id, void *rsp);

/* ---- assistance file (lbs_plugin_consumer_bap_intf_file.cpp) ---- */
void g_set_ready_to_download_gps_extra_data_status(int value);
int g_get_ready_to_download_gps_extra_data_status(void);
void g_set_is_requested_gps_extra_data(int value);
/* Arms the 10-second wait for the file unless it runs already; a refusal is
 * logged under func, the send path. */
void bap_arm_gps_plus_wait(const char *func, int req_id);
void __bap_gps_plus_rsp(const gps_plus_rsp_message *rsp);
/* The wait's alarm callback; alarm id -1 reports a failure at once. */
int req_gpsplus_wait_response_timeout_cb(alarm_id_t alarm_id, void *user_data);
void on_bap_file_incoming(bap_transfer_h transfer, const char *file_name, int transfer_id, void *user_data);
void on_bap_file_receive_completed(bap_service_h service, int status, const char *file_path, int transfer_id,
                                   void *user_data);
void on_bap_file_transfer_progress(bap_service_h service, int transfer_id, unsigned int percent, void *user_data);

/* ---- keep-alive (lbs_plugin_consumer_bap_intf_keepalive.cpp) ---- */
/* Arms the repeating keep-alive into *alarm_id unless it is armed; 1 armed
 * now, 0 already armed or refused (refusal logged under func, the session's
 * start). */
int bap_arm_keep_alive(const char *func, int *alarm_id);
int _ble_dummy_packet_send_handler_cb(alarm_id_t alarm_id, void *user_data);

/* ---- exercise session (lbs_plugin_consumer_bap_intf_exercise.cpp) ---- */
void _bap_knt_handle_rsp(const exercise_info_rsp_data *rsp);

} // namespace lbs::bap

#endif /* LBS_PLUGIN_CONSUMER_BAP_INTF_INTERNAL_H */
