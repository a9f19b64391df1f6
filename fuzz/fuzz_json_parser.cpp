// First link: classify one incoming text, then parse it with every reply
// parser into a fresh record, as if it had been classified as that reply.
#include "fuzz_parser_records.h"

#include <array>

namespace {

// clang-format off
const std::array<ReplyParser, 9> kParsers = {{
    {MSG_ID_TRACKING_LOCATION_RSP, consumer_plugin_location_tracking_response_parser, sizeof(loc_tracking_rsp_message), check_nothing},
    {MSG_ID_LOCATION_BATCH_RSP, _location_batch_rsp_parser_cb, sizeof(location_batch_rsp_message), check_batch},
    {MSG_ID_GPS_PLUS_RSP, consumer_plugin_gps_plus_response_parser, sizeof(gps_plus_rsp_message), check_nothing},
    {MSG_ID_HERE_MAP_RSP, _here_map_download_rsp_parser_cb, sizeof(here_map_rsp_message), check_nothing},
    {MSG_ID_LOCATION_SETTING_CHECK_RSP, consumer_plugin_location_setting_check_response_parser, sizeof(location_setting_check_rsp_message), check_nothing},
    {MSG_ID_SWITCH_LOCATION_SETTING_RSP, consumer_plugin_location_setting_change_response_parser, sizeof(location_setting_change_rsp_message), check_nothing},
    {MSG_ID_NTP_TIME_RSP, ref_time_parser, sizeof(ref_time_rsp_message), check_nothing},
    {MSG_ID_PDC_INFO_RSP, pdc_info_parser, sizeof(pdc_info_rsp_message), check_pdc},
    {MSG_ID_EXERCISE_INFO_RSP, exercise_info_rsp_parser, sizeof(exercise_info_rsp_data), check_exercise},
}};
// clang-format on

bool known_code(int code)
{
    return code >= MSG_ID_TRACKING_LOCATION_REQ && code <= MSG_ID_PDC_INFO_RSP && code != 0x6007;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_set_up();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_reply_text(get_msg_id_from_json_string, parse_json_message, kParsers, known_code, data, size);
    return 0;
}
