/*
 * Replies from the phone's provider: classification by "msgId", the parse
 * frame, and one member callback and record per reply.
 *
 * Conventions:
 *  1. An incoming text is a pointer and a length. Only the bytes within the
 *     length are read; the text need not be NUL-terminated.
 *  2. A text nested deeper than LBS_JSON_MAX_NESTING brackets, or holding
 *     more than one value, is refused before json-glib sees it: json-glib
 *     recurses once per level (no reply nests deeper than three) and leaks
 *     the values after the first.
 *  3. Records are allocated zero-filled by the caller before parsing and
 *     released by the caller afterwards (g_free). The parsers only write
 *     fields; nothing they store points into the parsed document. The one
 *     block a parser allocates, exercise_info_rsp_data.p_exercise_info, is
 *     released with exercise_info_rsp_data_release_entries before the record.
 *  4. A parse never fails for its content: unknown keys and unexpected node
 *     types are logged and skipped, and missing keys leave zeros.
 *  5. Integer fields are signed 64-bit and read with __json_node_get_int;
 *     floating fields are doubles read with __json_node_get_double, which
 *     also takes an integer node. Values are stored as the phone sent them.
 *  6. Main loop only; nothing here keeps state between calls.
 */
#ifndef LBS_PLUGIN_CONSUMER_JSON_PARSER_H
#define LBS_PLUGIN_CONSUMER_JSON_PARSER_H

#include <lbs_consumer_plugin.h>

#include <json-glib/json-glib.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

/* Deepest bracket nesting accepted in an incoming text. */
#define LBS_JSON_MAX_NESTING 32

/* Message codes of incoming texts. 0 means "not classified"; MSG_ID_BASE is
 * never produced, nor is 0x6007. The three request codes are classified but
 * not handled by the receive paths. */
typedef enum {
    MSG_ID_BASE = 0x6000,
    MSG_ID_TRACKING_LOCATION_REQ = 0x6001,      /* "lbs-tracking-location-req" */
    MSG_ID_TRACKING_LOCATION_RSP = 0x6002,      /* "lbs-tracking-location-rsp" without "locationInfo" */
    MSG_ID_GPS_PLUS_REQ = 0x6003,               /* "lbs-gps-plus-req" */
    MSG_ID_GPS_PLUS_RSP = 0x6004,               /* "lbs-gps-plus-rsp" */
    MSG_ID_LOCATION_SETTING_CHECK_REQ = 0x6005, /* "lbs-location-setting-check-req" */
    MSG_ID_LOCATION_SETTING_CHECK_RSP = 0x6006, /* "lbs-location-setting-check-rsp" */
    MSG_ID_SWITCH_LOCATION_SETTING_RSP = 0x6008, /* "lbs-switch-location-setting-rsp" */
    MSG_ID_EXERCISE_INFO_RSP = 0x6009,          /* "lbs-exercise-info-rsp" */
    MSG_ID_LOCATION_BATCH_RSP = 0x600a,         /* "lbs-tracking-location-rsp" with "locationInfo" */
    MSG_ID_HERE_MAP_RSP = 0x600b,               /* "lbs-here-map-rsp" */
    MSG_ID_NTP_TIME_RSP = 0x600c,               /* "lbs-ntp-time-rsp" */
    MSG_ID_PDC_INFO_RSP = 0x600d,               /* "lbs-pdc-info-rsp" */
} lbs_msg_id_e;

/* ---- Records ---------------------------------------------------------- */

/* One position ("lbs-tracking-location-rsp"). result 1 success, 2 failure
 * with reason; method 1 GPS, 2 WPS; timestamp in milliseconds. */
typedef struct loc_tracking_rsp_message {
    int64_t result;
    int64_t reason;
    int64_t method;
    int64_t timestamp;
    double latitude;
    double longitude;
    double altitude;
    double speed;
    double bearing;
    double h_accuracy;
    double v_accuracy;
} loc_tracking_rsp_message;

/* A batch of positions ("lbs-tracking-location-rsp" with "locationInfo").
 * The entries are inline, so the record is one block. Entries 0 to
 * num_of_location - 1 are filled in array order; in an entry result and
 * reason stay 0. num_of_location never exceeds the event's capacity. */
typedef struct location_batch_rsp_message {
    int64_t result;
    int64_t reason;
    int64_t method;
    uint32_t num_of_location;
    loc_tracking_rsp_message locations[LBS_CONSUMER_MAX_BATCH_POSITIONS];
} location_batch_rsp_message;

/* "lbs-gps-plus-rsp": whether the phone will send the assistance file. */
typedef struct gps_plus_rsp_message {
    int64_t result;
    int64_t reason;
    int64_t method;
} gps_plus_rsp_message;

/* "lbs-here-map-rsp": whether the phone will send the map image. */
typedef struct here_map_rsp_message {
    int64_t result;
    int64_t reason;
} here_map_rsp_message;

/* "lbs-location-setting-check-rsp" (carries no result). */
typedef struct location_setting_check_rsp_message {
    int64_t gps_settings;
    int64_t wps_settings;
} location_setting_check_rsp_message;

