// The phone's side of fuzz_plugin_session: the data a reply action hands to
// the plugin. A reply is either raw bytes from the input or one of the
// protocol's messages (both links), filled with values the input picks and
// then mutated, so that deep flows (an announcement followed by a file, a
// running exercise with figures) are a few bytes away.
//
// Payload encoding (after the action's opcode):
//   mode byte % 7:
//     0  raw: the following bytes up to a NUL
//     1  a message of kReplies: index byte, one JSON value per '$' slot
//     2  a batch of positions: count byte, result, reason, method, style
//     3  exercise figures: count byte, result, reason, style
//     4  PDC values: count byte, then per value a name byte and a JSON value
//     5  no buffer at all (NULL) with a V32 length
//     6  an oversized text: size selector byte
//   modes 1 to 4 then take a mutation byte: 0 none; 1 cut at a u16
//   position; 2 insert TEXT bytes at a u16 position; 3 overwrite the byte at
//   a u16 position with a given byte.
//   A JSON value is one byte: b < 0xfe picks kJsonValues; 0xfe: a raw int64
//   follows, written in decimal; 0xff: a raw double follows, written with
//   "%.17g" (a non-finite one as 1e999).
#ifndef LBS_FUZZ_SESSION_REPLIES_H
#define LBS_FUZZ_SESSION_REPLIES_H

#include "fuzz_session_input.h"

#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace session {

inline constexpr std::array<const char *, 48> kJsonValues = {
    "0",    "1",     "2",      "3",       "4",          "5",          "6",    "7",
    "8",    "-1",    "255",    "256",     "32",         "32.0",       "32.5", "33",
    "150",  "151",   "1700000000123",     "90999",      "-1000",      "2147483647",
    "2147483648",    "-2147483649",       "4294967296", "9223372036854775807",
    "-9223372036854775808", "18446744073709551616", "1e308", "1e400", "-1e400", "0.5",
    "-0.0", "1.5e-300", "37.5", "127.25", "\"1\"", "\"x\"", "null", "true",
    "false", "[]",   "{}",     "[1,2]",   "{\"a\":1}",  "20",         "21",   "12.75",
};

// The protocol's messages; each '$' is a value slot.
inline constexpr std::array<std::string_view, 20> kReplies = {
    R"({"msgId":"lbs-tracking-location-rsp","result":$,"reason":$,"method":$,"timestamp":$,"latitude":$,"longitude":$,"altitude":$,"speed":$,"bearing":$,"h_accuracy":$,"v_accuracy":$})",
    R"({"msgId":"lbs-gps-plus-rsp","result":$,"reason":$,"method":$})",
    R"({"msgId":"lbs-here-map-rsp","result":$,"reason":$})",
    R"({"msgId":"lbs-location-setting-check-rsp","gpsSettings":$,"wpsSettings":$})",
    R"({"msgId":"lbs-switch-location-setting-rsp","result":$,"reason":$})",
    R"({"msgId":"lbs-ntp-time-rsp","result":$,"reason":$,"method":$,"ntptime":$,"uncertainty":$})",
    R"({"msgId":"lbs-pdc-info-rsp","result":$,"reason":$,"SF1":$,"SF2":$,"SF3":$,"SF20":$,"SF21":$})",
    R"({"msgId":"lbs-exercise-info-rsp","result":$,"reason":$,"exerciseInfo":[{"timestamp":$,"totalDistance":$,"gpsStatus":$,"durationTime":$,"movingTime":$,"stepCadence":$,"autoPauseStatus":$}]})",
    R"({"msgId": "lbs-tracking-location-req","cmd":$, "method":$, "interval":$})",
    R"({"msgId": "lbs-gps-plus-req", "method":$})",
    R"({"msgId": "lbs-location-setting-check-req"})",
    R"({"msgId": "lbs-exercise-info-req","cmd":$})",
    R"({"msgId": "lbs-here-map-req","appId":"a"})",
    R"({"result":$,"reason":$})",
    R"({"msgId":$})",
    R"({"msgId":"lbs-tracking-location-rsp","result":$,"reason":$,"method":$,"locationInfo":$})",
    R"({"msgId":"lbs-exercise-info-rsp","result":$,"reason":$,"exerciseInfo":$})",
    R"([{"msgId":"lbs-gps-plus-rsp","result":1}])",
    R"({"msgId":"lbs-gps-plus-rsp","result":1}{"msgId":"lbs-gps-plus-rsp","result":2})",
    R"({"msgId":"lbs-ntp-time-rsp","msgId":"lbs-pdc-info-rsp","result":$})",
};

