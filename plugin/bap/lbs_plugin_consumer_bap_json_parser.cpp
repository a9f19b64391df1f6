#include "lbs_plugin_consumer_bap_json_parser.h"

#include <array>

namespace {

// clang-format off
constexpr std::array<lbs::protocol::MsgIdRow, 9> kBapMsgIds = {{
    {"lbs-tracking-location-req", MSG_ID_TRACKING_LOCATION_REQ, false},
    {"lbs-tracking-location-rsp", MSG_ID_TRACKING_LOCATION_RSP, false},
    {"lbs-gps-plus-req", MSG_ID_GPS_PLUS_REQ, false},
    {"lbs-gps-plus-rsp", MSG_ID_GPS_PLUS_RSP, false},
    {"lbs-location-setting-check-req", MSG_ID_LOCATION_SETTING_CHECK_REQ, false},
    {"lbs-location-setting-check-rsp", MSG_ID_LOCATION_SETTING_CHECK_RSP, false},
    {"lbs-switch-location-setting-rsp", MSG_ID_SWITCH_LOCATION_SETTING_RSP, false},
    {"lbs-exercise-info-rsp", MSG_ID_EXERCISE_INFO_RSP, false},
    {"lbs-ntp-time-rsp", MSG_ID_NTP_TIME_RSP, false},
}};
// clang-format on

const lbs::protocol::Dialect kSecondLink = {__bap_json_parser_init, "__bap_json_parser_init", kBapMsgIds};

} // namespace

gboolean __bap_json_parser_init(JsonParser **parser, JsonNode **rootNode, JsonObject **rootObj, const char *pBuffer,
                                size_t length)
{
    return lbs::protocol::load_reply(__func__, parser, rootNode, rootObj, pBuffer, length);
}

double __bap_json_node_get_double(JsonNode *node)
{
    return __json_node_get_double(node);
}

int bap_json_get_msg_id(const char *text, size_t length, int *msg_id)
{
    return lbs::protocol::classify_message(__func__, kSecondLink, text, length, msg_id);
}

int bap_json_parse_message(const char *message_string, size_t message_length, JsonObjectForeach parser_func,
                           void *pData)
{
    return lbs::protocol::parse_message(__func__, kSecondLink, message_string, message_length, parser_func, pData);
}

// The replies this link shares with the first are read exactly alike, and
// logged alike under this link's own names.

void bap_location_tracking_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                  gpointer pData) noexcept
{
    lbs::protocol::tracking_member(__func__, object, member_name, member_node, pData);
}

void bap_gps_plus_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node, gpointer pData) noexcept
{
    lbs::protocol::gps_plus_member(__func__, object, member_name, member_node, pData);
}

void bap_location_setting_check_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                       gpointer pData) noexcept
{
    lbs::protocol::setting_check_member(__func__, object, member_name, member_node, pData);
}

void bap_location_setting_change_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                        gpointer pData) noexcept
{
    lbs::protocol::setting_change_member(__func__, object, member_name, member_node, pData);
}

void bap_ref_time_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node, gpointer pData) noexcept
{
    lbs::protocol::ref_time_member(__func__, object, member_name, member_node, pData);
}

void bap_exercise_info_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                              gpointer pData) noexcept
{
    lbs::protocol::parse_exercise_reply_member(__func__, object, member_name, member_node, pData,
                                               _bap_exercise_detail_info_parser);
}

void _bap_exercise_detail_info_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                      gpointer pData) noexcept
{
    // This link reads the cadence as an integer: a fraction is dropped.
    if (pData != nullptr && object != nullptr && member_node != nullptr && JSON_NODE_HOLDS_VALUE(member_node) &&
        g_strcmp0(member_name, "stepCadence") == 0) {
        static_cast<exercise_info *>(pData)->step_cadence = static_cast<double>(__json_node_get_int(member_node));
        return;
    }
    lbs::protocol::exercise_entry_member(__func__, object, member_name, member_node, pData);
}
