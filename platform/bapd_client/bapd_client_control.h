/*
 * Control side of the BLE accessory daemon stand-in, for tests and the
 * simulator: statuses, results per call, a record of every call and the
 * delivery of every callback.
 *
 * Deliveries go to every added service that has the callback set, in order
 * of their handles (the plugin adds one).
 */
#ifndef BAPD_CLIENT_CONTROL_H
#define BAPD_CLIENT_CONTROL_H

#include <stddef.h>

#include "bapd_client.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One daemon call as it was made. Fields that do not belong to the call are
 * 0 or NULL. */
typedef struct {
    const char *name;      /* the function's name, "bap_service_send_data" */
    int result;            /* what it returned */
    bap_service_h service; /* the service handle passed or, for bap_service_add, handed out */
    bap_transfer_h transfer;
    int transfer_id;
    const char *text;      /* bap_service_add: the name; send: the bytes plus a NUL; receive: the path */
    size_t length;         /* send: the number of bytes */
} bap_ctl_call;

/* Called for every call as it is made (after its result is chosen). NULL
 * removes the observer. */
typedef void (*bap_ctl_observer)(const bap_ctl_call *call, void *user_data);
void bap_ctl_set_observer(bap_ctl_observer observer, void *user_data);

/* Back to the start: no services, no calls, both statuses 1, every result 0,
 * handles from 1 again. The observer stays. */
void bap_ctl_reset(void);

/* The device (or service) connection status the getters answer from now on,
 * reported at once through every connection status callback set for it.
 * Clears a result set for that getter. */
void bap_ctl_set_device_status(int status);
void bap_ctl_set_service_status(int status);

/* From now on the named call returns result; for the two status getters this
 * overrides the status until the status is set again. 1 when name is a daemon
 * call, 0 otherwise. */
int bap_ctl_set_result(const char *name, int result);
int bap_ctl_is_call_name(const char *name);

/* Calls in order; pointers stay valid until bap_ctl_reset. */
size_t bap_ctl_call_count(void);
const bap_ctl_call *bap_ctl_call_at(size_t index);
size_t bap_ctl_count_calls(const char *name);

/* Services added and not removed. */
size_t bap_ctl_service_count(void);
/* 1 when the service exists and has the callback set whose setter is named
 * (e.g. "bap_service_set_data_received_cb"). */
int bap_ctl_has_callback(bap_service_h service, const char *setter_name);

/* Deliveries. Each returns the number of callbacks called. */
int bap_ctl_data_received(unsigned int length, const void *data);
int bap_ctl_send_completed(int result);
int bap_ctl_file_incoming(bap_transfer_h transfer, const char *file_name, int transfer_id);
int bap_ctl_file_receiving_completed(int status, const char *file_path, int transfer_id);
int bap_ctl_file_progress(int transfer_id, unsigned int percent);

/* File transfers. An offer delivered through bap_ctl_file_incoming is
 * remembered by its transfer id with the client's answer: accepted (with the
 * path the client gave) or rejected by a call that returned 0, otherwise
 * still offered. A later offer with the same id starts afresh. */
enum {
    BAP_CTL_TRANSFER_UNKNOWN = -2,  /* never offered */
    BAP_CTL_TRANSFER_REJECTED = -1,
    BAP_CTL_TRANSFER_OFFERED = 0,   /* not answered yet */
    BAP_CTL_TRANSFER_ACCEPTED = 1,
    BAP_CTL_TRANSFER_ENDED = 2,     /* accepted and reported complete */
};
/* The transfer's state; *path (may be NULL) gets the path of an accepted
 * transfer, NULL otherwise, valid until the next call of the control side. */
int bap_ctl_transfer_answer(int transfer_id, const char **path);
/* The id of the last transfer accepted and not yet completed; 0 when none. */
int bap_ctl_last_accepted_transfer(void);
/* Ends an accepted transfer: reports it through the receiving completed
 * callbacks with status, its path and its id, as the daemon does once it has
 * stored the file (the stand-in writes nothing). Returns the number of
 * callbacks called, or -1, delivering nothing, when the transfer is not an
 * accepted one. */
int bap_ctl_complete_transfer(int transfer_id, int status);

#ifdef __cplusplus
}
#endif

#endif /* BAPD_CLIENT_CONTROL_H */
