#include "lbs_plugin_consumer_json_parser.h"

#include "../lbs_plugin_consumer_log.h"

#include <array>
#include <cmath>
#include <charconv>
#include <cstring>
#include <utility>
#include <memory>

namespace {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct GErrorFree {
    void operator()(GError *error) const { g_error_free(error); }
};
using ParserPtr = std::unique_ptr<JsonParser, GObjectUnref>;
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

int node_type(JsonNode *node)
{
    return static_cast<int>(JSON_NODE_TYPE(node));
}

// ---- Shape guard --------------------------------------------------------
//
// The guard reads a text the way json-glib's scanner does, so that it skips
// exactly what json-glib skips:
//  - white space: space, tab, line feed and carriage return;
//  - a comment, opened by '/' and closed by the next '/' (json-glib has no
//    line comments: "/* a */" is one comment, "// a" an empty one followed by
//    "a", and a line break closes nothing);
//  - text in a double-quoted string (backslash escapes) or a single-quoted one
//    (no escapes);
//  - a UTF-8 byte-order mark as the very first bytes.
// json-glib also reads "var name = value;" as the one value, with or without
// the semicolon; a semicolon ends that statement even inside brackets still
// open.

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool json_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool name_start(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool name_char(char c)
{
    return name_start(c) || (c >= '0' && c <= '9') || c == '-';
}

// The first position at or after i that is neither white space nor inside a
// comment; text.size() when none is, or when a comment is left open.
std::size_t skip_blanks(std::string_view text, std::size_t i)
{
    while (i < text.size()) {
        if (json_space(text[i])) {
            ++i;
        } else if (text[i] == '/') {
            const std::size_t close = text.find('/', i + 1);
            i = close == std::string_view::npos ? text.size() : close + 1;
        } else {
            break;
        }
    }
    return i;
}

// Where the value of a "var name =" statement starting at i begins (just after
// the '='), or npos when the text does not start so. A near miss is read as
// plain tokens, which json-glib rejects before it has read a value.
std::size_t var_value_start(std::string_view text, std::size_t i)
{
    i = skip_blanks(text, i);
    if (text.substr(i, 3) != "var")
        return std::string_view::npos;
    const std::size_t after_keyword = i + 3;
    i = skip_blanks(text, after_keyword);
    if (i == after_keyword || i == text.size() || !name_start(text[i]))
        return std::string_view::npos; // "varx" is a name, not the keyword
    while (i < text.size() && name_char(text[i]))
        ++i;
    i = skip_blanks(text, i);
    return i < text.size() && text[i] == '=' ? i + 1 : std::string_view::npos;
}

// After a complete first value (not a var statement) json-glib reads on only
// into another object, array or var statement, which it then parses and
// leaks; at any other token it stops with a parse error and builds nothing
// more, so whatever follows cannot hurt.
bool opens_another_statement(std::string_view text, std::size_t i)
{
    return text[i] == '{' || text[i] == '[' || text.substr(i, 3) == "var";
}

// A word json-glib rejects as the first token ("unexpected identifier"), so
// that it reads nothing after it: any name but true, false, null and var.
bool starts_with_unknown_word(std::string_view text, std::size_t i)
{
    if (i >= text.size() || !name_start(text[i]))
        return false;
    std::size_t end = i;
    while (end < text.size() && name_char(text[end]) && text[end] != '-')
        ++end;
    const std::string_view word = text.substr(i, end - i);
    return word != "true" && word != "false" && word != "null" && word != "var";
}

// Finds the first prefix that opens more than LBS_JSON_MAX_NESTING brackets
// still open, or, after the first complete statement (a value, or a var
// statement with its one semicolon), a token json-glib would go on to parse:
// after an object, array or string only another object, array or var
// statement; after a bare token or a var statement anything but blanks.
// Before that, a first word json-glib rejects outright lets the text through
// to its own parse error. json-glib stops at the
// first token it rejects, so counting every closing bracket, or taking a
// malformed run of characters for one token, can only make this guard
// stricter, never blinder.
lbs::protocol::JsonShape read_shape(std::string_view text)
{
    using lbs::protocol::JsonShape;
    enum class State { Plain, Double, DoubleEscape, Single, Comment };
    enum class Root { None, Scalar, Done }; // the first top-level value
    std::size_t start = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    const std::size_t var_value = var_value_start(text, start);
    bool semicolon_due = var_value != std::string_view::npos; // may close the statement
    // Outside a var statement json-glib stops at the first token after the
    // first value unless that token opens another value.
    const bool plain_text = !semicolon_due;
    if (semicolon_due)
        start = var_value;

    State state = State::Plain;
    Root root = Root::None;
    int depth = 0;
    bool lone_minus = false;  // the first value so far is just "-"
    bool root_scalar = false; // the first value was a bare token, not an object, array or string
    if (plain_text && starts_with_unknown_word(text, skip_blanks(text, start)))
        return JsonShape::Acceptable;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        switch (state) {
        case State::Plain:
            if (c == '/' || (depth == 0 && json_space(c))) {
                // a bare top-level token such as 5 or true ends here; a lone
                // minus sign does not: json-glib reads "- 1" as one number
                if (root == Root::Scalar && !lone_minus) {
                    root = Root::Done;
                    root_scalar = true;
                }
                if (c == '/')
                    state = State::Comment;
                continue;
            }
            if (c == ';' && semicolon_due && (depth > 0 || root != Root::None)) {
                // json-glib ends a var statement at a semicolon even where it
                // still expects a bracket to close, and reads what follows as
                // further statements.
                semicolon_due = false;
                depth = 0;
                root = Root::Done;
                continue;
            }
            if (depth == 0 && root == Root::Done)
                return plain_text && !root_scalar && !opens_another_statement(text, i) ? JsonShape::Acceptable
                                                                                      : JsonShape::SeveralValues;
            if (c == '"' || c == '\'' || c == '[' || c == '{') {
                if (depth == 0 && root == Root::Scalar)
                    return JsonShape::SeveralValues;
                if (c == '"')
                    state = State::Double;
                else if (c == '\'')
                    state = State::Single;
                else if (++depth > LBS_JSON_MAX_NESTING)
                    return JsonShape::TooDeep;
            } else if ((c == ']' || c == '}') && depth > 0) {
                if (--depth == 0)
                    root = Root::Done;
            } else if (depth == 0) {
                lone_minus = root == Root::None && c == '-';
                root = Root::Scalar;
            }
            break;
        case State::Double:
            if (c == '\\') {
                state = State::DoubleEscape;
            } else if (c == '"') {
                state = State::Plain;
                if (depth == 0)
                    root = Root::Done;
            }
            break;
        case State::DoubleEscape:
            state = State::Double;
            break;
        case State::Single:
            if (c == '\'') {
                state = State::Plain;
                if (depth == 0)
                    root = Root::Done;
            }
            break;
        case State::Comment:
            if (c == '/')
                state = State::Plain;
            break;
        }
    }
    return JsonShape::Acceptable;
}

// ---- Member tables ------------------------------------------------------

// One key of a record: where its value goes and how it is read.
template <class Record>
struct Field {
    std::string_view key;
    std::int64_t Record::*integer;
    double Record::*real;
};

template <class Record>
constexpr Field<Record> int_key(std::string_view key, std::int64_t Record::*m)
{
    return {key, m, nullptr};
}
template <class Record>
constexpr Field<Record> real_key(std::string_view key, double Record::*m)
{
    return {key, nullptr, m};
}

// Stores a value member by the table; false when the name is not in it.
template <class Record, std::size_t N>
bool store_field(const std::array<Field<Record>, N> &fields, Record &record, const gchar *name, JsonNode *node)
{
    const std::string_view key = name;
    for (const Field<Record> &f : fields) {
        if (f.key != key)
            continue;
        if (f.integer != nullptr)
            record.*f.integer = __json_node_get_int(node);
        else
            record.*f.real = __json_node_get_double(node);
        return true;
    }
    return false;
}

using Pos = loc_tracking_rsp_message;
constexpr std::array<Field<Pos>, 11> kTrackingFields = {{
    int_key("result", &Pos::result),
    int_key("reason", &Pos::reason),
    int_key("method", &Pos::method),
    int_key("timestamp", &Pos::timestamp),
    real_key("latitude", &Pos::latitude),
    real_key("longitude", &Pos::longitude),
    real_key("altitude", &Pos::altitude),
    real_key("speed", &Pos::speed),
    real_key("bearing", &Pos::bearing),
    real_key("h_accuracy", &Pos::h_accuracy),
    real_key("v_accuracy", &Pos::v_accuracy),
}};

// A batch entry takes everything of a position but its result and reason.
constexpr std::array<Field<Pos>, 9> kBatchEntryFields = {{
    int_key("timestamp", &Pos::timestamp),
    int_key("method", &Pos::method),
    real_key("latitude", &Pos::latitude),
    real_key("longitude", &Pos::longitude),
    real_key("altitude", &Pos::altitude),
    real_key("speed", &Pos::speed),
    real_key("h_accuracy", &Pos::h_accuracy),
    real_key("v_accuracy", &Pos::v_accuracy),
    real_key("bearing", &Pos::bearing),
}};

using Batch = location_batch_rsp_message;
constexpr std::array<Field<Batch>, 3> kBatchFields = {{
    int_key("result", &Batch::result),
    int_key("reason", &Batch::reason),
    int_key("method", &Batch::method),
}};

using GpsPlus = gps_plus_rsp_message;
constexpr std::array<Field<GpsPlus>, 3> kGpsPlusFields = {{
    int_key("result", &GpsPlus::result),
    int_key("reason", &GpsPlus::reason),
    int_key("method", &GpsPlus::method),
}};

using HereMap = here_map_rsp_message;
constexpr std::array<Field<HereMap>, 2> kHereMapFields = {{
    int_key("result", &HereMap::result),
    int_key("reason", &HereMap::reason),
}};

using SettingCheck = location_setting_check_rsp_message;
constexpr std::array<Field<SettingCheck>, 2> kSettingCheckFields = {{
    int_key("gpsSettings", &SettingCheck::gps_settings),
    int_key("wpsSettings", &SettingCheck::wps_settings),
}};

using SettingChange = location_setting_change_rsp_message;
constexpr std::array<Field<SettingChange>, 1> kSettingChangeFields = {{
    int_key("result", &SettingChange::result),
}};

using RefTime = ref_time_rsp_message;
constexpr std::array<Field<RefTime>, 5> kRefTimeFields = {{
    int_key("result", &RefTime::result),
    int_key("reason", &RefTime::reason),
    int_key("method", &RefTime::method),
    int_key("ntptime", &RefTime::ntptime),
    int_key("uncertainty", &RefTime::uncertainty),
}};

using Pdc = pdc_info_rsp_message;
constexpr std::array<Field<Pdc>, 2> kPdcFields = {{
    int_key("result", &Pdc::result),
    int_key("reason", &Pdc::reason),
}};

using ExerciseReply = exercise_info_rsp_data;
constexpr std::array<Field<ExerciseReply>, 2> kExerciseReplyFields = {{
    int_key("result", &ExerciseReply::result),
    int_key("reason", &ExerciseReply::reason),
}};

using Ex = exercise_info;
constexpr std::array<Field<Ex>, 28> kExerciseFields = {{
    int_key("timestamp", &Ex::timestamp),
    real_key("latitude", &Ex::latitude),
    real_key("longitude", &Ex::longitude),
    real_key("totalDistance", &Ex::total_distance),
    real_key("inclineDistance", &Ex::incline_distance),
    real_key("declineDistance", &Ex::decline_distance),
    real_key("flatDistance", &Ex::flat_distance),
    int_key("inclineTime", &Ex::incline_time),
    int_key("declineTime", &Ex::decline_time),
    int_key("flatTime", &Ex::flat_time),
    real_key("altitude", &Ex::altitude),
    real_key("maxAltitude", &Ex::max_altitude),
    real_key("minAltitude", &Ex::min_altitude),
    real_key("speed", &Ex::speed),
    real_key("maxSpeed", &Ex::max_speed),
    real_key("averageSpeed", &Ex::average_speed),
    real_key("pace", &Ex::pace),
    real_key("maxPace", &Ex::max_pace),
    real_key("averagePace", &Ex::average_pace),
    real_key("consumedCalorie", &Ex::consumed_calorie),
    int_key("stepCount", &Ex::step_count),
    real_key("basePressure", &Ex::base_pressure),
    int_key("gpsStatus", &Ex::gps_status),
    real_key("accuracy", &Ex::accuracy),
    real_key("durationTime", &Ex::duration_time),
    real_key("movingTime", &Ex::moving_time),
    int_key("autoPauseStatus", &Ex::auto_pause_status),
    real_key("stepCadence", &Ex::step_cadence),
}};

// ---- What every member callback does first --------------------------------

enum class Prologue {
    Standard, // "data to parsing is NULL", "JsonObject is NULL", ...
    Short,    // "data NULL", "JsonObject NULL", ... (reference time, PDC)
};

// False when the member is not for the callback: an argument is missing
// (logged) or it is "msgId", which every reply carries and no record keeps.
bool accept_member(const char *func, Prologue texts, gpointer data, JsonObject *object, const gchar *name,
                   JsonNode *node)
{
    const bool standard = texts == Prologue::Standard;
    if (data == nullptr) {
        if (standard)
            LBS_LOGE_AS(func, "data to parsing is NULL");
        else
            LBS_LOGE_AS(func, "data NULL");
        return false;
    }
    if (object == nullptr) {
        if (standard)
            LBS_LOGE_AS(func, "JsonObject is NULL");
        else
            LBS_LOGE_AS(func, "JsonObject NULL");
        return false;
    }
    if (name == nullptr) {
        if (standard)
            LBS_LOGE_AS(func, "memberName is NULL");
        else
            LBS_LOGE_AS(func, "memberName NULL");
        return false;
    }
    if (node == nullptr) {
        if (standard)
            LBS_LOGE_AS(func, "memberNode is NULL");
        else
            LBS_LOGE_AS(func, "memberNode NULL");
        return false;
    }
    return std::strcmp(name, "msgId") != 0;
}

// The lines of the position, assistance and setting replies for a member that
// is no value: containers by name, null by node type.
void log_non_value(const char *func, const gchar *name, JsonNode *node)
{
    if (JSON_NODE_HOLDS_OBJECT(node) || JSON_NODE_HOLDS_ARRAY(node))
        LBS_LOGE_AS(func, "not handled array value key : [%s]!!!", name);
    else
        LBS_LOGE_AS(func, "not handled node type : [%d]!!!", node_type(node));
}

// The same for the reference-time and PDC replies.
void log_non_value_short(const char *func, const gchar *name, JsonNode *node)
{
    if (JSON_NODE_HOLDS_ARRAY(node))
        LBS_LOGE_AS(func, "not handled array value key : [%s]", name);
    else if (JSON_NODE_HOLDS_OBJECT(node))
        LBS_LOGE_AS(func, "not handled OBJECT : [%s]", name);
    else
        LBS_LOGE_AS(func, "not handled node type : [%d]", node_type(node));
}

// A reply whose members are all plain values of one record.
template <class Record, std::size_t N>
void parse_flat_member(const char *func, const std::array<Field<Record>, N> &fields, gpointer data, JsonObject *object,
                       const gchar *name, JsonNode *node)
{
    if (!accept_member(func, Prologue::Standard, data, object, name, node))
        return;
    if (!JSON_NODE_HOLDS_VALUE(node)) {
        log_non_value(func, name, node);
        return;
    }
    if (!store_field(fields, *static_cast<Record *>(data), name, node))
        LBS_LOGE_AS(func, "not handled key [%s]", name);
}

// The slot of "SF1".."SF20" (0..19), or -1 for any other name.
int pdc_slot(std::string_view name)
{
    std::string_view digits = name.substr(2);
    if (digits.empty() || digits.front() == '0')
        return -1;
    int n = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc{} || end != digits.data() + digits.size() || n < 1 || n > LBS_CONSUMER_MAX_PDC_VALUES)
        return -1;
    return n - 1;
}

