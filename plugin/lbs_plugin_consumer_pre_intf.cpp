#include "lbs_plugin_consumer_pre_intf.h"

#include "bap/lbs_plugin_consumer_bap_main.h"
#include "kov/lbs_plugin_consumer_main.h"
#include "lbs_plugin_consumer_log.h"

#include <vconf.h>

namespace {

constexpr lbs_consumer_plugin_interface_s kInterface = {
    lbs_consumer_plugin_pre_init,
    lbs_consumer_plugin_pre_deinit,
    lbs_consumer_plugin_pre_request,
};

int g_consumer_status = CONSUMER_STATUS_NONE;
lbs_consumer_event_cb g_pre_consumer_cb = nullptr;
void *g_pre_consumer_user_data = nullptr;

int _is_wms_connected()
{
    int connected = 0;
    if (vconf_get_bool(WMS_CONNECTED_KEY, &connected) != 0) {
        LBS_LOGE("vconf_get_bool(%s) failed!!!", WMS_CONNECTED_KEY);
        return 0;
    }
    return connected ? 1 : 0;
}

int _is_bap_connected()
{
    int ios = 0;
    if (vconf_get_int(IOS_CONNECTED_KEY, &ios) != 0) {
        LBS_LOGE("vconf_get_int(%s) failed!!!", IOS_CONNECTED_KEY);
        return 0;
    }
    return ios != 0 ? 1 : 0;
}

// Stops whichever link is active; the status itself is left to the caller.
void _stop_active_link(void *arg)
{
    if (g_consumer_status == CONSUMER_STATUS_BAP)
        lbs_consumer_plugin_bap_deinit(arg);
    else if (g_consumer_status == CONSUMER_STATUS_KOV)
        lbs_consumer_plugin_deinit(arg);
}

void _on_wms_connection_changed(keynode_t *node, void *user_data)
{
    (void)user_data;
    LBS_LOGI("current consumer status [%d]", g_consumer_status);
    int stop_arg = 0;

    if (vconf_keynode_get_bool(node) > 0) {
        LBS_LOGI("WMS connected, start init function");
        if (_is_bap_connected()) {
            if (g_consumer_status == CONSUMER_STATUS_BAP)
                return;
            if (g_consumer_status == CONSUMER_STATUS_KOV)
                lbs_consumer_plugin_deinit(&stop_arg);
            g_consumer_status = CONSUMER_STATUS_BAP;
            if (lbs_consumer_plugin_bap_init(g_pre_consumer_cb, g_pre_consumer_user_data) != 1)
                LBS_LOGE("lbs_consumer_plugin_bap_init() Fail");
        } else {
            if (g_consumer_status == CONSUMER_STATUS_KOV)
                return;
            if (g_consumer_status == CONSUMER_STATUS_BAP)
                lbs_consumer_plugin_bap_deinit(&stop_arg);
            g_consumer_status = CONSUMER_STATUS_KOV;
            if (lbs_consumer_plugin_init(g_pre_consumer_cb, g_pre_consumer_user_data) != 1)
                LBS_LOGE("lbs_consumer_plugin_init() Fail");
        }
        return;
    }

    LBS_LOGI("WMS disconnected, start deinit function");
    _stop_active_link(&stop_arg);
    g_consumer_status = CONSUMER_STATUS_NONE;
}

} // namespace

int lbs_consumer_plugin_pre_init(lbs_consumer_event_cb callback, void *user_data)
{
    g_pre_consumer_cb = callback;
    g_pre_consumer_user_data = user_data;

    int result = 1;
    if (!_is_wms_connected()) {
        g_consumer_status = CONSUMER_STATUS_NONE;
    } else if (_is_bap_connected()) {
        g_consumer_status = CONSUMER_STATUS_BAP;
        result = lbs_consumer_plugin_bap_init(callback, user_data);
    } else {
        g_consumer_status = CONSUMER_STATUS_KOV;
        result = lbs_consumer_plugin_init(callback, user_data);
    }

    if (vconf_notify_key_changed(WMS_CONNECTED_KEY, _on_wms_connection_changed, nullptr) != 0) {
        LBS_LOGE("vconf_notify_key_changed() Fail(%s)", WMS_CONNECTED_KEY);
        return 0;
    }

    LBS_LOGI("init status [%d]", g_consumer_status);
    return result;
}

int lbs_consumer_plugin_pre_deinit(void *arg)
{
    if (vconf_ignore_key_changed(WMS_CONNECTED_KEY, _on_wms_connection_changed) != 0)
        LBS_LOGE("vconf_ignore_key_changed() Fail(%s)", WMS_CONNECTED_KEY);

    _stop_active_link(arg);

    g_pre_consumer_cb = nullptr;
    g_pre_consumer_user_data = nullptr;
    g_consumer_status = CONSUMER_STATUS_NONE;
    return 1;
}

int lbs_consumer_plugin_pre_request(int action, void *data)
{
    if (g_consumer_status == CONSUMER_STATUS_BAP)
        return lbs_consumer_plugin_bap_request(action, data);
    if (g_consumer_status == CONSUMER_STATUS_KOV)
        return lbs_consumer_plugin_request(action, data);
    return 0;
}

int lbs_consumer_plugin_pre_get_status(void)
{
    return g_consumer_status;
}

extern "C" __attribute__((visibility("default"))) const lbs_consumer_plugin_interface_s *
get_lbs_consumer_plugin_interface(void)
{
    return &kInterface;
}
