#include "lbs_sim_scenario.h"

#include <bapd_client_control.h>
#include <kov_client_control.h>

#include <array>
#include <charconv>
#include <climits>
#include <cstdint>

namespace lbs_sim {
namespace {

enum class Arg { Int32, UInt32, Seconds, OnOff, Text, Path, KovCall, BapCall };

// A verb with fixed arguments. group is empty for one-word verbs.
struct Syntax {
    std::string_view group;
    std::string_view name;
    Verb verb;
    size_t nargs;
    std::array<Arg, 3> args;
    std::array<std::string_view, 3> arg_names;
};

constexpr std::array<Syntax, 28> kSyntax = {{
    {"", "init", Verb::Init, 0, {}, {}},
    {"", "deinit", Verb::Deinit, 0, {}, {}},
    {"", "advance", Verb::Advance, 1, {Arg::Seconds}, {"SECONDS"}},
    {"alarm", "fail", Verb::AlarmFail, 1, {Arg::OnOff}, {"on|off"}},
    {"loop", "hold", Verb::LoopHold, 0, {}, {}},
    {"loop", "run", Verb::LoopRun, 0, {}, {}},
    {"kov", "connected", Verb::KovConnected, 1, {Arg::Int32}, {"0|1"}},
    {"kov", "auto", Verb::KovAuto, 1, {Arg::OnOff}, {"on|off"}},
    {"kov", "result", Verb::KovResult, 2, {Arg::KovCall, Arg::Int32}, {"CALL", "N"}},
    {"kov", "regi_cfrm", Verb::KovRegiCfrm, 2, {Arg::Int32, Arg::UInt32}, {"RESULT", "AGENT_ID"}},
    {"kov", "deregi_cfrm", Verb::KovDeregiCfrm, 1, {Arg::Int32}, {"RESULT"}},
    {"kov", "peer_found", Verb::KovPeerFound, 1, {Arg::Int32}, {"STATUS"}},
    {"kov", "conn_cfrm", Verb::KovConnCfrm, 2, {Arg::Int32, Arg::Int32}, {"STATUS", "HANDLE"}},
    {"kov", "conn_ind", Verb::KovConnInd, 0, {}, {}},
    {"kov", "term_ind", Verb::KovTermInd, 1, {Arg::Int32}, {"STATUS"}},
    {"kov", "error", Verb::KovError, 1, {Arg::Int32}, {"CODE"}},
    {"kov", "device_status", Verb::KovDeviceStatus, 2, {Arg::UInt32, Arg::Int32}, {"TYPE", "STATUS"}},
    {"kov", "data", Verb::KovData, 1, {Arg::Text}, {"TEXT"}},
    {"kov", "send_file", Verb::KovSendFile, 2, {Arg::Int32, Arg::Path}, {"TX", "PATH"}},
    {"kov", "receive_completed", Verb::KovReceiveCompleted, 2, {Arg::Path, Arg::Int32}, {"PATH", "RESULT"}},
    {"bap", "device", Verb::BapDevice, 1, {Arg::Int32}, {"0|1"}},
    {"bap", "service", Verb::BapService, 1, {Arg::Int32}, {"0|1"}},
    {"bap", "result", Verb::BapResult, 2, {Arg::BapCall, Arg::Int32}, {"CALL", "N"}},
    {"bap", "data", Verb::BapData, 1, {Arg::Text}, {"TEXT"}},
    {"bap", "file_incoming", Verb::BapFileIncoming, 3, {Arg::Int32, Arg::Path, Arg::Int32}, {"HANDLE", "NAME", "ID"}},
    {"bap", "file_completed", Verb::BapFileCompleted, 3, {Arg::Int32, Arg::Path, Arg::Int32}, {"STATUS", "PATH", "ID"}},
    {"bap", "send_completed", Verb::BapSendCompleted, 1, {Arg::Int32}, {"RESULT"}},
    {"bap", "transfer_done", Verb::BapTransferDone, 1, {Arg::Int32}, {"STATUS"}},
}};

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// Walks a line token by token. A token that starts with '#' starts a
// comment; rest() takes everything left, '#' included.
class Cursor {
public:
    explicit Cursor(std::string_view line) : line_(line) {}

    std::string_view next()
    {
        skip_blanks();
        if (pos_ >= line_.size() || line_[pos_] == '#') {
            pos_ = line_.size();
            return {};
        }
        const size_t start = pos_;
        while (pos_ < line_.size() && !is_blank(line_[pos_]))
            ++pos_;
        token_end_ = pos_;
        return line_.substr(start, pos_ - start);
    }

