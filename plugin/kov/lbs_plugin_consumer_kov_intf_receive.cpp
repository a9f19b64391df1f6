// The receive path and the request timers. Everything the phone's provider
// sends arrives in on_data_ind: the text is copied, classified by its
// "msgId", parsed into a zero-filled record, handed to its consumer and
// released. For the three requests whose answer the host waits for, a timer
// that expires without an answer makes up a failed one, so that the host is
// always answered.
#include "lbs_plugin_consumer_kov_intf_internal.h"

#include "../lbs_plugin_consumer_log.h"
#include "lbs_plugin_consumer_main.h"

#include <cstdint>
#include <cstring>

namespace {

// Stops one timer of the assistance or map pair, saying so.
void _stop_req_timer(const char *func, lbs_req_timer_type_e type, const char *name)
{
    alarm_id_t &id = g_lbs_consumer->req_timer[type];
    if (id == 0)
        return;
    LBS_LOGE_AS(func, "Remove timer %s", name);
    if (alarmmgr_remove_alarm(id) != ALARMMGR_RESULT_SUCCESS)
        LBS_LOGE_AS(func, "Failed to remove timer %s", name);
    id = 0;
}

// A timer's callback forgets its own id first; the other timer of its pair
// is left alone.
void _forget_own_timer(lbs_req_timer_type_e type)
{
    if (g_lbs_consumer != nullptr)
        kov_remove_alarm(&g_lbs_consumer->req_timer[type]);
}

template <typename Record> Record *_new_record()
{
    return static_cast<Record *>(g_malloc0(sizeof(Record)));
}

// Parses text into a fresh record of its kind and hands it to consume; the
// record is released afterwards. The parse result is not examined: the
// consumer sees whatever was filled, zeros elsewhere.
template <typename Record>
void _parse_and_consume(int msg_id, const char *text, size_t length, JsonObjectForeach parser,
                        void (*consume)(Record *))
{
    Record *rsp = _new_record<Record>();
    parse_json_message(text, length, parser, rsp);
    consume(rsp);
    _release_rsp(msg_id, rsp);
}

void _location_setting_change_timed_out(const char *func, lbs_req_timer_type_e type)
{
    LBS_LOGE_AS(func, ">>");
    _forget_own_timer(type);
    decrease_pos_refcnt();
    location_setting_change_rsp_message *rsp = _new_record<location_setting_change_rsp_message>();
    rsp->result = 2;
    respond_location_setting_change(rsp);
    _release_rsp(MSG_ID_SWITCH_LOCATION_SETTING_RSP, rsp);
    lbs_plugin_consumer_terminate_service_connection();
    LBS_LOGE_AS(func, "<<");
}

void _gps_plus_timed_out(lbs_req_timer_type_e type)
{
    _forget_own_timer(type);
    gps_plus_rsp_message *rsp = _new_record<gps_plus_rsp_message>();
    rsp->result = 2;
    rsp->reason = 1;
    rsp->method = g_lbs_consumer != nullptr ? g_lbs_consumer->gps_plus_req_id : -1;
    __gps_plus_rsp(rsp);
    _release_rsp(MSG_ID_GPS_PLUS_RSP, rsp);
    if (g_lbs_consumer != nullptr)
        g_lbs_consumer->gps_plus_req_id = -1;
}

void _here_map_timed_out(lbs_req_timer_type_e type)
{
    _forget_own_timer(type);
    here_map_rsp_message *rsp = _new_record<here_map_rsp_message>();
    rsp->result = 2;
    rsp->reason = 1;
    __here_map_rsp(rsp);
    _release_rsp(MSG_ID_HERE_MAP_RSP, rsp);
}

void _consume_tracking(loc_tracking_rsp_message *rsp)
{
    _fail_non_finite_position("_handle_received_data", rsp);
    respond_update_position(rsp);
}

// A batch holding one position that is not finite is failed as a whole, as
// a single such position is: the host gets the time-out and no positions.
void _consume_batch(location_batch_rsp_message *rsp)
{
    if (rsp->result == 1) {
        const unsigned count = rsp->num_of_location < 150u ? rsp->num_of_location : 150u;
        for (unsigned i = 0; i < count; ++i) {
            loc_tracking_rsp_message entry = rsp->locations[i];
            entry.result = 1;
            if (_fail_non_finite_position("_handle_received_data", &entry) != 0) {
                rsp->result = 2;
                rsp->reason = 1;
                break;
            }
        }
    }
    respond_batch_position(rsp);
}
void _consume_setting_check(location_setting_check_rsp_message *rsp) { respond_location_setting_check(rsp); }
void _consume_setting_change(location_setting_change_rsp_message *rsp) { respond_location_setting_change(rsp); }
void _consume_ref_time(ref_time_rsp_message *rsp) { respond_ref_time(rsp); }
void _consume_pdc(pdc_info_rsp_message *rsp) { respond_pdc_info(rsp); }

} // namespace

