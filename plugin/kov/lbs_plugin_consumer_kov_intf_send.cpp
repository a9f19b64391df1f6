// The send path: every request leaves the link here. A text goes out at once
// over a standing service connection; otherwise it waits in msg_list, the
// peer search starts, and the list is flushed once the connection is
// confirmed. Stop requests are never queued: one that cannot be sent removes
// the queued requests it would cancel.
#include "lbs_plugin_consumer_kov_intf_internal.h"

#include "../lbs_plugin_consumer_log.h"
#include "lbs_plugin_consumer_json_builder.h"

#include <device_power.h>

#include <cstring>
#include <string_view>

namespace {

bool _is_stop_request(int req_id)
{
    return req_id == REQ_TRACKING_LOCATION_STOP_GPS || req_id == REQ_TRACKING_LOCATION_STOP_WPS ||
           req_id == REQ_KINETRA_STOP;
}

bool _is_gps_plus_request(int req_id)
{
    return req_id == REQ_GPS_PLUS_METHOD_1 || req_id == REQ_GPS_PLUS_METHOD_2;
}

// Timers of a request that went out: the answer is now awaited.
void _arm_wait_response_timers(const char *func, int req_id)
{
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (req_id == REQ_PROVIDER_LOCATION_SETTING_CHANGE) {
        if (kov_arm_req_timer(REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_RESPONSE) != 0)
            LBS_LOGE_AS(func, "LOCATION_SETTING_CHANGE_WAIT_RESPONSE alarmmgr_add_alarm_withcb failed");
    } else if (_is_gps_plus_request(req_id)) {
        c->is_requested_gps_extra_data = 1;
        if (c->req_timer[REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE] == 0) {
            c->gps_plus_req_id = req_id;
            if (kov_arm_req_timer(REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE) != 0) {
                LBS_LOGE_AS(func, "REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE alarmmgr_add_alarm_withcb failed");
                c->gps_plus_req_id = -1;
            }
        }
    } else if (req_id == REQ_HERE_MAP_IMAGE) {
        g_set_requested_map_image_data(1);
        if (kov_arm_req_timer(REQ_TIMER_TYPE_HERE_MAP_WAIT_RESPONSE) != 0)
            LBS_LOGE_AS(func, "REQ_TIMER_TYPE_HERE_MAP_WAIT_RESPONSE alarmmgr_add_alarm_withcb failed");
    }
}

// Timers of a request that was queued: a connection is now awaited.
void _arm_wait_connection_timers(const char *func, int req_id)
{
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (req_id == REQ_PROVIDER_LOCATION_SETTING_CHANGE) {
        if (kov_arm_req_timer(REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_CONNECTION) != 0)
            LBS_LOGE_AS(func, "LOCATION_SETTING_CHANGE_WAIT_CONNECTION alarmmgr_add_alarm_withcb failed");
    } else if (_is_gps_plus_request(req_id)) {
        c->is_requested_gps_extra_data = 1;
        if (c->req_timer[REQ_TIMER_TYPE_GPSPLUS_WAIT_CONNECTION] == 0) {
            c->gps_plus_req_id = req_id;
            if (kov_arm_req_timer(REQ_TIMER_TYPE_GPSPLUS_WAIT_CONNECTION) != 0) {
                LBS_LOGE_AS(func, "REQ_TIMER_TYPE_GPSPLUS_WAIT_CONNECTION alarmmgr_add_alarm_withcb failed");
                c->gps_plus_req_id = -1;
            }
        }
    } else if (req_id == REQ_HERE_MAP_IMAGE) {
        g_set_requested_map_image_data(1);
        if (kov_arm_req_timer(REQ_TIMER_TYPE_HERE_MAP_WAIT_CONNECTION) != 0)
            LBS_LOGE_AS(func, "REQ_TIMER_TYPE_HERE_MAP_WAIT_CONNECTION alarmmgr_add_alarm_withcb failed");
    }
}

} // namespace

int kov_send_message(int req_id, const void *data)
{
    if (req_id < lbs::protocol::kFirstRequest || req_id > lbs::protocol::kLastRequest) {
        LBS_LOGE("reqID is invalid");
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER;
    }
    if ((isKovConnected() & 1) == 0)
        return LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED;
    if (g_lbs_consumer == nullptr) {
        LBS_LOGE("g_lbs_consumer is NULL");
        return LBS_CONSUMER_PLUGIN_ERROR_NO_DATA;
    }

    char *text = generate_req_message(req_id, data);
    if (text == nullptr) {
        LBS_LOGE("Failed to generate JSON message.");
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER;
    }

    if (_send_message(text) == 1) {
        _arm_wait_response_timers(__func__, req_id);
        g_free(text);
        return LBS_CONSUMER_PLUGIN_ERROR_NONE;
    }

    if (_is_stop_request(req_id)) {
        LBS_LOGE("stop reqeust will not add to msg list.");
        if (g_lbs_consumer->msg_list != nullptr)
            _remove_related_cmd_from_pending_list(req_id);
        g_free(text);
        return LBS_CONSUMER_PLUGIN_ERROR_NONE;
    }

    LBS_LOGE("_send_message is currently failed but messages are pending and will be sent after connection with "
             "LBS Provider.");
    LBS_LOGE("Add msg [%s]", text);
    g_lbs_consumer->msg_list = g_list_append(g_lbs_consumer->msg_list, g_strdup(text));
    LBS_LOGE("Currently remained pending msg [%d]", static_cast<int>(g_list_length(g_lbs_consumer->msg_list)));
    _arm_wait_connection_timers(__func__, req_id);
    __lbs_plugin_consumer_find_peer_agent(g_lbs_consumer->agent_id);
    g_free(text);
    return LBS_CONSUMER_PLUGIN_ERROR_NONE;
}

