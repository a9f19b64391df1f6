/*
 * lbs_consumer_plugin.h: the boundary between the location server (the host)
 * and the location consumer plugin.
 *
 * Conventions:
 *  1. The host calls get_lbs_consumer_plugin_interface() once and keeps the
 *     returned table. The table is a constant owned by the plugin; the host
 *     never frees or modifies it.
 *  2. Every call (init, deinit, request) and every event callback runs on the
 *     host's GLib main loop, one at a time. Nothing here is thread-safe and
 *     nothing needs to be.
 *  3. Request records belong to the host. The plugin reads them only during
 *     the request call and keeps no pointer into them. A record may be NULL;
 *     the plugin answers that with a failure, never a crash.
 *  4. An event record lives only for the duration of the callback: it sits in
 *     the plugin's stack frame, and the text or array it points to is freed as
 *     soon as the callback returns. The host copies whatever it keeps.
 *  5. Events can arrive from inside a request call and at any time between
 *     init and deinit. On the first link the result events of START_SESSION,
 *     STOP_SESSION, CHANGE_INTERVAL and CHANGE_BATCH_PERIOD always arrive
 *     inside the call; on the second link those of START_SESSION and
 *     STOP_SESSION do, and CHANGE_INTERVAL and CHANGE_BATCH_PERIOD bring
 *     none (docs/host-guide.md says what follows each request).
 *  6. The layouts below are those of the 32-bit little-endian ARM ABI the host
 *     is built for: pointers and int are 32 bits, doubles are 8-byte aligned.
 *     On a 64-bit build the pointer fields widen and the fields after them
 *     follow that ABI; everything else keeps its width and order.
 */
#ifndef LBS_CONSUMER_PLUGIN_H
#define LBS_CONSUMER_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

/* LBS_CONSUMER_PLUGIN_VERSION ("MAJOR.MINOR.PATCH"), its parts and
 * LBS_CONSUMER_PLUGIN_VERSION_NUMBER, to tell plugin versions apart at
 * compile time. */
#include "lbs_consumer_plugin_version.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Request codes (the action argument of request) ------------------- */

typedef enum {
    CONSUMER_ACTION_START_SESSION = 1,          /* tracking_req_info */
    CONSUMER_ACTION_STOP_SESSION = 2,           /* tracking_req_info (method) */
    CONSUMER_ACTION_REQUEST_EXTRA_DATA = 3,     /* extra_data_req_info */
    CONSUMER_ACTION_CHANGE_INTERVAL = 4,        /* tracking_req_info (method, interval) */
    CONSUMER_ACTION_CHECK_LOCATION_SETTING = 5, /* no record; the pointer is ignored */
    CONSUMER_ACTION_CHANGE_LOCATION_SETTING = 6,/* location_setting_req_info */
    CONSUMER_ACTION_CHANGE_BATCH_PERIOD = 7,    /* tracking_req_info (method, batching_interval) */
    CONSUMER_ACTION_GET_REF_TIME = 8,           /* ref_time_req_info */
    CONSUMER_ACTION_KINETRA_COMMAND = 769,      /* kinetra_req_info; returns an error code */
    CONSUMER_ACTION_HERE_MAP_IMAGE = 929,       /* here_map_req_info; returns an error code */
} lbs_consumer_action_e;

/* Positioning methods. Replies from the phone use 3 for position batches. */
typedef enum {
    CONSUMER_METHOD_GPS = 1,
    CONSUMER_METHOD_WPS = 2,
} lbs_consumer_method_e;

/* ---- Event types ------------------------------------------------------ */

typedef enum {
    CONSUMER_EVENT_START_SESSION = 0,
    CONSUMER_EVENT_STOP_SESSION = 1,
    CONSUMER_EVENT_CHANGE_INTERVAL = 2,
    CONSUMER_EVENT_CHANGE_BATCH_PERIOD = 3,
    CONSUMER_EVENT_POSITION_GPS = 256,
    CONSUMER_EVENT_POSITION_WPS = 257,
    CONSUMER_EVENT_LOCATION_SETTING_CHECK = 258,
    CONSUMER_EVENT_LOCATION_SETTING_CHANGE = 259,
    CONSUMER_EVENT_BATCH_POSITION = 260,
    CONSUMER_EVENT_EXTRA_DATA = 512,
    CONSUMER_EVENT_HERE_MAP_DOWNLOAD = 513,
    CONSUMER_EVENT_REF_TIME = 514,
    CONSUMER_EVENT_PROVIDER_CONNECTED = 768,
    CONSUMER_EVENT_PROVIDER_DISCONNECTED = 769,
    CONSUMER_EVENT_KINETRA_INFO = 1024,
    CONSUMER_EVENT_KINETRA_STOPPED = 1025,
    CONSUMER_EVENT_KINETRA_PAUSED = 1026,
    CONSUMER_EVENT_PDC_INFO = 1027,
} lbs_consumer_event_type_e;

