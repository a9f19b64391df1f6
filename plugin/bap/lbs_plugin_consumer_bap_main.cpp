// Placeholder for the second link. Its dispatcher, responders and the BLE
// daemon transport replace these three functions; until then the link starts
// and stops without doing anything and serves nothing.
#include "lbs_plugin_consumer_bap_main.h"

#include "../lbs_plugin_consumer_log.h"

int lbs_consumer_plugin_bap_init(lbs_consumer_event_cb callback, void *user_data)
{
    (void)callback;
    (void)user_data;
    LBS_LOGI("second link started (no transport in this build)");
    return 1;
}

int lbs_consumer_plugin_bap_deinit(void *arg)
{
    (void)arg;
    LBS_LOGI("second link stopped");
    return 1;
}

int lbs_consumer_plugin_bap_request(int action, void *data)
{
    (void)data;
    LBS_LOGW("second link cannot serve request [%d] in this build", action);
    return 0;
}
