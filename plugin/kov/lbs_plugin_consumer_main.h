/*
 * First link (accessory-protocol framework): start, stop, the request
 * dispatcher the front end forwards to, and the event senders that hand
 * outcomes and parsed replies to the host. All on the host's main loop.
 *
 * Each sender builds one zero-cleared event record on its stack, fills it and
 * calls the host callback when one is set; whatever it allocated for the
 * event is freed after the callback returns. Parsed records stay the
 * caller's. Senders that do not accept their input log and deliver nothing.
 */
#ifndef LBS_PLUGIN_CONSUMER_MAIN_H
#define LBS_PLUGIN_CONSUMER_MAIN_H

#include <lbs_consumer_plugin.h>

#include "lbs_plugin_consumer_json_parser.h"

#include <cstdint>

/* Starts the link; its events go to callback with user_data. 1 ok, 0 failed. */
int lbs_consumer_plugin_init(lbs_consumer_event_cb callback, void *user_data);
/* Stops the link; arg is not read. Returns 1. */
int lbs_consumer_plugin_deinit(void *arg);
/* Serves one host request (codes of lbs_consumer_action_e). */
int lbs_consumer_plugin_request(int action, void *data);

/* ---- event senders (lbs_plugin_consumer_main_respond.cpp) ---- */
void respond_start_session(int method, int result);
void respond_stop_session(int method);
void respond_change_interval(int method, int result);
void respond_change_batch_period(int method, int result);
void respond_update_position(const loc_tracking_rsp_message *rsp);
void respond_location_setting_check(const location_setting_check_rsp_message *rsp);
void respond_location_setting_change(const location_setting_change_rsp_message *rsp);
void respond_batch_position(const location_batch_rsp_message *rsp);
/* The path is copied for the event; NULL tells the host the file could not
 * be obtained. */
void respond_extra_data(const char *path);
/* code 0 with the image's path, 1 to 4 the phone's failure reason, anything
 * else a local failure; path is passed as given (not copied), NULL for none. */
void respond_here_map_download(int code, const char *path);
void respond_ref_time(const ref_time_rsp_message *rsp);
void respond_service_connection_status(int status);
void respond_kinetra_info(int error, const exercise_info_rsp_data *rsp, int command);
void respond_pdc_info(const pdc_info_rsp_message *rsp);

/* Host error code of a tracking failure (result other than 1). Logs the name. */
int _get_tracking_rsp_err_type(int64_t result, int64_t reason);
/* Host error code of an internal result. Logs every conversion. */
int _convert_error_type(int code);

/* The host callback and its user data while the link runs (NULL otherwise). */
extern lbs_consumer_event_cb g_consumer_cb;
extern void *g_consumer_user_data;

#endif /* LBS_PLUGIN_CONSUMER_MAIN_H */
