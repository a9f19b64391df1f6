/*
 * Control side of the settings store stand-in, for tests and the simulator.
 * Writing a key queues one notification for every callback registered on it
 * at that moment; the notifications are delivered from an idle source on the
 * default main context, in order of writing. A callback removed before its
 * notification is delivered is not called.
 */
#ifndef VCONF_CONTROL_H
#define VCONF_CONTROL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void vconf_ctl_set_bool(const char *key, int value);
void vconf_ctl_set_int(const char *key, int value);
void vconf_ctl_set_dbl(const char *key, double value);
/* Forgets a key: reads fail again. Watchers are not notified. */
void vconf_ctl_unset(const char *key);
/* Forgets every key, watcher and queued notification, and clears failures. */
void vconf_ctl_reset(void);

/* Nonzero: vconf_notify_key_changed (or vconf_ignore_key_changed) fails. */
void vconf_ctl_fail_notify(int on);
void vconf_ctl_fail_ignore(int on);

/* Number of callbacks registered on key. */
size_t vconf_ctl_watcher_count(const char *key);
/* Delivers queued notifications now, without a main loop. Returns how many. */
size_t vconf_ctl_flush(void);

#ifdef __cplusplus
}
#endif

#endif /* VCONF_CONTROL_H */
