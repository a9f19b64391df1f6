// The GPS assistance file on the second link. A request (sent by the send
// path, which also arms a 10-second wait) is answered by "lbs-gps-plus-rsp";
// after an OK the phone offers "gpsPlus.dat" through the daemon's file
// transfer, which is accepted into the file directory. Every failure on the
// way, the wait running out included, ends in one report to the host without
// a path.
#include "lbs_plugin_consumer_bap_intf_internal.h"

#include "../lbs_plugin_consumer_log.h"
#include "../lbs_plugin_consumer_utils.h"
#include "lbs_plugin_consumer_bap_main.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#ifndef LBS_EXTRA_DIR
#define LBS_EXTRA_DIR "/opt/usr/media/.extra/"
#endif

namespace lbs::bap {
namespace {


// Both flag setters log and store only a change.
void set_flag(const char *func, int lbs_plugin_consumer_bap_s::*flag, const char *name, int value)
{
    if (g_bap_lbs_consumer == nullptr) {
        LBS_LOGE_AS(func, "g_bap_lbs_consumer data not initialized");
        return;
    }
    const int old = g_bap_lbs_consumer->*flag;
    if (old == value) {
        LBS_LOGE_AS(func, "%skeep [%d]", name, value);
        return;
    }
    LBS_LOGE_AS(func, "%sstatus changed [%d -> %d]", name, old, value);
    g_bap_lbs_consumer->*flag = value;
}

int get_flag(const char *func, int lbs_plugin_consumer_bap_s::*flag)
{
    if (g_bap_lbs_consumer == nullptr) {
        LBS_LOGE_AS(func, "g_bap_lbs_consumer data not initialized");
        return 0;
    }
    return g_bap_lbs_consumer->*flag;
}

// The request ends in failure at once, as when the wait runs out.
void fail_request()
{
    req_gpsplus_wait_response_timeout_cb(-1, g_bap_lbs_consumer);
}

GText base_name(const char *path)
{
    return GText(path != nullptr ? g_path_get_basename(path) : nullptr);
}

} // namespace

void g_set_ready_to_download_gps_extra_data_status(int value)
{
    set_flag(__func__, &lbs_plugin_consumer_bap_s::is_ready_to_receive_gps_extra_data,
             "is_ready_to_receive_gps_extra_data ", value);
}

int g_get_ready_to_download_gps_extra_data_status(void)
{
    return get_flag(__func__, &lbs_plugin_consumer_bap_s::is_ready_to_receive_gps_extra_data);
}

void g_set_is_requested_gps_extra_data(int value)
{
    set_flag(__func__, &lbs_plugin_consumer_bap_s::is_requested_gps_extra_data, "", value);
}

void bap_arm_gps_plus_wait(const char *func, int req_id)
{
    int &slot = g_bap_lbs_consumer->req_timer[REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE];
    if (slot != 0)
        return;
    g_bap_lbs_consumer->gps_plus_req_id = req_id;
    alarm_id_t id = 0;
    if (alarmmgr_add_alarm_withcb(ALARM_TYPE_DEFAULT, kReqTimerSeconds[REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE], 0,
                                  req_gpsplus_wait_response_timeout_cb, g_bap_lbs_consumer, &id) != 0) {
        LBS_LOGE_AS(func, "Failed add alarm REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE");
        g_bap_lbs_consumer->gps_plus_req_id = -1;
        return;
    }
    slot = id;
}

void __bap_gps_plus_rsp(const gps_plus_rsp_message *rsp)
{
    if (g_bap_lbs_consumer == nullptr) {
        LBS_LOGE("lbs_consumer data not initialized");
        return;
    }
    if (rsp == nullptr) {
        LBS_LOGE("gps_plus_rsp_message is NULL");
        return;
    }
    LBS_LOGE("gps_plus_rsp");
    if (rsp->result == 1) {
        // The wait goes on: the file itself has to arrive within it.
        LBS_LOGE("gps_plus_rsp OK. ready to receive file");
        g_set_ready_to_download_gps_extra_data_status(1);
    } else if (rsp->result == 2) {
        LBS_LOGE("gps_plus_rsp Not OK. reason [%lld]", static_cast<long long>(rsp->reason));
        g_set_is_requested_gps_extra_data(0);
        g_set_ready_to_download_gps_extra_data_status(0);
        bap_respond_extra_data(nullptr);
    }
}

int req_gpsplus_wait_response_timeout_cb(alarm_id_t alarm_id, void *)
{
    if (g_bap_lbs_consumer == nullptr)
        return 0;
    if (alarm_id == -1)
        LBS_LOGE("Fail to receive GPS plus");
    else
        LBS_LOGE("GPS plus No response in time");
    bap_remove_alarm(&g_bap_lbs_consumer->req_timer[REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE]);

    gps_plus_rsp_message failed = {};
    failed.result = 2;
    failed.reason = 1;
    failed.method = g_bap_lbs_consumer->gps_plus_req_id;
    __bap_gps_plus_rsp(&failed);
    g_bap_lbs_consumer->gps_plus_req_id = -1;
    return 0;
}

void on_bap_file_incoming(bap_transfer_h transfer, const char *file_name, int transfer_id, void *)
{
    LBS_LOGE("file incoming [%s]", file_name != nullptr ? file_name : "NULL");
    // Offers nobody asked for are left unanswered.
    if (g_get_is_requested_gps_extra_data() == 0) {
        LBS_LOGE("No requested state");
        return;
    }
    const GText name = base_name(file_name);
    if (!name) {
        LBS_LOGE("filename is NULL");
        return;
    }
    if (std::strcmp(name.get(), kGpsPlusFileName) != 0) {
        // Refused, but the request stays outstanding for the right file.
        LBS_LOGW("====== Reject unknown file incoming [%s] ======", name.get());
        bap_service_file_transfer_reject(transfer, transfer_id);
        return;
    }
    LBS_LOGE("====== GPS PLUS XTRA file downloading ======");

    const int ready = g_get_ready_to_download_gps_extra_data_status();
    if (ready != 1 || lbs_util_is_memory_space_available() == 0) {
        LBS_LOGW("Invalid FT incoming - ready:[%d] memory available:[%d]", ready,
                 lbs_util_is_memory_space_available());
        bap_service_file_transfer_reject(transfer, transfer_id);
        fail_request();
        return;
    }
    const GText path(g_build_filename("/", LBS_EXTRA_DIR, name.get(), nullptr));
    if (!path) {
        LBS_LOGE("filepath NULL");
        bap_service_file_transfer_reject(transfer, transfer_id);
        fail_request();
        return;
    }
    lbs_util_prepare_file_target(__func__, path.get());
    const int ret = bap_service_file_transfer_receive(transfer, path.get(), transfer_id);
    if (ret != BAP_ERROR_NONE) {
        LBS_LOGE("Failed bap_service_file_transfer_receive [%d]", ret);
        fail_request();
        return;
    }
    LBS_LOGE("Accept [%s]", path.get());
}

void on_bap_file_receive_completed(bap_service_h, int status, const char *file_path, int transfer_id, void *)
{
    bool failed = false;
    if (file_path == nullptr) {
        LBS_LOGE("path NULL unique_id [%d]", transfer_id);
        failed = true;
    } else if (status != BAP_FILE_TRANSFER_COMPLETED) {
        LBS_LOGE("file(%s) receive status [%d]", file_path, status);
        failed = true;
    } else {
        LBS_LOGE("file(%s) receive completed", file_path);
        const GText name = base_name(file_path);
        if (!name) {
            LBS_LOGE("Could not get filename.");
            failed = true;
        } else if (std::strstr(name.get(), kGpsPlusFileName) != nullptr) {
            // Also after the wait has run out: the host then hears twice,
            // first without the file and now with it.
            if (g_bap_lbs_consumer != nullptr)
                bap_remove_alarm(&g_bap_lbs_consumer->req_timer[REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE]);
            g_set_ready_to_download_gps_extra_data_status(0);
            g_set_is_requested_gps_extra_data(0);
            bap_respond_extra_data(file_path);
        }
    }
    if (failed && g_get_is_requested_gps_extra_data() == 1)
        fail_request();
}

void on_bap_file_transfer_progress(bap_service_h, int, unsigned int, void *)
{
    // Progress is of no interest: only the end of a transfer counts.
}

} // namespace lbs::bap

int g_get_is_requested_gps_extra_data(void)
{
    return lbs::bap::get_flag(__func__, &lbs_plugin_consumer_bap_s::is_requested_gps_extra_data);
}