void parse_location_array(const char *func, location_batch_rsp_message &rsp, const gchar *name, JsonNode *node)
{
    LBS_LOGI_AS(func, "Location batch. array key : [%s]", name);
    if (std::strcmp(name, "locationInfo") != 0) {
        LBS_LOGE_AS(func, "Exceptional JSON node [%s]", name);
        return;
    }
    JsonArray *array = json_node_get_array(node);
    if (array == nullptr) {
        LBS_LOGE_AS(func, "JSON array is NULL: [%s]", name);
        return;
    }
    const guint length = json_array_get_length(array);
    rsp.num_of_location = length;
    LBS_LOGI_AS(func, "num of location batch: [%u]", rsp.num_of_location);
    if (length == 0) {
        LBS_LOGW_AS(func, "Array size is [%d]", 0);
        return;
    }
    // The host's batch event holds no more than this; the rest is dropped.
    if (length > LBS_CONSUMER_MAX_BATCH_POSITIONS) {
        LBS_LOGI_AS(func, "Forcely set as [%d] num_of_location : [%u]", LBS_CONSUMER_MAX_BATCH_POSITIONS, length);
        rsp.num_of_location = LBS_CONSUMER_MAX_BATCH_POSITIONS;
    }
    for (guint i = 0; i < rsp.num_of_location; ++i) {
        JsonNode *element = json_array_get_element(array, i);
        if (JSON_NODE_HOLDS_OBJECT(element))
            json_object_foreach_member(json_node_get_object(element), _location_batch_data_parser, &rsp.locations[i]);
    }
}

