// Second link: classify one incoming text, then parse it with every reply
// parser of this link into a fresh record.
#include "fuzz_parser_records.h"

#include "bap/lbs_plugin_consumer_bap_json_parser.h"

#include <array>

namespace {

// clang-format off
const std::array<ReplyParser, 6> kParsers = {{
    {MSG_ID_TRACKING_LOCATION_RSP, bap_location_tracking_parser, sizeof(loc_tracking_rsp_message), check_nothing},
    {MSG_ID_GPS_PLUS_RSP, bap_gps_plus_parser, sizeof(gps_plus_rsp_message), check_nothing},
    {MSG_ID_LOCATION_SETTING_CHECK_RSP, bap_location_setting_check_parser, sizeof(location_setting_check_rsp_message), check_nothing},
    {MSG_ID_SWITCH_LOCATION_SETTING_RSP, bap_location_setting_change_parser, sizeof(location_setting_change_rsp_message), check_nothing},
    {MSG_ID_NTP_TIME_RSP, bap_ref_time_parser, sizeof(ref_time_rsp_message), check_nothing},
    {MSG_ID_EXERCISE_INFO_RSP, bap_exercise_info_parser, sizeof(exercise_info_rsp_data), check_exercise},
}};
// clang-format on

// This link has no batches, map images or PDC values.
bool known_code(int code)
{
    switch (code) {
    case MSG_ID_TRACKING_LOCATION_REQ:
    case MSG_ID_TRACKING_LOCATION_RSP:
    case MSG_ID_GPS_PLUS_REQ:
    case MSG_ID_GPS_PLUS_RSP:
    case MSG_ID_LOCATION_SETTING_CHECK_REQ:
    case MSG_ID_LOCATION_SETTING_CHECK_RSP:
    case MSG_ID_SWITCH_LOCATION_SETTING_RSP:
    case MSG_ID_EXERCISE_INFO_RSP:
    case MSG_ID_NTP_TIME_RSP:
        return true;
    default:
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_set_up();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_reply_text(bap_json_get_msg_id, bap_json_parse_message, kParsers, known_code, data, size);
    return 0;
}
