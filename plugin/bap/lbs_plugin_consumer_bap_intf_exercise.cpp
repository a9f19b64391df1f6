// The exercise session on the second link. The phone computes the figures;
// the watch starts, pauses, resumes, restarts and stops that computation
// under the rules of the session's state, and hands the figures on while the
// session runs. A running session keeps the BLE link awake with an alarm of
// its own.
//
//   state      start  stop  restart  pause          resume  interval/coaching  figures
//   stopped    run    stop  run      refused+event  refused refused+event      dropped
//   running    run    stop  run      paused         refused sent               delivered
//   paused     run    stop  run      refused+event  run     refused+event      dropped
//
// A state moves only when its request went out; stop moves in any case.
#include "lbs_plugin_consumer_bap_intf_internal.h"

#include "../lbs_plugin_consumer_event.h"
#include "../lbs_plugin_consumer_log.h"
#include "lbs_plugin_consumer_bap_main.h"

namespace lbs::bap {
namespace {

bool has_state_record(const char *func)
{
    if (g_bap_lbs_consumer == nullptr) {
        LBS_LOGE_AS(func, "g_bap_lbs_consumer is NULL");
        return false;
    }
    return true;
}

// 0 when the command can be looked at: the state record exists and, for a
// command that sends the host's record, so does that record.
int check(const char *func, const kinetra_req_info *req, bool sends_record)
{
    if (!has_state_record(func))
        return LBS_CONSUMER_PLUGIN_ERROR_NO_DATA;
    if (sends_record && req == nullptr) {
        LBS_LOGE_AS(func, "req_info is NULL");
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER;
    }
    return 0;
}

bool is_running()
{
    const int state = g_bap_lbs_consumer->current_state;
    return state != KINETRA_STATE_STOPPED && state != KINETRA_STATE_PAUSED;
}

// A command the state does not allow never reaches the phone. Some refusals
// are also told to the host, as an exercise event of the last command taken.
int refuse(const char *func, bool tell_host)
{
    LBS_LOGE_AS(func, "LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND. err[%d], current_state[%d]",
             LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND, g_bap_lbs_consumer->current_state);
    if (tell_host)
        bap_respond_knt_info(CONSUMER_ERR_INVALID_KINETRA_COMMAND, nullptr, g_bap_lbs_consumer->last_cmd);
    return LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND;
}

void take(int state, int cmd)
{
    g_bap_lbs_consumer->current_state = state;
    g_bap_lbs_consumer->last_cmd = cmd;
}

int _bap_knt_start(const kinetra_req_info *req)
{
    if (const int error = check(__func__, req, true); error != 0)
        return error;
    const int result = bap_send_message(REQ_KINETRA_START, req);
    if (result != 0) {
        LBS_LOGE("Failed to send kinetra-start command. [%d]", result);
        return result;
    }
    take(KINETRA_STATE_RUNNING, KINETRA_CMD_START);
    // A start while running keeps the one alarm it has.
    if (g_bap_lbs_consumer->knt_dummy_pkt_alarm_id == 0) {
        LBS_LOGE("Enabled BLE dummy packet send handler");
        bap_arm_keep_alive(__func__, &g_bap_lbs_consumer->knt_dummy_pkt_alarm_id);
    }
    return 0;
}

int _bap_knt_stop()
{
    if (const int error = check(__func__, nullptr, false); error != 0)
        return error;
    if (g_bap_lbs_consumer->knt_dummy_pkt_alarm_id != 0) {
        LBS_LOGE("Disabled BLE dummy packet send handler");
        bap_remove_alarm(&g_bap_lbs_consumer->knt_dummy_pkt_alarm_id);
    }
    const int result = bap_send_message(REQ_KINETRA_STOP, nullptr);
    if (result != 0)
        LBS_LOGE("Failed to send kinetra-stop command. [%d]. but consumer-side will be stopped.", result);
    take(KINETRA_STATE_STOPPED, KINETRA_CMD_STOP);
    return 0;
}

int _bap_knt_restart(const kinetra_req_info *req)
{
    if (const int error = check(__func__, req, true); error != 0)
        return error;
    const int result = bap_send_message(REQ_KINETRA_RESTART, req);
    if (result != 0) {
        LBS_LOGE("Failed to send kinetra-restart command. [%d]", result);
        return result;
    }
    // Only a start arms the keep-alive; a restart leaves it as it is.
    take(KINETRA_STATE_RUNNING, KINETRA_CMD_RESTART);
    return 0;
}

int _bap_knt_pause()
{
    if (const int error = check(__func__, nullptr, false); error != 0)
        return error;
    if (!is_running())
        return refuse(__func__, true);
    const int result = bap_send_message(REQ_KINETRA_PAUSE, nullptr);
    if (result != 0) {
        LBS_LOGE("Failed to send kinetra-pause command. [%d]", result);
        return result;
    }
    take(KINETRA_STATE_PAUSED, KINETRA_CMD_PAUSE);
    return 0;
}

int _bap_knt_resume()
{
    if (const int error = check(__func__, nullptr, false); error != 0)
        return error;
    if (g_bap_lbs_consumer->current_state != KINETRA_STATE_PAUSED)
        return refuse(__func__, false);
    const int result = bap_send_message(REQ_KINETRA_RESUME, nullptr);
    if (result != 0) {
        LBS_LOGE("Failed to send kinetra-resume command. [%d]", result);
        return result;
    }
    take(KINETRA_STATE_RUNNING, KINETRA_CMD_RESUME);
    return 0;
}

int _bap_knt_change_interval(const kinetra_req_info *req)
{
    if (const int error = check(__func__, req, true); error != 0)
        return error;
    if (!is_running())
        return refuse(__func__, true);
    const int result = bap_send_message(REQ_KINETRA_CHANGE_INTERVAL, req);
    if (result != 0)
        LBS_LOGE("Failed to send kinetra-change interval command. [%d]", result);
    return result;
}

int _bap_knt_change_coaching_set(const kinetra_req_info *req)
{
    if (const int error = check(__func__, nullptr, false); error != 0)
        return error;
    if (!is_running())
        return refuse(__func__, true);
    const int result = bap_send_message(REQ_KINETRA_CHANGE_COACHING_SET, req);
    if (result != 0)
        LBS_LOGE("Failed to send kinetra-change coaching set command. [%d]", result);
    return result;
}

} // namespace

void _bap_knt_handle_rsp(const exercise_info_rsp_data *rsp)
{
    if (rsp == nullptr) {
        LBS_LOGE("Invalid parameter.");
        return;
    }
    if (!has_state_record(__func__))
        return;
    lbs_event_handle_kinetra_reply(__func__, rsp, g_bap_lbs_consumer->current_state, g_bap_lbs_consumer->last_cmd,
                                   bap_respond_knt_info);
}

} // namespace lbs::bap

using namespace lbs::bap;

int bap_knt_handle_request(const kinetra_req_info *req)
{
    if (req == nullptr) {
        LBS_LOGE("req_info is NULL");
        return LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER;
    }
    switch (req->command) {
    case KINETRA_CMD_START:
        LBS_REFCNT_LOGI("exercise start");
        return _bap_knt_start(req);
    case KINETRA_CMD_STOP:
        LBS_REFCNT_LOGI("exercise stop");
        return _bap_knt_stop();
    case KINETRA_CMD_RESTART:
        return _bap_knt_restart(req);
    case KINETRA_CMD_PAUSE:
        return _bap_knt_pause();
    case KINETRA_CMD_RESUME:
        return _bap_knt_resume();
    case KINETRA_CMD_CHANGE_INTERVAL:
        return _bap_knt_change_interval(req);
    case KINETRA_CMD_CHANGE_COACHING_SET:
        return _bap_knt_change_coaching_set(req);
    default:
        // The auto-pause settings included: this link has none.
        LBS_LOGE("Not supported exercise command!! [%d]", req->command);
        return CONSUMER_ERR_UNKNOWN;
    }
}
