// What the fuzz targets share: invariant checks that stop the run, and a
// process set-up in which any GLib or json-glib complaint is fatal.
#ifndef LBS_FUZZ_COMMON_H
#define LBS_FUZZ_COMMON_H

#include <dlog_control.h>

#include <glib.h>

#include <cstdio>
#include <cstdlib>

// A broken invariant ends the run like a crash, so libFuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                                   \
    do {                                                                                                   \
        if (!(cond)) {                                                                                     \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #cond, __FILE__, __LINE__);           \
            std::abort();                                                                                  \
        }                                                                                                  \
    } while (0)

// A critical or a warning from GLib means an API was misused: a bug here.
inline void fuzz_set_up()
{
    g_log_set_always_fatal(static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING));
}

// Log lines pile up in the log stand-in; one input's lines are enough.
inline void fuzz_next_input()
{
    dlog_ctl_clear();
}

#endif // LBS_FUZZ_COMMON_H
