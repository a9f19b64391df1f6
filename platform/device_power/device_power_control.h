/* Control side of the device power stand-in, for tests and the simulator:
 * every lock request, in order, and failure injection. */
#ifndef DEVICE_POWER_CONTROL_H
#define DEVICE_POWER_CONTROL_H

#include <stddef.h>

#include "device_power.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    int type;       /* power_lock_e as passed */
    int timeout_ms;
    int result;     /* what the call returned */
} device_power_ctl_call;

/* Called for every request as it is made. NULL removes the observer. */
typedef void (*device_power_ctl_observer)(const device_power_ctl_call *call, void *user_data);
void device_power_ctl_set_observer(device_power_ctl_observer observer, void *user_data);

/* Forgets the recorded calls and clears the failure. The observer stays. */
void device_power_ctl_reset(void);
/* Nonzero (negative): every valid request fails with status. 0: they work. */
void device_power_ctl_fail(int status);

size_t device_power_ctl_count(void);
/* The request at index (0 is the first), or NULL past the end. */
const device_power_ctl_call *device_power_ctl_call_at(size_t index);

#ifdef __cplusplus
}
#endif

#endif /* DEVICE_POWER_CONTROL_H */