/* "lbs-switch-location-setting-rsp" (carries no reason). */
typedef struct location_setting_change_rsp_message {
    int64_t result;
} location_setting_change_rsp_message;

/* "lbs-ntp-time-rsp". */
typedef struct ref_time_rsp_message {
    int64_t result;
    int64_t reason;
    int64_t method;
    int64_t ntptime;
    int64_t uncertainty;
} ref_time_rsp_message;

/* "lbs-pdc-info-rsp". "SF1" to "SF20" go to sf[0] to sf[19]; sf_count counts
 * the members named "SF..." that were taken, at most 20 (the caller sets it
 * to 0 before parsing). */
typedef struct pdc_info_rsp_message {
    int64_t result;
    int64_t reason;
    uint64_t sf_count;
    int64_t sf[LBS_CONSUMER_MAX_PDC_VALUES];
} pdc_info_rsp_message;

/* One set of exercise figures, an element of "exerciseInfo". */
typedef struct exercise_info {
    int64_t timestamp;
    double latitude;
    double longitude;
    double total_distance;
    double incline_distance;
    double decline_distance;
    double flat_distance;
    int64_t incline_time;
    int64_t decline_time;
    int64_t flat_time;
    double altitude;
    double max_altitude;
    double min_altitude;
    double speed;
    double max_speed;
    double average_speed;
    double pace;
    double max_pace;
    double average_pace;
    double consumed_calorie;
    int64_t step_count;
    double base_pressure;
    int64_t gps_status;
    double accuracy;
    double duration_time;
    double moving_time;
    int64_t auto_pause_status; /* -1 when the element lacks the key */
    double step_cadence;
} exercise_info;

/* "lbs-exercise-info-rsp". num_of_exercise_info is the length of the
 * "exerciseInfo" array; p_exercise_info holds that many entries, allocated by
 * the parser in one block, or is NULL (no array, an empty one, or the block
 * could not be allocated: check the pointer, not the count). */
typedef struct exercise_info_rsp_data {
    int64_t result;
    int64_t reason;
    uint32_t num_of_exercise_info;
    exercise_info *p_exercise_info;
} exercise_info_rsp_data;

/* Releases the entry block of an exercise reply (if any) and clears the
 * pointer; the caller then releases the record itself. NULL is accepted. */
void exercise_info_rsp_data_release_entries(exercise_info_rsp_data *data);

/* ---- Parse frame ------------------------------------------------------ */

/* Loads text (length bytes) into a new parser. TRUE: *parser is the caller's
 * (g_object_unref), *rootNode and *rootObj are borrowed from it. FALSE, with
 * an error log: nothing is left behind. */
gboolean __json_parser_init(JsonParser **parser, JsonNode **rootNode, JsonObject **rootObj, const char *pBuffer,
                            size_t length);

/* The node's number as a double (an integer node too); 0.0 for a text, a
 * boolean or anything else. */
double __json_node_get_double(JsonNode *node);

/* The node's number as a signed 64-bit integer, read as the type the node
 * holds: an integer as it is, a boolean as 0 or 1, a double truncated toward
 * zero when it lies within the 64-bit range, and 0 for a double outside it
 * (1e999, 2^64 written with an exponent: json-glib's own reader would convert
 * those without defined behaviour), a text or anything else. */
gint64 __json_node_get_int(JsonNode *node);

/* A position whose latitude, longitude or altitude is not a finite number
 * (a reply can carry 1e999) is no fix: it is logged and turned into the
 * failure the GPS accuracy limit gives, result 2 and reason 1, so that the
 * host sees a time-out without a position; the line is logged under func,
 * the receive path that met the position. Returns 1 when it was turned. */
int _fail_non_finite_position(const char *func, loc_tracking_rsp_message *rsp);

/* Classifies a reply by its "msgId".
 *  0: *msg_id is set to the message's code, or left untouched when "msgId"
 *     is missing, null or not a plain value;
 * -2: malformed, not an object, too deeply nested, or a "msgId" that names no
 *     message of this link (then *msg_id is 0). */
int get_msg_id_from_json_string(const char *text, size_t length, int *msg_id);

/* Calls parser_func for every member of the root object, in document order,
 * with pData. 0 whatever the members held; -2 when an argument is missing or
 * the text does not load. */
int parse_json_message(const char *message_string, size_t message_length, JsonObjectForeach parser_func,
                       void *pData);

/* ---- Member callbacks (pData is the record named) ---------------------- */

/* loc_tracking_rsp_message */
void consumer_plugin_location_tracking_response_parser(JsonObject *object, const gchar *member_name,
                                                       JsonNode *member_node, gpointer pData) noexcept;
/* location_batch_rsp_message */
void _location_batch_rsp_parser_cb(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                   gpointer pData) noexcept;
/* one loc_tracking_rsp_message entry of a batch */
void _location_batch_data_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                 gpointer pData) noexcept;
/* gps_plus_rsp_message */
void consumer_plugin_gps_plus_response_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                              gpointer pData) noexcept;
/* here_map_rsp_message */
void _here_map_download_rsp_parser_cb(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                      gpointer pData) noexcept;
/* location_setting_check_rsp_message */
void consumer_plugin_location_setting_check_response_parser(JsonObject *object, const gchar *member_name,
                                                            JsonNode *member_node, gpointer pData) noexcept;