inline std::string json_value(Input &in)
{
    const uint8_t b = in.byte();
    char buf[64];
    if (b == 0xfe) {
        std::snprintf(buf, sizeof buf, "%" PRId64, in.raw<int64_t>());
        return buf;
    }
    if (b == 0xff) {
        const double d = in.raw<double>();
        if (!std::isfinite(d))
            return "1e999";
        std::snprintf(buf, sizeof buf, "%.17g", d);
        return buf;
    }
    return kJsonValues[b % kJsonValues.size()];
}

inline std::string fill_slots(std::string_view tmpl, Input &in)
{
    std::string out;
    for (char c : tmpl) {
        if (c == '$')
            out += json_value(in);
        else
            out.push_back(c);
    }
    return out;
}

// One element of a batch or of the exercise figures, by style.
inline std::string entry(bool exercise, uint8_t style, size_t index)
{
    const std::string i = std::to_string(index);
    switch (style % 6) {
    case 0: // plausible figures
        if (!exercise)
            return R"({"timestamp":)" + std::to_string(1700000000000LL + 1000LL * static_cast<long long>(index)) +
                   R"(,"method":1,"latitude":37.5,"longitude":127.)" + i +
                   R"(,"altitude":10,"speed":1.5,"bearing":45,"h_accuracy":4,"v_accuracy":6})";
        return R"({"timestamp":1700000000123,"latitude":37.5,"longitude":127.25,"totalDistance":)" + i +
               R"(,"inclineDistance":10.5,"declineDistance":20.5,"flatDistance":30.5,"inclineTime":40,)"
               R"("declineTime":50,"flatTime":60,"altitude":70.5,"maxAltitude":80.5,"minAltitude":1.5,)"
               R"("speed":2.5,"maxSpeed":3.5,"averageSpeed":2.25,"pace":300.5,"maxPace":250.5,)"
               R"("averagePace":320.5,"consumedCalorie":100.5,"stepCount":1500,"basePressure":1013.25,)"
               R"("gpsStatus":2,"accuracy":5.5,"durationTime":600.9,"movingTime":500.1,"autoPauseStatus":0,)"
               R"("stepCadence":92.7})";
    case 1: // values at and past every range the host's fields have
        if (!exercise)
            return R"({"timestamp":-1,"method":9223372036854775807,"latitude":1e308,"longitude":-1e308,)"
                   R"("altitude":1e400,"speed":-0.0,"bearing":4.9e-324,"h_accuracy":32.0000001,"v_accuracy":-1e400})";
        return R"({"timestamp":-9223372036854775808,"latitude":1e308,"longitude":-1e400,"totalDistance":1e308,)"
               R"("inclineDistance":-1e308,"declineDistance":3.5e38,"flatDistance":1e-320,"inclineTime":4294967296,)"
               R"("declineTime":-2147483649,"flatTime":9223372036854775807,"altitude":1e400,"maxAltitude":-1e400,)"
               R"("minAltitude":1e39,"speed":1e300,"maxSpeed":-1e300,"averageSpeed":0.1,"pace":1e308,)"
               R"("maxPace":1e308,"averagePace":1e308,"consumedCalorie":1e308,"stepCount":-1,)"
               R"("basePressure":1e308,"gpsStatus":9223372036854775807,"accuracy":1e308,"durationTime":1e300,)"
               R"("movingTime":-2147483649.5,"autoPauseStatus":-9223372036854775808,"stepCadence":1e40})";
    case 2:
        return "{}";
    case 3: // not an object
        return i;
    case 4: // texts, nulls and booleans where numbers belong
        return R"({"timestamp":"1","latitude":null,"longitude":true,"method":"1","totalDistance":"x",)"
               R"("stepCount":null,"durationTime":"600","movingTime":false,"gpsStatus":[],"stepCadence":{}})";
    default: // nested values and keys the parsers do not know
        return R"({"timestamp":[1,2],"latitude":{"a":1},"result":1,"reason":2,"unknown":)" + i +
               R"(,"locationInfo":[],"exerciseInfo":[{}]})";
    }
}