    std::string_view rest()
    {
        skip_blanks();
        std::string_view r = line_.substr(pos_);
        pos_ = token_end_ = line_.size();
        return r;
    }

    // The end of the last token read (a comment is not read).
    size_t token_end() const { return token_end_; }

private:
    void skip_blanks()
    {
        while (pos_ < line_.size() && is_blank(line_[pos_]))
            ++pos_;
    }

    std::string_view line_;
    size_t pos_ = 0;
    size_t token_end_ = 0;
};

bool parse_integer(std::string_view token, long long min, long long max, long long *out)
{
    std::string_view digits = token;
    if (!digits.empty() && digits.front() == '-')
        digits.remove_prefix(1);
    if (digits.empty())
        return false;
    for (char c : digits)
        if (c < '0' || c > '9')
            return false;
    long long value = 0;
    auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size() || value < min || value > max)
        return false;
    *out = value;
    return true;
}

// Decimal only: digits with an optional sign, fraction and exponent.
bool parse_real(std::string_view token, double *out)
{
    size_t i = 0;
    auto digits = [&]() {
        size_t start = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9')
            ++i;
        return i > start;
    };
    if (i < token.size() && token[i] == '-')
        ++i;
    if (!digits())
        return false;
    if (i < token.size() && token[i] == '.') {
        ++i;
        digits();
    }
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-'))
            ++i;
        if (!digits())
            return false;
    }
    if (i != token.size())
        return false;
    double value = 0;
    auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size())
        return false;
    *out = value;
    return true;
}

std::string quoted(std::string_view s)
{
    return "'" + std::string(s) + "'";
}

std::string usage(const Syntax &s)
{
    std::string u = s.group.empty() ? std::string(s.name) : std::string(s.group) + " " + std::string(s.name);
    for (size_t i = 0; i < s.nargs; ++i)
        u += " " + std::string(s.arg_names[i]);
    return u;
}

bool fail(std::string *message, std::string text)
{
    *message = std::move(text);
    return false;
}

bool parse_args(const Syntax &s, Cursor &cur, Command *cmd, std::string *message)
{
    for (size_t i = 0; i < s.nargs; ++i) {
        const std::string_view name = s.arg_names[i];
        if (s.args[i] == Arg::Text) {
            std::string_view text = cur.rest();
            if (text.empty())
                return fail(message, "missing argument " + std::string(name) + " (usage: " + usage(s) + ")");
            cmd->text = std::string(text);
            continue;
        }
        const std::string_view tok = cur.next();
        if (tok.empty())
            return fail(message, "missing argument " + std::string(name) + " (usage: " + usage(s) + ")");
        long long n = 0;
        switch (s.args[i]) {
        case Arg::Int32:
            if (!parse_integer(tok, INT32_MIN, INT32_MAX, &n))
                return fail(message, "bad number " + quoted(tok) + " for " + std::string(name));
            cmd->numbers.push_back(n);
            break;
        case Arg::UInt32:
            if (!parse_integer(tok, 0, UINT32_MAX, &n))
                return fail(message, "bad number " + quoted(tok) + " for " + std::string(name));
            cmd->numbers.push_back(n);
            break;
        case Arg::Seconds:
            if (!parse_integer(tok, 0, INT32_MAX, &n))
                return fail(message, "bad number " + quoted(tok) + " for " + std::string(name));
            cmd->numbers.push_back(n);
            break;
        case Arg::OnOff:
            if (tok != "on" && tok != "off")
                return fail(message, "expected on or off, got " + quoted(tok));
            cmd->numbers.push_back(tok == "on" ? 1 : 0);
            break;
        case Arg::Path:
            cmd->text = std::string(tok);
            cmd->text_is_null = tok == "NULL";
            break;
        case Arg::KovCall:
            // The stand-ins say which calls take a result.
            if (!kov_ctl_is_call_name(std::string(tok).c_str()))
                return fail(message, "unknown framework call " + quoted(tok));
            cmd->word = std::string(tok);
            break;
        case Arg::BapCall:
            if (!bap_ctl_is_call_name(std::string(tok).c_str()))
                return fail(message, "unknown daemon call " + quoted(tok));
            cmd->word = std::string(tok);
            break;
        case Arg::Text:
            break;
        }
    }
    const std::string_view extra = cur.next();
    if (!extra.empty())
        return fail(message, "unexpected argument " + quoted(extra) + " (usage: " + usage(s) + ")");
    return true;
}

