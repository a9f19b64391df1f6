// The second link's state record, its registration with the BLE daemon, the
// daemon's status reports, and the paths of messages out and in.
#include "lbs_plugin_consumer_bap_intf_internal.h"

#include "../lbs_plugin_consumer_log.h"
#include "lbs_plugin_consumer_bap_main.h"

#include <array>
#include <cstring>

lbs_consumer_event_cb g_bap_consumer_cb = nullptr;
void *g_bap_consumer_user_data = nullptr;

namespace lbs::bap {

lbs_plugin_consumer_bap_s *g_bap_lbs_consumer = nullptr;
int g_bap_device_connected = 0;
bap_service_h g_bap_service_handle = 0;

namespace {

// The seven daemon callbacks, in the order registration sets them. Every
// one is set with NULL user data: the state lives in this module.
struct CallbackSlot {
    int (*set)(bap_service_h);
    int (*unset)(bap_service_h);
};

enum SlotIndex { kDeviceStatus, kServiceStatus, kDataReceived, kSendCompleted, kFileCallbacks };

// clang-format off
constexpr std::array<CallbackSlot, 7> kCallbacks = {{
    {[](bap_service_h h) { return bap_device_set_connection_status_changed_cb(h, _lbs_plugin_consumer_bap_on_device_status, nullptr); },
     bap_device_unset_connection_status_changed_cb},
    {[](bap_service_h h) { return bap_service_set_connection_status_changed_cb(h, on_bap_service_status_changed, nullptr); },
     bap_service_unset_connection_status_changed_cb},
    {[](bap_service_h h) { return bap_service_set_data_received_cb(h, on_bap_data_received, nullptr); },
     bap_service_unset_data_received_cb},
    {[](bap_service_h h) { return bap_service_set_data_send_completed_cb(h, on_bap_send_complete, nullptr); },
     bap_service_unset_data_send_completed_cb},
    {[](bap_service_h h) { return bap_service_set_file_incoming_cb(h, on_bap_file_incoming, nullptr); },
     bap_service_unset_file_incoming_cb},
    {[](bap_service_h h) { return bap_service_set_file_transfer_receiving_completed_cb(h, on_bap_file_receive_completed, nullptr); },
     bap_service_unset_file_transfer_receiving_completed_cb},
    {[](bap_service_h h) { return bap_service_set_file_transfer_progress_cb(h, on_bap_file_transfer_progress, nullptr); },
     bap_service_unset_file_transfer_progress_cb},
}};
// clang-format on

// Unsets the first count callbacks of kCallbacks.
void unset_callbacks(bap_service_h handle, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        kCallbacks[i].unset(handle);
}

int _lbs_plugin_consumer_bap_device_status_init(bap_service_h handle)
{
    g_bap_device_connected = bap_device_get_connection_status(handle) == BAP_CONNECTION_STATUS_CONNECTED ? 1 : 0;
    const int ret = kCallbacks[kDeviceStatus].set(handle);
    if (ret != BAP_ERROR_NONE)
        LBS_LOGE("bap_device_set_connection_status_cb() Fail(%d)", ret);
    return ret;
}

int _lbs_plugin_consumer_bap_service_status_init(bap_service_h handle)
{
    // Read for the daemon's sake only; nothing here depends on it.
    (void)bap_service_get_connection_status(handle);
    const int ret = kCallbacks[kServiceStatus].set(handle);
    if (ret != BAP_ERROR_NONE)
        LBS_LOGE("bap_service_set_connection_status_cb() Fail(%d)", ret);
    return ret;
}

// Steps 3 on of the registration: the callbacks, each failure logged with
// its own line. Returns how many were set; all of them on success.
std::size_t set_callbacks(const char *func, bap_service_h handle)
{
    int ret = _lbs_plugin_consumer_bap_device_status_init(handle);
    if (ret != BAP_ERROR_NONE) {
        LBS_LOGE_AS(func, "_lbs_plugin_consumer_bap_device_status_init() Fail(%d)", ret);
        return kDeviceStatus;
    }
    ret = _lbs_plugin_consumer_bap_service_status_init(handle);
    if (ret != BAP_ERROR_NONE) {
        LBS_LOGE_AS(func, "_lbs_plugin_consumer_bap_service_status_init() Fail(%d)", ret);
        return kServiceStatus;
    }
    ret = kCallbacks[kDataReceived].set(handle);
    if (ret != BAP_ERROR_NONE) {
        LBS_LOGE_AS(func, "bap_service_set_data_recv_cb() Fail(%d)", ret);
        return kDataReceived;
    }
    ret = kCallbacks[kSendCompleted].set(handle);
    if (ret != BAP_ERROR_NONE) {
        LBS_LOGE_AS(func, "on_bap_send_complete() Fail(%d)", ret);
        return kSendCompleted;
    }
    for (std::size_t i = kFileCallbacks; i < kCallbacks.size(); ++i) {
        ret = kCallbacks[i].set(handle);
        if (ret != BAP_ERROR_NONE) {
            LBS_LOGE_AS(func, "bap file transfer callback Fail(%d)", ret);
            return i;
        }
    }
    return kCallbacks.size();
}

void log_send_error(const char *func, int ret)
{
    switch (ret) {
    case BAP_ERROR_CANCELED_BY_PEER:
        LBS_LOGE_AS(func, "canceled by peer");
        break;
    case BAP_ERROR_INVALID_PARAMETER:
        LBS_LOGE_AS(func, "invalid argument error");
        break;
    case BAP_ERROR_TIMEOUT:
        LBS_LOGE_AS(func, "timeout error");
        break;
    default:
        LBS_LOGE_AS(func, "Unknown error [%d]", ret);
        break;
    }
}

// The sends whose outcome moves a started flag or arms the assistance wait.
void after_send(const char *func, int req_id, bool sent)
{
    lbs_plugin_consumer_bap_s &bap = *g_bap_lbs_consumer;
    switch (req_id) {
    case REQ_TRACKING_LOCATION_START_GPS:
        if (sent)
            bap.gps_started = 1;
        break;
    case REQ_TRACKING_LOCATION_START_WPS:
        if (sent)
            bap.wps_started = 1;
        break;
    case REQ_TRACKING_LOCATION_STOP_GPS:
        // A stop ends the method here even when the phone did not hear it.
        bap.gps_started = 0;
        break;
    case REQ_TRACKING_LOCATION_STOP_WPS:
        bap.wps_started = 0;
        break;
    case REQ_GPS_PLUS_METHOD_1:
    case REQ_GPS_PLUS_METHOD_2:
        if (sent) {
            g_set_is_requested_gps_extra_data(1);
            bap_arm_gps_plus_wait(func, req_id);
        }
        break;
    default:
        break;
    }
}

// Where each reply goes: the record it fills, its parser, its handler.
struct Route {
    int msg_id;
    std::size_t record_size;
    JsonObjectForeach parser;
    void (*handle)(void *record);
};

void handle_position(void *record)
{
    const lbs_plugin_consumer_bap_s &bap = *g_bap_lbs_consumer;
    const int is_method_started_array[2] = {bap.gps_started, bap.wps_started};
    _fail_non_finite_position("__bap_handle_received_data", static_cast<loc_tracking_rsp_message *>(record));
    bap_respond_update_position(static_cast<const loc_tracking_rsp_message *>(record), is_method_started_array);
}

template <typename Record, void (*Handler)(const Record *)> void handle_as(void *record)
{
    Handler(static_cast<const Record *>(record));
}

// clang-format off
constexpr std::array<Route, 6> kRoutes = {{
    {MSG_ID_TRACKING_LOCATION_RSP, sizeof(loc_tracking_rsp_message), bap_location_tracking_parser, handle_position},
    {MSG_ID_GPS_PLUS_RSP, sizeof(gps_plus_rsp_message), bap_gps_plus_parser,
     handle_as<gps_plus_rsp_message, __bap_gps_plus_rsp>},
    {MSG_ID_LOCATION_SETTING_CHECK_RSP, sizeof(location_setting_check_rsp_message), bap_location_setting_check_parser,
     handle_as<location_setting_check_rsp_message, bap_respond_location_setting_check>},
    {MSG_ID_SWITCH_LOCATION_SETTING_RSP, sizeof(location_setting_change_rsp_message), bap_location_setting_change_parser,
     handle_as<location_setting_change_rsp_message, bap_respond_location_setting_change>},
    {MSG_ID_EXERCISE_INFO_RSP, sizeof(exercise_info_rsp_data), bap_exercise_info_parser,
     handle_as<exercise_info_rsp_data, _bap_knt_handle_rsp>},
    {MSG_ID_NTP_TIME_RSP, sizeof(ref_time_rsp_message), bap_ref_time_parser,
     handle_as<ref_time_rsp_message, bap_respond_ref_time>},
}};
// clang-format on

const Route *find_route(int msg_id)
{
    for (const Route &route : kRoutes)
        if (route.msg_id == msg_id)
            return &route;
    return nullptr;
}

void remove_service(const char *func, bap_service_h handle)
{
    if (bap_service_remove(handle) != BAP_ERROR_NONE)
        LBS_LOGE_AS(func, "Fail to bap_service_remove");
}

} // namespace

// ---- State record ---------------------------------------------------------------

void __bap_data_init(void)
{
    if (g_bap_lbs_consumer == nullptr) {
        g_bap_lbs_consumer = static_cast<lbs_plugin_consumer_bap_s *>(g_try_malloc0(sizeof(lbs_plugin_consumer_bap_s)));
        if (g_bap_lbs_consumer == nullptr) {
            LBS_LOGE("Failed to memory allocation, lbs_plugin_consumer_bap_s");
            return;
        }
    }
    lbs_plugin_consumer_bap_s &bap = *g_bap_lbs_consumer;
    bap.wps_started = 0;
    bap.gps_started = 0;
    bap.req_data = nullptr;
    bap.dummy_pkt_alarm_id = 0;
    bap.knt_dummy_pkt_alarm_id = 0;
    for (int &id : bap.req_timer)
        id = 0;
    bap.current_state = KINETRA_STATE_STOPPED;
    bap.last_cmd = KINETRA_CMD_STOP;
    g_set_bap_service_connection_status(0);
}

void __bap_data_deinit(void)
{
    if (g_bap_lbs_consumer == nullptr) {
        LBS_LOGE("g_bap_lbs_consumer is NULL");
        return;
    }
    lbs_plugin_consumer_bap_s &bap = *g_bap_lbs_consumer;
    bap.wps_started = 0;
    bap.gps_started = 0;
    bap.req_data = nullptr;
    bap_remove_alarm(&bap.dummy_pkt_alarm_id);
    bap_remove_alarm(&bap.knt_dummy_pkt_alarm_id);
    for (int &id : bap.req_timer)
        bap_remove_alarm(&id);
    g_free(g_bap_lbs_consumer);
    g_bap_lbs_consumer = nullptr;
}

void bap_remove_alarm(int *alarm_id)
{
    if (*alarm_id == 0)
        return;
    alarmmgr_remove_alarm(*alarm_id);
    *alarm_id = 0;
}

void g_set_bap_service_connection_status(int status)
{
    if (g_bap_lbs_consumer == nullptr) {
        LBS_LOGE("lbs_consumer data not initialized");
        return;
    }
    const int old = g_bap_lbs_consumer->service_connection_status;
    if (old == status) {
        LBS_LOGE("keep current service connection status. [%d]", status);
        return;
    }
    LBS_LOGE("service connection status changed [%d -> %d]", old, status);
    g_bap_lbs_consumer->service_connection_status = status;
    bap_respond_service_connection_status(status);
}

// ---- Registration ---------------------------------------------------------------

int __bap_register_consumer(void)
{
    if (g_bap_lbs_consumer == nullptr) {
        LBS_LOGE("<< g_bap_lbs_consumer is NULL");
        return 0;
    }
    bap_service_h handle = 0;
    const int ret = bap_service_add(kServiceName, &handle);
    if (ret != BAP_ERROR_NONE) {
        LBS_LOGE("bap_service_add() Fail(%d)", ret);
        return 0;
    }
    const std::size_t set = set_callbacks(__func__, handle);
    if (set != kCallbacks.size()) {
        unset_callbacks(handle, set);
        remove_service(__func__, handle);
        return 0;
    }
    g_bap_service_handle = handle;
    // Registration holds only while the BLE device is connected now; a later
    // connection does not register by itself.
    if (g_bap_device_connected != 1) {
        LBS_LOGE("Device is NOT connected");
        unset_callbacks(handle, kCallbacks.size());
        remove_service(__func__, handle);
        g_bap_service_handle = 0;
        return 0;
    }
    g_set_bap_service_connection_status(1);
    return 1;
}

// ---- Daemon status reports ------------------------------------------------------

void _lbs_plugin_consumer_bap_on_device_status(bap_service_h, bap_connection_status_e status, void *)
{
    // Only the send path listens: the host is not told, the link stays
    // registered, and sends fail until the device returns.
    if (status == BAP_CONNECTION_STATUS_CONNECTED || status == BAP_CONNECTION_STATUS_DISCONNECTED)
        g_bap_device_connected = status;
    else
        LBS_LOGE("Invalid status(%d)", static_cast<int>(status));
}

void on_bap_service_status_changed(bap_service_h, bap_connection_status_e status, void *)
{
    if (status == BAP_CONNECTION_STATUS_CONNECTED)
        LBS_LOGE("BAP_CONNECTION_STATUS_CONNECTED");
    else if (status == BAP_CONNECTION_STATUS_DISCONNECTED)
        LBS_LOGE("BAP_CONNECTION_STATUS_DISCONNECTED");
    else
        LBS_LOGE("Invalid status(%d)", static_cast<int>(status));
}

// ---- Messages out ---------------------------------------------------------------

int __bap_send_message(const char *text)
{
    if (text == nullptr) {
        LBS_LOGE("msg_str is NULL");
        return 0;
    }
    if (g_bap_lbs_consumer == nullptr) {
        LBS_LOGE("g_bap_lbs_consumer is NULL");
        return 0;
    }
    const std::size_t length = std::strlen(text);
    if (length == 0) {
        // The builder's "nothing to send": done.
        LBS_LOGE("msg_length is [%d]. skip sending this message", 0);
        return 1;
    }
    if (length > kMaxMsgLength) {
        LBS_LOGE("msg_length is unavailable [%zu], maximum size=[%u]", length, kMaxMsgLength);
        return 0;
    }
    if (g_bap_device_connected == 0) {
        LBS_LOGE("BAP is NOT connected");
        return 0;
    }
    const int ret = bap_service_send_data(g_bap_service_handle, static_cast<unsigned int>(length), text);
    if (ret == BAP_ERROR_NONE)
        return 1;
    log_send_error(__func__, ret);
    const int device = bap_device_get_connection_status(g_bap_service_handle);
    const int service = bap_service_get_connection_status(g_bap_service_handle);
    LBS_LOGE("device conn [%d], service_conn [%d]", device, service);
    return 0;
}

void on_bap_send_complete(bap_service_h, int result, void *)
{
    if (result != BAP_ERROR_NONE)
        LBS_LOGE("bap_send_data() Fail(%d)", result);
}

} // namespace lbs::bap