/* ---- Error codes (event error field; result of codes 769 and 929) ----- */

typedef enum {
    CONSUMER_ERR_NONE = 0,
    CONSUMER_ERR_OUT_OF_MEMORY = -50,
    CONSUMER_ERR_INVALID_PARAMETER = -51,
    CONSUMER_ERR_SYSTEM = -52,
    CONSUMER_ERR_TEMPORARY_NOT_AVAILABLE = -53,
    CONSUMER_ERR_NETWORK_SERVICE_DISABLED = -54,
    CONSUMER_ERR_TIMEOUT = -100,
    CONSUMER_ERR_LOCATION_SETTING_OFF = -102,
    CONSUMER_ERR_LOCATION_SETTING_ON = -103,
    CONSUMER_ERR_LOCATION_NO_SERVICE = -104,
    CONSUMER_ERR_GPS_STATUS_CHANGED = -105,
    CONSUMER_ERR_COMMUNICATION = -200,
    CONSUMER_ERR_LOCATION_PROVIDER_DISCONNECTED = -202,
    CONSUMER_ERR_INVALID_KINETRA_COMMAND = -300,
    CONSUMER_ERR_UNKNOWN = -999,
} lbs_consumer_error_e;

/* GPS status of an exercise entry (gps_status). 255: a status not known. */
typedef enum {
    GPS_STATUS_UNAVILABLE = 0,
    GPS_STATUS_WEAK = 1,
    GPS_STATUS_OK = 2,
    GPS_STATUS_STRONG = 3,
    GPS_STATUS_OFF = 4,
    GPS_STATUS_UNKNOWN = 255,
} lbs_consumer_gps_status_e;

/* ---- Request records -------------------------------------------------- */

/* Codes 1, 2, 4 and 7. */
typedef struct tracking_req_info {
    int32_t method;            /* CONSUMER_METHOD_GPS or CONSUMER_METHOD_WPS */
    int32_t interval;          /* reporting interval; 0 goes out as 1 */
    int32_t batching_interval; /* batch period (GPS only) */
} tracking_req_info;

/* Code 3: data_type 3 asks for the assistance file by method 1, 4 by method 2. */
typedef struct extra_data_req_info {
    int32_t data_type;
} extra_data_req_info;

/* Code 6: the requested location setting, passed to the phone unchanged. */
typedef struct location_setting_req_info {
    int32_t setting;
} location_setting_req_info;

/* Code 8: the phone is given 1000 times this value. */
typedef struct ref_time_req_info {
    int32_t timeout;
} ref_time_req_info;

/* Code 769: an exercise command. command: 1 start, 2 stop, 3 restart,
 * 4 pause, 5 resume, 6 change interval, 7 change coaching set,
 * 8 set auto-pause enabled, 9 set auto-pause parameter. */
typedef struct kinetra_req_info {
    int32_t command;
    int32_t exercise_type;
    float base_pressure;
    float height;
    float weight;
    int32_t user_gender;
    int32_t user_age;
    int32_t interval;
    int32_t pservice_type;
    float coaching_distance;
    float coaching_calorie;
    float coaching_speed;
    int32_t coaching_duration_time;
    int32_t auto_pause_enabled;
    float speed_threshold;
    int32_t pause_window;
    int32_t resume_window;
} kinetra_req_info;

/* Code 929: a rendered map image. The texts are NUL-terminated and owned by
 * the host. */
typedef struct here_map_req_info {
    const char *app_id;
    const char *app_code;
    int32_t width;
    int32_t height;
    double center_latitude;  /* degrees */
    double center_longitude; /* degrees */
    float zoom_level;
    int32_t timeout;
} here_map_req_info;

/* ---- Event payload entries -------------------------------------------- */

typedef struct consumer_position {
    uint32_t timestamp; /* seconds (the phone's milliseconds / 1000) */
    uint32_t reserved;  /* always 0 */
    double latitude;    /* degrees */
    double longitude;   /* degrees */
    double altitude;
    double speed;
    double bearing;
    double hor_accuracy;
    double ver_accuracy;
} consumer_position;

