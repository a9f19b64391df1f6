// Test helper: the platform log's lines, searchable by text.
#ifndef TESTS_LOG_CAPTURE_H
#define TESTS_LOG_CAPTURE_H

#include <dlog.h>
#include <dlog_control.h>

#include <string>
#include <vector>

struct LogLine {
    int prio;
    std::string tag;
    std::string message;  // without the "file: function(line) > " prefix
    std::string function; // the function the prefix names
};

// Lines recorded since the last dlog_ctl_clear().
inline std::vector<LogLine> captured_logs()
{
    std::vector<LogLine> out;
    for (size_t i = 0; i < dlog_ctl_count(); ++i) {
        const dlog_ctl_line *l = dlog_ctl_line_at(i);
        std::string text = l->text;
        size_t cut = text.find(" > ");
        if (cut == std::string::npos) {
            out.push_back({l->prio, l->tag, text, ""});
            continue;
        }
        const std::string prefix = text.substr(0, cut);
        const size_t colon = prefix.find(": ");
        const size_t open = prefix.rfind('(');
        std::string function;
        if (colon != std::string::npos && open != std::string::npos && open > colon + 2)
            function = prefix.substr(colon + 2, open - colon - 2);
        out.push_back({l->prio, l->tag, text.substr(cut + 3), function});
    }
    return out;
}

// True when a line with exactly this message (prefix removed) was logged at prio.
inline bool logged(int prio, const std::string &message)
{
    for (const LogLine &l : captured_logs())
        if (l.prio == prio && l.message == message)
            return true;
    return false;
}

// True when a line with exactly this message was logged at prio under function.
inline bool logged_in(int prio, const std::string &function, const std::string &message)
{
    for (const LogLine &l : captured_logs())
        if (l.prio == prio && l.function == function && l.message == message)
            return true;
    return false;
}

#endif // TESTS_LOG_CAPTURE_H
