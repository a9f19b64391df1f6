// File reception on the first link: the assistance file ("gpsPlus.dat") and
// the rendered map image ("map.jpg") that the phone offers by file transfer
// after announcing them in a reply.
//
// The offered name comes from the other side of a radio link and is treated
// as hostile: only its base name is looked at, only the two exact names are
// ever accepted, and the file always lands directly in the file directory
// under that name. Every other name is refused with the framework and never
// used to build a path. Names are only ever printf arguments.
#include "lbs_plugin_consumer_kov_intf_internal.h"

#include "../lbs_plugin_consumer_log.h"
#include "../lbs_plugin_consumer_utils.h"
#include "lbs_plugin_consumer_main.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *kGpsPlusFileName = "gpsPlus.dat";
constexpr const char *kMapImageFileName = "map.jpg";
constexpr const char *kFileDirectory = LBS_EXTRA_DIR;
constexpr uid_t kMediaOwner = 5000;
constexpr gid_t kMediaGroup = 5000;
// Reason given to the host for every map failure decided on this side.
constexpr int kMapLocalFailure = 255;

struct GFree {
    void operator()(char *p) const { g_free(p); }
};
using GText = std::unique_ptr<char, GFree>;

// The base name of path, or nothing for a NULL path.
GText base_name_of(const char *path)
{
    if (path == nullptr)
        return nullptr;
    return GText(g_path_get_basename(path));
}

// Where a file of this (already vetted) base name is stored.
GText target_path_for(const char *base_name)
{
    return GText(g_build_filename("/", kFileDirectory, base_name, NULL));
}

const char *printable(const char *text)
{
    return text != nullptr ? text : "(null)";
}

void clear_requested_gps_extra_data()
{
    if (g_lbs_consumer != nullptr)
        g_lbs_consumer->is_requested_gps_extra_data = 0;
}

// The assistance request ends without a file: the host hears so and one
// position use ends.
void end_gps_plus_without_file()
{
    clear_requested_gps_extra_data();
    decrease_pos_refcnt();
    respond_extra_data(nullptr);
    lbs_plugin_consumer_terminate_service_connection();
}

// The map request ends without an image.
void end_map_image_without_file()
{
    g_set_requested_map_image_data(0);
    decrease_pos_refcnt();
    respond_here_map_download(kMapLocalFailure, nullptr);
    lbs_plugin_consumer_terminate_service_connection();
}

// Answers an offer with a refusal. Only the base name goes back to the
// framework, never the path the phone offered.
void refuse_offer(const char *func, int transaction_id, const char *base_name)
{
    int ret = receiveFile(transaction_id, base_name, 0);
    if (ret != 0)
        LBS_LOGE_AS(func, "receiveFile failed : [%d]", ret);
}

void receive_gps_plus_file(const char *func, int transaction_id, const char *base_name)
{
    LBS_LOGE_AS(func, "====== GPS PLUS XTRA file downloading ======");

    bool acceptable = false;
    if (g_lbs_consumer == nullptr)
        LBS_LOGE_AS(func, "lbs_consumer data not initialized");
    else
        acceptable = g_lbs_consumer->is_ready_to_receive_gps_extra_data == 1 &&
                     lbs_util_is_memory_space_available() == 1;

    if (!acceptable) {
        // The announcement stays valid: the phone may offer the file again.
        refuse_offer(func, transaction_id, base_name);
        LBS_LOGE_AS(func, "receiving the gps plus data is rejected.");
        end_gps_plus_without_file();
        return;
    }

    g_set_ready_to_download_gps_extra_data_status(0);
    GText target = target_path_for(kGpsPlusFileName);
    if (!target) {
        LBS_LOGE_AS(func, "file path is null.");
        end_gps_plus_without_file();
        return;
    }

    lbs_util_prepare_file_target(func, target.get());
    int ret = receiveFile(transaction_id, target.get(), 1);
    if (ret == 0) {
        LBS_LOGE_AS(func, "gps plus data receiving accepted.");
        return;
    }
    LBS_LOGE_AS(func, "receiveFile failed : [%d]", ret);
    end_gps_plus_without_file();
}

void receive_map_image_file(const char *func, int transaction_id, const char *base_name)
{
    LBS_LOGE_AS(func, "====== Map image file downloading ======");

    const bool acceptable = g_lbs_consumer != nullptr &&
                            g_lbs_consumer->is_ready_to_receive_here_map_image == 1 &&
                            lbs_util_is_memory_space_available() == 1;
    if (!acceptable) {
        refuse_offer(func, transaction_id, base_name);
        LBS_LOGE_AS(func, "receiving the map image data is rejected.");
        end_map_image_without_file();
        return;
    }

    g_set_ready_to_download_here_map_image_status(0);
    GText target = target_path_for(kMapImageFileName);
    if (!target) {
        LBS_LOGE_AS(func, "file path is null.");
        end_map_image_without_file();
        return;
    }

    lbs_util_prepare_file_target(func, target.get());
    int ret = receiveFile(transaction_id, target.get(), 1);
    if (ret == 0) {
        LBS_LOGE_AS(func, "here map image data receiving accepted.");
        return;
    }
    LBS_LOGE_AS(func, "receiveFile failed : [%d]", ret);
    end_map_image_without_file();
}