void parse_exercise_array(const char *func, exercise_info_rsp_data &rsp, JsonNode *node,
                          JsonObjectForeach element_parser)
{
    JsonArray *array = json_node_get_array(node);
    if (array == nullptr)
        return;
    const guint length = json_array_get_length(array);
    rsp.num_of_exercise_info = length;
    exercise_info_rsp_data_release_entries(&rsp); // a second "exerciseInfo" replaces the first
    if (length == 0) {
        LBS_LOGI_AS(func, "Invalid array size [%d]", 0);
        return;
    }
    auto *entries = static_cast<exercise_info *>(g_try_malloc0_n(length, sizeof(exercise_info)));
    if (entries == nullptr) {
        LBS_LOGE_AS(func, "Failed to allocate memory.");
        return;
    }
    rsp.p_exercise_info = entries;
    for (guint i = 0; i < length; ++i) {
        entries[i].auto_pause_status = -1; // "no auto-pause status" unless the element has one
        JsonNode *element = json_array_get_element(array, i);
        if (JSON_NODE_HOLDS_OBJECT(element))
            json_object_foreach_member(json_node_get_object(element), element_parser, &entries[i]);
    }
}

// clang-format off
constexpr std::array<lbs::protocol::MsgIdRow, 11> kMsgIds = {{
    {"lbs-tracking-location-req", MSG_ID_TRACKING_LOCATION_REQ, false},
    {"lbs-tracking-location-rsp", MSG_ID_TRACKING_LOCATION_RSP, true},
    {"lbs-gps-plus-req", MSG_ID_GPS_PLUS_REQ, false},
    {"lbs-gps-plus-rsp", MSG_ID_GPS_PLUS_RSP, false},
    {"lbs-location-setting-check-req", MSG_ID_LOCATION_SETTING_CHECK_REQ, false},
    {"lbs-location-setting-check-rsp", MSG_ID_LOCATION_SETTING_CHECK_RSP, false},
    {"lbs-switch-location-setting-rsp", MSG_ID_SWITCH_LOCATION_SETTING_RSP, false},
    {"lbs-exercise-info-rsp", MSG_ID_EXERCISE_INFO_RSP, false},
    {"lbs-here-map-rsp", MSG_ID_HERE_MAP_RSP, false},
    {"lbs-ntp-time-rsp", MSG_ID_NTP_TIME_RSP, false},
    {"lbs-pdc-info-rsp", MSG_ID_PDC_INFO_RSP, false},
}};
// clang-format on

} // namespace

