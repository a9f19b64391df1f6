/*
 * Control side of the alarm manager stand-in, for tests and the simulator:
 * the virtual clock, failure injection and a view of the traffic.
 *
 * Time starts at 0 and moves only through alarmmgr_ctl_advance (or
 * alarmmgr_ctl_fire_next). Due alarms fire in order of due time, ties in
 * order of id, with the clock set to the alarm's due time while its callback
 * runs.
 */
#ifndef ALARMMGR_CONTROL_H
#define ALARMMGR_CONTROL_H

#include <stddef.h>
#include <stdint.h>

#include "alarmmgr.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    ALARMMGR_CTL_ADD = 0,        /* armed: id, delay, interval */
    ALARMMGR_CTL_ADD_FAILED = 1, /* refused: delay, interval, result */
    ALARMMGR_CTL_FIRE = 2,       /* about to call the callback: id */
    ALARMMGR_CTL_REMOVE = 3,     /* alarmmgr_remove_alarm called: id, result */
} alarmmgr_ctl_what;

typedef struct {
    alarmmgr_ctl_what what;
    alarm_id_t id;    /* 0 for a refused add */
    int64_t delay;    /* ADD, ADD_FAILED */
    int64_t interval; /* ADD, ADD_FAILED */
    int result;       /* what the call returned (ADD_FAILED, REMOVE) */
} alarmmgr_ctl_traffic;

/* Called for every add, refusal, firing and removal as it happens. NULL
 * removes the observer. */
typedef void (*alarmmgr_ctl_observer)(const alarmmgr_ctl_traffic *traffic, void *user_data);
void alarmmgr_ctl_set_observer(alarmmgr_ctl_observer observer, void *user_data);

/* Forgets every alarm, sets the clock to 0 and the next id to 1, clears the
 * failure switch. The observer stays. */
void alarmmgr_ctl_reset(void);

/* The virtual time in seconds. */
int64_t alarmmgr_ctl_now(void);

/* Moves the clock seconds ahead (0 or more; a negative value does nothing and
 * returns 0). Every alarm due up to the new time fires, in order; after each
 * one the default GLib main context is dispatched until nothing is ready, so
 * that idle work the callback queued runs before the next alarm. Alarms added
 * by callbacks take part if they fall due in time. Returns the number of
 * alarms fired. */
unsigned alarmmgr_ctl_advance(int64_t seconds);

/* Fires the next alarm due at or before until (and moves the clock to its due
 * time), without dispatching the main context. Returns its id, or 0 when no
 * alarm is due by then; the clock is then left where it was. */
alarm_id_t alarmmgr_ctl_fire_next(int64_t until);

/* Nonzero: alarmmgr_add_alarm_withcb fails with ERR_ALARM_SYSTEM_FAIL and no
 * id is used up. */
void alarmmgr_ctl_fail_add(int on);

/* Number of armed alarms. */
size_t alarmmgr_ctl_count(void);
/* 1 when the id is armed; then *due and *interval (either may be NULL) are
 * filled. */
int alarmmgr_ctl_get(alarm_id_t id, int64_t *due, int64_t *interval);
/* Due time of the next alarm to fire, or -1 when none is armed. */
int64_t alarmmgr_ctl_next_due(void);

/* Timers of the control side: the simulator's own work in virtual time (the
 * simulated phone's answers and position stream), which is not the
 * platform's alarm traffic. A timer is one-shot, due delay seconds from now;
 * it is never reported to the observer, uses no alarm id and is not counted
 * by alarmmgr_ctl_count. alarmmgr_ctl_advance fires timers in order of due
 * time with the alarms (an alarm before a timer due at the same second,
 * timers among themselves in order of id), sets the clock to the timer's due
 * time while its callback runs and dispatches the main context after each.
 * alarmmgr_ctl_fire_next ignores timers; alarmmgr_ctl_reset forgets them.
 * Returns the timer's id (from 1), or 0 for a NULL callback or a negative
 * delay. */
typedef void (*alarmmgr_ctl_timer_cb)(void *user_data);
unsigned alarmmgr_ctl_timer_add(int64_t delay, alarmmgr_ctl_timer_cb cb, void *user_data);
/* 1 when the timer was pending and is now removed, 0 otherwise. */
int alarmmgr_ctl_timer_remove(unsigned id);
/* Number of pending timers. */
size_t alarmmgr_ctl_timer_count(void);

#ifdef __cplusplus
}
#endif

#endif /* ALARMMGR_CONTROL_H */
