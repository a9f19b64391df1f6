/*
 * Replies on the second link (BLE accessory daemon, iOS phones).
 *
 * The same frame, records, keys and log lines as the first link's parser
 * (kov/lbs_plugin_consumer_json_parser.h, whose conventions hold here too),
 * with a reduced set of messages: no batches (a "lbs-tracking-location-rsp"
 * is always one position), no map image and no PDC. One difference in the
 * figures: "stepCadence" is read as an integer on this link.
 */
#ifndef LBS_PLUGIN_CONSUMER_BAP_JSON_PARSER_H
#define LBS_PLUGIN_CONSUMER_BAP_JSON_PARSER_H

#include "../kov/lbs_plugin_consumer_json_parser.h"

/* As __json_parser_init and __json_node_get_double. */
gboolean __bap_json_parser_init(JsonParser **parser, JsonNode **rootNode, JsonObject **rootObj, const char *pBuffer,
                                size_t length);
double __bap_json_node_get_double(JsonNode *node);

/* As get_msg_id_from_json_string, recognising only "lbs-tracking-location-req",
 * "lbs-tracking-location-rsp", "lbs-gps-plus-req", "lbs-gps-plus-rsp",
 * "lbs-location-setting-check-req", "lbs-location-setting-check-rsp",
 * "lbs-switch-location-setting-rsp", "lbs-exercise-info-rsp" and
 * "lbs-ntp-time-rsp". */
int bap_json_get_msg_id(const char *text, size_t length, int *msg_id);

/* As parse_json_message. */
int bap_json_parse_message(const char *message_string, size_t message_length, JsonObjectForeach parser_func,
                           void *pData);

/* Member callbacks: loc_tracking_rsp_message, gps_plus_rsp_message,
 * location_setting_check_rsp_message, location_setting_change_rsp_message,
 * ref_time_rsp_message, exercise_info_rsp_data, and one exercise_info. */
void bap_location_tracking_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                  gpointer pData) noexcept;
void bap_gps_plus_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node, gpointer pData) noexcept;
void bap_location_setting_check_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                       gpointer pData) noexcept;
void bap_location_setting_change_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                        gpointer pData) noexcept;
void bap_ref_time_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node, gpointer pData) noexcept;
void bap_exercise_info_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                              gpointer pData) noexcept;
/* As exercise_info_parser, but "stepCadence" is read as an integer (a
 * fractional cadence loses its fraction) and stored as a double. */
void _bap_exercise_detail_info_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                      gpointer pData) noexcept;

#endif /* LBS_PLUGIN_CONSUMER_BAP_JSON_PARSER_H */
