#include "dlog.h"
#include "dlog_control.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

namespace {

struct StoredLine {
    int buffer;
    int prio;
    std::string tag;
    std::string text;
    dlog_ctl_line view;
};

struct LogState {
    std::deque<StoredLine> lines;
    dlog_ctl_sink sink = nullptr;
    void *sink_data = nullptr;
    bool to_stderr = false;
};

LogState &state()
{
    static LogState s;
    return s;
}

char priority_letter(int prio)
{
    static constexpr char letters[] = "UUVDIWEFS";
    return (prio >= 0 && prio <= DLOG_SILENT) ? letters[prio] : '?';
}

} // namespace

extern "C" int __dlog_print(log_id_t log_id, int prio, const char *tag, const char *fmt, ...)
{
    if (tag == nullptr || fmt == nullptr)
        return -1;

    va_list ap;
    va_start(ap, fmt);
    va_list copy;
    va_copy(copy, ap);
    int len = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string text(len > 0 ? static_cast<size_t>(len) : 0, '\0');
    if (len > 0)
        std::vsnprintf(text.data(), text.size() + 1, fmt, ap);
    va_end(ap);

    LogState &s = state();
    if (s.lines.size() >= DLOG_CTL_MAX_LINES)
        s.lines.pop_front();
    s.lines.push_back({static_cast<int>(log_id), prio, tag, std::move(text), {}});
    StoredLine &line = s.lines.back();
    line.view = {line.buffer, line.prio, line.tag.c_str(), line.text.c_str()};

    if (s.to_stderr)
        std::fprintf(stderr, "%c/%s: %s\n", priority_letter(prio), line.tag.c_str(), line.text.c_str());
    if (s.sink != nullptr)
        s.sink(&line.view, s.sink_data);
    return len;
}

extern "C" void dlog_ctl_set_sink(dlog_ctl_sink sink, void *user_data)
{
    state().sink = sink;
    state().sink_data = user_data;
}

extern "C" void dlog_ctl_set_stderr(int on)
{
    state().to_stderr = on != 0;
}

extern "C" void dlog_ctl_clear(void)
{
    state().lines.clear();
}

extern "C" size_t dlog_ctl_count(void)
{
    return state().lines.size();
}

extern "C" const dlog_ctl_line *dlog_ctl_line_at(size_t index)
{
    LogState &s = state();
    return index < s.lines.size() ? &s.lines[index].view : nullptr;
}

extern "C" size_t dlog_ctl_count_matching(const char *tag, const char *needle)
{
    size_t n = 0;
    for (const StoredLine &line : state().lines) {
        if (tag != nullptr && line.tag != tag)
            continue;
        if (needle == nullptr || line.text.find(needle) != std::string::npos)
            ++n;
    }
    return n;
}
