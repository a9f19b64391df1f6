/*
 * The plugin's one way to log. Every line goes to the platform log's system
 * buffer with the tag of its kind and starts "file: function(line) > ";
 * call sites pass only the message and its arguments.
 *
 * The function in the prefix is the one the line belongs to. A helper that
 * logs on behalf of its caller takes the caller's name as a parameter
 * (`const char *func`, given __func__ by the caller) and logs with the _AS
 * forms, so that a line reads the same wherever the work was factored out.
 */
#ifndef LBS_PLUGIN_CONSUMER_LOG_H
#define LBS_PLUGIN_CONSUMER_LOG_H

#include <dlog.h>

#define LBS_LOG_TAG "LBS_CONSUMER_PLUGIN"
#define LBS_REFCNT_LOG_TAG "LBS_CONSUMER_REFCNT"

#define LBS_LOG_PRINT_AS(func, prio, tag, fmt, ...)                                                \
    __dlog_print(LOG_ID_SYSTEM, prio, tag, "%s: %s(%d) > " fmt, __FILE_NAME__, func, __LINE__,   \
                 ##__VA_ARGS__)
#define LBS_LOG_PRINT(prio, tag, fmt, ...) LBS_LOG_PRINT_AS(__func__, prio, tag, fmt, ##__VA_ARGS__)

#define LBS_LOGI(fmt, ...) LBS_LOG_PRINT(DLOG_INFO, LBS_LOG_TAG, fmt, ##__VA_ARGS__)
#define LBS_LOGW(fmt, ...) LBS_LOG_PRINT(DLOG_WARN, LBS_LOG_TAG, fmt, ##__VA_ARGS__)
#define LBS_LOGE(fmt, ...) LBS_LOG_PRINT(DLOG_ERROR, LBS_LOG_TAG, fmt, ##__VA_ARGS__)

/* Usage-count lines have a tag of their own. */
#define LBS_REFCNT_LOGI(fmt, ...) LBS_LOG_PRINT(DLOG_INFO, LBS_REFCNT_LOG_TAG, fmt, ##__VA_ARGS__)
#define LBS_REFCNT_LOGW(fmt, ...) LBS_LOG_PRINT(DLOG_WARN, LBS_REFCNT_LOG_TAG, fmt, ##__VA_ARGS__)
#define LBS_REFCNT_LOGE(fmt, ...) LBS_LOG_PRINT(DLOG_ERROR, LBS_REFCNT_LOG_TAG, fmt, ##__VA_ARGS__)

/* The same, under the name of the function func the line belongs to. */
#define LBS_LOGI_AS(func, fmt, ...) LBS_LOG_PRINT_AS(func, DLOG_INFO, LBS_LOG_TAG, fmt, ##__VA_ARGS__)
#define LBS_LOGW_AS(func, fmt, ...) LBS_LOG_PRINT_AS(func, DLOG_WARN, LBS_LOG_TAG, fmt, ##__VA_ARGS__)
#define LBS_LOGE_AS(func, fmt, ...) LBS_LOG_PRINT_AS(func, DLOG_ERROR, LBS_LOG_TAG, fmt, ##__VA_ARGS__)
#define LBS_REFCNT_LOGI_AS(func, fmt, ...) LBS_LOG_PRINT_AS(func, DLOG_INFO, LBS_REFCNT_LOG_TAG, fmt, ##__VA_ARGS__)
#define LBS_REFCNT_LOGE_AS(func, fmt, ...) LBS_LOG_PRINT_AS(func, DLOG_ERROR, LBS_REFCNT_LOG_TAG, fmt, ##__VA_ARGS__)

#endif /* LBS_PLUGIN_CONSUMER_LOG_H */
