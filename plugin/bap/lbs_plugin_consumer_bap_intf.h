/*
 * Second link transport: the BLE accessory daemon underneath the second
 * link's dispatcher (watches paired with an iOS phone).
 *
 * The link registers one service ("LBS") with the daemon, and only while the
 * BLE device is connected at that moment. A request is rendered and handed to
 * the daemon at once, or it fails: there is no queue and no retry. Replies
 * arrive through the daemon's data callback and go to the responders of
 * lbs_plugin_consumer_bap_main.h. Beside that traffic the transport receives
 * the GPS assistance file, keeps the BLE link awake with a one-byte packet
 * while a tracking or an exercise session runs, and keeps the exercise
 * session's state.
 *
 * Everything runs on the host's main loop: daemon callbacks, alarm callbacks
 * and host calls arrive there one at a time, so nothing is locked.
 */
#ifndef LBS_PLUGIN_CONSUMER_BAP_INTF_H
#define LBS_PLUGIN_CONSUMER_BAP_INTF_H

#include <lbs_consumer_plugin.h>

/* The host's callback and user data while the link runs; set by
 * lbs_consumer_plugin_bap_init and cleared by its deinit. */
extern lbs_consumer_event_cb g_bap_consumer_cb;
extern void *g_bap_consumer_user_data;

/* Sets up the state record and registers with the daemon. 1 registered (the
 * host has been told PROVIDER_CONNECTED), 0 failed (no state record is left). */
int bap_init(void);

/* Undoes the registration, tells the host PROVIDER_DISCONNECTED when it was
 * last told connected, removes every alarm and frees the state record.
 * Returns 1. */
int __bap_deregister_consumer(void);

/* Renders the request from data (the records generate_req_message reads, or
 * NULL) and hands it to the daemon. 0 sent, or counted as sent because there
 * was nothing to send; -2 an identifier outside the request range; -6 not
 * sent; -7 no state record. Also keeps the started flags and arms the wait
 * for the assistance file. */
int bap_send_message(int req_id, const void *data);

/* 1 while an assistance-file request is outstanding. 0 without a state record. */
int g_get_is_requested_gps_extra_data(void);

/* The tracking session's keep-alive: armed once however many methods run,
 * removed by the first stop. Neither does anything without a state record. */
void bap_location_tracking_start_dummy_pkt_alarm(void);
void bap_location_tracking_stop_dummy_pkt_alarm(void);

/* One exercise command (kinetra_req_info.command). 0, or a negative internal
 * code: -2 missing record, -6 not sent, -7 no state record, -8 not allowed in
 * the current state; -999 for a command this link does not have. */
int bap_knt_handle_request(const kinetra_req_info *req);

#endif /* LBS_PLUGIN_CONSUMER_BAP_INTF_H */
