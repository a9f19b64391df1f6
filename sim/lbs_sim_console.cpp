#include "lbs_sim_console.h"

#include "lbs_sim_request_records.h"
#include "lbs_sim_verbs.h"

#include <alarmmgr_control.h>
#include <editline/readline.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <unistd.h>
#include <vector>

namespace lbs_sim {

namespace {

std::string real_path(const std::string &path)
{
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) != nullptr ? std::string(buf) : std::string();
}

} // namespace

bool Recorder::open(const std::string &path, std::string_view args, std::string *why)
{
    file_ = std::fopen(path.c_str(), "w");
    if (file_ == nullptr) {
        *why = path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    std::fputs("# Recorded by lbs-sim: every command that ran, in order. Played with\n"
               "# lbs-sim --trace it gives the trace of the session that recorded it.\n",
               file_);
    if (!args.empty())
        std::fprintf(file_, "# lbs-sim-args: %.*s\n", static_cast<int>(args.size()), args.data());
    std::fflush(file_);
    return true;
}

void Recorder::add(const Command &cmd, std::string_view base_file)
{
    if (file_ == nullptr)
        return;
    std::string line = cmd.source;
    if (cmd.verb == Verb::Phone && cmd.word == "track" && !cmd.text.empty() && cmd.text.front() != '/') {
        // The same words from here must name the same file; else the
        // recording names it by its full path.
        const std::string used = real_path(track_path(base_file, cmd.text));
        const std::string from_here = real_path(track_path(path_, cmd.text));
        if (!used.empty() && used != from_here)
            line = "phone track " + used;
    }
    std::fprintf(file_, "%s\n", line.c_str());
    std::fflush(file_);
}

Recorder::~Recorder()
{
    if (file_ != nullptr)
        std::fclose(file_);
}

namespace {

// What the terminal's completion asks for: the words for the one typed.
std::vector<std::string> g_candidates;

char *next_candidate(const char *, int state)
{
    if (static_cast<size_t>(state) >= g_candidates.size())
        return nullptr;
    return ::strdup(g_candidates[static_cast<size_t>(state)].c_str());
}

char **complete(const char *text, int start, int)
{
    rl_attempted_completion_over = 1; // never file names
    bool field = false;
    g_candidates = complete_words(std::string_view(rl_line_buffer, static_cast<size_t>(start)), text, &field);
    rl_completion_append_character = field ? '=' : ' ';
    if (g_candidates.empty())
        return nullptr;
    return rl_completion_matches(text, next_candidate);
}

class Session {
public:
    Session(Runner &runner, Recorder *recorder, const ConsoleOptions &o)
        : runner_(runner), recorder_(recorder), o_(o)
    {
    }

    int run()
    {
        if (o_.terminal) {
            rl_readline_name = "lbs-sim";
            rl_instream = stdin;
            // The prompt and what is typed go where a person sees them,
            // beside a timeline or trace that goes to a file.
            rl_outstream = isatty(STDOUT_FILENO) ? stdout : stderr;
            rl_attempted_completion_function = complete;
            using_history();
            std::fputs("lbs-sim console: scenario commands run as you enter them; help lists them, "
                        "quit ends.\n",
                        o_.messages);
        }
        std::string line;
        while (read(&line)) {
            ++line_no_;
            if (!handle(line))
                break;
        }
        return bad_;
    }

private:
    bool read(std::string *line)
    {
        std::fflush(stdout);
        if (!o_.terminal)
            return static_cast<bool>(std::getline(std::cin, *line));
        const std::string prompt = "lbs-sim " + std::to_string(alarmmgr_ctl_now()) + "s> ";
        char *got = readline(prompt.c_str());
        if (got == nullptr) {
            std::fputc('\n', rl_outstream);
            return false;
        }
        *line = got;
        std::free(got);
        if (line->find_first_not_of(" \t") != std::string::npos && *line != last_) {
            add_history(line->c_str());
            last_ = *line;
        }
        return true;
    }

    void report(const std::string &message)
    {
        ++bad_;
        std::fflush(stdout);
        std::fprintf(o_.messages, "console:%d: %s\n", line_no_, message.c_str());
    }

    // False to end the session.
    bool handle(const std::string &line)
    {
        std::string_view words = line;
        while (!words.empty() && (words.front() == ' ' || words.front() == '\t'))
            words.remove_prefix(1);
        while (!words.empty() && (words.back() == ' ' || words.back() == '\t' || words.back() == '\r'))
            words.remove_suffix(1);
        if (words == "quit" || words == "exit")
            return false;
        if (words == "help" || words.substr(0, 5) == "help ") {
            help(words.size() > 5 ? words.substr(5) : std::string_view{});
            return true;
        }
        Command cmd;
        bool empty = false;
        std::string message;
        if (!parse_line(line, &cmd, &empty, &message)) {
            report(message);
            return true;
        }
        if (empty)
            return true;
        cmd.line = line_no_;
        if (cmd.verb == Verb::Phone && cmd.word == "track" && !load_track("", &cmd, &message)) {
            report(message);
            return true;
        }
        if (!runner_.execute(cmd, &message)) {
            report(message);
            return true;
        }
        if (recorder_ != nullptr)
            recorder_->add(cmd, "");
        return true;
    }

    void help(std::string_view topic)
    {
        while (!topic.empty() && topic.front() == ' ')
            topic.remove_prefix(1);
        std::FILE *out = o_.messages;
        if (topic.empty()) {
            std::fputs("Scenario commands, run as you enter them (help VERB for one; TAB completes):\n", out);
            for (const VerbHelp &v : verb_help())
                std::fprintf(out, "  %-44s %.*s\n", verb_usage(v).c_str(), static_cast<int>(v.does.size()),
                             v.does.data());
            std::fputs("Console: help [VERB], quit (or exit, or end of input). # starts a comment.\n", out);
            return;
        }
        const std::vector<const VerbHelp *> found = find_verb_help(topic);
        if (found.empty()) {
            report("no verb '" + std::string(topic) + "' (help lists them)");
            return;
        }
        for (const VerbHelp *v : found) {
            std::fprintf(out, "%s\n  %.*s\n", verb_usage(*v).c_str(), static_cast<int>(v->does.size()),
                         v->does.data());
            if (v->name == "request")
                for (std::string_view code : action_names()) {
                    std::string fields;
                    for (std::string_view f : field_names(record_of(*action_code(code))))
                        fields += " " + std::string(f);
                    std::fprintf(out, "  %.*s:%s\n", static_cast<int>(code.size()), code.data(),
                                 fields.empty() ? " (no record)" : fields.c_str());
                }
            std::fprintf(out, "  example: %.*s\n", static_cast<int>(v->example.size()), v->example.data());
        }
    }

    Runner &runner_;
    Recorder *recorder_;
    ConsoleOptions o_;
    int line_no_ = 0;
    int bad_ = 0;
    std::string last_;
};

} // namespace

int run_console(Runner &runner, Recorder *recorder, const ConsoleOptions &options)
{
    return Session(runner, recorder, options).run();
}

} // namespace lbs_sim