using namespace lbs::bap;

int bap_init(void)
{
    __bap_data_init();
    if (__bap_register_consumer() != 1) {
        LBS_LOGE("__bap_register_consumer() Fail");
        __bap_data_deinit();
        return 0;
    }
    return 1;
}

int __bap_deregister_consumer(void)
{
    if (g_bap_lbs_consumer == nullptr) {
        LBS_LOGE("<< g_bap_lbs_consumer is NULL");
    } else {
        if (g_bap_service_handle != 0) {
            unset_callbacks(g_bap_service_handle, kCallbacks.size());
            remove_service(__func__, g_bap_service_handle);
            g_bap_service_handle = 0;
        }
        g_bap_device_connected = 0;
    }
    g_set_bap_service_connection_status(0);
    __bap_data_deinit();
    return 1;
}

int bap_send_message(int req_id, const void *data)
{
    if (req_id < REQ_TRACKING_LOCATION_START_GPS || req_id > REQ_PDC_INFO_STOP) {
        LBS_LOGE("reqID is invalid");
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER;
    }
    if (g_bap_lbs_consumer == nullptr) {
        LBS_LOGE("g_bap_lbs_consumer is NULL");
        return LBS_CONSUMER_PLUGIN_ERROR_NO_DATA;
    }
    g_bap_lbs_consumer->req_data = data;
    GText text(bap_generate_req_message(req_id, g_bap_lbs_consumer));
    int result = LBS_CONSUMER_PLUGIN_ERROR_NONE;
    if (__bap_send_message(text.get()) != 1) {
        LBS_LOGE("__bap_send_message() Fail");
        result = LBS_CONSUMER_PLUGIN_ERROR_NOT_SENT;
    }
    after_send(__func__, req_id, result == LBS_CONSUMER_PLUGIN_ERROR_NONE);
    g_bap_lbs_consumer->req_data = nullptr;
    return result;
}