inline std::string elements(bool exercise, size_t count, uint8_t style)
{
    std::string out = "[";
    for (size_t i = 0; i < count; ++i) {
        if (i != 0)
            out += ",";
        // Styles rotate when the style byte says so, mixing element kinds.
        out += entry(exercise, (style & 0x80) ? static_cast<uint8_t>(style + i) : style, i);
    }
    return out + "]";
}

inline constexpr std::array<const char *, 14> kPdcNames = {
    "SF1", "SF2", "SF3", "SF10", "SF19", "SF20", "SF0", "SF21", "SFX", "SF", "sf1", "SF01", "SF-1", "SF1 ",
};

inline void mutate(std::string &text, Input &in)
{
    switch (in.byte() % 4) {
    case 1:
        text.resize(text.empty() ? 0 : in.u16() % text.size());
        break;
    case 2: {
        const size_t at = in.u16() % (text.size() + 1);
        text.insert(at, in.text());
        break;
    }
    case 3: {
        if (text.empty())
            break;
        const size_t at = in.u16() % text.size();
        text[at] = static_cast<char>(in.byte());
        break;
    }
    default:
        break;
    }
}

// What a reply action delivers: bytes, or no buffer at all with a length.
struct Payload {
    bool null_buffer = false;
    unsigned int null_length = 0;
    std::string bytes;
};

inline Payload read_payload(Input &in)
{
    Payload p;
    switch (in.byte() % 7) {
    case 0:
        p.bytes = in.text();
        return p;
    case 1:
        p.bytes = fill_slots(kReplies[in.byte() % kReplies.size()], in);
        break;
    case 2: {
        const size_t count = in.byte();
        std::string head = R"({"msgId":"lbs-tracking-location-rsp","result":)" + json_value(in) + R"(,"reason":)" +
                           json_value(in) + R"(,"method":)" + json_value(in) + R"(,"locationInfo":)";
        p.bytes = head + elements(false, count, in.byte()) + "}";
        break;
    }
    case 3: {
        const size_t count = in.byte();
        std::string head = R"({"msgId":"lbs-exercise-info-rsp","result":)" + json_value(in) + R"(,"reason":)" +
                           json_value(in) + R"(,"exerciseInfo":)";
        p.bytes = head + elements(true, count, in.byte()) + "}";
        break;
    }
    case 4: {
        const size_t count = in.byte() % 32;
        p.bytes = R"({"msgId":"lbs-pdc-info-rsp","result":1)";
        for (size_t i = 0; i < count; ++i) {
            const char *name = kPdcNames[in.byte() % kPdcNames.size()];
            p.bytes += std::string(",\"") + name + "\":" + json_value(in);
        }
        p.bytes += "}";
        break;
    }
    case 5:
        p.null_buffer = true;
        p.null_length = static_cast<unsigned int>(in.v32());
        return p;
    default: {
        static constexpr std::array<size_t, 4> kSizes = {65531, 65532, 70000, 200000};
        const size_t size = kSizes[in.byte() % kSizes.size()];
        const std::string head = R"({"msgId":"lbs-gps-plus-rsp","result":1,"pad":")";
        p.bytes = head + std::string(size > head.size() + 2 ? size - head.size() - 2 : 0, 'p') + "\"}";
        return p;
    }
    }
    mutate(p.bytes, in);
    return p;
}

} // namespace session

#endif // LBS_FUZZ_SESSION_REPLIES_H
