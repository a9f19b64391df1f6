/*
 * The scenario verbs as a person asks about them: what each takes, what it
 * does in one line, and an example line that parses. `--help` lists them
 * in short, the console's `help` and `help VERB` in full, and the console
 * completes their words.
 */
#ifndef LBS_SIM_VERBS_H
#define LBS_SIM_VERBS_H

#include <string>
#include <string_view>
#include <vector>

namespace lbs_sim {

struct VerbHelp {
    std::string_view name;    // "init", "kov regi_cfrm"
    std::string_view args;    // "RESULT AGENT_ID"
    std::string_view does;    // one line
    std::string_view example; // a whole command line
};

// Every verb, grouped: host, settings and device, framework, daemon, phone, time.
const std::vector<VerbHelp> &verb_help();

// The entries for a word or two: "kov" gives every kov verb, "kov data" and
// "request" one each; none for a word that names nothing.
std::vector<const VerbHelp *> find_verb_help(std::string_view words);

// "name args"
std::string verb_usage(const VerbHelp &v);

// The first words of the verbs ("init", "kov", ...), in order, and the
// second words of a group ("connected", "auto", ... for "kov").
std::vector<std::string_view> verb_first_words();
std::vector<std::string_view> verb_second_words(std::string_view first);

// Words the console offers for the word being typed, given the line before
// it: verbs (and the console's own "help" and "quit") first, then a group's
// second words, request codes, the fields of the named request's record
// (and "null"), settings types, on and off, filedir states, the calls
// `kov result` and `bap result` take. Only those that
// start with word, in order. *field is set when they are field names, which
// take "=" after them rather than a space.
std::vector<std::string> complete_words(std::string_view before, std::string_view word, bool *field);

} // namespace lbs_sim

#endif // LBS_SIM_VERBS_H
