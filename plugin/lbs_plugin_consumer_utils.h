/*
 * Settings and file helpers shared by both links. Each returns 1 on success
 * and 0 on failure, and logs a failure itself so callers need not.
 */
#ifndef LBS_PLUGIN_CONSUMER_UTILS_H
#define LBS_PLUGIN_CONSUMER_UTILS_H

#include <vconf.h>

int setting_get_int(const char *path, int *val);
int setting_get_double(const char *path, double *val);
int setting_notify_key_changed(const char *path, vconf_callback_fn key_changed_cb, void *data);
int setting_ignore_key_changed(const char *path, vconf_callback_fn key_changed_cb);

/* 1 when the internal storage has room for a file from the phone: at least
 * 101 MiB free on a storage larger than 1 GiB, otherwise at least 6 MiB. */
int lbs_util_is_memory_space_available(void);

/* 1 when something other than a directory exists at path (symbolic links
 * are not followed, so a dangling one counts). */
int lbs_util_is_file_exist(const char *path);

/* Makes room for a file the phone is about to send to target, a path in the
 * plugin's file directory (LBS_EXTRA_DIR): an old file there is removed; when
 * there is none and the directory is missing, the directory is created open
 * to everybody (mode 0777) and owned by the media user and group (5000).
 * Failures are logged, under func (the file-offer callback that prepares the
 * target), and stop nothing: the transfer may still succeed. */
void lbs_util_prepare_file_target(const char *func, const char *target);

#endif /* LBS_PLUGIN_CONSUMER_UTILS_H */
