// Usage counts: who needs the service connection. pos_refcnt counts the
// outstanding uses of the positioning services, exercise_refcnt the running
// exercise sessions; while both are at zero the link neither searches nor
// keeps a connection. Changes are atomic read-modify-write operations, and a
// decrease never leaves a count below zero. The helpers below log under the
// name of the operation that called them.
#include "lbs_plugin_consumer_kov_intf_internal.h"

#include "../lbs_plugin_consumer_log.h"

namespace {

void _increase(const char *func, int *count)
{
    if (g_lbs_consumer == nullptr) {
        LBS_REFCNT_LOGE_AS(func, "data is NULL");
        return;
    }
    __atomic_add_fetch(count, 1, __ATOMIC_SEQ_CST);
    const int v = __atomic_load_n(count, __ATOMIC_SEQ_CST);
    LBS_REFCNT_LOGI_AS(func, "refcnt [%d -> %d]", v - 1, v);
}

void _decrease(const char *func, int *count)
{
    if (g_lbs_consumer == nullptr) {
        LBS_REFCNT_LOGE_AS(func, "data is NULL");
        return;
    }
    __atomic_sub_fetch(count, 1, __ATOMIC_SEQ_CST);
    const int v = __atomic_load_n(count, __ATOMIC_SEQ_CST);
    LBS_REFCNT_LOGI_AS(func, "refcnt [%d -> %d]", v + 1, v);
    if (v < 0)
        __atomic_store_n(count, 0, __ATOMIC_SEQ_CST);
}

int _get(const char *func, int *count)
{
    const int v = __atomic_load_n(count, __ATOMIC_SEQ_CST);
    LBS_LOGI_AS(func, "refcnt [%d]", v);
    if (v < 0) {
        __atomic_store_n(count, 0, __ATOMIC_SEQ_CST);
        return 0;
    }
    return v;
}

} // namespace

void increase_pos_refcnt(void)
{
    _increase(__func__, g_lbs_consumer != nullptr ? &g_lbs_consumer->pos_refcnt : nullptr);
}

void decrease_pos_refcnt(void)
{
    _decrease(__func__, g_lbs_consumer != nullptr ? &g_lbs_consumer->pos_refcnt : nullptr);
}

void increase_exercise_refcnt(void)
{
    _increase(__func__, g_lbs_consumer != nullptr ? &g_lbs_consumer->exercise_refcnt : nullptr);
}

void decrease_exercise_refcnt(void)
{
    _decrease(__func__, g_lbs_consumer != nullptr ? &g_lbs_consumer->exercise_refcnt : nullptr);
}

int g_get_pos_refcnt(void)
{
    return g_lbs_consumer != nullptr ? _get(__func__, &g_lbs_consumer->pos_refcnt) : 0;
}

int g_get_exercise_refcnt(void)
{
    return g_lbs_consumer != nullptr ? _get(__func__, &g_lbs_consumer->exercise_refcnt) : 0;
}
