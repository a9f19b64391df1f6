/*
 * What both links share below the host boundary: the internal result codes
 * of the link operations, the request timers with their durations, and the
 * exercise session states.
 */
#ifndef LBS_PLUGIN_CONSUMER_COMMON_H
#define LBS_PLUGIN_CONSUMER_COMMON_H

/* Results of the link operations: 0 or one of these. _convert_error_type and
 * its second-link twin turn them into host error codes. */
typedef enum {
    LBS_CONSUMER_PLUGIN_ERROR_NONE = 0,
    LBS_CONSUMER_PLUGIN_ERROR_OUT_OF_MEMORY = -1,
    LBS_CONSUMER_PLUGIN_ERROR_INVALID_PARAMETER = -2, /* invalid request, missing record or no text */
    LBS_CONSUMER_PLUGIN_ERROR_SYSTEM = -3,
    LBS_CONSUMER_PLUGIN_ERROR_DISCONNECTED = -4, /* accessory link down */
    LBS_CONSUMER_PLUGIN_ERROR_COMMUNICATION = -5,
    LBS_CONSUMER_PLUGIN_ERROR_NOT_SENT = -6,      /* second link: message not sent */
    LBS_CONSUMER_PLUGIN_ERROR_NO_DATA = -7,       /* no state record */
    LBS_CONSUMER_PLUGIN_ERROR_INVALID_COMMAND = -8, /* exercise command not allowed now */
} lbs_consumer_plugin_error_e;

/* The request timers: for each of the three requests whose answer the host
 * waits for, one while the request waits for a connection and one while it
 * waits for the phone's answer. The values index req_timer. */
typedef enum {
    REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_CONNECTION = 0,
    REQ_TIMER_TYPE_LOCATION_SETTING_CHANGE_WAIT_RESPONSE = 1,
    REQ_TIMER_TYPE_GPSPLUS_WAIT_CONNECTION = 2,
    REQ_TIMER_TYPE_GPSPLUS_WAIT_RESPONSE = 3,
    REQ_TIMER_TYPE_HERE_MAP_WAIT_CONNECTION = 4,
    REQ_TIMER_TYPE_HERE_MAP_WAIT_RESPONSE = 5,
    REQ_TIMER_TYPE_MAX = 6,
} lbs_req_timer_type_e;

/* Seconds each timer runs, by type. */
inline constexpr int kReqTimerSeconds[REQ_TIMER_TYPE_MAX] = {20, 10, 360, 10, 360, 60};

/* Exercise session states. */
typedef enum {
    KINETRA_STATE_STOPPED = 0,
    KINETRA_STATE_RUNNING = 2,
    KINETRA_STATE_PAUSED = 3,
} lbs_kinetra_state_e;

/* Exercise command numbers (kinetra_req_info.command). */
typedef enum {
    KINETRA_CMD_START = 1,
    KINETRA_CMD_STOP = 2,
    KINETRA_CMD_RESTART = 3,
    KINETRA_CMD_PAUSE = 4,
    KINETRA_CMD_RESUME = 5,
    KINETRA_CMD_CHANGE_INTERVAL = 6,
    KINETRA_CMD_CHANGE_COACHING_SET = 7,
    KINETRA_CMD_SET_AUTO_PAUSE_ENABLED = 8,
    KINETRA_CMD_SET_AUTO_PAUSE_PARAMETER = 9,
} lbs_kinetra_cmd_e;

#endif /* LBS_PLUGIN_CONSUMER_COMMON_H */