// ---- Shared with the second link ----------------------------------------------

namespace lbs::protocol {

JsonShape json_shape(std::string_view text)
{
    return read_shape(text);
}

namespace {

// The document classify_message loaded, kept for the parse that follows.
struct LoadedReply {
    const Dialect *dialect = nullptr;
    const char *text = nullptr;
    size_t length = 0;
    ParserPtr parser;
    JsonObject *root = nullptr;
};

int g_reply_scopes = 0;
LoadedReply g_loaded_reply;

} // namespace

ReplyScope::ReplyScope()
{
    ++g_reply_scopes;
}

ReplyScope::~ReplyScope()
{
    if (--g_reply_scopes == 0)
        g_loaded_reply = LoadedReply{};
}

int classify_message(const char *func, const Dialect &dialect, const char *text, size_t length, int *msg_id)
{
    if (msg_id == nullptr) {
        LBS_LOGE_AS(func, "msg_id is NULL");
        return -2;
    }
    JsonParser *raw = nullptr;
    JsonNode *root_node = nullptr;
    JsonObject *root = nullptr;
    if (!dialect.init(&raw, &root_node, &root, text, length)) {
        LBS_LOGE_AS(func, "%s failed", dialect.init_name);
        return -2;
    }
    ParserPtr parser(raw);
    if (g_reply_scopes > 0)
        g_loaded_reply = LoadedReply{&dialect, text, length, std::move(parser), root};

    JsonNode *id_node = json_object_get_member(root, "msgId");
    if (id_node == nullptr || !JSON_NODE_HOLDS_VALUE(id_node))
        return 0; // no usable "msgId": the caller's code stays as it was
    const gchar *id = json_node_get_string(id_node); // NULL for a number or a boolean

    for (const MsgIdRow &row : dialect.msg_ids) {
        if (id == nullptr || row.text != id)
            continue;
        if (row.split_batch && json_object_has_member(root, "locationInfo")) {
            LBS_LOGI_AS(func, "Location batch message.");
            *msg_id = MSG_ID_LOCATION_BATCH_RSP;
        } else {
            *msg_id = row.code;
        }
        return 0;
    }
    LBS_LOGE_AS(func, "[%s] is not handled", id != nullptr ? id : "(null)");
    *msg_id = 0;
    return -2;
}

int parse_message(const char *func, const Dialect &dialect, const char *message_string, size_t message_length,
                  JsonObjectForeach parser_func, void *pData)
{
    if (message_string == nullptr) {
        LBS_LOGE_AS(func, "message_string is NULL");
        return -2;
    }
    if (message_length == 0) {
        LBS_LOGE_AS(func, "message_length is zero");
        return -2;
    }
    if (parser_func == nullptr) {
        LBS_LOGE_AS(func, "parser_func is NULL");
        return -2;
    }
    if (pData == nullptr) {
        LBS_LOGE_AS(func, "pData is NULL");
        return -2;
    }
    if (g_loaded_reply.root != nullptr && g_loaded_reply.dialect == &dialect &&
        g_loaded_reply.text == message_string && g_loaded_reply.length == message_length) {
        // Classified a moment ago: walk that document, then let it go.
        const LoadedReply loaded = std::exchange(g_loaded_reply, LoadedReply{});
        json_object_foreach_member(loaded.root, parser_func, pData);
        return 0;
    }
    JsonParser *raw = nullptr;
    JsonNode *root_node = nullptr;
    JsonObject *root = nullptr;
    if (!dialect.init(&raw, &root_node, &root, message_string, message_length)) {
        LBS_LOGE_AS(func, "%s failed", dialect.init_name);
        return -2;
    }
    ParserPtr parser(raw);
    json_object_foreach_member(root, parser_func, pData);
    return 0;
}

void parse_exercise_reply_member(const char *func, JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                 gpointer pData, JsonObjectForeach element_parser)
{
    if (!accept_member(func, Prologue::Standard, pData, object, member_name, member_node))
        return;
    auto &rsp = *static_cast<exercise_info_rsp_data *>(pData);
    switch (JSON_NODE_TYPE(member_node)) {
    case JSON_NODE_VALUE:
        if (!store_field(kExerciseReplyFields, rsp, member_name, member_node))
            LBS_LOGE_AS(func, "not handled key [%s]", member_name);
        return;
    case JSON_NODE_OBJECT:
        LBS_LOGE_AS(func, "not handled array value key : [%s]!!!", member_name);
        return;
    case JSON_NODE_NULL:
        LBS_LOGE_AS(func, "not handled node type : [%d]!!!", node_type(member_node));
        return;
    case JSON_NODE_ARRAY:
        if (std::strcmp(member_name, "exerciseInfo") == 0)
            parse_exercise_array(func, rsp, member_node, element_parser);
        return;
    }
}

} // namespace lbs::protocol