/* One exercise figure set; the comments name the phone's JSON key. */
typedef struct consumer_exercise_info {
    uint32_t timestamp;        /* "timestamp", seconds */
    uint32_t reserved;
    double latitude;           /* "latitude" */
    double longitude;          /* "longitude" */
    float total_distance;      /* "totalDistance" */
    float incline_distance;    /* "inclineDistance" */
    float decline_distance;    /* "declineDistance" */
    float flat_distance;       /* "flatDistance" */
    int32_t incline_time;      /* "inclineTime" */
    int32_t decline_time;      /* "declineTime" */
    int32_t flat_time;         /* "flatTime" */
    float altitude;            /* "altitude" */
    float max_altitude;        /* "maxAltitude" */
    float min_altitude;        /* "minAltitude" */
    float speed;               /* "speed" */
    float max_speed;           /* "maxSpeed" */
    float average_speed;       /* "averageSpeed" */
    float pace;                /* "pace" */
    float max_pace;            /* "maxPace" */
    float average_pace;        /* "averagePace" */
    float consumed_calorie;    /* "consumedCalorie" */
    int32_t step_count;        /* "stepCount" */
    float base_pressure;       /* "basePressure" */
    int32_t gps_status;        /* "gpsStatus", lbs_consumer_gps_status_e */
    float accuracy;            /* "accuracy" */
    int32_t duration_time;     /* "durationTime" */
    int32_t moving_time;       /* "movingTime" */
    int32_t auto_pause_status; /* "autoPauseStatus" */
    float step_cadence;        /* "stepCadence" */
    uint32_t reserved2;
} consumer_exercise_info;

/* ---- The event record ------------------------------------------------- */

#define LBS_CONSUMER_MAX_BATCH_POSITIONS 150
#define LBS_CONSUMER_MAX_PDC_VALUES 20
#define LBS_CONSUMER_EVENT_SIZE 9624

/* The record is an anonymous union with an anonymous head (C11); C++
 * compilers take both as an extension. */
#if defined(__cplusplus) && defined(__GNUC__)
#define LBS_ANONYMOUS_STRUCT __extension__
#else
#define LBS_ANONYMOUS_STRUCT
#endif

/* Every event starts with type, a reserved word and the error; the payload
 * starts at byte 12 and its layout depends on the type. Senders clear the
 * whole record before filling it. Read the head as event.type and
 * event.error, and the payload through the member named for the type. */
typedef struct lbs_consumer_event_s {
    LBS_ANONYMOUS_STRUCT union {
        struct {
            int32_t type;     /* lbs_consumer_event_type_e */
            int32_t reserved; /* always 0 */
            int32_t error;    /* lbs_consumer_error_e */
        };
        /* START_SESSION, STOP_SESSION, CHANGE_INTERVAL, CHANGE_BATCH_PERIOD */
        struct {
            int32_t head_[3];
            int32_t method;
        } session;
        /* POSITION_GPS, POSITION_WPS: all zero on failure */
        struct {
            int32_t head_[3];
            int32_t reserved_;
            consumer_position pos;
        } position;
        /* LOCATION_SETTING_CHECK */
        struct {
            int32_t head_[3];
            int32_t gps;
            int32_t wps;
        } setting_check;
        /* LOCATION_SETTING_CHANGE */
        struct {
            int32_t head_[3];
            int32_t result;
        } setting_change;
        /* BATCH_POSITION: count 0 on failure */
        struct {
            int32_t head_[3];
            int32_t reserved_;
            int32_t count; /* 0 to 150 */
            int32_t reserved2_;
            consumer_position pos[LBS_CONSUMER_MAX_BATCH_POSITIONS];
        } batch;
        /* EXTRA_DATA, HERE_MAP_DOWNLOAD: NULL when no file was obtained */
        struct {
            int32_t head_[3];
            const char *path;
        } file;
        /* REF_TIME */
        struct {
            int32_t head_[3];
            int32_t reserved_;
            int32_t result;
            int32_t reason;
            int64_t ntp_time; /* as the phone sent it */
            int32_t method;
            int32_t uncertainty;
        } ref_time;
        /* KINETRA_INFO, KINETRA_STOPPED, KINETRA_PAUSED: info is NULL when
         * the event only reports an error (count 0) */
        struct {
            int32_t head_[3];
            int32_t count;
            consumer_exercise_info *info;
        } kinetra;
        /* PDC_INFO */
        struct {
            int32_t head_[3];
            int32_t count;
            int32_t values[LBS_CONSUMER_MAX_PDC_VALUES];
        } pdc;
    };
} lbs_consumer_event_s;

