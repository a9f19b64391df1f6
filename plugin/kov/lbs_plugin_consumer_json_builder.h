/*
 * Request messages to the phone's provider ("RavErodurad").
 *
 * Every request is one JSON object rendered from a fixed template, so the key
 * order, the spacing and the number formats on the wire never vary: "%d" is a
 * signed decimal, "%f" has six digits after a decimal point (always a point,
 * whatever the process locale) and texts go out as they are, unescaped.
 *
 * Conventions:
 *  1. The parameter record belongs to the caller; the builder reads it during
 *     the call only and keeps no pointer into it.
 *  2. The text returned is newly allocated and belongs to the caller, who
 *     releases it with g_free.
 *  3. Main loop only; the builder keeps no state of its own.
 */
#ifndef LBS_PLUGIN_CONSUMER_JSON_BUILDER_H
#define LBS_PLUGIN_CONSUMER_JSON_BUILDER_H

#include <lbs_consumer_plugin.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

/* Request identifiers. The 24 values after REQ_NONE are requests; REQ_NONE is
 * the base of the range and means "no request" (what the dispatcher produces
 * for a host method it does not know). */
typedef enum {
    REQ_NONE = 0x7000,
    REQ_TRACKING_LOCATION_START_GPS = 0x7001,
    REQ_TRACKING_LOCATION_START_WPS = 0x7002,
    REQ_TRACKING_LOCATION_STOP_GPS = 0x7003,
    REQ_TRACKING_LOCATION_STOP_WPS = 0x7004,
    REQ_GPS_PLUS_METHOD_1 = 0x7005,
    REQ_GPS_PLUS_METHOD_2 = 0x7006,
    REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS = 0x7007,
    REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS = 0x7008,
    REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS = 0x7009,
    REQ_PROVIDER_LOCATION_SETTING_CHECK = 0x700a,
    REQ_PROVIDER_LOCATION_SETTING_CHANGE = 0x700b,
    REQ_KINETRA_START = 0x700c,
    REQ_KINETRA_STOP = 0x700d,
    REQ_KINETRA_PAUSE = 0x700e,
    REQ_KINETRA_RESUME = 0x700f,
    REQ_KINETRA_RESTART = 0x7010,
    REQ_KINETRA_CHANGE_INTERVAL = 0x7011,
    REQ_KINETRA_CHANGE_COACHING_SET = 0x7012,
    REQ_HERE_MAP_IMAGE = 0x7013,
    REQ_KINETRA_SET_AUTO_PAUSE_ENABLED = 0x7014,
    REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER = 0x7015,
    REQ_GET_REF_TIME = 0x7016,
    REQ_PDC_INFO_START = 0x7017,
    REQ_PDC_INFO_STOP = 0x7018,
} lbs_req_id_e;

/* Parameter of the tracking start and change-interval requests: the second
 * and third fields of the host's tracking_req_info, so a pointer to its
 * interval field serves. START_GPS reads both fields, START_WPS and the
 * change-interval requests read interval only. CHANGE_BATCH_PERIOD_GPS reads
 * a single int32_t batch period instead (tracking_req_info.batching_interval). */
typedef struct tracking_req_param {
    int32_t interval;          /* as the host gave it; 0 goes out as 1 */
    int32_t batching_interval; /* as the host gave it */
} tracking_req_param;

static_assert(offsetof(tracking_req_info, batching_interval) - offsetof(tracking_req_info, interval) ==
                  offsetof(tracking_req_param, batching_interval),
              "tracking_req_param overlays the tail of tracking_req_info");

/* Renders the request's message. param points to the request's record:
 *   START_GPS, START_WPS, CHANGE_INTERVAL_*      tracking_req_param
 *   CHANGE_BATCH_PERIOD_GPS                      int32_t (the batch period)
 *   PROVIDER_LOCATION_SETTING_CHANGE             location_setting_req_info
 *   KINETRA_START, _RESTART, _CHANGE_INTERVAL,
 *   _CHANGE_COACHING_SET, _SET_AUTO_PAUSE_*      kinetra_req_info
 *   HERE_MAP_IMAGE                               here_map_req_info
 *   GET_REF_TIME                                 ref_time_req_info
 * and is ignored by the other ten requests. Returns NULL, without logging, for
 * an identifier outside REQ_TRACKING_LOCATION_START_GPS..REQ_PDC_INFO_STOP,
 * and NULL with an error log when a record is needed and param is NULL. */
char *generate_req_message(int req_id, const void *param);

/* What the second link's builder shares with this one. */
namespace lbs::protocol {

inline constexpr int kFirstRequest = REQ_TRACKING_LOCATION_START_GPS;
inline constexpr int kLastRequest = REQ_PDC_INFO_STOP;

inline constexpr const char *kTrackingMsgId = "lbs-tracking-location-req";
inline constexpr const char *kExerciseMsgId = "lbs-exercise-info-req";

/* The exercise template that carries no coaching values. */
inline constexpr std::string_view kShortExerciseTemplate =
    "{\"msgId\": \"%s\",\"cmd\":%d, \"exerciseType\":%d, \"height\":%f, \"weight\":%f, "
    "\"basePressure\":%f, \"interval\":%d, \"pserviceType\":%d}";

/* One value for a template placeholder: a text for "%s" (NULL renders as
 * "(null)"), an integer for "%d", a double for "%f" or "%lf". */
using TemplateArg = std::variant<const char *, std::int64_t, double>;

/* Fills the placeholders of tmpl in order. Returns a g_free-able text, or NULL
 * (with an error log under func, the builder) when the values do not match the
 * placeholders. */
char *render_request(const char *func, std::string_view tmpl, std::span<const TemplateArg> args);

/* generate_req_message, logging under func: the first link's builder, or the
 * second link's for the requests it renders alike. */
char *generate_request(const char *func, int req_id, const void *param);

/* "REQ_KINETRA_START" for REQ_KINETRA_START; empty outside the request range. */
std::string_view req_id_name(int req_id);

} // namespace lbs::protocol

#endif /* LBS_PLUGIN_CONSUMER_JSON_BUILDER_H */
