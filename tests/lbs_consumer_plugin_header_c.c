/* The host boundary must compile as plain C (its layout assertions run here
 * as C11 _Static_assert) and report the same layout as C++ sees. */
#include "lbs_consumer_plugin.h"

size_t lbs_c_event_size(void) { return sizeof(lbs_consumer_event_s); }
size_t lbs_c_batch_offset(void) { return offsetof(lbs_consumer_event_s, batch.pos); }
size_t lbs_c_ref_time_ntp_offset(void) { return offsetof(lbs_consumer_event_s, ref_time.ntp_time); }
size_t lbs_c_here_map_size(void) { return sizeof(here_map_req_info); }
size_t lbs_c_file_path_offset(void) { return offsetof(lbs_consumer_event_s, file.path); }
size_t lbs_c_kinetra_info_offset(void) { return offsetof(lbs_consumer_event_s, kinetra.info); }
size_t lbs_c_request_slot_offset(void) { return offsetof(lbs_consumer_plugin_interface_s, request); }
