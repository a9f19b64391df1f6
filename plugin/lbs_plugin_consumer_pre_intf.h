/*
 * Front end: the exported operation table, the choice of the phone link and
 * the switch between links when the watch-manager connection changes.
 * Everything runs on the host's main loop.
 */
#ifndef LBS_PLUGIN_CONSUMER_PRE_INTF_H
#define LBS_PLUGIN_CONSUMER_PRE_INTF_H

#include <lbs_consumer_plugin.h>

/* Which link serves the host. */
enum {
    CONSUMER_STATUS_NONE = 0,
    CONSUMER_STATUS_KOV = 1, /* accessory-protocol framework link */
    CONSUMER_STATUS_BAP = 2, /* BLE accessory daemon link */
};

#define WMS_CONNECTED_KEY "memory/wms/wmanager_connected"
#define IOS_CONNECTED_KEY "memory/private/weconn/ios_connected"

int lbs_consumer_plugin_pre_init(lbs_consumer_event_cb callback, void *user_data);
int lbs_consumer_plugin_pre_deinit(void *arg);
int lbs_consumer_plugin_pre_request(int action, void *data);

/* The active link (CONSUMER_STATUS_*), for diagnostics and tests. */
int lbs_consumer_plugin_pre_get_status(void);

#endif /* LBS_PLUGIN_CONSUMER_PRE_INTF_H */