/* location_setting_change_rsp_message */
void consumer_plugin_location_setting_change_response_parser(JsonObject *object, const gchar *member_name,
                                                             JsonNode *member_node, gpointer pData) noexcept;
/* ref_time_rsp_message */
void ref_time_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node, gpointer pData) noexcept;
/* pdc_info_rsp_message */
void pdc_info_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node, gpointer pData) noexcept;
/* exercise_info_rsp_data */
void exercise_info_rsp_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                              gpointer pData) noexcept;
/* one exercise_info entry */
void exercise_info_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                          gpointer pData) noexcept;

/* ---- What the second link's parser shares with this one ---------------- */

namespace lbs::protocol {

/* Whether json-glib may be given the text. TooDeep: brackets nest deeper
 * than LBS_JSON_MAX_NESTING. SeveralValues: after the first complete value
 * comes something json-glib would go on to parse (another object, array or
 * var statement; after a bare token such as a number, anything at all), or,
 * when the text has the form "var name = value;" that json-glib also reads as
 * one value, anything but white space or a comment follows that statement and
 * its one semicolon. Everything else json-glib rejects by itself without
 * building anything more (an unknown word first, a stray token after an
 * object), so it gets to say so. The text is read with json-glib's own
 * rules, so a bracket or a second value is left out exactly where json-glib
 * reads text rather than structure: inside a double-quoted string (backslash
 * escapes), a single-quoted one (no escapes), or a comment, which json-glib
 * opens at a '/' and closes at the next '/' ("// a" is an empty comment
 * followed by "a"). A byte-order mark as the very first bytes is skipped, as
 * json-glib skips it. */
enum class JsonShape { Acceptable, TooDeep, SeveralValues };
JsonShape json_shape(std::string_view text);

/* One recognised "msgId". split_batch: a root with a "locationInfo" member
 * is classified as MSG_ID_LOCATION_BATCH_RSP instead of code. */
struct MsgIdRow {
    std::string_view text;
    int code;
    bool split_batch;
};

/* A dialect's loader, its name (a failed load is logged as "NAME failed")
 * and its message ids. */
struct Dialect {
    gboolean (*init)(JsonParser **, JsonNode **, JsonObject **, const char *, size_t);
    const char *init_name;
    std::span<const MsgIdRow> msg_ids;
};

/* What both links share. Each takes func, the name of the link's own function
 * that called it, and logs under it: the two links' functions log the same
 * lines, each under its own name. */

/* __json_parser_init's work. */
gboolean load_reply(const char *func, JsonParser **parser, JsonNode **rootNode, JsonObject **rootObj,
                    const char *pBuffer, size_t length);

/* get_msg_id_from_json_string's work, in a dialect. */
int classify_message(const char *func, const Dialect &dialect, const char *text, size_t length, int *msg_id);

/* While one of these lives, the document that classify_message loads is kept
 * and the parse_message that follows on the same text (same pointer and
 * length, same dialect) walks it instead of loading the text again; the
 * document goes with that parse, or with the scope. A receive path opens one
 * around the handling of each incoming text. Nothing is logged differently:
 * a text that loaded once loads again the same way. Main loop only. */
class ReplyScope {
public:
    ReplyScope();
    ~ReplyScope();
    ReplyScope(const ReplyScope &) = delete;
    ReplyScope &operator=(const ReplyScope &) = delete;
};

/* parse_json_message's work, in a dialect. */
int parse_message(const char *func, const Dialect &dialect, const char *message_string, size_t message_length,
                  JsonObjectForeach parser_func, void *pData);

/* The member callbacks' work: an exercise reply (with the callback that parses
 * each element of "exerciseInfo"), one exercise element, a position, an
 * assistance announcement, a setting check, a setting change, a reference
 * time. */
void parse_exercise_reply_member(const char *func, JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                 gpointer pData, JsonObjectForeach element_parser);
void exercise_entry_member(const char *func, JsonObject *object, const gchar *member_name, JsonNode *member_node,
                           gpointer pData);
void tracking_member(const char *func, JsonObject *object, const gchar *member_name, JsonNode *member_node,
                     gpointer pData);
void gps_plus_member(const char *func, JsonObject *object, const gchar *member_name, JsonNode *member_node,
                     gpointer pData);
void setting_check_member(const char *func, JsonObject *object, const gchar *member_name, JsonNode *member_node,
                          gpointer pData);
void setting_change_member(const char *func, JsonObject *object, const gchar *member_name, JsonNode *member_node,
                           gpointer pData);
void ref_time_member(const char *func, JsonObject *object, const gchar *member_name, JsonNode *member_node,
                     gpointer pData);

} // namespace lbs::protocol

#endif /* LBS_PLUGIN_CONSUMER_JSON_PARSER_H */
