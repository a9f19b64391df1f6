// Both request builders with any identifier around the request range, any
// record contents, missing records and any state of the second link's
// tracking flags. Every text rendered must equal what snprintf makes of the
// request's template with the same values in the C locale, the templates
// being written out here once more, as the phone's provider reads them:
// "%f" has a decimal point even when the process's numeric locale writes a
// comma.
//
// Input: 2 bytes identifier, 1 byte flags (1 no record, 2 GPS started,
// 4 WPS started, 8 no map app code, 16 a decimal-comma numeric locale where
// one is installed), 72 bytes of record, then the map's app
// id and app code separated by a NUL byte.
#include "fuzz_common.h"

#include "bap/lbs_plugin_consumer_bap_json_builder.h"
#include "kov/lbs_plugin_consumer_json_parser.h"

#include <algorithm>
#include <cmath>
#include <clocale>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <locale.h>
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

// ---- The reference: each request's template, rendered by snprintf ----

// The C locale's numbers, whatever the process's locale is.
locale_t c_numeric()
{
    static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
    return c;
}

// A locale that writes a decimal comma, or NULL when none is installed.
const char *comma_locale()
{
    static const char *const name = [] {
        const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
        const char *found = nullptr;
        for (const char *candidate : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
            if (found == nullptr && std::setlocale(LC_NUMERIC, candidate) != nullptr)
                found = candidate;
        std::setlocale(LC_NUMERIC, saved.c_str());
        return found;
    }();
    return name;
}

__attribute__((format(printf, 1, 2))) std::string render(const char *tmpl, ...)
{
    const locale_t previous = uselocale(c_numeric());
    va_list args;
    va_start(args, tmpl);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, tmpl, args);
    va_end(args);
    std::string out(static_cast<size_t>(size) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), tmpl, again);
    va_end(again);
    uselocale(previous);
    out.resize(static_cast<size_t>(size));
    return out;
}

constexpr const char *kTracking = "lbs-tracking-location-req";
constexpr const char *kExercise = "lbs-exercise-info-req";
constexpr const char *kStartGps =
    "{\"msgId\": \"%s\",\"cmd\":%d, \"method\":%d, \"interval\":%d, \"batchingInterval\":%d}";
constexpr const char *kIntervalTmpl = "{\"msgId\": \"%s\",\"cmd\":%d, \"method\":%d, \"interval\":%d}";
constexpr const char *kBatchTmpl = "{\"msgId\": \"%s\",\"cmd\":%d, \"method\":%d, \"batchingInterval\":%d}";
constexpr const char *kStopTmpl = "{\"msgId\": \"%s\",\"cmd\":%d, \"method\":%d}";
constexpr const char *kFullTmpl =
    "{\"msgId\": \"%s\",\"cmd\":%d, \"exerciseType\":%d, \"height\":%f, \"weight\":%f, \"basePressure\":%f, "
    "\"interval\":%d, \"pserviceType\":%d, \"coachingDistance\":%f, \"coachingCalorie\":%f, "
    "\"coachingSpeed\":%f, \"coachingDurationTime\":%d, \"userGender\":%d, \"userAge\":%d}";
constexpr const char *kCoachingTmpl =
    "{\"msgId\": \"%s\",\"cmd\":%d, \"exerciseType\":%d, \"height\":%f, \"weight\":%f, \"basePressure\":%f, "
    "\"interval\":%d, \"pserviceType\":%d, \"coachingDistance\":%f, \"coachingCalorie\":%f, "
    "\"coachingSpeed\":%f, \"coachingDurationTime\":%d}";
constexpr const char *kShortTmpl =
    "{\"msgId\": \"%s\",\"cmd\":%d, \"exerciseType\":%d, \"height\":%f, \"weight\":%f, \"basePressure\":%f, "
    "\"interval\":%d, \"pserviceType\":%d}";

