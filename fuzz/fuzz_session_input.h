// How fuzz_plugin_session reads its input: a stream of actions, each an
// opcode byte followed by its arguments. Every byte string is a valid input:
// a read past the end yields zeros, and every selector is taken modulo the
// size of what it selects from. fuzz/make_session_seeds.py writes the same
// format; the numbers below are shared with it and must not move.
//
// Argument encodings:
//   V32   one selector byte b: b < 0xf0 picks kIntPool[b % size]; 0xf0..0xfe
//         pick the call site's context values (the agent id the framework
//         saw last, the last accepted transfer, ...; kIntPool when the site
//         has none); 0xff is followed by a raw little-endian int32.
//   V64   as V32, 0xff followed by a raw int64.
//   F32   b < 0xff picks kFloatPool[b % size]; 0xff: a raw float.
//   F64   b < 0xff picks kDoublePool[b % size]; 0xff: a raw double.
//   TEXT  0: NULL; 1: the following bytes up to a NUL (the NUL is consumed),
//         a leading "$EXTRA/" standing for the plugin's file directory;
//         0xf0: the path of the last file the plugin accepted from the
//         accessory framework, 0xf1: the same for the BLE daemon (NULL when
//         none); other values pick from kFileNames.
#ifndef LBS_FUZZ_SESSION_INPUT_H
#define LBS_FUZZ_SESSION_INPUT_H

#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>

namespace session {

enum Op : uint8_t {
    kOpInit = 0,
    kOpDeinit = 1,
    kOpRequest = 2,
    kOpSetKey = 3,
    kOpKovConnected = 4,
    kOpKovAuto = 5,
    kOpKovResult = 6,
    kOpKovRegiCfrm = 7,
    kOpKovDeregiCfrm = 8,
    kOpKovPeerFound = 9,
    kOpKovConnCfrm = 10,
    kOpKovConnInd = 11,
    kOpKovTermInd = 12,
    kOpKovError = 13,
    kOpKovDeviceStatus = 14,
    kOpKovData = 15,
    kOpKovSendFile = 16,
    kOpKovReceiveCompleted = 17,
    kOpKovOther = 18,
    kOpBapDevice = 19,
    kOpBapService = 20,
    kOpBapResult = 21,
    kOpBapData = 22,
    kOpBapFileIncoming = 23,
    kOpBapFileCompleted = 24,
    kOpBapTransferDone = 25,
    kOpBapOther = 26,
    kOpStorage = 27,
    kOpAlarmFail = 28,
    kOpAdvance = 29,
    kOpFireNext = 30,
    kOpDrain = 31,
    kOpIterate = 32,
    kOpPowerFail = 33,
    kOpVconfFailNotify = 34,
    kOpPlant = 35,
    kOpCount = 36,
};

// Settings keys by selector; selector 4 reads the key as TEXT.
inline constexpr std::array<const char *, 4> kKeys = {
    "memory/wms/wmanager_connected",
    "memory/private/weconn/ios_connected",
    "memory/private/kov/conn_status",
    "memory/private/kov/conn_type",
};

// Framework calls whose result can be set (kov_ctl_set_result), by selector.
inline constexpr std::array<const char *, 11> kKovCalls = {
    "registerNotifications",   "deregisterNotifications",   "registerFTNotifications",
    "registerServiceAgent",    "deRegisterServiceAgent",    "findPeerAgent",
    "createServiceConnection", "rejectServiceConnection",   "terminateServiceConnection",
    "sendData",                "receiveFile",
};

// Daemon calls whose result can be set (bap_ctl_set_result), by selector.
inline constexpr std::array<const char *, 21> kBapCalls = {
    "bap_service_add",
    "bap_service_remove",
    "bap_device_get_connection_status",
    "bap_service_get_connection_status",
    "bap_service_send_data",
    "bap_service_file_transfer_receive",
    "bap_service_file_transfer_reject",
    "bap_device_set_connection_status_changed_cb",
    "bap_device_unset_connection_status_changed_cb",
    "bap_service_set_connection_status_changed_cb",
    "bap_service_unset_connection_status_changed_cb",
    "bap_service_set_data_received_cb",
    "bap_service_unset_data_received_cb",
    "bap_service_set_data_send_completed_cb",
    "bap_service_unset_data_send_completed_cb",
    "bap_service_set_file_incoming_cb",
    "bap_service_unset_file_incoming_cb",
    "bap_service_set_file_transfer_receiving_completed_cb",
    "bap_service_unset_file_transfer_receiving_completed_cb",
    "bap_service_set_file_transfer_progress_cb",
    "bap_service_unset_file_transfer_progress_cb",
};

// Small and boundary integers: request codes, statuses, results, reasons,
// handles, ids, seconds. Index 0 is 0.
inline constexpr std::array<int32_t, 64> kIntPool = {
    0,          1,          2,           3,          4,         5,         6,          7,
    8,          9,          10,          11,         12,        13,        14,         15,
    16,         20,         30,          45,         60,        100,       150,        151,
    169,        255,        256,         300,        360,       1000,      3600,       65531,
    65532,      -1,         -2,          -3,         -4,        -5,        -6,         -7,
    -8,         -9,         -100,        -999,      -200,       769,       929,        768,
    1024,       28672,      28673,       28696,     28697,      24576,     24589,      5000,
    0x7fffffff, INT32_MIN, 0x40000000,  -0x40000000, 0xffff,   0x10000,   42,         4242,
};

inline const std::array<float, 24> kFloatPool = {
    0.0f,     1.0f,     -1.0f,   0.5f,    15.5f,   175.5f,  70.25f,  1013.25f,
    32.0f,    32.5f,    1e30f,   -1e30f,  FLT_MAX, -FLT_MAX, FLT_MIN, 1e-45f,
    -0.0f,    std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
    std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(), 5000.5f, 2.5f, 1e10f,
};

inline const std::array<double, 20> kDoublePool = {
    0.0,     1.0,      -1.0,     37.5,     127.25,  -90.0,   180.0,   1e308,
    -1e308,  DBL_MAX,  DBL_MIN,  4.9e-324, -0.0,    32.0,    32.5,    1e20,
    std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
};

// Storage sizes in bytes around the plugin's thresholds.
inline constexpr std::array<uint64_t, 16> kByteSizes = {
    0,           1,           6291455,     6291456,     105906175,  105906176,  1073741824,  1073741825,
    2147483648,  4294967296,  8589934592,  1ULL << 40,  1ULL << 50, 4096,       1000,       UINT64_MAX,
};

// File names and paths the phone or the platform may hand over, hostile ones
// included. Built lazily: some are long.
inline const std::string &file_name(size_t index)
{
    static const std::array<std::string, 43> names = {
        "gpsPlus.dat",
        "map.jpg",
        "/phone/files/gpsPlus.dat",
        "/phone/files/map.jpg",
        "../../x/gpsPlus.dat",
        "../map.jpg",
        "/",
        "",
        ".",
        "..",
        "//",
        "gpsPlus.dat/",
        "map.jpg/..",
        "/etc/gpsPlus.dat",
        "/tmp/map.jpg",
        "xgpsPlus.dat",
        "gpsPlus.dat.bak",
        "gps\nPlus.dat",
        "gpsPlus.dat\n",
        "%s%s%s%n.dat",
        "/phone/%n%s/gpsPlus.dat",
        std::string(300, 'a') + "/gpsPlus.dat",
        std::string(5000, 'b'),
        "/" + [] { std::string s; for (int i = 0; i < 2000; ++i) s += "x/"; return s; }() + "map.jpg",
        "$EXTRA/gpsPlus.dat",
        "$EXTRA/map.jpg",
        "$EXTRA/../gpsPlus.dat",
        "$EXTRA/sub/map.jpg",
        "$EXTRA/xgpsPlus.dat",
        "$EXTRA/",
        "C:\\gpsPlus.dat",
        "gpsPlus.dat\t",
        "./gpsPlus.dat",
        "map.jpg/.",
        "/phone/files/gpsPlus.dat/",
        "gpsPlus.dat%00.jpg",
        std::string(66000, 'c'), // a text that makes a request longer than a message may be
        "../../x",
        "a/b",
        std::string(4096, 'n'), // one byte more than a path may hold with its NUL
        "gps\x01Plus\x7f.dat",
        "map.jpg\r\nLBS_CONSUMER_PLUGIN: forged line",
        "\x1b[2Jmap.jpg",
    };
    return names[index % names.size()];
}

// The input, consumed from the front.
class Input {
public:
    Input(const uint8_t *data, size_t size) : p_(data), end_(data + size) {}

