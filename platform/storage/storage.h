/*
 * Storage query, as the plugin uses it. Stand-in: reports the sizes set
 * through storage_control.h (8 GiB total, 4 GiB free until told otherwise).
 */
#ifndef STORAGE_H
#define STORAGE_H

#include <sys/statvfs.h>

#ifdef __cplusplus
extern "C" {
#endif

#define STORAGE_ERROR_NONE 0
#define STORAGE_ERROR_INVALID_PARAMETER (-22)
#define STORAGE_ERROR_OPERATION_FAILED (-1)

/* Fills f_blocks, f_bfree, f_bavail (block counts in fragments), f_frsize
 * (the fragment size) and f_bsize (the preferred transfer size) of the
 * internal storage; everything else is zero. 0 on success, a negative status
 * on failure. */
int storage_get_internal_memory_size(struct statvfs *buf);

#ifdef __cplusplus
}
#endif

#endif /* STORAGE_H */