int interval_floor(int32_t interval)
{
    return interval == 0 ? 1 : interval;
}

const char *text_or_null(const char *text)
{
    return text != nullptr ? text : "(null)";
}

// The first link's text for id, rendered from param as the phone reads it.
std::string reference_first(int id, const void *param)
{
    const auto *tracking = static_cast<const tracking_req_param *>(param);
    const auto *k = static_cast<const kinetra_req_info *>(param);
    switch (id) {
    case REQ_TRACKING_LOCATION_START_GPS:
        return render(kStartGps, kTracking, 1, 1, interval_floor(tracking->interval), tracking->batching_interval);
    case REQ_TRACKING_LOCATION_START_WPS:
        return render(kIntervalTmpl, kTracking, 1, 2, interval_floor(tracking->interval));
    case REQ_TRACKING_LOCATION_STOP_GPS:
        return render(kStopTmpl, kTracking, 2, 1);
    case REQ_TRACKING_LOCATION_STOP_WPS:
        return render(kStopTmpl, kTracking, 2, 2);
    case REQ_GPS_PLUS_METHOD_1:
        return render("{\"msgId\": \"%s\", \"method\":%d}", "lbs-gps-plus-req", 1);
    case REQ_GPS_PLUS_METHOD_2:
        return render("{\"msgId\": \"%s\", \"method\":%d}", "lbs-gps-plus-req", 2);
    case REQ_TRACKING_LOCATION_CHANGE_INTERVAL_GPS:
        return render(kIntervalTmpl, kTracking, 3, 1, interval_floor(tracking->interval));
    case REQ_TRACKING_LOCATION_CHANGE_INTERVAL_WPS:
        return render(kIntervalTmpl, kTracking, 3, 2, interval_floor(tracking->interval));
    case REQ_TRACKING_LOCATION_CHANGE_BATCH_PERIOD_GPS:
        return render(kBatchTmpl, kTracking, 4, 1, *static_cast<const int32_t *>(param));
    case REQ_PROVIDER_LOCATION_SETTING_CHECK:
        return render("{\"msgId\": \"%s\"}", "lbs-location-setting-check-req");
    case REQ_PROVIDER_LOCATION_SETTING_CHANGE:
        return render("{\"msgId\": \"%s\", \"method\": %d}", "lbs-switch-location-setting-req",
                      static_cast<const location_setting_req_info *>(param)->setting);
    case REQ_KINETRA_START:
    case REQ_KINETRA_RESTART:
        return render(kFullTmpl, kExercise, id == REQ_KINETRA_START ? 1 : 3, k->exercise_type,
                      static_cast<double>(k->height), static_cast<double>(k->weight),
                      static_cast<double>(k->base_pressure), k->interval, k->pservice_type,
                      static_cast<double>(k->coaching_distance), static_cast<double>(k->coaching_calorie),
                      static_cast<double>(k->coaching_speed), k->coaching_duration_time, k->user_gender, k->user_age);
    case REQ_KINETRA_STOP:
        return render(kShortTmpl, kExercise, 2, 0, 0.0, 0.0, 0.0, 0, 0);
    case REQ_KINETRA_PAUSE:
        return render(kShortTmpl, kExercise, 4, 0, 0.0, 0.0, 0.0, 0, 0);
    case REQ_KINETRA_RESUME:
        return render(kShortTmpl, kExercise, 5, 0, 0.0, 0.0, 0.0, 0, 0);
    case REQ_KINETRA_CHANGE_INTERVAL:
        return render(kShortTmpl, kExercise, 6, 0, 0.0, 0.0, 0.0, k->interval, 0);
    case REQ_KINETRA_CHANGE_COACHING_SET:
        return render(kCoachingTmpl, kExercise, 7, 0, 0.0, 0.0, 0.0, 0, 0, static_cast<double>(k->coaching_distance),
                      static_cast<double>(k->coaching_calorie), static_cast<double>(k->coaching_speed),
                      k->coaching_duration_time);
    case REQ_HERE_MAP_IMAGE: {
        const auto *m = static_cast<const here_map_req_info *>(param);
        return render("{\"msgId\": \"%s\",\"appId\":\"%s\", \"appCode\":\"%s\", \"width\":%d, \"height\":%d, "
                      "\"centerLatitude\":%lf, \"centerLongitude\":%lf, \"zoomLevel\":%f, \"timeout\":%d}",
                      "lbs-here-map-req", text_or_null(m->app_id), text_or_null(m->app_code), m->width, m->height,
                      m->center_latitude, m->center_longitude, static_cast<double>(m->zoom_level), m->timeout);
    }
    case REQ_KINETRA_SET_AUTO_PAUSE_ENABLED:
        return render("{\"msgId\": \"%s\",\"cmd\":%d, \"autoPauseEnabled\":%d}", kExercise, 8, k->auto_pause_enabled);
    case REQ_KINETRA_SET_AUTO_PAUSE_PARAMETER:
        return render("{\"msgId\": \"%s\",\"cmd\":%d, \"speedThreshold\":%f, \"pauseWindow\":%d, \"resumeWindow\":%d}",
                      kExercise, 9, static_cast<double>(k->speed_threshold), k->pause_window, k->resume_window);
    case REQ_GET_REF_TIME: {
        // A 32-bit product.
        const uint32_t ms = static_cast<uint32_t>(static_cast<const ref_time_req_info *>(param)->timeout) * 1000u;
        return render("{\"msgId\": \"%s\",\"method\":%d,\"timeout\":%d}", "lbs-ntp-time-req", 1,
                      static_cast<int32_t>(ms));
    }
    case REQ_PDC_INFO_START:
        return render("{\"msgId\": \"%s\",\"method\":%d}", "lbs-pdc-info-req", 1);
    case REQ_PDC_INFO_STOP:
        return render("{\"msgId\": \"%s\",\"method\":%d}", "lbs-pdc-info-req", 2);
    default:
        FUZZ_CHECK(!"no template for this identifier");
        return {};
    }
}