// A file nobody asked for: refused, and whatever was announced or requested
// is forgotten, since the phone's side of the exchange is evidently confused.
void refuse_unknown_file(const char *func, int transaction_id, const char *base_name)
{
    LBS_LOGE_AS(func, "====== Unknown file downloading [%s] ======", base_name);
    refuse_offer(func, transaction_id, base_name);
    LBS_LOGE_AS(func, "receiving a file [%s] is rejected.", base_name);

    g_set_ready_to_download_gps_extra_data_status(0);
    g_set_ready_to_download_here_map_image_status(0);
    clear_requested_gps_extra_data();
    g_set_requested_map_image_data(0);
    decrease_pos_refcnt();
    lbs_plugin_consumer_terminate_service_connection();
}

void log_transfer_failure(const char *func, int result)
{
    switch (result) {
    case KOV_TRANSFER_COMPLETE_FAIL_FILE_IO:
        LBS_LOGE_AS(func, "TRANSFER_COMPLETE_FAIL_FILE_IO");
        break;
    case KOV_TRANSFER_COMPLETE_FAIL_PEER_UNRESPONSIVE:
        LBS_LOGE_AS(func, "TRANSFER_COMPLETE_FAIL_PEER_UNRESPONSIVE");
        break;
    case KOV_TRANSFER_COMPLETE_FAIL_PEER_CONN_LOST:
        LBS_LOGE_AS(func, "TRANSFER_COMPLETE_FAIL_PEER_CONN_LOST");
        break;
    case KOV_TRANSFER_COMPLETE_FAIL_PEER_CANCELLED:
        LBS_LOGE_AS(func, "TRANSFER_COMPLETE_FAIL_PEER_CANCELLED");
        break;
    case KOV_TRANSFER_COMPLETE_FAIL_SPACE_NOT_AVAILABLE:
        LBS_LOGE_AS(func, "TRANSFER_COMPLETE_FAIL_SPACE_NOT_AVAILABLE");
        break;
    default:
        LBS_LOGE_AS(func, "Unknown error. [%d]", result);
        break;
    }
}

} // namespace

void on_send_file(int transaction_id, const char *file_path, unsigned int agent_id)
{
    LBS_LOGE("file receiving is requested from provider - TransactionId(%d) FilePath(%s) AgentId(%u)",
             transaction_id, printable(file_path), agent_id);

    GText base_name = base_name_of(file_path);
    if (!base_name) {
        LBS_LOGE("Could not receive a file. filename is NULL");
        return;
    }

    if (strcmp(base_name.get(), kGpsPlusFileName) == 0)
        receive_gps_plus_file(__func__, transaction_id, base_name.get());
    else if (strcmp(base_name.get(), kMapImageFileName) == 0)
        receive_map_image_file(__func__, transaction_id, base_name.get());
    else
        refuse_unknown_file(__func__, transaction_id, base_name.get());
}

void on_send_completed(int transaction_id, const char *file_path, int result)
{
    // The link never sends files to the phone.
    (void)transaction_id;
    (void)file_path;
    (void)result;
}

void on_receive_completed(int transaction_id, const char *file_path, int result)
{
    (void)transaction_id;
    LBS_LOGE("File receive complete");

    GText base_name = base_name_of(file_path);
    if (!base_name) {
        LBS_LOGE("Could not get filename.");
        decrease_pos_refcnt();
        lbs_plugin_consumer_terminate_service_connection();
        return;
    }
    LBS_LOGE("%s", base_name.get());

    if (strstr(base_name.get(), kGpsPlusFileName) != nullptr) {
        g_set_ready_to_download_gps_extra_data_status(0);
        clear_requested_gps_extra_data();
        if (result == KOV_TRANSFER_COMPLETE_SUCCESS) {
            LBS_LOGE("File is received successfully");
            respond_extra_data(file_path);
        } else {
            log_transfer_failure(__func__, result);
            respond_extra_data(nullptr);
        }
    } else if (strcmp(base_name.get(), kMapImageFileName) == 0) {
        g_set_ready_to_download_here_map_image_status(0);
        g_set_requested_map_image_data(0);
        if (result == KOV_TRANSFER_COMPLETE_SUCCESS) {
            LBS_LOGE("File is received successfully");
            // The image goes to the media user, at the path the framework
            // reports it stored.
            errno = 0;
            if (chown(file_path, kMediaOwner, kMediaGroup) != 0)
                LBS_LOGE("Failed chown(). errno[%d] [%s]", errno, strerror(errno));
            respond_here_map_download(0, file_path);
        } else {
            log_transfer_failure(__func__, result);
            respond_here_map_download(kMapLocalFailure, nullptr);
        }
    }

    decrease_pos_refcnt();
    lbs_plugin_consumer_terminate_service_connection();
}

void on_file_recv_progress(int transaction_id, unsigned int percent, unsigned int agent_id)
{
    LBS_LOGE("receiving - TransactionId(%d) Progress[%u %%] AgentId(%u)", transaction_id, percent, agent_id);
}
