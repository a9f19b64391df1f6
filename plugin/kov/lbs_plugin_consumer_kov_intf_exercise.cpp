// The first link's exercise session: which host command is allowed in which
// state, the exercise and PDC requests each one sends, and the phone's
// exercise replies turned into host events.
//
// The state moves as soon as the link accepts a request (sent or queued),
// before the phone answers; a stop always ends the session on this side,
// even when its request cannot go out.
#include "lbs_plugin_consumer_kov_intf_internal.h"

#include "../lbs_plugin_consumer_event.h"
#include "../lbs_plugin_consumer_log.h"
#include "lbs_plugin_consumer_json_builder.h"
#include "lbs_plugin_consumer_main.h"

namespace {

bool has_state_record(const char *func)
{
    if (g_lbs_consumer == nullptr) {
        LBS_LOGE_AS(func, "g_lbs_consumer is NULL");
        return false;
    }
    return true;
}

bool has_request_record(const char *func, const kinetra_req_info *req)
{
    if (req == nullptr) {
        LBS_LOGE_AS(func, "req_info is NULL");
        return false;
    }
    return true;
}

void enter_state(int state, int command)
{
    g_lbs_consumer->current_state = state;
    g_lbs_consumer->last_cmd = command;
}

// Commands that adjust a session need one that runs (or, for resume, one
// that is paused). Logs the refusal; the caller decides whether the host
// hears of it.
bool session_allows(const char *func, int required_state)
{
    const int refcnt = g_get_exercise_refcnt();
    if (refcnt > 0 && g_lbs_consumer->current_state == required_state)
        return true;
    LBS_LOGE_AS(func, "LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND. err[%d], ref_cnt[%d], current_state[%d]",
             LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND, refcnt, g_lbs_consumer->current_state);
    return false;
}

// Start and restart: the session (re)begins once its request is accepted,
// and the PDC values start with it.
int begin_session(const char *func, const kinetra_req_info *req, int req_id, int command, const char *failure)
{
    if (!has_state_record(func))
        return LBS_CONSUMER_PLUGIN_ERROR_NO_DATA;
    if (!has_request_record(func, req))
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER;

    int ret = kov_send_message(req_id, req);
    if (ret != 0) {
        LBS_LOGE_AS(func, "%s [%d]", failure, ret);
        return ret;
    }
    kov_send_message(REQ_PDC_INFO_START, nullptr);
    enter_state(KINETRA_STATE_RUNNING, command);
    return LBS_CONSUMER_PLUGIN_ERROR_NONE;
}

int _kinetra_consumer_start(const kinetra_req_info *req)
{
    return begin_session(__func__, req, REQ_KINETRA_START, KINETRA_CMD_START, "Failed to send kinetra-start command.");
}

int _kinetra_consumer_stop()
{
    if (!has_state_record(__func__))
        return LBS_CONSUMER_PLUGIN_ERROR_NO_DATA;

    const int refcnt = g_get_exercise_refcnt();
    if (refcnt < 1) {
        LBS_LOGE("Already stopped. [%d]", refcnt);
        enter_state(KINETRA_STATE_STOPPED, KINETRA_CMD_STOP);
        return LBS_CONSUMER_PLUGIN_ERROR_NONE;
    }

    kov_send_message(REQ_PDC_INFO_STOP, nullptr);
    int ret = kov_send_message(REQ_KINETRA_STOP, nullptr);
    if (ret != 0)
        LBS_LOGE("Failed to send kinetra-stop command. [%d]. but consumer-side will be stopped.", ret);
    enter_state(KINETRA_STATE_STOPPED, KINETRA_CMD_STOP);
    return LBS_CONSUMER_PLUGIN_ERROR_NONE;
}

int _kinetra_consumer_restart(const kinetra_req_info *req)
{
    return begin_session(__func__, req, REQ_KINETRA_RESTART, KINETRA_CMD_RESTART,
                         "Failed to send kinetra-restart command.");
}

int _kinetra_consumer_pause()
{
    if (!has_state_record(__func__))
        return LBS_CONSUMER_PLUGIN_ERROR_NO_DATA;
    if (!session_allows(__func__, KINETRA_STATE_RUNNING)) {
        respond_kinetra_info(CONSUMER_ERR_INVALID_KINETRA_COMMAND, nullptr, KINETRA_CMD_PAUSE);
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND;
    }

    kov_send_message(REQ_PDC_INFO_STOP, nullptr);
    int ret = kov_send_message(REQ_KINETRA_PAUSE, nullptr);
    if (ret != 0) {
        LBS_LOGE("Failed to send kinetra-pause command. [%d]", ret);
        return ret;
    }
    enter_state(KINETRA_STATE_PAUSED, KINETRA_CMD_PAUSE);
    return LBS_CONSUMER_PLUGIN_ERROR_NONE;
}

int _kinetra_consumer_resume()
{
    if (!has_state_record(__func__))
        return LBS_CONSUMER_PLUGIN_ERROR_NO_DATA;
    // A refused resume is only reported to the dispatcher.
    if (!session_allows(__func__, KINETRA_STATE_PAUSED))
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND;

    int ret = kov_send_message(REQ_KINETRA_RESUME, nullptr);
    if (ret != 0) {
        LBS_LOGE("Failed to send kinetra-resume command. [%d]", ret);
        return ret;
    }
    kov_send_message(REQ_PDC_INFO_START, nullptr);
    enter_state(KINETRA_STATE_RUNNING, KINETRA_CMD_RESUME);
    return LBS_CONSUMER_PLUGIN_ERROR_NONE;
}

// Change of interval and of coaching settings adjust a running session; a
// refusal also reaches the host as an exercise event of the last command.
int check_adjustment(const char *func, const kinetra_req_info *req)
{
    if (!has_state_record(func))
        return LBS_CONSUMER_PLUGIN_ERROR_NO_DATA;
    if (!has_request_record(func, req))
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER;
    if (!session_allows(func, KINETRA_STATE_RUNNING)) {
        respond_kinetra_info(CONSUMER_ERR_INVALID_KINETRA_COMMAND, nullptr, g_lbs_consumer->last_cmd);
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND;
    }
    return LBS_CONSUMER_PLUGIN_ERROR_NONE;
}

int _kinetra_consumer_change_interval(const kinetra_req_info *req)
{
    int ret = check_adjustment(__func__, req);
    if (ret != 0)
        return ret;
    ret = kov_send_message(REQ_KINETRA_CHANGE_INTERVAL, req);
    if (ret != 0)
        LBS_LOGE("Failed to send kinetra-change interval command. [%d]", ret);
    return ret;
}

int _kinetra_consumer_change_coaching_set(const kinetra_req_info *req)
{
    const int ret = check_adjustment(__func__, req);
    return ret != 0 ? ret : kov_send_message(REQ_KINETRA_CHANGE_COACHING_SET, req);
}

// The auto-pause settings are the phone's and hold whether or not a session
// runs, so they go out in any state and leave the session as it is.
int _kinetra_consumer_enable_auto_pause_resume(int req_id, const kinetra_req_info *req)
{
    if (!has_state_record(__func__))
        return LBS_CONSUMER_PLUGIN_ERROR_NO_DATA;
    if (!has_request_record(__func__, req))
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER;

    int ret = kov_send_message(req_id, req);
    if (ret != 0)
        LBS_LOGE("Failed to send kinetra-auto pause command. [%d]", ret);
    return ret;
}

} // namespace