// The second link's text for id where it is not the first link's: tracking
// start and stop without method, exercise start and restart without coaching.
std::string reference_second(int id, const void *param)
{
    const auto *k = static_cast<const kinetra_req_info *>(param);
    switch (id) {
    case REQ_TRACKING_LOCATION_START_GPS:
    case REQ_TRACKING_LOCATION_START_WPS:
        return render("{\"msgId\": \"%s\",\"cmd\":%d, \"accuracy\":%d}", kTracking, 1, 2);
    case REQ_TRACKING_LOCATION_STOP_GPS:
    case REQ_TRACKING_LOCATION_STOP_WPS:
        return render("{\"msgId\": \"%s\",\"cmd\":%d}", kTracking, 2);
    case REQ_KINETRA_START:
    case REQ_KINETRA_RESTART:
        return render(kShortTmpl, kExercise, id == REQ_KINETRA_START ? 1 : 3, k->exercise_type,
                      static_cast<double>(k->height), static_cast<double>(k->weight),
                      static_cast<double>(k->base_pressure), k->interval, k->pservice_type);
    default:
        return reference_first(id, param);
    }
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
    const char *locale = (flags & 16) ? comma_locale() : nullptr;
    std::setlocale(LC_NUMERIC, locale != nullptr ? locale : "C");
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
    if (first) {
        check_request_text(first.get(), json);
        FUZZ_CHECK(first.get() == reference_first(id, param));
    }

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
        FUZZ_CHECK(second.get() == reference_second(id, param));
    }
    if (shared_with_first_link(id)) {
        FUZZ_CHECK((first == nullptr) == (second == nullptr));
        FUZZ_CHECK(!first || std::strcmp(first.get(), second.get()) == 0);
    }
    return 0;
}