    bool empty() const { return p_ >= end_; }

    uint8_t byte() { return p_ < end_ ? *p_++ : 0; }

    template <typename T> T raw()
    {
        T value{};
        unsigned char bytes[sizeof(T)] = {};
        for (unsigned char &b : bytes)
            b = byte();
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

    uint16_t u16() { return raw<uint16_t>(); }

    // Bytes up to a NUL or the end; the NUL is consumed.
    std::string text()
    {
        std::string s;
        while (p_ < end_ && *p_ != 0)
            s.push_back(static_cast<char>(*p_++));
        if (p_ < end_)
            ++p_;
        return s;
    }

    int32_t v32(std::initializer_list<int32_t> context = {})
    {
        const uint8_t b = byte();
        if (b == 0xff)
            return raw<int32_t>();
        if (b >= 0xf0 && static_cast<size_t>(b - 0xf0) < context.size())
            return context.begin()[b - 0xf0];
        return kIntPool[b % kIntPool.size()];
    }

    int64_t v64()
    {
        const uint8_t b = byte();
        if (b == 0xff)
            return raw<int64_t>();
        return kIntPool[b % kIntPool.size()];
    }

    float f32()
    {
        const uint8_t b = byte();
        return b == 0xff ? raw<float>() : kFloatPool[b % kFloatPool.size()];
    }

    double f64()
    {
        const uint8_t b = byte();
        return b == 0xff ? raw<double>() : kDoublePool[b % kDoublePool.size()];
    }

    uint64_t bytes_size()
    {
        const uint8_t b = byte();
        return b == 0xff ? raw<uint64_t>() : kByteSizes[b % kByteSizes.size()];
    }

private:
    const uint8_t *p_;
    const uint8_t *end_;
};

} // namespace session

#endif // LBS_FUZZ_SESSION_INPUT_H
