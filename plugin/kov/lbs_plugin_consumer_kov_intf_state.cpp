// The accessors of the first link's state record: what the transport's files
// and the dispatcher read and set through them. The setters log and act only
// when a value really changes.
#include "lbs_plugin_consumer_kov_intf_internal.h"

#include "../lbs_plugin_consumer_log.h"
#include "lbs_plugin_consumer_main.h"

int g_get_service_handle(void)
{
    if (g_lbs_consumer == nullptr) {
        LBS_LOGE("lbs_consumer data not initialized");
        return -1;
    }
    return g_lbs_consumer->service_handle;
}

void g_set_service_connection_status(int status)
{
    if (g_lbs_consumer == nullptr) {
        LBS_LOGE("lbs_consumer data not initialized");
        return;
    }
    if (g_lbs_consumer->service_connection_status == status) {
        LBS_LOGE("keep current service connection status. [%d]", status);
        return;
    }
    LBS_LOGE("service connection status changed [%d -> %d]", g_lbs_consumer->service_connection_status, status);
    g_lbs_consumer->service_connection_status = status;
    respond_service_connection_status(status);
}

void g_set_real_service_connection_status(int status)
{
    if (g_lbs_consumer == nullptr) {
        LBS_LOGE("lbs_consumer data not initialized");
        return;
    }
    if (g_lbs_consumer->real_service_connection_status == status) {
        LBS_LOGE("keep current real service connection status. [%d]", status);
        return;
    }
    LBS_LOGE("real service connection status changed [%d -> %d]", g_lbs_consumer->real_service_connection_status,
             status);
    g_lbs_consumer->real_service_connection_status = status;
}

void g_set_ready_to_download_gps_extra_data_status(int flag)
{
    if (g_lbs_consumer == nullptr || g_lbs_consumer->is_ready_to_receive_gps_extra_data == flag)
        return;
    LBS_LOGE("is_ready_to_receive_gps_extra_data status changed [%d -> %d]",
             g_lbs_consumer->is_ready_to_receive_gps_extra_data, flag);
    g_lbs_consumer->is_ready_to_receive_gps_extra_data = flag;
}

void g_set_ready_to_download_here_map_image_status(int flag)
{
    if (g_lbs_consumer == nullptr || g_lbs_consumer->is_ready_to_receive_here_map_image == flag)
        return;
    LBS_LOGE("is_ready_to_receive_here_map_image status changed [%d -> %d]",
             g_lbs_consumer->is_ready_to_receive_here_map_image, flag);
    g_lbs_consumer->is_ready_to_receive_here_map_image = flag;
}

void g_set_requested_map_image_data(int flag)
{
    if (g_lbs_consumer == nullptr || g_lbs_consumer->is_requested_map_image_data == flag)
        return;
    LBS_LOGE("is_requested_map_image_data [%d -> %d]", g_lbs_consumer->is_requested_map_image_data, flag);
    g_lbs_consumer->is_requested_map_image_data = flag;
}

int g_get_requested_map_image_data(void)
{
    return g_lbs_consumer != nullptr ? g_lbs_consumer->is_requested_map_image_data : 0;
}

int g_get_requested_gps_extra_data(void)
{
    return g_lbs_consumer != nullptr ? g_lbs_consumer->is_requested_gps_extra_data : 0;
}
