#include "lbs_sim_request_records.h"

#include <array>
#include <cstring>
#include <span>

namespace lbs_sim {
namespace {

struct Action {
    std::string_view name;
    int code;
    RecordKind record;
};

constexpr std::array<Action, 10> kActions = {{
    {"START_SESSION", CONSUMER_ACTION_START_SESSION, RecordKind::Tracking},
    {"STOP_SESSION", CONSUMER_ACTION_STOP_SESSION, RecordKind::Tracking},
    {"REQUEST_EXTRA_DATA", CONSUMER_ACTION_REQUEST_EXTRA_DATA, RecordKind::ExtraData},
    {"CHANGE_INTERVAL", CONSUMER_ACTION_CHANGE_INTERVAL, RecordKind::Tracking},
    {"CHECK_LOCATION_SETTING", CONSUMER_ACTION_CHECK_LOCATION_SETTING, RecordKind::None},
    {"CHANGE_LOCATION_SETTING", CONSUMER_ACTION_CHANGE_LOCATION_SETTING, RecordKind::LocationSetting},
    {"CHANGE_BATCH_PERIOD", CONSUMER_ACTION_CHANGE_BATCH_PERIOD, RecordKind::Tracking},
    {"GET_REF_TIME", CONSUMER_ACTION_GET_REF_TIME, RecordKind::RefTime},
    {"KINETRA_COMMAND", CONSUMER_ACTION_KINETRA_COMMAND, RecordKind::Kinetra},
    {"HERE_MAP_IMAGE", CONSUMER_ACTION_HERE_MAP_IMAGE, RecordKind::HereMap},
}};

#define LBS_FIELD(record, field, type) FieldDesc{#field, FieldType::type, offsetof(record, field)}

constexpr std::array<FieldDesc, 3> kTrackingFields = {{
    LBS_FIELD(tracking_req_info, method, Int32),
    LBS_FIELD(tracking_req_info, interval, Int32),
    LBS_FIELD(tracking_req_info, batching_interval, Int32),
}};

constexpr std::array<FieldDesc, 1> kExtraDataFields = {{LBS_FIELD(extra_data_req_info, data_type, Int32)}};
constexpr std::array<FieldDesc, 1> kLocationSettingFields = {{LBS_FIELD(location_setting_req_info, setting, Int32)}};
constexpr std::array<FieldDesc, 1> kRefTimeFields = {{LBS_FIELD(ref_time_req_info, timeout, Int32)}};

constexpr std::array<FieldDesc, 17> kKinetraFields = {{
    LBS_FIELD(kinetra_req_info, command, Int32),
    LBS_FIELD(kinetra_req_info, exercise_type, Int32),
    LBS_FIELD(kinetra_req_info, base_pressure, Float),
    LBS_FIELD(kinetra_req_info, height, Float),
    LBS_FIELD(kinetra_req_info, weight, Float),
    LBS_FIELD(kinetra_req_info, user_gender, Int32),
    LBS_FIELD(kinetra_req_info, user_age, Int32),
    LBS_FIELD(kinetra_req_info, interval, Int32),
    LBS_FIELD(kinetra_req_info, pservice_type, Int32),
    LBS_FIELD(kinetra_req_info, coaching_distance, Float),
    LBS_FIELD(kinetra_req_info, coaching_calorie, Float),
    LBS_FIELD(kinetra_req_info, coaching_speed, Float),
    LBS_FIELD(kinetra_req_info, coaching_duration_time, Int32),
    LBS_FIELD(kinetra_req_info, auto_pause_enabled, Int32),
    LBS_FIELD(kinetra_req_info, speed_threshold, Float),
    LBS_FIELD(kinetra_req_info, pause_window, Int32),
    LBS_FIELD(kinetra_req_info, resume_window, Int32),
}};

constexpr std::array<FieldDesc, 8> kHereMapFields = {{
    LBS_FIELD(here_map_req_info, app_id, Text),
    LBS_FIELD(here_map_req_info, app_code, Text),
    LBS_FIELD(here_map_req_info, width, Int32),
    LBS_FIELD(here_map_req_info, height, Int32),
    LBS_FIELD(here_map_req_info, center_latitude, Double),
    LBS_FIELD(here_map_req_info, center_longitude, Double),
    LBS_FIELD(here_map_req_info, zoom_level, Float),
    LBS_FIELD(here_map_req_info, timeout, Int32),
}};

#undef LBS_FIELD

std::span<const FieldDesc> fields_of(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Tracking: return kTrackingFields;
    case RecordKind::ExtraData: return kExtraDataFields;
    case RecordKind::LocationSetting: return kLocationSettingFields;
    case RecordKind::RefTime: return kRefTimeFields;
    case RecordKind::Kinetra: return kKinetraFields;
    case RecordKind::HereMap: return kHereMapFields;
    case RecordKind::None: break;
    }
    return {};
}

size_t size_of(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Tracking: return sizeof(tracking_req_info);
    case RecordKind::ExtraData: return sizeof(extra_data_req_info);
    case RecordKind::LocationSetting: return sizeof(location_setting_req_info);
    case RecordKind::RefTime: return sizeof(ref_time_req_info);
    case RecordKind::Kinetra: return sizeof(kinetra_req_info);
    case RecordKind::HereMap: return sizeof(here_map_req_info);
    case RecordKind::None: break;
    }
    return 0;
}

template <typename T> void put(std::vector<unsigned char> &bytes, size_t offset, T value)
{
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

} // namespace

std::optional<int> action_code(std::string_view name)
{
    for (const Action &a : kActions)
        if (a.name == name)
            return a.code;
    return std::nullopt;
}

std::string_view action_name(int code)
{
    for (const Action &a : kActions)
        if (a.code == code)
            return a.name;
    return {};
}

RecordKind record_of(int code)
{
    for (const Action &a : kActions)
        if (a.code == code)
            return a.record;
    return RecordKind::None;
}

std::vector<std::string_view> action_names()
{
    std::vector<std::string_view> names;
    for (const Action &a : kActions)
        names.push_back(a.name);
    return names;
}

std::vector<std::string_view> field_names(RecordKind kind)
{
    std::vector<std::string_view> names;
    for (const FieldDesc &f : fields_of(kind))
        names.push_back(f.name);
    return names;
}

const FieldDesc *find_field(RecordKind kind, std::string_view name)
{
    for (const FieldDesc &f : fields_of(kind))
        if (f.name == name)
            return &f;
    return nullptr;
}

RequestRecord::RequestRecord(RecordKind kind, const std::vector<FieldValue> &values)
    : kind_(kind), bytes_(size_of(kind), 0)
{
    for (const FieldValue &v : values) {
        const FieldDesc &f = *v.field;
        switch (f.type) {
        case FieldType::Int32:
            put(bytes_, f.offset, static_cast<int32_t>(std::get<long long>(v.value)));
            break;
        case FieldType::Float:
            put(bytes_, f.offset, static_cast<float>(std::get<double>(v.value)));
            break;
        case FieldType::Double:
            put(bytes_, f.offset, std::get<double>(v.value));
            break;
        case FieldType::Text:
            put(bytes_, f.offset, texts_.emplace_back(std::get<std::string>(v.value)).c_str());
            break;
        }
    }
}

} // namespace lbs_sim