// ---- Parse frame ---------------------------------------------------------------

namespace {
const lbs::protocol::Dialect kFirstLink = {__json_parser_init, "__json_parser_init", kMsgIds};
}

gboolean lbs::protocol::load_reply(const char *func, JsonParser **parser, JsonNode **rootNode, JsonObject **rootObj,
                                   const char *pBuffer, size_t length)
{
    if (pBuffer == nullptr || length == 0 || length > static_cast<size_t>(G_MAXSSIZE)) {
        // Only bytes within length may be read, and here that is none.
        LBS_LOGE_AS(func, "input parameter error!!! pBuffer : [%s], length : [%zu]", pBuffer == nullptr ? "(null)" : "",
                 length);
        return FALSE;
    }
    if (parser == nullptr) {
        LBS_LOGE_AS(func, "parser == NULL!!!");
        return FALSE;
    }
    if (rootNode == nullptr) {
        LBS_LOGE_AS(func, "rootNode == NULL!!!");
        return FALSE;
    }
    if (rootObj == nullptr) {
        LBS_LOGE_AS(func, "rootObj == NULL!!!");
        return FALSE;
    }
    *parser = nullptr;

    // json-glib recurses once per nesting level, so a deep text would exhaust
    // the main loop's stack long before it is found to be malformed; and it
    // leaks every value after the first that a text holds.
    switch (lbs::protocol::json_shape({pBuffer, length})) {
    case lbs::protocol::JsonShape::Acceptable:
        break;
    case lbs::protocol::JsonShape::TooDeep:
        LBS_LOGE_AS(func, "nested deeper than [%d] levels, refused before parsing", LBS_JSON_MAX_NESTING);
        return FALSE;
    case lbs::protocol::JsonShape::SeveralValues:
        LBS_LOGE_AS(func, "more than one JSON value, refused before parsing");
        return FALSE;
    }

    ParserPtr loaded(json_parser_new());
    GError *raw_error = nullptr;
    if (!json_parser_load_from_data(loaded.get(), pBuffer, static_cast<gssize>(length), &raw_error)) {
        ErrorPtr error(raw_error);
        LBS_LOGE_AS(func, "error != NULL!!!");
        if (error != nullptr && error->message != nullptr)
            LBS_LOGE_AS(func, "error->message : [%s]", error->message);
        return FALSE;
    }
    JsonNode *root = json_parser_get_root(loaded.get());
    if (root == nullptr) {
        LBS_LOGE_AS(func, "*rootNode == NULL!!!");
        return FALSE;
    }
    if (!JSON_NODE_HOLDS_OBJECT(root) || json_node_get_object(root) == nullptr) {
        LBS_LOGE_AS(func, "rootObj == NULL!!!");
        return FALSE;
    }
    *rootNode = root;
    *rootObj = json_node_get_object(root);
    *parser = loaded.release();
    return TRUE;
}

