// Shared by the message tests of both links: owned texts and records, texts
// copied to buffers that end where they end, request records, log checks and
// a fixture that starts every test with an empty log.
#ifndef TESTS_PROTOCOL_TEST_SUPPORT_H
#define TESTS_PROTOCOL_TEST_SUPPORT_H

#include "kov/lbs_plugin_consumer_json_builder.h"
#include "kov/lbs_plugin_consumer_json_parser.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Expected records name only the fields that matter; the others are zero.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// Position and exercise records hold only 8-byte fields, so equal bytes are
// equal fields, and gtest prints both records when they differ.
static_assert(sizeof(loc_tracking_rsp_message) == 11 * 8 && sizeof(exercise_info) == 28 * 8);
inline bool operator==(const loc_tracking_rsp_message &a, const loc_tracking_rsp_message &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
inline bool operator==(const exercise_info &a, const exercise_info &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

namespace protocol_test {

// A builder's answer as a string, the allocation released; nullopt for NULL.
inline std::optional<std::string> take_text(char *raw)
{
    std::unique_ptr<char, void (*)(gpointer)> owned(raw, g_free);
    return owned ? std::optional<std::string>(owned.get()) : std::nullopt;
}

using ParseFn = int (*)(const char *, size_t, JsonObjectForeach, void *);

// Calls fn(text, length, args...) on a copy that ends exactly where the text
// ends, so that the address sanitizer catches any read past the length.
template <class Fn, class... Args>
int on_copy(Fn fn, const std::string &text, Args... args)
{
    std::vector<char> exact(text.begin(), text.end());
    return fn(exact.data(), exact.size(), args...);
}

struct RecordFree {
    void operator()(exercise_info_rsp_data *record) const
    {
        exercise_info_rsp_data_release_entries(record);
        g_free(record);
    }
    void operator()(void *record) const { g_free(record); }
};
template <class Record>
using Owned = std::unique_ptr<Record, RecordFree>;

// Parses text into a zero-filled record, as the receive paths do.
template <class Record>
Owned<Record> parse_into(const std::string &text, JsonObjectForeach callback, ParseFn fn = parse_json_message)
{
    Owned<Record> record(g_new0(Record, 1));
    EXPECT_EQ(on_copy(fn, text, callback, record.get()), 0) << text;
    return record;
}

// Room for any record, checked to stay zero where nothing was stored.
struct Scratch {
    alignas(8) unsigned char bytes[sizeof(location_batch_rsp_message)] = {};
    bool zero_from(size_t offset) const
    {
        for (size_t i = offset; i < sizeof bytes; ++i)
            if (bytes[i] != 0)
                return false;
        return true;
    }
};

// A code value that no classification produces.
constexpr int kUntouched = 77;

// Request records with a distinct value in every field, so a swap shows.
inline const kinetra_req_info kExercise = {
    .command = 1, .exercise_type = 2, .base_pressure = 1013.25f, .height = 175.5f, .weight = 70.25f,
    .user_gender = 1, .user_age = 35, .interval = 4, .pservice_type = 6, .coaching_distance = 5000.5f,
    .coaching_calorie = 300.75f, .coaching_speed = 2.5f, .coaching_duration_time = 1800,
    .auto_pause_enabled = 1, .speed_threshold = 0.5f, .pause_window = 10, .resume_window = 20};
inline const tracking_req_param kTracking = {5, 60};

// True when exactly one line was logged since the last clear, and it is this.
inline bool only_logged(int prio, const std::string &message)
{
    return dlog_ctl_count() == 1 && logged(prio, message);
}

// The last line logged since the last clear, or "" when there is none.
inline std::string last_logged()
{
    const std::vector<LogLine> lines = captured_logs();
    return lines.empty() ? "" : lines.back().message;
}

class ProtocolTest : public ::testing::Test {
protected:
    void SetUp() override { dlog_ctl_clear(); }
};

} // namespace protocol_test

#endif // TESTS_PROTOCOL_TEST_SUPPORT_H
