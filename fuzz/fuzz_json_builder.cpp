// Both request builders with any identifier around the request range, any
// record contents, missing records and any state of the second link's
// tracking flags.
//
// Input: 2 bytes identifier, 1 byte flags (1 no record, 2 GPS started,
// 4 WPS started, 8 no map app code), 72 bytes of record, then the map's app
// id and app code separated by a NUL byte.
#include "fuzz_common.h"

#include "bap/lbs_plugin_consumer_bap_json_builder.h"
#include "kov/lbs_plugin_consumer_json_parser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

struct GFree {
    void operator()(char *p) const { g_free(p); }
};
using Text = std::unique_ptr<char, GFree>;

bool one_of(int id, std::initializer_list<int> ids)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool takes_no_record(int id)
{
    return one_of(id, {REQ_TRACKING_LOCATION_STOP_GPS, REQ_TRACKING_LOCATION_STOP_WPS, REQ_GPS_PLUS_METHOD_1,
                       REQ_GPS_PLUS_METHOD_2, REQ_PROVIDER_LOCATION_SETTING_CHECK, REQ_KINETRA_STOP, REQ_KINETRA_PAUSE,
                       REQ_KINETRA_RESUME, REQ_PDC_INFO_START, REQ_PDC_INFO_STOP});
}

// Requests the second link renders exactly as the first.
bool shared_with_first_link(int id)
{
    return one_of(id, {REQ_GPS_PLUS_METHOD_1, REQ_GPS_PLUS_METHOD_2, REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS,
                       REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS, REQ_PROVIDER_LOCATION_SETTING_CHECK,
                       REQ_PROVIDER_LOCATION_SETTING_CHANGE, REQ_KINETRA_STOP, REQ_KINETRA_PAUSE, REQ_KINETRA_RESUME,
                       REQ_KINETRA_CHANGE_INTERVAL, REQ_KINETRA_CHANGE_COACHING_SET, REQ_GET_REF_TIME});
}

// Texts are sent unescaped and non-finite numbers render as "nan" or "inf",
// so only requests without texts and with finite numbers must be JSON.
bool must_be_json(int id, const kinetra_req_info &k)
{
    if (id == REQ_HERE_MAP_IMAGE)
        return false;
    for (float f : {k.base_pressure, k.height, k.weight, k.coaching_distance, k.coaching_calorie, k.coaching_speed,
                    k.speed_threshold})
        if (!std::isfinite(f))
            return false;
    return true;
}

void check_request_text(const char *text, bool json)
{
    const std::string_view t = text;
    FUZZ_CHECK(t.starts_with("{\"msgId\": \"lbs-") && t.ends_with("}"));
    if (!json)
        return;
    JsonParser *parser = nullptr;
    JsonNode *node = nullptr;
    JsonObject *object = nullptr;
    FUZZ_CHECK(__json_parser_init(&parser, &node, &object, t.data(), t.size()));
    const gchar *msg_id = json_object_get_string_member(object, "msgId");
    FUZZ_CHECK(msg_id != nullptr && std::string_view(msg_id).ends_with("-req"));
    g_object_unref(parser);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz_set_up();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr size_t kRecordBytes = 72;
    if (size < 3)
        return 0;
    fuzz_next_input();
    const int id = REQ_NONE - 2 + (data[0] | data[1] << 8) % 32;
    const uint8_t flags = data[2];
    alignas(8) unsigned char record[kRecordBytes] = {};
    std::memcpy(record, data + 3, std::min(size - 3, kRecordBytes));
    const std::string rest(reinterpret_cast<const char *>(data) + std::min(size, 3 + kRecordBytes),
                           size - std::min(size, 3 + kRecordBytes));
    const std::string app_id = rest.substr(0, rest.find('\0'));
    const std::string app_code = rest.find('\0') == std::string::npos ? "" : rest.substr(rest.find('\0') + 1);

    here_map_req_info map;
    static_assert(sizeof map <= kRecordBytes);
    std::memcpy(&map, record, sizeof map);
    map.app_id = app_id.c_str();
    map.app_code = (flags & 8) ? nullptr : app_code.c_str();
    kinetra_req_info exercise;
    static_assert(sizeof exercise <= kRecordBytes);
    std::memcpy(&exercise, record, sizeof exercise);

    const void *param = nullptr;
    if (!(flags & 1))
        param = id == REQ_HERE_MAP_IMAGE ? static_cast<const void *>(&map) : static_cast<const void *>(record);
    const bool json = must_be_json(id, exercise);

    // First link: a text exactly for a request whose record is there or not needed.
    Text first(generate_req_message(id, param));
    const bool in_range = id >= REQ_TRACKING_LOCATION_START_GPS && id <= REQ_PDC_INFO_STOP;
    FUZZ_CHECK((first != nullptr) == (in_range && (param != nullptr || takes_no_record(id))));
    if (first)
        check_request_text(first.get(), json);

    // Second link.
    lbs_plugin_consumer_bap_s bap = {};
    bap.gps_started = (flags & 2) ? 1 : 0;
    bap.wps_started = (flags & 4) ? 1 : 0;
    bap.req_data = param;
    Text second(bap_generate_req_message(id, &bap));
    FUZZ_CHECK(bap.gps_started <= ((flags & 2) ? 1 : 0) && bap.wps_started <= ((flags & 4) ? 1 : 0));
    if (second && second.get()[0] == '\0') {
        FUZZ_CHECK(id >= REQ_TRACKING_LOCATION_START_GPS && id <= REQ_TRACKING_LOCATION_STOP_WPS);
    } else if (second) {
        FUZZ_CHECK(id >= REQ_TRACKING_LOCATION_START_GPS && id <= REQ_GET_REF_TIME);
        check_request_text(second.get(), json);
    }
    if (shared_with_first_link(id)) {
        FUZZ_CHECK((first == nullptr) == (second == nullptr));
        FUZZ_CHECK(!first || std::strcmp(first.get(), second.get()) == 0);
    }
    return 0;
}