gboolean __json_parser_init(JsonParser **parser, JsonNode **rootNode, JsonObject **rootObj, const char *pBuffer,
                            size_t length)
{
    return lbs::protocol::load_reply(__func__, parser, rootNode, rootObj, pBuffer, length);
}

double __json_node_get_double(JsonNode *node)
{
    g_return_val_if_fail(node != NULL, 0.0);
    const GType type = json_node_get_value_type(node);
    if (type == G_TYPE_DOUBLE)
        return json_node_get_double(node);
    if (type == G_TYPE_INT64)
        return static_cast<double>(json_node_get_int(node));
    return 0.0;
}

gint64 __json_node_get_int(JsonNode *node)
{
    g_return_val_if_fail(node != NULL, 0);
    const GType type = json_node_get_value_type(node);
    if (type == G_TYPE_INT64 || type == G_TYPE_BOOLEAN)
        return json_node_get_int(node);
    if (type == G_TYPE_DOUBLE) {
        // -2^63 is exact in a double; 2^63 and above do not fit, nor does
        // anything that is not finite (the comparisons are false for NaN).
        const double value = json_node_get_double(node);
        if (value >= -9223372036854775808.0 && value < 9223372036854775808.0)
            return static_cast<gint64>(value);
    }
    return 0;
}

