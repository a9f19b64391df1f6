// The reply records, each with the invariants a parse must leave in it and
// the way its owner releases it. Shared by the two parser fuzz targets.
#ifndef LBS_FUZZ_PARSER_RECORDS_H
#define LBS_FUZZ_PARSER_RECORDS_H

#include "fuzz_common.h"

#include "kov/lbs_plugin_consumer_json_parser.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

struct ReplyParser {
    int code;
    JsonObjectForeach parser;
    size_t record_size;
    void (*check)(void *record);
};

inline void check_nothing(void *) {}

// A batch never holds more than the host's event can carry, and entries past
// the count stay zero.
inline void check_batch(void *record)
{
    auto *batch = static_cast<location_batch_rsp_message *>(record);
    FUZZ_CHECK(batch->num_of_location <= LBS_CONSUMER_MAX_BATCH_POSITIONS);
    static const loc_tracking_rsp_message zero = {};
    for (unsigned i = 0; i < LBS_CONSUMER_MAX_BATCH_POSITIONS; ++i) {
        FUZZ_CHECK(batch->locations[i].result == 0 && batch->locations[i].reason == 0);
        if (i >= batch->num_of_location)
            FUZZ_CHECK(std::memcmp(&batch->locations[i], &zero, sizeof zero) == 0);
    }
}

inline void check_pdc(void *record)
{
    FUZZ_CHECK(static_cast<pdc_info_rsp_message *>(record)->sf_count <= LBS_CONSUMER_MAX_PDC_VALUES);
}

// The entry block holds exactly the count (every entry is touched, so the
// address sanitizer sees a short block), and exists exactly when the count
// is not zero (these inputs are far too small for the allocation to fail).
inline void check_exercise(void *record)
{
    auto *rsp = static_cast<exercise_info_rsp_data *>(record);
    FUZZ_CHECK((rsp->num_of_exercise_info == 0) == (rsp->p_exercise_info == nullptr));
    volatile int64_t sink = 0;
    for (uint32_t i = 0; i < rsp->num_of_exercise_info; ++i)
        sink = sink + rsp->p_exercise_info[i].auto_pause_status;
    (void)sink;
}

// Allocates the record zero-filled, parses, checks and releases it as the
// receive path does. parse must agree with whether the text loads at all.
inline void parse_and_release(int (*parse)(const char *, size_t, JsonObjectForeach, void *), const ReplyParser &p,
                              const char *text, size_t size, bool loads)
{
    void *record = g_malloc0(p.record_size);
    const int result = parse(text, size, p.parser, record);
    FUZZ_CHECK(result == (loads ? 0 : -2));
    p.check(record);
    if (p.code == MSG_ID_EXERCISE_INFO_RSP)
        exercise_info_rsp_data_release_entries(static_cast<exercise_info_rsp_data *>(record));
    g_free(record);
}

// Whether the text gets past the loader (then classification and parsing
// must both see it).
inline bool text_loads(const char *text, size_t size)
{
    JsonParser *parser = nullptr;
    JsonNode *node = nullptr;
    JsonObject *object = nullptr;
    if (!__json_parser_init(&parser, &node, &object, text, size))
        return false;
    FUZZ_CHECK(parser != nullptr && object != nullptr && json_node_get_object(node) == object);
    g_object_unref(parser);
    return true;
}

using ReplyClassifier = int (*)(const char *text, size_t length, int *msg_id);
using ReplyParse = int (*)(const char *, size_t, JsonObjectForeach, void *);

// One input through a link's receive path. Classification leaves the code
// untouched when the text does not load or has no "msgId", refuses a
// "msgId" the link does not know with code 0, or names a code it knows; then
// every reply parser of the link runs on the same text.
template <size_t N>
void fuzz_reply_text(ReplyClassifier classify, ReplyParse parse, const std::array<ReplyParser, N> &parsers,
                     bool (*known_code)(int), const uint8_t *data, size_t size)
{
    fuzz_next_input();
    const char *text = reinterpret_cast<const char *>(data);
    const bool loads = text_loads(text, size);

    constexpr int kUntouched = -12345;
    int code = kUntouched;
    const int result = classify(text, size, &code);
    if (!loads) {
        FUZZ_CHECK(result == -2 && code == kUntouched);
    } else if (result == -2) {
        FUZZ_CHECK(code == 0);
    } else {
        FUZZ_CHECK(result == 0);
        FUZZ_CHECK(code == kUntouched || known_code(code));
    }

    for (const ReplyParser &p : parsers)
        parse_and_release(parse, p, text, size, loads);
}

#endif // LBS_FUZZ_PARSER_RECORDS_H