int _send_message(const char *msg_str)
{
    if (msg_str == nullptr) {
        LBS_LOGE("msg_str is NULL");
        return 0;
    }
    if (g_lbs_consumer == nullptr) {
        LBS_LOGE("g_lbs_consumer is NULL");
        return 0;
    }
    const size_t length = strlen(msg_str);
    if (length == 0 || length > LBS_KOV_MAX_MSG_LENGTH) {
        LBS_LOGE("msg_length is unavailable [%d], maximum size=[%d]", static_cast<int>(length),
                 LBS_KOV_MAX_MSG_LENGTH);
        return 0;
    }
    if (g_lbs_consumer->real_service_connection_status != 1)
        return 0;

    const int ret = sendData(g_get_service_handle(), LBS_KOV_CHANNEL_ID, static_cast<unsigned int>(length), msg_str);
    switch (ret) {
    case KOV_SEND_DATA_SUCCESS: LBS_LOGE("send data success"); return 1;
    case KOV_SEND_DATA_INVALID_ARGUMENT: LBS_LOGE("invalid argument error"); break;
    case KOV_SEND_DATA_INVALID_CONNECTION: LBS_LOGE("invalid service connection"); break;
    case KOV_SEND_DATA_NETWORK_FAILURE: LBS_LOGE("network failure error"); break;
    case KOV_SEND_DATA_BUFFER_FULL: LBS_LOGE("Buffer full"); break;
    case KOV_SEND_DATA_SDK_ERROR: LBS_LOGE("SDK_ERROR"); break;
    default: LBS_LOGE("Unknown error"); break;
    }
    return 0;
}

void _remove_related_cmd_from_pending_list(int req_id)
{
    struct Keys {
        int req_id;
        const char *name;
        const char *keys[2];
    };
    static constexpr Keys kKeys[] = {
        {REQ_TRACKING_LOCATION_STOP_WPS, "REQ_TRACKING_LOCATION_STOP_WPS", {"lbs-tracking-location-req", "\"method\":2"}},
        {REQ_TRACKING_LOCATION_STOP_GPS, "REQ_TRACKING_LOCATION_STOP_GPS", {"lbs-tracking-location-req", "\"method\":1"}},
        {REQ_KINETRA_STOP, "REQ_KINETRA_STOP", {"lbs-exercise-info-req", nullptr}},
    };
    const Keys *k = nullptr;
    for (const Keys &row : kKeys)
        if (row.req_id == req_id)
            k = &row;
    if (k == nullptr || g_lbs_consumer == nullptr)
        return;

    LBS_LOGE("%s", k->name);
    GList *&list = g_lbs_consumer->msg_list;
    LBS_LOGE("Current remaining messages in pending list: [%d]", static_cast<int>(g_list_length(list)));
    const auto matches = [k](const char *text) {
        for (const char *key : k->keys)
            if (key != nullptr && strstr(text, key) == nullptr)
                return false;
        return true;
    };
    int removed = 0;
    for (GList *l = list; l != nullptr;) {
        if (matches(static_cast<const char *>(l->data))) {
            g_free(l->data);
            list = g_list_delete_link(list, l);
            ++removed;
            l = list; // start again at the new first entry
        } else {
            l = l->next;
        }
    }
    LBS_LOGE("Removed [%d] pended cmd. remained pending messages [%d]", removed,
             static_cast<int>(g_list_length(list)));
}

gboolean _pending_message_idle_cb(gpointer user_data)
{
    (void)user_data;
    device_power_request_lock(POWER_LOCK_CPU, LBS_POWER_LOCK_MS);
    lbs_plugin_consumer_s *c = g_lbs_consumer;
    if (c == nullptr)
        return FALSE;
    c->is_find_peer_working = 0;
    c->connect_retry_count = 0;
    c->find_peer_retry_count = 0;
    // This source ends by returning FALSE; only its id is forgotten here.
    c->pending_idle_id = 0;

    const int pos = g_get_pos_refcnt();
    const int exercise = g_get_exercise_refcnt();
    if (pos <= 0 && exercise <= 0) {
        LBS_LOGE("Refcnt 0. Service connection will be terminated");
        lbs_plugin_consumer_terminate_service_connection();
        return FALSE;
    }
    if (c->msg_list == nullptr)
        return FALSE;

    if (c->real_service_connection_status == 1) {
        LBS_LOGE("Send all pending messages [%d]", static_cast<int>(g_list_length(c->msg_list)));
        for (GList *l = c->msg_list; l != nullptr; l = l->next)
            _send_message(static_cast<const char *>(l->data));
        LBS_LOGE("Completed.");
    }
    kov_release_msg_list();
    return FALSE;
}