bool parse_request(Cursor &cur, Command *cmd, std::string *message)
{
    const std::string_view code = cur.next();
    if (code.empty())
        return fail(message, "missing argument CODE (usage: request CODE [null | FIELD=VALUE ...])");
    long long n = 0;
    if (std::optional<int> named = action_code(code))
        cmd->code = *named;
    else if (parse_integer(code, INT32_MIN, INT32_MAX, &n))
        cmd->code = static_cast<int>(n);
    else if (!code.empty() && (code.front() == '-' || (code.front() >= '0' && code.front() <= '9')))
        return fail(message, "bad number " + quoted(code) + " for CODE");
    else
        return fail(message, "unknown request code " + quoted(code));
    cmd->record = record_of(cmd->code);

    for (std::string_view tok = cur.next(); !tok.empty(); tok = cur.next()) {
        if (tok == "null") {
            if (cmd->null_record || !cmd->fields.empty())
                return fail(message, "null stands alone: nothing else goes with it");
            cmd->null_record = true;
            continue;
        }
        if (cmd->null_record)
            return fail(message, "unexpected argument " + quoted(tok) + " after null");
        const size_t eq = tok.find('=');
        if (eq == std::string_view::npos)
            return fail(message, "expected FIELD=VALUE, got " + quoted(tok));
        const std::string_view name = tok.substr(0, eq);
        const std::string_view value = tok.substr(eq + 1);
        if (cmd->record == RecordKind::None)
            return fail(message, "request " + std::string(code) + " carries no record, so field " + quoted(name) +
                                     " cannot be set");
        const FieldDesc *f = find_field(cmd->record, name);
        if (f == nullptr) {
            std::string valid;
            for (std::string_view n : field_names(cmd->record))
                valid += (valid.empty() ? "" : ", ") + std::string(n);
            return fail(message, "unknown field " + quoted(name) + " for request " + std::string(code) +
                                     " (fields: " + valid + ")");
        }
        FieldValue fv{f, 0LL};
        double real = 0;
        switch (f->type) {
        case FieldType::Int32:
            if (!parse_integer(value, INT32_MIN, INT32_MAX, &n))
                return fail(message, "bad number " + quoted(value) + " for " + std::string(name));
            fv.value = n;
            break;
        case FieldType::Float:
        case FieldType::Double:
            if (!parse_real(value, &real))
                return fail(message, "bad number " + quoted(value) + " for " + std::string(name));
            fv.value = real;
            break;
        case FieldType::Text:
            fv.value = std::string(value);
            break;
        }
        cmd->fields.push_back(std::move(fv));
    }
    return true;
}

bool parse_set(Cursor &cur, Command *cmd, std::string *message)
{
    constexpr std::string_view kUsage = " (usage: set KEY bool|int|double VALUE)";
    const std::string_view key = cur.next();
    const std::string_view type = cur.next();
    const std::string_view value = cur.next();
    if (key.empty())
        return fail(message, "missing argument KEY" + std::string(kUsage));
    if (type.empty())
        return fail(message, "missing argument TYPE" + std::string(kUsage));
    if (value.empty())
        return fail(message, "missing argument VALUE" + std::string(kUsage));
    cmd->word = std::string(key);
    long long n = 0;
    if (type == "bool") {
        cmd->verb = Verb::SetBool;
        if (value == "true" || value == "false")
            n = value == "true";
        else if (!parse_integer(value, 0, 1, &n))
            return fail(message, "bad value " + quoted(value) + " for a bool (0, 1, true or false)");
        cmd->numbers.push_back(n);
    } else if (type == "int") {
        cmd->verb = Verb::SetInt;
        if (!parse_integer(value, INT32_MIN, INT32_MAX, &n))
            return fail(message, "bad number " + quoted(value) + " for VALUE");
        cmd->numbers.push_back(n);
    } else if (type == "double") {
        cmd->verb = Verb::SetDouble;
        if (!parse_real(value, &cmd->real))
            return fail(message, "bad number " + quoted(value) + " for VALUE");
    } else {
        return fail(message, "unknown type " + quoted(type) + " (bool, int or double)");
    }
    const std::string_view extra = cur.next();
    if (!extra.empty())
        return fail(message, "unexpected argument " + quoted(extra) + std::string(kUsage));
    return true;
}

