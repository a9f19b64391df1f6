/*
 * Alarm manager, as the plugin uses it: alarms in whole seconds that call a
 * function with the alarm's id and the caller's data, once or repeatedly,
 * until removed by id.
 *
 * Stand-in: the alarms run on a virtual clock that only alarmmgr_control.h
 * moves; nothing here reads the wall clock or sleeps. Callbacks run on the
 * thread that moves the clock (the main loop's), never from inside
 * alarmmgr_add_alarm_withcb. What it does not model: alarm types (the type is
 * recorded and otherwise ignored), waking the device, persistence across
 * restarts, absolute-time alarms.
 */
#ifndef ALARMMGR_H
#define ALARMMGR_H

#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int alarm_id_t;

/* Called when the alarm is due, with its id and the data given when it was
 * added. The result is not used. */
typedef int (*alarm_cb_t)(alarm_id_t alarm_id, void *user_param);

#define ALARM_TYPE_DEFAULT 0

#define ALARMMGR_RESULT_SUCCESS 0
#define ERR_ALARM_INVALID_PARAM (-10)
#define ERR_ALARM_INVALID_ID (-11)
#define ERR_ALARM_SYSTEM_FAIL (-12)

/* Arms an alarm due delay seconds from now; with interval above 0 it is due
 * again every interval seconds after each time it fires, otherwise it fires
 * once. Ids start at 1 and are never handed out twice. Returns 0 and stores
 * the id, or a negative ERR_ALARM_ code (bad argument, or the manager
 * refused). */
int alarmmgr_add_alarm_withcb(int alarm_type, time_t trigger_at_time, time_t interval, alarm_cb_t handler,
                              void *user_param, alarm_id_t *alarm_id);

/* Disarms the alarm: it does not fire (again), also when it is due at the
 * instant being played or is the one whose callback is running. 0, or
 * ERR_ALARM_INVALID_ID for an id that is not armed. */
int alarmmgr_remove_alarm(alarm_id_t alarm_id);

#ifdef __cplusplus
}
#endif

#endif /* ALARMMGR_H */
