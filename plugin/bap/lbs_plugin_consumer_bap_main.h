/*
 * Second link (BLE accessory daemon, iOS phones): start, stop and the
 * request dispatcher the front end forwards to, and the responders that
 * turn parsed replies and local outcomes into host events. All on the host's
 * main loop.
 *
 * Each responder builds one zero-cleared event record on its stack, fills it
 * and calls g_bap_consumer_cb when one is set; whatever it allocated for the
 * event is freed after the callback returns. Parsed records stay the
 * caller's. Responders that do not accept their input log and deliver
 * nothing.
 */
#ifndef LBS_PLUGIN_CONSUMER_BAP_MAIN_H
#define LBS_PLUGIN_CONSUMER_BAP_MAIN_H

#include <lbs_consumer_plugin.h>

#include "lbs_plugin_consumer_bap_json_parser.h"

#include <glib.h>

#include <cstdint>

/* Starts the link; its events go to callback with user_data. 1 ok, 0 failed. */
int lbs_consumer_plugin_bap_init(lbs_consumer_event_cb callback, void *user_data);
/* Stops the link; arg is not read. Returns 1. */
int lbs_consumer_plugin_bap_deinit(void *arg);
/* Serves one host request (codes of lbs_consumer_action_e). */
int lbs_consumer_plugin_bap_request(int action, void *data);

/* ---- responders (lbs_plugin_consumer_bap_main_respond.cpp) ---- */
void bap_respond_start_session(int method, int result);
void bap_respond_stop_session(int method);
void bap_respond_service_connection_status(int status);
/* The answer to a setting change, which this link gives itself: all zero.
 * An idle callback; returns G_SOURCE_REMOVE. */
gboolean _bap_location_setting_change_idle_cb(gpointer data);
/* The path is copied for the event; NULL tells the host the file could not
 * be obtained. */
void bap_respond_extra_data(const char *path);
/* One event per started method, GPS first: is_method_started_array is
 * {gps_started, wps_started}. A GPS position whose horizontal accuracy is
 * above 32.0, or not a number, becomes a time-out; the WPS event of the same
 * reply keeps the position. */
void bap_respond_update_position(const loc_tracking_rsp_message *rsp, const int *is_method_started_array);
void bap_respond_location_setting_check(const location_setting_check_rsp_message *rsp);
void bap_respond_location_setting_change(const location_setting_change_rsp_message *rsp);
void bap_respond_ref_time(const ref_time_rsp_message *rsp);
void bap_respond_knt_info(int error, const exercise_info_rsp_data *rsp, int command);

/* Host error code of a tracking failure reason. Logs the name. */
int _bap_get_tracking_rsp_err_type(int64_t reason);
/* Host error code of an internal result. Logs every conversion. */
int _bap_convert_error_type(int code);

/* Largest horizontal accuracy at which a GPS position is passed on. */
inline constexpr double kBapGpsAccuracyLimit = 32.0;

#endif /* LBS_PLUGIN_CONSUMER_BAP_MAIN_H */
