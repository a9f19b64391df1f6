/*
 * Control side of the platform log stand-in, for tests and the simulator.
 * Lines are kept in order of arrival; the oldest are dropped past
 * DLOG_CTL_MAX_LINES. Pointers returned stay valid until the next clear or
 * the next line recorded.
 */
#ifndef DLOG_CONTROL_H
#define DLOG_CONTROL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DLOG_CTL_MAX_LINES 100000

typedef struct {
    int buffer;       /* log_id_t */
    int prio;         /* log_priority */
    const char *tag;
    const char *text; /* the formatted line, prefix included */
} dlog_ctl_line;

/* Called for every line as it is recorded. NULL removes the sink. */
typedef void (*dlog_ctl_sink)(const dlog_ctl_line *line, void *user_data);

void dlog_ctl_set_sink(dlog_ctl_sink sink, void *user_data);
/* Nonzero: also print every line to standard error. */
void dlog_ctl_set_stderr(int on);
void dlog_ctl_clear(void);
size_t dlog_ctl_count(void);
/* The line at index (0 is the oldest kept), or NULL past the end. */
const dlog_ctl_line *dlog_ctl_line_at(size_t index);
/* Number of kept lines whose text contains needle (and, when tag is not
 * NULL, whose tag equals tag). */
size_t dlog_ctl_count_matching(const char *tag, const char *needle);

#ifdef __cplusplus
}
#endif

#endif /* DLOG_CONTROL_H */
