/* Control side of the storage query stand-in, for tests and the simulator.
 *
 * The query reports statvfs figures the way a Linux file system does: block
 * counts in fragments of f_frsize bytes, a preferred transfer size f_bsize of
 * eight fragments, and 5% of the blocks (as far as they are not in use) kept
 * back for the superuser, so f_bfree is larger than f_bavail whenever
 * anything is kept back. A reader that confuses f_bsize with f_frsize or
 * f_bfree with f_bavail therefore sees different sizes from one that does
 * not. storage_ctl_set_statvfs sets every figure by hand. */
#ifndef STORAGE_CONTROL_H
#define STORAGE_CONTROL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sizes in bytes: the whole storage (f_blocks * f_frsize) and what an
 * unprivileged user may still write (f_bavail * f_frsize). The stand-in
 * reports them with the largest fragment size (4096 down to 1) that divides
 * both exactly and keeps the block count within the platform's fsblkcnt_t;
 * f_bfree adds the superuser's reserve to f_bavail and f_bsize is eight
 * fragments. Returns 1, or 0 (nothing changed) when no such fragment size
 * exists or free_bytes is more than total. A failure set with
 * storage_ctl_fail stays in force. */
int storage_ctl_set_bytes(uint64_t total, uint64_t free_bytes);
/* Block counts in fragments of frsize bytes; f_bfree and f_bsize are derived
 * as for storage_ctl_set_bytes. */
void storage_ctl_set_blocks(unsigned long blocks, unsigned long bavail, unsigned long frsize);
/* Every figure the query reports, as given. */
void storage_ctl_set_statvfs(unsigned long blocks, unsigned long bfree, unsigned long bavail,
                             unsigned long bsize, unsigned long frsize);
/* Nonzero: the query fails with status (negative). 0: it works again. */
void storage_ctl_fail(int status);
/* Back to 8 GiB total, 4 GiB free for an unprivileged user, no failure. */
void storage_ctl_reset(void);

#ifdef __cplusplus
}
#endif

#endif /* STORAGE_CONTROL_H */
