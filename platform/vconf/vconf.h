/*
 * Settings store, as the plugin uses it: typed keys read by name, and change
 * callbacks. Results are 0 for success and -1 for failure; a key that was
 * never written cannot be read. Change callbacks run on the GLib main loop
 * (the default main context), never from inside the write that caused them.
 */
#ifndef VCONF_H
#define VCONF_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _keynode_t keynode_t;
typedef void (*vconf_callback_fn)(keynode_t *node, void *user_data);

#define VCONF_OK 0
#define VCONF_ERROR (-1)

int vconf_get_bool(const char *in_key, int *boolval);
int vconf_get_int(const char *in_key, int *intval);
int vconf_get_dbl(const char *in_key, double *dblval);

/* Registers cb for changes of in_key. The same (key, cb) pair registers once. */
int vconf_notify_key_changed(const char *in_key, vconf_callback_fn cb, void *user_data);
/* Removes the (key, cb) registration; -1 if there was none. */
int vconf_ignore_key_changed(const char *in_key, vconf_callback_fn cb);

/* Accessors of the node handed to a change callback: the key's name and the
 * value it was written with. */
const char *vconf_keynode_get_name(keynode_t *keynode);
int vconf_keynode_get_bool(keynode_t *keynode);
int vconf_keynode_get_int(keynode_t *keynode);
double vconf_keynode_get_dbl(keynode_t *keynode);

#ifdef __cplusplus
}
#endif

#endif /* VCONF_H */