/* ---- The operation table ---------------------------------------------- */

/* The host's event callback; its result is not used. */
typedef int (*lbs_consumer_event_cb)(lbs_consumer_event_s *event, void *user_data);

typedef struct lbs_consumer_plugin_interface_s {
    /* Starts the plugin; events go to callback with user_data. 1 ok, 0 failed. */
    int (*init)(lbs_consumer_event_cb callback, void *user_data);
    /* Stops the plugin; arg is not read. Returns 1. */
    int (*deinit)(void *arg);
    /* Serves one request; data points to the code's record or is NULL. */
    int (*request)(int action, void *data);
} lbs_consumer_plugin_interface_s;

/* The one exported entry: the same constant table on every call. */
const lbs_consumer_plugin_interface_s *get_lbs_consumer_plugin_interface(void);

/* ---- Layout the host relies on ---------------------------------------- */

#ifdef __cplusplus
#define LBS_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#define LBS_FIELD_WIDTH(T, FIELD) sizeof(static_cast<T *>(nullptr)->FIELD)
#else
#define LBS_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#define LBS_FIELD_WIDTH(T, FIELD) sizeof(((T *)0)->FIELD)
#endif

/* 0 on the 32-bit ABI, 4 where pointers are 64 bits wide. */
#define LBS_PTR_WIDE (sizeof(void *) - 4)
/* Field FIELD of record T starts at byte OFF and is WIDTH bytes wide. */
#define LBS_PIN_FIELD(T, FIELD, OFF, WIDTH)                                   \
    LBS_STATIC_ASSERT(offsetof(T, FIELD) == (OFF), #T "." #FIELD " offset"); \
    LBS_STATIC_ASSERT(LBS_FIELD_WIDTH(T, FIELD) == (WIDTH), #T "." #FIELD " width")

LBS_STATIC_ASSERT(sizeof(int) == 4, "int is 32 bits wide");

/* Request records. */
LBS_STATIC_ASSERT(sizeof(tracking_req_info) == 12, "tracking_req_info size");
LBS_PIN_FIELD(tracking_req_info, method, 0, 4);
LBS_PIN_FIELD(tracking_req_info, interval, 4, 4);
LBS_PIN_FIELD(tracking_req_info, batching_interval, 8, 4);

LBS_STATIC_ASSERT(sizeof(extra_data_req_info) == 4, "extra_data_req_info size");
LBS_PIN_FIELD(extra_data_req_info, data_type, 0, 4);

LBS_STATIC_ASSERT(sizeof(location_setting_req_info) == 4, "location_setting_req_info size");
LBS_PIN_FIELD(location_setting_req_info, setting, 0, 4);

LBS_STATIC_ASSERT(sizeof(ref_time_req_info) == 4, "ref_time_req_info size");
LBS_PIN_FIELD(ref_time_req_info, timeout, 0, 4);

LBS_STATIC_ASSERT(sizeof(kinetra_req_info) == 68, "kinetra_req_info size");
LBS_PIN_FIELD(kinetra_req_info, command, 0, 4);
LBS_PIN_FIELD(kinetra_req_info, exercise_type, 4, 4);
LBS_PIN_FIELD(kinetra_req_info, base_pressure, 8, 4);
LBS_PIN_FIELD(kinetra_req_info, height, 12, 4);
LBS_PIN_FIELD(kinetra_req_info, weight, 16, 4);
LBS_PIN_FIELD(kinetra_req_info, user_gender, 20, 4);
LBS_PIN_FIELD(kinetra_req_info, user_age, 24, 4);
LBS_PIN_FIELD(kinetra_req_info, interval, 28, 4);
LBS_PIN_FIELD(kinetra_req_info, pservice_type, 32, 4);
LBS_PIN_FIELD(kinetra_req_info, coaching_distance, 36, 4);
LBS_PIN_FIELD(kinetra_req_info, coaching_calorie, 40, 4);
LBS_PIN_FIELD(kinetra_req_info, coaching_speed, 44, 4);
LBS_PIN_FIELD(kinetra_req_info, coaching_duration_time, 48, 4);
LBS_PIN_FIELD(kinetra_req_info, auto_pause_enabled, 52, 4);
LBS_PIN_FIELD(kinetra_req_info, speed_threshold, 56, 4);
LBS_PIN_FIELD(kinetra_req_info, pause_window, 60, 4);
LBS_PIN_FIELD(kinetra_req_info, resume_window, 64, 4);

LBS_STATIC_ASSERT(sizeof(here_map_req_info) == 40 + 2 * LBS_PTR_WIDE, "here_map_req_info size");
LBS_PIN_FIELD(here_map_req_info, app_id, 0, 4 + LBS_PTR_WIDE);
LBS_PIN_FIELD(here_map_req_info, app_code, 4 + LBS_PTR_WIDE, 4 + LBS_PTR_WIDE);
LBS_PIN_FIELD(here_map_req_info, width, 8 + 2 * LBS_PTR_WIDE, 4);
LBS_PIN_FIELD(here_map_req_info, height, 12 + 2 * LBS_PTR_WIDE, 4);
LBS_PIN_FIELD(here_map_req_info, center_latitude, 16 + 2 * LBS_PTR_WIDE, 8);
LBS_PIN_FIELD(here_map_req_info, center_longitude, 24 + 2 * LBS_PTR_WIDE, 8);
LBS_PIN_FIELD(here_map_req_info, zoom_level, 32 + 2 * LBS_PTR_WIDE, 4);
LBS_PIN_FIELD(here_map_req_info, timeout, 36 + 2 * LBS_PTR_WIDE, 4);

/* Event payload entries. */
LBS_STATIC_ASSERT(sizeof(consumer_position) == 64, "consumer_position size");
LBS_PIN_FIELD(consumer_position, timestamp, 0, 4);
LBS_PIN_FIELD(consumer_position, reserved, 4, 4);
LBS_PIN_FIELD(consumer_position, latitude, 8, 8);
LBS_PIN_FIELD(consumer_position, longitude, 16, 8);
LBS_PIN_FIELD(consumer_position, altitude, 24, 8);
LBS_PIN_FIELD(consumer_position, speed, 32, 8);
LBS_PIN_FIELD(consumer_position, bearing, 40, 8);
LBS_PIN_FIELD(consumer_position, hor_accuracy, 48, 8);
LBS_PIN_FIELD(consumer_position, ver_accuracy, 56, 8);

LBS_STATIC_ASSERT(sizeof(consumer_exercise_info) == 128, "consumer_exercise_info size");
LBS_PIN_FIELD(consumer_exercise_info, timestamp, 0, 4);
LBS_PIN_FIELD(consumer_exercise_info, reserved, 4, 4);
LBS_PIN_FIELD(consumer_exercise_info, latitude, 8, 8);
LBS_PIN_FIELD(consumer_exercise_info, longitude, 16, 8);
LBS_PIN_FIELD(consumer_exercise_info, total_distance, 24, 4);
LBS_PIN_FIELD(consumer_exercise_info, incline_distance, 28, 4);
LBS_PIN_FIELD(consumer_exercise_info, decline_distance, 32, 4);
LBS_PIN_FIELD(consumer_exercise_info, flat_distance, 36, 4);
LBS_PIN_FIELD(consumer_exercise_info, incline_time, 40, 4);
LBS_PIN_FIELD(consumer_exercise_info, decline_time, 44, 4);
LBS_PIN_FIELD(consumer_exercise_info, flat_time, 48, 4);
LBS_PIN_FIELD(consumer_exercise_info, altitude, 52, 4);
LBS_PIN_FIELD(consumer_exercise_info, max_altitude, 56, 4);
LBS_PIN_FIELD(consumer_exercise_info, min_altitude, 60, 4);
LBS_PIN_FIELD(consumer_exercise_info, speed, 64, 4);
LBS_PIN_FIELD(consumer_exercise_info, max_speed, 68, 4);
LBS_PIN_FIELD(consumer_exercise_info, average_speed, 72, 4);
LBS_PIN_FIELD(consumer_exercise_info, pace, 76, 4);
LBS_PIN_FIELD(consumer_exercise_info, max_pace, 80, 4);
LBS_PIN_FIELD(consumer_exercise_info, average_pace, 84, 4);
LBS_PIN_FIELD(consumer_exercise_info, consumed_calorie, 88, 4);
LBS_PIN_FIELD(consumer_exercise_info, step_count, 92, 4);
LBS_PIN_FIELD(consumer_exercise_info, base_pressure, 96, 4);
LBS_PIN_FIELD(consumer_exercise_info, gps_status, 100, 4);
LBS_PIN_FIELD(consumer_exercise_info, accuracy, 104, 4);
LBS_PIN_FIELD(consumer_exercise_info, duration_time, 108, 4);
LBS_PIN_FIELD(consumer_exercise_info, moving_time, 112, 4);
LBS_PIN_FIELD(consumer_exercise_info, auto_pause_status, 116, 4);
LBS_PIN_FIELD(consumer_exercise_info, step_cadence, 120, 4);
LBS_PIN_FIELD(consumer_exercise_info, reserved2, 124, 4);

/* The event record: the common head, then each type's payload. */
LBS_STATIC_ASSERT(sizeof(lbs_consumer_event_s) == LBS_CONSUMER_EVENT_SIZE, "lbs_consumer_event_s size");
LBS_PIN_FIELD(lbs_consumer_event_s, type, 0, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, reserved, 4, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, error, 8, 4);

LBS_PIN_FIELD(lbs_consumer_event_s, session.head_, 0, 12);
LBS_PIN_FIELD(lbs_consumer_event_s, session.method, 12, 4);

LBS_PIN_FIELD(lbs_consumer_event_s, position.head_, 0, 12);
LBS_PIN_FIELD(lbs_consumer_event_s, position.reserved_, 12, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, position.pos, 16, 64);

LBS_PIN_FIELD(lbs_consumer_event_s, setting_check.head_, 0, 12);
LBS_PIN_FIELD(lbs_consumer_event_s, setting_check.gps, 12, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, setting_check.wps, 16, 4);

LBS_PIN_FIELD(lbs_consumer_event_s, setting_change.head_, 0, 12);
LBS_PIN_FIELD(lbs_consumer_event_s, setting_change.result, 12, 4);

LBS_PIN_FIELD(lbs_consumer_event_s, batch.head_, 0, 12);
LBS_PIN_FIELD(lbs_consumer_event_s, batch.reserved_, 12, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, batch.count, 16, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, batch.reserved2_, 20, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, batch.pos, 24, 64 * LBS_CONSUMER_MAX_BATCH_POSITIONS);
LBS_STATIC_ASSERT(24 + 64 * LBS_CONSUMER_MAX_BATCH_POSITIONS == LBS_CONSUMER_EVENT_SIZE,
                  "a full batch fills the event record exactly");

LBS_PIN_FIELD(lbs_consumer_event_s, file.head_, 0, 12);
LBS_PIN_FIELD(lbs_consumer_event_s, file.path, 12 + LBS_PTR_WIDE, 4 + LBS_PTR_WIDE);

LBS_PIN_FIELD(lbs_consumer_event_s, ref_time.head_, 0, 12);
LBS_PIN_FIELD(lbs_consumer_event_s, ref_time.reserved_, 12, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, ref_time.result, 16, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, ref_time.reason, 20, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, ref_time.ntp_time, 24, 8);
LBS_PIN_FIELD(lbs_consumer_event_s, ref_time.method, 32, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, ref_time.uncertainty, 36, 4);

LBS_PIN_FIELD(lbs_consumer_event_s, kinetra.head_, 0, 12);
LBS_PIN_FIELD(lbs_consumer_event_s, kinetra.count, 12, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, kinetra.info, 16, 4 + LBS_PTR_WIDE);

LBS_PIN_FIELD(lbs_consumer_event_s, pdc.head_, 0, 12);
LBS_PIN_FIELD(lbs_consumer_event_s, pdc.count, 12, 4);
LBS_PIN_FIELD(lbs_consumer_event_s, pdc.values, 16, 4 * LBS_CONSUMER_MAX_PDC_VALUES);

/* The operation table: three function pointers. */
LBS_STATIC_ASSERT(sizeof(lbs_consumer_plugin_interface_s) == 12 + 3 * LBS_PTR_WIDE,
                  "lbs_consumer_plugin_interface_s size");
LBS_PIN_FIELD(lbs_consumer_plugin_interface_s, init, 0, 4 + LBS_PTR_WIDE);
LBS_PIN_FIELD(lbs_consumer_plugin_interface_s, deinit, 4 + LBS_PTR_WIDE, 4 + LBS_PTR_WIDE);
LBS_PIN_FIELD(lbs_consumer_plugin_interface_s, request, 8 + 2 * LBS_PTR_WIDE, 4 + LBS_PTR_WIDE);

#undef LBS_PIN_FIELD
#undef LBS_FIELD_WIDTH
#undef LBS_PTR_WIDE
#undef LBS_STATIC_ASSERT

#ifdef __cplusplus
}
#endif

#endif /* LBS_CONSUMER_PLUGIN_H */