int kov_knt_handle_request(const kinetra_req_info *req)
{
    if (!has_request_record(__func__, req))
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER;

    switch (req->command) {
    case KINETRA_CMD_START:
        LBS_REFCNT_LOGI("exercise start");
        increase_exercise_refcnt();
        return _kinetra_consumer_start(req);
    case KINETRA_CMD_STOP: {
        LBS_REFCNT_LOGI("exercise stop");
        int ret = _kinetra_consumer_stop();
        decrease_exercise_refcnt();
        lbs_plugin_consumer_terminate_service_connection();
        return ret;
    }
    case KINETRA_CMD_RESTART:
        return _kinetra_consumer_restart(req);
    case KINETRA_CMD_PAUSE:
        return _kinetra_consumer_pause();
    case KINETRA_CMD_RESUME:
        return _kinetra_consumer_resume();
    case KINETRA_CMD_CHANGE_INTERVAL:
        return _kinetra_consumer_change_interval(req);
    case KINETRA_CMD_CHANGE_COACHING_SET:
        return _kinetra_consumer_change_coaching_set(req);
    case KINETRA_CMD_SET_AUTO_PAUSE_ENABLED:
        return _kinetra_consumer_enable_auto_pause_resume(REQ_KINETRA_SET_AUTO_PAUSE_ENABLED, req);
    case KINETRA_CMD_SET_AUTO_PAUSE_PARAMETER:
        return _kinetra_consumer_enable_auto_pause_resume(REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER, req);
    default:
        LBS_LOGW("Invalid command! [%d]", req->command);
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND;
    }
}

void _kinetra_consumer_handle_response(exercise_info_rsp_data *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("Invalid parameter.");
        return;
    }
    if (!has_state_record(__func__))
        return;
    lbs_event_handle_kinetra_reply(__func__, rsp, g_lbs_consumer->current_state, g_lbs_consumer->last_cmd,
                                   respond_kinetra_info);
}
