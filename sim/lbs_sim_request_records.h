/*
 * The host's request codes and request records as a scenario names them:
 * "request START_SESSION method=1 interval=5" becomes code 1 with a
 * zero-filled tracking_req_info whose named fields are set.
 */
#ifndef LBS_SIM_REQUEST_RECORDS_H
#define LBS_SIM_REQUEST_RECORDS_H

#include <lbs_consumer_plugin.h>

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace lbs_sim {

enum class RecordKind { None, Tracking, ExtraData, LocationSetting, RefTime, Kinetra, HereMap };

enum class FieldType { Int32, Float, Double, Text };

struct FieldDesc {
    std::string_view name;
    FieldType type;
    size_t offset;
};

// The code for a name without its CONSUMER_ACTION_ prefix, or nothing.
std::optional<int> action_code(std::string_view name);
// The name of a code ("START_SESSION"), or an empty view for other codes.
std::string_view action_name(int code);
// The record a code carries; None for CHECK_LOCATION_SETTING and unknown codes.
RecordKind record_of(int code);
// The field of that record with that name, or nullptr.
const FieldDesc *find_field(RecordKind kind, std::string_view name);
// Every request name, in code order; the fields of a record, in its order.
std::vector<std::string_view> action_names();
std::vector<std::string_view> field_names(RecordKind kind);

// A field with the value a scenario gave it, already checked.
struct FieldValue {
    const FieldDesc *field;
    std::variant<long long, double, std::string> value;
};

// One request record in memory, as the host would pass it. Texts it points
// to are owned here, so the record stays valid as long as this object.
class RequestRecord {
public:
    RequestRecord(RecordKind kind, const std::vector<FieldValue> &values);
    RequestRecord(const RequestRecord &) = delete;
    RequestRecord &operator=(const RequestRecord &) = delete;

    // NULL for RecordKind::None.
    void *data() { return kind_ == RecordKind::None ? nullptr : bytes_.data(); }

private:
    RecordKind kind_;
    std::vector<unsigned char> bytes_;
    std::deque<std::string> texts_;
};

} // namespace lbs_sim

#endif // LBS_SIM_REQUEST_RECORDS_H
