// The keep-alive of the BLE link: while a tracking session or an exercise
// session runs, one byte goes to the phone every 150 seconds. Each session
// has its own alarm; both send the same byte.
#include "lbs_plugin_consumer_bap_intf_internal.h"

#include "../lbs_plugin_consumer_log.h"

namespace lbs::bap {

int bap_arm_keep_alive(const char *func, int *alarm_id)
{
    if (*alarm_id != 0)
        return 0;
    alarm_id_t id = 0;
    if (alarmmgr_add_alarm_withcb(ALARM_TYPE_DEFAULT, kKeepAliveSeconds, kKeepAliveSeconds,
                                  _ble_dummy_packet_send_handler_cb, g_bap_lbs_consumer, &id) != 0) {
        LBS_LOGE_AS(func, "Failed to add alarm to send BLE dummy packet");
        return 0;
    }
    *alarm_id = id;
    return 1;
}

int _ble_dummy_packet_send_handler_cb(alarm_id_t, void *)
{
    // The alarm repeats whatever became of this packet.
    if (__bap_send_message(kKeepAlivePacket) == 0)
        LBS_LOGE("Failed to send BLE dummy packet.");
    return 0;
}

} // namespace lbs::bap

using namespace lbs::bap;

void bap_location_tracking_start_dummy_pkt_alarm(void)
{
    if (g_bap_lbs_consumer == nullptr || g_bap_lbs_consumer->dummy_pkt_alarm_id != 0)
        return;
    LBS_LOGE("Enabled BLE dummy packet sender [DUMMY_PKT_ALARM_POSITIONING]");
    bap_arm_keep_alive(__func__, &g_bap_lbs_consumer->dummy_pkt_alarm_id);
}

void bap_location_tracking_stop_dummy_pkt_alarm(void)
{
    if (g_bap_lbs_consumer == nullptr || g_bap_lbs_consumer->dummy_pkt_alarm_id == 0)
        return;
    LBS_LOGE("Disabled BLE dummy packet sender [DUMMY_PKT_ALARM_POSITIONING]");
    bap_remove_alarm(&g_bap_lbs_consumer->dummy_pkt_alarm_id);
}
