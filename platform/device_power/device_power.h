/*
 * Device power, as the plugin uses it: a request to keep the device awake
 * for a while.
 *
 * Stand-in: the request is checked and recorded (see device_power_control.h)
 * and nothing else happens; there is no sleep to prevent in a simulation, so
 * neither the lock's duration nor its release is modelled.
 */
#ifndef DEVICE_POWER_H
#define DEVICE_POWER_H

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    POWER_LOCK_CPU = 0,
    POWER_LOCK_DISPLAY = 1,
    POWER_LOCK_DISPLAY_DIM = 2,
} power_lock_e;

#define DEVICE_ERROR_NONE 0
#define DEVICE_ERROR_OPERATION_FAILED (-1)
#define DEVICE_ERROR_INVALID_PARAMETER (-22)

/* Keeps the part named by type awake for timeout_ms milliseconds (0: until
 * released, which this stand-in does not offer). 0, or a negative
 * DEVICE_ERROR_ code. */
int device_power_request_lock(power_lock_e type, int timeout_ms);

#ifdef __cplusplus
}
#endif

#endif /* DEVICE_POWER_H */