// ---- Messages in ----------------------------------------------------------------

namespace lbs::bap {

void on_bap_data_received(bap_service_h, unsigned int length, const void *data, void *)
{
    __bap_handle_received_data(static_cast<const char *>(data), length);
}

void __bap_handle_received_data(const char *data, unsigned int length)
{
    if (data == nullptr) {
        LBS_LOGE("data is NULL");
        return;
    }
    if (length == 0) {
        LBS_LOGE("data_len 0");
        return;
    }
    if (g_bap_lbs_consumer == nullptr) {
        LBS_LOGE("g_bap_lbs_consumer is NULL");
        return;
    }
    // The daemon's bytes carry no terminator.
    GText text(static_cast<char *>(g_malloc0(static_cast<gsize>(length) + 1)));
    std::memcpy(text.get(), data, length);
    // The text is loaded once, for its classification and its parse alike.
    const lbs::protocol::ReplyScope one_load;

    int msg_id = 0;
    const int ret = bap_json_get_msg_id(text.get(), length, &msg_id);
    if (ret != 0) {
        LBS_LOGE("bap_json_get_msg_id failed. [%d]", ret);
        return;
    }
    const Route *route = find_route(msg_id);
    if (route == nullptr) {
        LBS_LOGW("Not handled msg id [%d]", msg_id);
        return;
    }
    void *record = g_malloc0(route->record_size);
    // Whatever the parse filled reaches the handler; what it did not stays 0.
    (void)bap_json_parse_message(text.get(), length, route->parser, record);
    route->handle(record);
    __bap_release_rsp(msg_id, record);
}

void __bap_release_rsp(int msg_id, void *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("data is NULL");
        return;
    }
    switch (msg_id) {
    case MSG_ID_TRACKING_LOCATION_REQ:
    case MSG_ID_GPS_PLUS_REQ:
        break;
    case MSG_ID_EXERCISE_INFO_RSP:
        exercise_info_rsp_data_release_entries(static_cast<exercise_info_rsp_data *>(rsp));
        g_free(rsp);
        break;
    case MSG_ID_TRACKING_LOCATION_RSP:
    case MSG_ID_GPS_PLUS_RSP:
    case MSG_ID_LOCATION_SETTING_CHECK_RSP:
    case MSG_ID_SWITCH_LOCATION_SETTING_RSP:
    case MSG_ID_NTP_TIME_RSP:
        g_free(rsp);
        break;
    default:
        LBS_LOGW("Unknown msg [%d]", msg_id);
        break;
    }
}

} // namespace lbs::bap
