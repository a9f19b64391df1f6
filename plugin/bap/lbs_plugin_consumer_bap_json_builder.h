/*
 * Request messages of the second link (BLE accessory daemon, iOS phones).
 *
 * The second link speaks a reduced dialect of the first link's protocol: the
 * same request identifiers, message ids and templates, except that tracking
 * start and stop carry no method, so GPS and WPS share one tracking session
 * on the phone. The builder therefore looks at which methods are started and
 * answers a start or a stop that the phone must not see with an empty text
 * ("nothing to send, done").
 *
 * Ownership and threading as for generate_req_message: the state record and
 * the parameter record it points to belong to the caller; the text returned
 * is released with g_free; main loop only.
 */
#ifndef LBS_PLUGIN_CONSUMER_BAP_JSON_BUILDER_H
#define LBS_PLUGIN_CONSUMER_BAP_JSON_BUILDER_H

#include "../kov/lbs_plugin_consumer_json_builder.h"

/* Number of request timer types (both links index their alarm ids by it). */
#define LBS_REQ_TIMER_TYPE_COUNT 6

/* The second link's state record, one instance behind g_bap_lbs_consumer,
 * owned by the second link's transport. The builder reads req_data and both
 * started flags, and clears one flag when a stop leaves the other method
 * running. Integers are 32-bit signed; alarm ids are 0 when none is set. */
typedef struct lbs_plugin_consumer_bap_s {
    int wps_started;                        /* 1 while a WPS session is started on the phone */
    int gps_started;                        /* 1 while a GPS session is started on the phone */
    const void *req_data;                   /* parameter record of the send in progress, else NULL */
    int service_connection_status;          /* last status reported to the host, 0 or 1 */
    int is_ready_to_receive_gps_extra_data; /* 1 after the phone accepted an assistance request */
    int is_requested_gps_extra_data;        /* 1 while an assistance request is outstanding */
    int gps_plus_req_id;                    /* outstanding assistance request id; -1 after a failure */
    int req_timer[LBS_REQ_TIMER_TYPE_COUNT]; /* alarm id per request timer type */
    int current_state;                      /* exercise session state */
    int last_cmd;                           /* last exercise command taken */
    int dummy_pkt_alarm_id;                 /* keep-alive alarm of the tracking session */
    int knt_dummy_pkt_alarm_id;             /* keep-alive alarm of the exercise session */
} lbs_plugin_consumer_bap_s;

/* Renders the request for the second link from bap_data->req_data (the same
 * records as generate_req_message). Returns:
 *  - the message text;
 *  - an empty text when there is nothing to send and the request is done: a
 *    start while the other method runs, a stop while the other method still
 *    runs (that stop also clears the stopping method's flag);
 *  - NULL on failure: no state ("bap_data is NULL"), an identifier outside
 *    REQ_TRACKING_LOCATION_START_GPS..REQ_GET_REF_TIME, a request this link
 *    does not have (batch period, map image, auto-pause settings, PDC; no
 *    log), or a missing parameter record (logged as on the first link). */
char *bap_generate_req_message(int req_id, lbs_plugin_consumer_bap_s *bap_data);

#endif /* LBS_PLUGIN_CONSUMER_BAP_JSON_BUILDER_H */