int _fail_non_finite_position(const char *func, loc_tracking_rsp_message *rsp)
{
    if (rsp == nullptr || rsp->result != 1)
        return 0;
    if (std::isfinite(rsp->latitude) && std::isfinite(rsp->longitude) && std::isfinite(rsp->altitude))
        return 0;
    LBS_LOGW_AS(func, "Position data arrived but it is not finite [%.15g, %.15g, %.15g]", rsp->latitude, rsp->longitude,
             rsp->altitude);
    rsp->result = 2;
    rsp->reason = 1;
    return 1;
}

int get_msg_id_from_json_string(const char *text, size_t length, int *msg_id)
{
    return lbs::protocol::classify_message(__func__, kFirstLink, text, length, msg_id);
}

int parse_json_message(const char *message_string, size_t message_length, JsonObjectForeach parser_func,
                       void *pData)
{
    return lbs::protocol::parse_message(__func__, kFirstLink, message_string, message_length, parser_func, pData);
}

void exercise_info_rsp_data_release_entries(exercise_info_rsp_data *data)
{
    if (data == nullptr)
        return;
    g_free(data->p_exercise_info);
    data->p_exercise_info = nullptr;
}

// ---- Member callbacks ----------------------------------------------------------

void lbs::protocol::tracking_member(const char *func, JsonObject *object, const gchar *member_name,
                                    JsonNode *member_node, gpointer pData)
{
    if (!accept_member(func, Prologue::Standard, pData, object, member_name, member_node))
        return;
    if (!JSON_NODE_HOLDS_VALUE(member_node)) {
        log_non_value(func, member_name, member_node);
        return;
    }
    if (!store_field(kTrackingFields, *static_cast<Pos *>(pData), member_name, member_node))
        LBS_LOGE_AS(func, "not handled value key [%s]", member_name);
}

void consumer_plugin_location_tracking_response_parser(JsonObject *object, const gchar *member_name,
                                                       JsonNode *member_node, gpointer pData) noexcept
{
    lbs::protocol::tracking_member(__func__, object, member_name, member_node, pData);
}

void _location_batch_rsp_parser_cb(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                   gpointer pData) noexcept
{
    if (!accept_member(__func__, Prologue::Standard, pData, object, member_name, member_node))
        return;
    auto &rsp = *static_cast<location_batch_rsp_message *>(pData);
    switch (JSON_NODE_TYPE(member_node)) {
    case JSON_NODE_VALUE:
        if (!store_field(kBatchFields, rsp, member_name, member_node))
            LBS_LOGE("not handled key [%s]", member_name);
        return;
    case JSON_NODE_OBJECT:
        LBS_LOGW("Do not handle object type. [%s]", member_name);
        return;
    case JSON_NODE_NULL:
        LBS_LOGE("not handled node type : [%d]!!!", node_type(member_node));
        return;
    case JSON_NODE_ARRAY:
        parse_location_array(__func__, rsp, member_name, member_node);
        return;
    }
}

void _location_batch_data_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                 gpointer pData) noexcept
{
    if (!accept_member(__func__, Prologue::Standard, pData, object, member_name, member_node))
        return;
    if (!JSON_NODE_HOLDS_VALUE(member_node)) {
        LBS_LOGE("Exceptional node type of this key: [%s]", member_name);
        return;
    }
    if (!store_field(kBatchEntryFields, *static_cast<Pos *>(pData), member_name, member_node))
        LBS_LOGE("not handled key [%s]", member_name);
}