void on_data_ind(int service_handle, unsigned short channel_id, unsigned int length, const void *buffer)
{
    (void)service_handle;
    (void)channel_id;
    if (buffer == nullptr) {
        LBS_LOGE("pvBuffer is NULL");
        return;
    }
    _handle_received_data(static_cast<const char *>(buffer), length);
}

int _handle_received_data(const char *buffer, unsigned int length)
{
    if (buffer == nullptr) {
        LBS_LOGE("data_buffer NULL");
        return 0;
    }
    if (length == 0) {
        LBS_LOGE("data_len 0");
        return 0;
    }
    char *text = static_cast<char *>(g_malloc(static_cast<gsize>(length) + 1));
    memcpy(text, buffer, length);
    text[length] = '\0';
    // The text is loaded once, for its classification and its parse alike.
    const lbs::protocol::ReplyScope one_load;

    int msg_id = 0;
    const int ret = get_msg_id_from_json_string(text, length, &msg_id);
    if (ret != 0) {
        LBS_LOGE("consumer_plugin_json_get_msg_id failed. [%d]", ret);
        g_free(text);
        return 0;
    }

    lbs_plugin_consumer_s *c = g_lbs_consumer;
    switch (msg_id) {
    case MSG_ID_TRACKING_LOCATION_RSP:
        _parse_and_consume(msg_id, text, length, consumer_plugin_location_tracking_response_parser,
                           _consume_tracking);
        break;
    case MSG_ID_GPS_PLUS_RSP:
        LBS_LOGE("handle GPS_PLUS_RSP");
        if (c == nullptr)
            break;
        LBS_LOGE("GPSPLUS_WAIT_CONNECTION [%d], GPSPLUS_WAIT_RESPONSE [%d]",
                 c->req_timer[REQ_TIMER_TYPE_GPSPLUS_WAIT_CONNECTION], c->req_timer[REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE]);
        _stop_req_timer(__func__, REQ_TIMER_TYPE_GPSPLUS_WAIT_CONNECTION, "GPSPLUS_WAIT_CONNECTION");
        _stop_req_timer(__func__, REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE, "GPSPLUS_WAIT_RESPONSE");
        if (c->is_requested_gps_extra_data == 1)
            _parse_and_consume(msg_id, text, length, consumer_plugin_gps_plus_response_parser, __gps_plus_rsp);
        break;
    case MSG_ID_LOCATION_SETTING_CHECK_RSP:
        _parse_and_consume(msg_id, text, length, consumer_plugin_location_setting_check_response_parser,
                           _consume_setting_check);
        break;
    case MSG_ID_SWITCH_LOCATION_SETTING_RSP:
        if (c != nullptr) {
            kov_remove_alarm(&c->req_timer[REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_CONNECTION]);
            kov_remove_alarm(&c->req_timer[REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_RESPONSE]);
        }
        decrease_pos_refcnt();
        _parse_and_consume(msg_id, text, length, consumer_plugin_location_setting_change_response_parser,
                           _consume_setting_change);
        lbs_plugin_consumer_terminate_service_connection();
        break;
    case MSG_ID_EXERCISE_INFO_RSP:
        _parse_and_consume(msg_id, text, length, exercise_info_rsp_parser, _kinetra_consumer_handle_response);
        break;
    case MSG_ID_LOCATION_BATCH_RSP:
        LBS_LOGE("Handle LOCATION_BATCH_RSP. [%d]", static_cast<int>(sizeof(location_batch_rsp_message)));
        _parse_and_consume(msg_id, text, length, _location_batch_rsp_parser_cb, _consume_batch);
        break;
    case MSG_ID_HERE_MAP_RSP:
        LBS_LOGE("handle HERE_MAP_RSP");
        if (c == nullptr)
            break;
        LBS_LOGE("Timer info. HERE_MAP_WAIT_CONNECTION [%d], HERE_MAP_WAIT_RESPONSE [%d]",
                 c->req_timer[REQ_TIMER_TYPE_HERE_MAP_WAIT_CONNECTION], c->req_timer[REQ_TIMER_TYPE_HERE_MAP_WAIT_RESPONSE]);
        _stop_req_timer(__func__, REQ_TIMER_TYPE_HERE_MAP_WAIT_CONNECTION, "HERE_MAP_WAIT_CONNECTION");
        _stop_req_timer(__func__, REQ_TIMER_TYPE_HERE_MAP_WAIT_RESPONSE, "HERE_MAP_WAIT_RESPONSE");
        if (c->is_requested_map_image_data == 1)
            _parse_and_consume(msg_id, text, length, _here_map_download_rsp_parser_cb, __here_map_rsp);
        break;
    case MSG_ID_NTP_TIME_RSP:
        LBS_LOGE("handle REF_TIME_RSP");
        decrease_pos_refcnt();
        _parse_and_consume(msg_id, text, length, ref_time_parser, _consume_ref_time);
        lbs_plugin_consumer_terminate_service_connection();
        break;
    case MSG_ID_PDC_INFO_RSP:
        LBS_LOGE("handle PDC_INFO_RSP");
        _parse_and_consume(msg_id, text, length, pdc_info_parser, _consume_pdc);
        break;
    default:
        LBS_LOGW("Not handled msg id [%d]", msg_id);
        break;
    }
    g_free(text);
    return 1;
}

