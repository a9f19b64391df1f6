/*
 * Turns what the plugin hands over into the named fields of a trace line:
 * host event records by their type, numbers in the fixed formats of the
 * trace (doubles %.15g, floats %.9g), paths in the plugin's file directory
 * written as $EXTRA/.
 */
#ifndef LBS_SIM_EVENT_DECODER_H
#define LBS_SIM_EVENT_DECODER_H

#include <lbs_consumer_plugin.h>

#include <string>
#include <string_view>
#include <vector>

namespace lbs_sim {

struct Field {
    std::string name;
    std::string value;
};

struct DecodedEvent {
    int type = 0;
    int error = 0;
    std::string name;                        // without CONSUMER_EVENT_, or the number
    std::vector<Field> fields;               // after error=
    std::vector<std::vector<Field>> entries; // batch positions or exercise entries
};

// Rewrites the plugin's file directory as $EXTRA/ wherever it appears.
class PathStyle {
public:
    // dirs: the directory the plugin was built with and the device's; with
    // or without a trailing slash.
    explicit PathStyle(std::vector<std::string> dirs);
    std::string rewrite(std::string_view text) const;
    // A path argument as the trace prints it: NULL or rewritten.
    std::string path(const char *p) const;

private:
    std::vector<std::string> dirs_; // with trailing slash, longest first
};

// Reads a path argument of a scenario: a leading $EXTRA/ stands for dir.
std::string expand_extra(std::string_view path, std::string_view dir);

std::string format_double(double v);
std::string format_float(float v);

// "START_SESSION" and so on; empty for an unknown type.
std::string_view event_type_name(int type);
// "NONE", "COMMUNICATION" and so on; empty for an unknown code.
std::string_view error_name(int error);

DecodedEvent decode_event(const lbs_consumer_event_s &event, const PathStyle &paths);

} // namespace lbs_sim

#endif // LBS_SIM_EVENT_DECODER_H
