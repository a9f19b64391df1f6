/*
 * Second link (BLE accessory daemon, iOS phones): start, stop and the
 * request dispatcher the front end forwards to. All on the host's main loop.
 */
#ifndef LBS_PLUGIN_CONSUMER_BAP_MAIN_H
#define LBS_PLUGIN_CONSUMER_BAP_MAIN_H

#include <lbs_consumer_plugin.h>

/* Starts the link; its events go to callback with user_data. 1 ok, 0 failed. */
int lbs_consumer_plugin_bap_init(lbs_consumer_event_cb callback, void *user_data);
/* Stops the link; arg is not read. Returns 1. */
int lbs_consumer_plugin_bap_deinit(void *arg);
/* Serves one host request (codes of lbs_consumer_action_e). */
int lbs_consumer_plugin_bap_request(int action, void *data);

#endif /* LBS_PLUGIN_CONSUMER_BAP_MAIN_H */