void __gps_plus_rsp(gps_plus_rsp_message *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("gps_plus_rsp_message is NULL");
        return;
    }
    LBS_LOGE("gps_plus_rsp.");
    if (rsp->result == 1) {
        LBS_LOGE("gps_plus_rsp OK. ready to receive file");
        g_set_ready_to_download_gps_extra_data_status(1);
    } else if (rsp->result == 2) {
        LBS_LOGE("gps_plus_rsp Not OK. reason [%lld]", static_cast<long long>(rsp->reason));
        if (g_lbs_consumer != nullptr)
            g_lbs_consumer->is_requested_gps_extra_data = 0;
        decrease_pos_refcnt();
        respond_extra_data(nullptr);
        lbs_plugin_consumer_terminate_service_connection();
    }
}

void __here_map_rsp(here_map_rsp_message *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("here_map_rsp_message is NULL");
        return;
    }
    LBS_LOGE("here_map_rsp.");
    if (rsp->result == 1) {
        LBS_LOGE("here_map_rsp OK. ready to receive file and wait file transfer callback.");
        g_set_ready_to_download_here_map_image_status(1);
    } else if (rsp->result == 2) {
        LBS_LOGE("here_map_rsp Not OK. reason [%lld]", static_cast<long long>(rsp->reason));
        g_set_requested_map_image_data(0);
        decrease_pos_refcnt();
        lbs_plugin_consumer_terminate_service_connection();
        // A reason outside int's range must not alias a known one.
        const int64_t reason = rsp->reason;
        respond_here_map_download(reason >= INT32_MIN && reason <= INT32_MAX ? static_cast<int>(reason) : 255,
                                  nullptr);
    }
}

void _release_rsp(int msg_id, void *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("data NULL");
        return;
    }
    switch (msg_id) {
    case MSG_ID_EXERCISE_INFO_RSP:
        exercise_info_rsp_data_release_entries(static_cast<exercise_info_rsp_data *>(rsp));
        g_free(rsp);
        break;
    case MSG_ID_TRACKING_LOCATION_RSP:
    case MSG_ID_GPS_PLUS_RSP:
    case MSG_ID_LOCATION_SETTING_CHECK_RSP:
    case MSG_ID_SWITCH_LOCATION_SETTING_RSP:
    case MSG_ID_LOCATION_BATCH_RSP:
    case MSG_ID_HERE_MAP_RSP:
    case MSG_ID_NTP_TIME_RSP:
    case MSG_ID_PDC_INFO_RSP:
        g_free(rsp);
        break;
    default:
        LBS_LOGW("Unknown [%d]", msg_id);
        break;
    }
}

int req_location_setting_change_wait_connection_timeout_cb(alarm_id_t, void *)
{
    _location_setting_change_timed_out(__func__, REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_CONNECTION);
    return 0;
}

int req_location_setting_change_wait_response_timeout_cb(alarm_id_t, void *)
{
    _location_setting_change_timed_out(__func__, REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_RESPONSE);
    return 0;
}

int req_gpsplus_wait_connection_timeout_cb(alarm_id_t, void *)
{
    LBS_LOGW("Connection time out for GPS PLUS XTRA data");
    _gps_plus_timed_out(REQ_TIMER_TYPE_GPSPLUS_WAIT_CONNECTION);
    return 0;
}

int req_gpsplus_wait_response_timeout_cb(alarm_id_t, void *)
{
    LBS_LOGE("GPS plus No response in time");
    _gps_plus_timed_out(REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE);
    return 0;
}

int req_here_map_download_wait_connection_timeout_cb(alarm_id_t, void *)
{
    LBS_LOGW("Connection time out for HERE Map downloading");
    _here_map_timed_out(REQ_TIMER_TYPE_HERE_MAP_WAIT_CONNECTION);
    return 0;
}

int req_here_map_download_wait_response_timeout_cb(alarm_id_t, void *)
{
    LBS_LOGE("HERE map image downloading no response in time");
    _here_map_timed_out(REQ_TIMER_TYPE_HERE_MAP_WAIT_RESPONSE);
    return 0;
}
