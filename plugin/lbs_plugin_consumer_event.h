/*
 * Event building that both links share: the translation of internal result
 * codes and of the phone's tracking failure reasons into host error codes,
 * the conversion of parsed positions and exercise figures into the host's
 * entries, and the whole exercise event.
 *
 * Main loop only. Nothing here keeps state.
 */
#ifndef LBS_PLUGIN_CONSUMER_EVENT_H
#define LBS_PLUGIN_CONSUMER_EVENT_H

#include <lbs_consumer_plugin.h>

#include "kov/lbs_plugin_consumer_json_parser.h"

#include <cstdint>

/* A host error code with the name both links log it under. */
struct lbs_error_entry {
    int code;
    const char *name;
};

/* The host code for an internal result (0 or negative):
 *   0 NONE, -1 OUT_OF_MEMORY (-50), -2 INVALID_PARAMETER (-51),
 *   -3 and -7 SYSTEM (-52), -4 LOCATION_PROVIDER_DISCONNECTED (-202),
 *   -5 and -6 COMMUNICATION (-200), -8 INVALID_KINETRA_COMMAND (-300),
 *   anything else UNKNOWN (-999). Does not log. */
lbs_error_entry lbs_event_internal_error(int internal_code);

/* The host code for a tracking failure reason: 1 TIMEOUT (-100),
 * 2 LOCATION_SETTING_OFF (-102), 3 LOCATION_SETTING_ON (-103),
 * 4 LOCATION_NO_SERVICE (-104); any other reason gives UNKNOWN (-999) with a
 * NULL name. Does not log. */
lbs_error_entry lbs_event_tracking_reason_error(int64_t reason);

/* lbs_event_internal_error's code, after the line both links log for every
 * conversion, under func: "[NAME][CODE] LBS Consumer Plugin Error [INTERNAL]". */
int lbs_event_convert_error(const char *func, int internal_code);

/* lbs_event_tracking_reason_error's code, after logging under func the error's
 * name, or "unhandled error reason [%lld]" for a reason without one. */
int lbs_event_tracking_error(const char *func, int64_t reason);

/* One position as the host reads it: milliseconds to seconds (unsigned,
 * low 32 bits kept), the doubles unchanged. */
void lbs_event_fill_position(consumer_position *out, const loc_tracking_rsp_message *in);

/* One set of exercise figures as the host reads it: the timestamp to
 * seconds, doubles narrowed to float, integers to their low 32 bits,
 * duration and moving time truncated toward zero (saturating at the 32-bit
 * range instead of overflowing). The GPS status goes through unmapped. */
void lbs_event_fill_exercise_info(consumer_exercise_info *out, const exercise_info *in);

/* The host's GPS status for the status value of a GPS-status report
 * (3 UNAVILABLE .. 7 OFF); 255 with a NULL name for any other value. */
lbs_error_entry lbs_event_gps_status(int64_t reason);

/* Builds and delivers the exercise event for command (1, 3, 5: KINETRA_INFO;
 * 2: KINETRA_STOPPED; 4: KINETRA_PAUSED; any other: logged, nothing sent):
 * with error CONSUMER_ERR_GPS_STATUS_CHANGED one entry carrying the mapped GPS
 * status of rsp->reason; with error 0 the entries converted from rsp (NULL rsp:
 * logged, nothing sent); with any other error no entries. Calls cb only when
 * it is set; the entry block lives until cb returns. Logs under func, the
 * link's sender. */
void lbs_event_send_kinetra_info(const char *func, lbs_consumer_event_cb cb, void *user_data, int error,
                                 const exercise_info_rsp_data *rsp, int command);

/* A link's exercise event sender: respond_kinetra_info or bap_respond_knt_info. */
typedef void (*lbs_kinetra_responder)(int error, const exercise_info_rsp_data *rsp, int command);

/* Handles one exercise reply of the phone for a session in `state` whose
 * last state-changing command was `last_cmd`, delivering what the host must
 * hear through the link's sender respond: figures (result
 * 1) only while the session runs, the phone's refusals (result 2) as errors,
 * a GPS status change (result 3) as its own event; anything else is logged
 * and dropped. Logs under func, the link's reply handler. The record stays
 * the caller's. */
void lbs_event_handle_kinetra_reply(const char *func, const exercise_info_rsp_data *rsp, int state, int last_cmd,
                                    lbs_kinetra_responder respond);

#endif /* LBS_PLUGIN_CONSUMER_EVENT_H */