bool parse_storage(Cursor &cur, Command *cmd, std::string *message)
{
    constexpr std::string_view kUsage = " (usage: storage TOTAL FREE | storage fail)";
    const std::string_view first = cur.next();
    if (first.empty())
        return fail(message, "missing argument TOTAL" + std::string(kUsage));
    if (first == "fail") {
        cmd->verb = Verb::StorageFail;
    } else {
        cmd->verb = Verb::Storage;
        const std::string_view second = cur.next();
        long long total = 0, free_bytes = 0;
        if (!parse_integer(first, 0, LLONG_MAX, &total))
            return fail(message, "bad number " + quoted(first) + " for TOTAL");
        if (second.empty())
            return fail(message, "missing argument FREE" + std::string(kUsage));
        if (!parse_integer(second, 0, LLONG_MAX, &free_bytes))
            return fail(message, "bad number " + quoted(second) + " for FREE");
        cmd->numbers = {total, free_bytes};
    }
    const std::string_view extra = cur.next();
    if (!extra.empty())
        return fail(message, "unexpected argument " + quoted(extra) + std::string(kUsage));
    return true;
}

bool parse_filedir(Cursor &cur, Command *cmd, std::string *message)
{
    constexpr std::string_view kUsage =
        " (usage: filedir missing | blocked | present | put NAME | has NAME)";
    const std::string_view what = cur.next();
    if (what.empty())
        return fail(message, "missing argument after 'filedir'" + std::string(kUsage));
    cmd->verb = Verb::FileDir;
    cmd->word = std::string(what);
    if (what == "put" || what == "has") {
        // NAME: a file directly in the directory, never a path.
        const std::string_view name = cur.next();
        if (name.empty())
            return fail(message, "missing argument NAME" + std::string(kUsage));
        if (name.find('/') != std::string_view::npos || name == "." || name == "..")
            return fail(message, "bad NAME " + quoted(name) + ": a file name without '/'");
        cmd->text = std::string(name);
    } else if (what != "missing" && what != "blocked" && what != "present") {
        return fail(message, "unknown verb " + quoted("filedir " + std::string(what)) + std::string(kUsage));
    }
    if (const std::string_view extra = cur.next(); !extra.empty())
        return fail(message, "unexpected argument " + quoted(extra) + std::string(kUsage));
    return true;
}

