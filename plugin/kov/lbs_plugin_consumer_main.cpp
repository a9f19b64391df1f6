// Placeholder for the first link. The request dispatcher, its responders and
// the accessory-framework transport replace these three functions; until
// then the link starts and stops without doing anything and serves nothing.
#include "lbs_plugin_consumer_main.h"

#include "../lbs_plugin_consumer_log.h"

int lbs_consumer_plugin_init(lbs_consumer_event_cb callback, void *user_data)
{
    (void)callback;
    (void)user_data;
    LBS_LOGI("first link started (no transport in this build)");
    return 1;
}

int lbs_consumer_plugin_deinit(void *arg)
{
    (void)arg;
    LBS_LOGI("first link stopped");
    return 1;
}

int lbs_consumer_plugin_request(int action, void *data)
{
    (void)data;
    LBS_LOGW("first link cannot serve request [%d] in this build", action);
    return 0;
}
