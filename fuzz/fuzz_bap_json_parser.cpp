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
    fuzz_next_input();
    const char *text = reinterpret_cast<const char *>(data);
    const bool loads = text_loads(text, size);

    constexpr int kUntouched = -12345;
    int code = kUntouched;
    const int result = bap_json_get_msg_id(text, size, &code);
    if (!loads) {
        FUZZ_CHECK(result == -2 && code == kUntouched);
    } else if (result == -2) {
        FUZZ_CHECK(code == 0);
    } else {
        FUZZ_CHECK(result == 0);
        FUZZ_CHECK(code == kUntouched || known_code(code));
    }

    for (const ReplyParser &p : kParsers)
        parse_and_release(bap_json_parse_message, p, text, size, loads);
    return 0;
}
