/*
 * Scenario files: one command a line, as docs/scenarios.md describes them.
 * The whole file is read before anything runs, so that a command the tool
 * cannot read stops the run before the plugin sees anything.
 */
#ifndef LBS_SIM_SCENARIO_H
#define LBS_SIM_SCENARIO_H

#include "lbs_sim_gpx_reader.h"
#include "lbs_sim_request_records.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lbs_sim {

enum class Verb {
    Init,
    Deinit,
    Request,              // request: code, record, fields
    SetBool,              // word: key; numbers[0]
    SetInt,               // word: key; numbers[0]
    SetDouble,            // word: key; real
    Storage,              // numbers: total, free
    StorageFail,
    FileDir,              // word: missing, blocked, present, put, has; text: NAME (put, has)
    AlarmFail,            // numbers[0]: 1 on, 0 off
    LoopHold,             // commands stop turning the main loop
    LoopRun,              // the main loop turns now and after every command again
    KovConnected,         // numbers[0]
    KovAuto,              // numbers[0]: 1 on, 0 off
    KovResult,            // word: call; numbers[0]
    KovRegiCfrm,          // numbers: result, agent id
    KovDeregiCfrm,        // numbers: result
    KovPeerFound,         // numbers: status
    KovConnCfrm,          // numbers: status, handle
    KovConnInd,
    KovTermInd,           // numbers: status
    KovError,             // numbers: code
    KovDeviceStatus,      // numbers: type, status
    KovData,              // text
    KovSendFile,          // numbers: tx; text: path
    KovReceiveCompleted,  // text: path; numbers: result
    BapDevice,            // numbers: status
    BapService,           // numbers: status
    BapResult,            // word: call; numbers[0]
    BapData,              // text
    BapFileIncoming,      // numbers: handle, id; text: name
    BapFileCompleted,     // numbers: status, id; text: path
    BapSendCompleted,     // numbers: result
    BapTransferDone,      // numbers: status
    Advance,              // numbers: seconds
    Phone,                // word: on, off, track, gps, wps, drop, slow, silent, refuse;
                          // numbers[0]: 1/0 (gps, wps, silent), seconds (slow), reason (refuse);
                          // text: the GPX file (track), map or assistance (refuse)
};

struct Command {
    Verb verb;
    int line = 0;
    std::string source;             // the command as written, comment left out
    std::vector<long long> numbers; // numeric arguments in order of appearance
    std::string word;               // settings key or call name
    std::string text;               // TEXT, PATH or NAME argument; "NULL" stays a word
    bool text_is_null = false;      // PATH or NAME given as NULL
    double real = 0;                // set ... double
    // request
    int code = 0;
    RecordKind record = RecordKind::None;
    bool null_record = false;
    std::vector<FieldValue> fields;
    // phone track: the points, read with the scenario (see parse_scenario)
    std::shared_ptr<const std::vector<TrackPoint>> track;
};

struct ParseError {
    std::string file;
    int line = 0;
    std::string message;

    // "file:line: message"
    std::string to_string() const;
};

// Reads a whole scenario. Returns false with *error set at the first command
// that cannot be read; *commands then holds what came before it. The GPX
// file of a `phone track` command is read here too (a relative path is
// taken from the scenario's directory), so that a track that cannot be read
// stops the run before anything runs.
bool parse_scenario(std::string_view file_name, std::string_view content, std::vector<Command> *commands,
                    ParseError *error);

// The same, reading on past a line that cannot be read: every such line
// lands in *errors, in order, and *commands holds the lines that could be.
// True when there is none.
bool parse_scenario(std::string_view file_name, std::string_view content, std::vector<Command> *commands,
                    std::vector<ParseError> *errors);

// Reads the GPX file of a `phone track` command into command->track. A
// relative path is taken from the directory of base_file (a scenario file
// name; without a slash, the working directory). False with *message.
bool load_track(std::string_view base_file, Command *command, std::string *message);

// Where load_track looks for a track given as path from base_file.
std::string track_path(std::string_view base_file, const std::string &path);

// One line: true with *command set, true with *empty for a blank or comment
// line, false with *message for a command that cannot be read.
bool parse_line(std::string_view line, Command *command, bool *empty, std::string *message);

} // namespace lbs_sim

#endif // LBS_SIM_SCENARIO_H
