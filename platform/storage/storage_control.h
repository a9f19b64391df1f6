/* Control side of the storage query stand-in, for tests and the simulator. */
#ifndef STORAGE_CONTROL_H
#define STORAGE_CONTROL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sizes in bytes. The stand-in reports them with the largest fragment size
 * (4096 down to 1) that divides both exactly and keeps the block counts
 * within the platform's fsblkcnt_t; 0 if no such fragment size exists. */
int storage_ctl_set_bytes(uint64_t total, uint64_t free_bytes);
/* Raw figures, reported as given. */
void storage_ctl_set_blocks(unsigned long blocks, unsigned long bavail, unsigned long frsize);
/* Nonzero: the query fails with status (negative). 0: it works again. */
void storage_ctl_fail(int status);
/* Back to 8 GiB total, 4 GiB free, no failure. */
void storage_ctl_reset(void);

#ifdef __cplusplus
}
#endif

#endif /* STORAGE_CONTROL_H */