std::string_view trim_end(std::string_view s)
{
    while (!s.empty() && (is_blank(s.back()) || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

constexpr std::string_view kPhoneUsage =
    " (usage: phone on | off | drop | track FILE.gpx | gps on|off | wps on|off | slow SECONDS | silent [on|off] | "
    "refuse map|assistance REASON)";

bool parse_switch(std::string_view tok, bool optional, Command *cmd, std::string *message)
{
    if (tok.empty() && optional)
        tok = "on";
    if (tok.empty())
        return fail(message, "missing argument on|off" + std::string(kPhoneUsage));
    if (tok != "on" && tok != "off")
        return fail(message, "expected on or off, got " + quoted(tok));
    cmd->numbers.push_back(tok == "on" ? 1 : 0);
    return true;
}

bool parse_phone(Cursor &cur, Command *cmd, std::string *message)
{
    const std::string_view what = cur.next();
    if (what.empty())
        return fail(message, "missing argument after 'phone'" + std::string(kPhoneUsage));
    cmd->word = std::string(what);
    bool ok = true;
    if (what == "on" || what == "off" || what == "drop") {
    } else if (what == "track") {
        const std::string_view file = trim_end(cur.rest());
        if (file.empty())
            return fail(message, "missing argument FILE.gpx" + std::string(kPhoneUsage));
        cmd->text = std::string(file);
    } else if (what == "gps" || what == "wps") {
        ok = parse_switch(cur.next(), false, cmd, message);
    } else if (what == "silent") {
        ok = parse_switch(cur.next(), true, cmd, message);
    } else if (what == "slow") {
        const std::string_view tok = cur.next();
        long long seconds = 0;
        if (tok.empty())
            return fail(message, "missing argument SECONDS" + std::string(kPhoneUsage));
        if (!parse_integer(tok, 0, 86400, &seconds))
            return fail(message, "bad number " + quoted(tok) + " for SECONDS (0 to 86400)");
        cmd->numbers.push_back(seconds);
    } else if (what == "refuse") {
        const std::string_view which = cur.next();
        if (which != "map" && which != "assistance")
            return fail(message, "expected map or assistance, got " + quoted(which) + std::string(kPhoneUsage));
        cmd->text = std::string(which);
        const std::string_view tok = cur.next();
        long long reason = 0;
        if (tok.empty())
            return fail(message, "missing argument REASON" + std::string(kPhoneUsage));
        if (!parse_integer(tok, INT32_MIN, INT32_MAX, &reason))
            return fail(message, "bad number " + quoted(tok) + " for REASON");
        cmd->numbers.push_back(reason);
    } else {
        return fail(message, "unknown verb " + quoted("phone " + std::string(what)) + std::string(kPhoneUsage));
    }
    if (!ok)
        return false;
    if (const std::string_view extra = cur.next(); !extra.empty())
        return fail(message, "unexpected argument " + quoted(extra) + std::string(kPhoneUsage));
    return true;
}

} // namespace

std::string ParseError::to_string() const
{
    return file + ":" + std::to_string(line) + ": " + message;
}

bool parse_line(std::string_view raw, Command *cmd, bool *empty, std::string *message)
{
    // A carriage return of a file written on another system is not part of
    // the command; other trailing blanks are kept for TEXT arguments.
    if (!raw.empty() && raw.back() == '\r')
        raw.remove_suffix(1);
    Cursor cur(raw);
    const std::string_view first = cur.next();
    *empty = first.empty();
    if (*empty)
        return true;

    *cmd = Command{};
    bool ok = false;
    if (first == "request") {
        cmd->verb = Verb::Request;
        ok = parse_request(cur, cmd, message);
    } else if (first == "set") {
        ok = parse_set(cur, cmd, message);
    } else if (first == "storage") {
        ok = parse_storage(cur, cmd, message);
    } else if (first == "filedir") {
        ok = parse_filedir(cur, cmd, message);
    } else if (first == "phone") {
        cmd->verb = Verb::Phone;
        ok = parse_phone(cur, cmd, message);
    } else {
        const Syntax *found = nullptr;
        std::string_view second;
        bool group_known = false;
        for (const Syntax &s : kSyntax) {
            if (s.group.empty() && s.name == first) {
                found = &s;
                break;
            }
            if (!s.group.empty() && s.group == first)
                group_known = true;
        }
        if (found == nullptr && group_known) {
            second = cur.next();
            if (second.empty())
                return fail(message, "missing argument after " + quoted(first));
            for (const Syntax &s : kSyntax)
                if (s.group == first && s.name == second)
                    found = &s;
            if (found == nullptr)
                return fail(message, "unknown verb " + quoted(std::string(first) + " " + std::string(second)));
        }
        if (found == nullptr)
            return fail(message, "unknown verb " + quoted(first));
        cmd->verb = found->verb;
        ok = parse_args(*found, cur, cmd, message);
    }
    if (!ok)
        return false;

    // The command as written, without a trailing comment.
    const bool text_verb = cmd->verb == Verb::KovData || cmd->verb == Verb::BapData;
    std::string_view source = text_verb ? raw : raw.substr(0, cur.token_end());
    while (!source.empty() && is_blank(source.front()))
        source.remove_prefix(1);
    cmd->source = std::string(text_verb ? source : trim_end(source));
    return true;
}

std::string track_path(std::string_view base_file, const std::string &path)
{
    const size_t slash = base_file.rfind('/');
    if (!path.empty() && path.front() != '/' && slash != std::string_view::npos)
        return std::string(base_file.substr(0, slash + 1)) + path;
    return path;
}

bool load_track(std::string_view base_file, Command *cmd, std::string *message)
{
    auto points = std::make_shared<std::vector<TrackPoint>>();
    std::string why;
    if (!read_gpx(track_path(base_file, cmd->text), points.get(), &why))
        return fail(message, "phone track: cannot read '" + cmd->text + "': " + why);
    cmd->track = std::move(points);
    return true;
}

bool parse_scenario(std::string_view file_name, std::string_view content, std::vector<Command> *commands,
                    ParseError *error)
{
    std::vector<ParseError> errors;
    if (parse_scenario(file_name, content, commands, &errors))
        return true;
    // What came before the first bad line, as before.
    while (!commands->empty() && commands->back().line > errors.front().line)
        commands->pop_back();
    *error = errors.front();
    return false;
}

bool parse_scenario(std::string_view file_name, std::string_view content, std::vector<Command> *commands,
                    std::vector<ParseError> *errors)
{
    int line_no = 0;
    while (!content.empty()) {
        ++line_no;
        const size_t nl = content.find('\n');
        const std::string_view line = content.substr(0, nl);
        content = nl == std::string_view::npos ? std::string_view{} : content.substr(nl + 1);

        Command cmd;
        bool empty = false;
        std::string message;
        if (!parse_line(line, &cmd, &empty, &message)) {
            errors->push_back({std::string(file_name), line_no, message});
            continue;
        }
        if (empty)
            continue;
        // The track is read now: a file that cannot be read stops the run
        // like any line that cannot be read.
        if (cmd.verb == Verb::Phone && cmd.word == "track" && !load_track(file_name, &cmd, &message)) {
            errors->push_back({std::string(file_name), line_no, message});
            continue;
        }
        cmd.line = line_no;
        commands->push_back(std::move(cmd));
    }
    return errors->empty();
}

} // namespace lbs_sim