void lbs::protocol::gps_plus_member(const char *func, JsonObject *object, const gchar *member_name,
                                    JsonNode *member_node, gpointer pData)
{
    parse_flat_member(func, kGpsPlusFields, pData, object, member_name, member_node);
}

void consumer_plugin_gps_plus_response_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                              gpointer pData) noexcept
{
    lbs::protocol::gps_plus_member(__func__, object, member_name, member_node, pData);
}

void _here_map_download_rsp_parser_cb(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                                      gpointer pData) noexcept
{
    if (!accept_member(__func__, Prologue::Standard, pData, object, member_name, member_node))
        return;
    if (!JSON_NODE_HOLDS_VALUE(member_node)) {
        LBS_LOGE("not handled node type : [%d]!!!", node_type(member_node));
        return;
    }
    if (!store_field(kHereMapFields, *static_cast<HereMap *>(pData), member_name, member_node))
        LBS_LOGE("not handled key [%s]", member_name);
}

void lbs::protocol::setting_check_member(const char *func, JsonObject *object, const gchar *member_name,
                                         JsonNode *member_node, gpointer pData)
{
    parse_flat_member(func, kSettingCheckFields, pData, object, member_name, member_node);
}

void consumer_plugin_location_setting_check_response_parser(JsonObject *object, const gchar *member_name,
                                                            JsonNode *member_node, gpointer pData) noexcept
{
    lbs::protocol::setting_check_member(__func__, object, member_name, member_node, pData);
}

void lbs::protocol::setting_change_member(const char *func, JsonObject *object, const gchar *member_name,
                                          JsonNode *member_node, gpointer pData)
{
    parse_flat_member(func, kSettingChangeFields, pData, object, member_name, member_node);
}

void consumer_plugin_location_setting_change_response_parser(JsonObject *object, const gchar *member_name,
                                                             JsonNode *member_node, gpointer pData) noexcept
{
    lbs::protocol::setting_change_member(__func__, object, member_name, member_node, pData);
}

void lbs::protocol::ref_time_member(const char *func, JsonObject *object, const gchar *member_name,
                                    JsonNode *member_node, gpointer pData)
{
    if (!accept_member(func, Prologue::Short, pData, object, member_name, member_node))
        return;
    if (!JSON_NODE_HOLDS_VALUE(member_node)) {
        log_non_value_short(func, member_name, member_node);
        return;
    }
    if (!store_field(kRefTimeFields, *static_cast<RefTime *>(pData), member_name, member_node))
        LBS_LOGE_AS(func, "not handled key [%s]", member_name);
}

void ref_time_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node, gpointer pData) noexcept
{
    lbs::protocol::ref_time_member(__func__, object, member_name, member_node, pData);
}

void pdc_info_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node, gpointer pData) noexcept
{
    if (!accept_member(__func__, Prologue::Short, pData, object, member_name, member_node))
        return;
    if (!JSON_NODE_HOLDS_VALUE(member_node)) {
        log_non_value_short(__func__, member_name, member_node);
        return;
    }
    auto &rsp = *static_cast<Pdc *>(pData);
    if (store_field(kPdcFields, rsp, member_name, member_node))
        return;
    if (!g_str_has_prefix(member_name, "SF")) {
        LBS_LOGE("not handled key [%s]", member_name);
        return;
    }
    // The event carries at most this many values; members are counted in the
    // order they arrive, so past the limit even a valid slot is refused.
    if (rsp.sf_count >= LBS_CONSUMER_MAX_PDC_VALUES) {
        LBS_LOGW("%s over %d", member_name, LBS_CONSUMER_MAX_PDC_VALUES);
        return;
    }
    const int slot = pdc_slot(member_name);
    if (slot >= 0)
        rsp.sf[slot] = __json_node_get_int(member_node);
    else
        LBS_LOGW("Unknown key [%s]", member_name);
    ++rsp.sf_count;
}

void exercise_info_rsp_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node,
                              gpointer pData) noexcept
{
    lbs::protocol::parse_exercise_reply_member(__func__, object, member_name, member_node, pData, exercise_info_parser);
}

void lbs::protocol::exercise_entry_member(const char *func, JsonObject *object, const gchar *member_name,
                                          JsonNode *member_node, gpointer pData)
{
    if (!accept_member(func, Prologue::Standard, pData, object, member_name, member_node))
        return;
    if (!JSON_NODE_HOLDS_VALUE(member_node))
        return;
    if (!store_field(kExerciseFields, *static_cast<Ex *>(pData), member_name, member_node))
        LBS_LOGE_AS(func, "not handled key [%s]", member_name);
}

void exercise_info_parser(JsonObject *object, const gchar *member_name, JsonNode *member_node, gpointer pData) noexcept
{
    lbs::protocol::exercise_entry_member(__func__, object, member_name, member_node, pData);
}
