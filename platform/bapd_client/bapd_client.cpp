#include "bapd_client.h"
#include "bapd_client_control.h"

#include <array>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <string_view>

namespace {

// The callbacks a service can have, in the order the control side lists them.
enum Slot {
    kDeviceStatus,
    kServiceStatus,
    kDataReceived,
    kSendCompleted,
    kFileIncoming,
    kReceivingCompleted,
    kProgress,
    kSlotCount
};

struct SlotNames {
    std::string_view setter;
    std::string_view unsetter;
};

constexpr std::array<SlotNames, kSlotCount> kSlotNames = {{
    {"bap_device_set_connection_status_changed_cb", "bap_device_unset_connection_status_changed_cb"},
    {"bap_service_set_connection_status_changed_cb", "bap_service_unset_connection_status_changed_cb"},
    {"bap_service_set_data_received_cb", "bap_service_unset_data_received_cb"},
    {"bap_service_set_data_send_completed_cb", "bap_service_unset_data_send_completed_cb"},
    {"bap_service_set_file_incoming_cb", "bap_service_unset_file_incoming_cb"},
    {"bap_service_set_file_transfer_receiving_completed_cb", "bap_service_unset_file_transfer_receiving_completed_cb"},
    {"bap_service_set_file_transfer_progress_cb", "bap_service_unset_file_transfer_progress_cb"},
}};

constexpr std::array<std::string_view, 7> kOtherCalls = {
    "bap_service_add",
    "bap_service_remove",
    "bap_device_get_connection_status",
    "bap_service_get_connection_status",
    "bap_service_send_data",
    "bap_service_file_transfer_receive",
    "bap_service_file_transfer_reject",
};

bool is_call(std::string_view name)
{
    for (const SlotNames &s : kSlotNames)
        if (s.setter == name || s.unsetter == name)
            return true;
    for (std::string_view c : kOtherCalls)
        if (c == name)
            return true;
    return false;
}

// Any callback type; converted back to the slot's own type before a call.
using AnyCallback = void (*)();

struct Callback {
    AnyCallback fn = nullptr;
    void *user_data = nullptr;
};

struct Service {
    std::string name;
    std::array<Callback, kSlotCount> callbacks{};
};

struct StoredCall {
    bap_ctl_call view{};
    std::string text;
};

// A file the phone offered, and how the client answered.
struct Transfer {
    int answer = BAP_CTL_TRANSFER_OFFERED;
    std::string path; // where an accepted transfer is stored
};

struct Daemon {
    int device_status = BAP_CONNECTION_STATUS_CONNECTED;
    int service_status = BAP_CONNECTION_STATUS_CONNECTED;
    std::map<std::string, int, std::less<>> results;
    std::map<bap_service_h, Service> services; // ordered by handle
    bap_service_h next_handle = 1;
    std::deque<StoredCall> calls;
    std::map<int, Transfer> transfers; // by transfer id
    int last_accepted = 0;             // transfer id; 0 none waiting to complete
    bap_ctl_observer observer = nullptr;
    void *observer_data = nullptr;
};

Daemon &daemon_state()
{
    static Daemon d;
    return d;
}

// The result the control side set for the call, or 0.
int configured(std::string_view name)
{
    auto it = daemon_state().results.find(name);
    return it != daemon_state().results.end() ? it->second : BAP_ERROR_NONE;
}

int record(bap_ctl_call call, const char *text = nullptr, size_t text_len = 0)
{
    Daemon &d = daemon_state();
    StoredCall &s = d.calls.emplace_back();
    if (text != nullptr) {
        s.text.assign(text, text_len);
        call.text = s.text.c_str();
    }
    s.view = call;
    if (d.observer != nullptr)
        d.observer(&s.view, d.observer_data);
    return call.result;
}

Service *find_service(bap_service_h service)
{
    auto it = daemon_state().services.find(service);
    return it != daemon_state().services.end() ? &it->second : nullptr;
}

// A set call: the configured result, else a check of handle and callback.
int set_callback(Slot slot, bap_service_h service, AnyCallback cb, void *user_data)
{
    bap_ctl_call call{};
    call.name = kSlotNames[slot].setter.data();
    call.service = service;
    call.result = configured(kSlotNames[slot].setter);
    Service *s = find_service(service);
    if (call.result == BAP_ERROR_NONE && (s == nullptr || cb == nullptr))
        call.result = BAP_ERROR_INVALID_PARAMETER;
    if (call.result == BAP_ERROR_NONE)
        s->callbacks[slot] = {cb, user_data};
    return record(call);
}

int unset_callback(Slot slot, bap_service_h service)
{
    bap_ctl_call call{};
    call.name = kSlotNames[slot].unsetter.data();
    call.service = service;
    call.result = configured(kSlotNames[slot].unsetter);
    Service *s = find_service(service);
    if (call.result == BAP_ERROR_NONE && s == nullptr)
        call.result = BAP_ERROR_INVALID_PARAMETER;
    if (call.result == BAP_ERROR_NONE)
        s->callbacks[slot] = {};
    return record(call);
}

// Calls fn(handle, callback, user data) for every service with the slot set,
// in order of handles. A callback may remove services, so the handles are
// collected first and looked up again before each call.
template <typename Cb, typename Fn> int for_each_callback(Slot slot, Fn fn)
{
    std::deque<bap_service_h> handles;
    for (const auto &[handle, service] : daemon_state().services)
        if (service.callbacks[slot].fn != nullptr)
            handles.push_back(handle);
    int called = 0;
    for (bap_service_h h : handles) {
        Service *s = find_service(h);
        if (s == nullptr || s->callbacks[slot].fn == nullptr)
            continue;
        const Callback cb = s->callbacks[slot];
        fn(h, reinterpret_cast<Cb>(cb.fn), cb.user_data);
        ++called;
    }
    return called;
}

} // namespace

// ---- The daemon calls ---------------------------------------------------------

extern "C" int bap_service_add(const char *service_name, bap_service_h *service)
{
    Daemon &d = daemon_state();
    bap_ctl_call call{};
    call.name = "bap_service_add";
    call.result = configured(call.name);
    if (call.result == BAP_ERROR_NONE && (service_name == nullptr || service == nullptr))
        call.result = BAP_ERROR_INVALID_PARAMETER;
    if (call.result == BAP_ERROR_NONE) {
        call.service = d.next_handle++;
        d.services[call.service].name = service_name;
        *service = call.service;
    }
    return record(call, service_name, service_name != nullptr ? std::strlen(service_name) : 0);
}

extern "C" int bap_service_remove(bap_service_h service)
{
    bap_ctl_call call{};
    call.name = "bap_service_remove";
    call.service = service;
    call.result = configured(call.name);
    if (call.result == BAP_ERROR_NONE && find_service(service) == nullptr)
        call.result = BAP_ERROR_INVALID_PARAMETER;
    if (call.result == BAP_ERROR_NONE)
        daemon_state().services.erase(service);
    return record(call);
}

extern "C" int bap_device_get_connection_status(bap_service_h service)
{
    bap_ctl_call call{};
    call.name = "bap_device_get_connection_status";
    call.service = service;
    auto it = daemon_state().results.find(call.name);
    call.result = it != daemon_state().results.end() ? it->second : daemon_state().device_status;
    return record(call);
}

extern "C" int bap_service_get_connection_status(bap_service_h service)
{
    bap_ctl_call call{};
    call.name = "bap_service_get_connection_status";
    call.service = service;
    auto it = daemon_state().results.find(call.name);
    call.result = it != daemon_state().results.end() ? it->second : daemon_state().service_status;
    return record(call);
}

extern "C" int bap_device_set_connection_status_changed_cb(bap_service_h service,
                                                           bap_connection_status_changed_cb cb, void *user_data)
{
    return set_callback(kDeviceStatus, service, reinterpret_cast<AnyCallback>(cb), user_data);
}

extern "C" int bap_device_unset_connection_status_changed_cb(bap_service_h service)
{
    return unset_callback(kDeviceStatus, service);
}

extern "C" int bap_service_set_connection_status_changed_cb(bap_service_h service,
                                                            bap_connection_status_changed_cb cb, void *user_data)
{
    return set_callback(kServiceStatus, service, reinterpret_cast<AnyCallback>(cb), user_data);
}

extern "C" int bap_service_unset_connection_status_changed_cb(bap_service_h service)
{
    return unset_callback(kServiceStatus, service);
}

extern "C" int bap_service_set_data_received_cb(bap_service_h service, bap_data_received_cb cb, void *user_data)
{
    return set_callback(kDataReceived, service, reinterpret_cast<AnyCallback>(cb), user_data);
}

extern "C" int bap_service_unset_data_received_cb(bap_service_h service)
{
    return unset_callback(kDataReceived, service);
}

extern "C" int bap_service_set_data_send_completed_cb(bap_service_h service, bap_data_send_completed_cb cb,
                                                      void *user_data)
{
    return set_callback(kSendCompleted, service, reinterpret_cast<AnyCallback>(cb), user_data);
}

extern "C" int bap_service_unset_data_send_completed_cb(bap_service_h service)
{
    return unset_callback(kSendCompleted, service);
}

extern "C" int bap_service_set_file_incoming_cb(bap_service_h service, bap_file_incoming_cb cb, void *user_data)
{
    return set_callback(kFileIncoming, service, reinterpret_cast<AnyCallback>(cb), user_data);
}

extern "C" int bap_service_unset_file_incoming_cb(bap_service_h service)
{
    return unset_callback(kFileIncoming, service);
}

extern "C" int bap_service_set_file_transfer_receiving_completed_cb(bap_service_h service,
                                                                    bap_file_transfer_receiving_completed_cb cb,
                                                                    void *user_data)
{
    return set_callback(kReceivingCompleted, service, reinterpret_cast<AnyCallback>(cb), user_data);
}

extern "C" int bap_service_unset_file_transfer_receiving_completed_cb(bap_service_h service)
{
    return unset_callback(kReceivingCompleted, service);
}

extern "C" int bap_service_set_file_transfer_progress_cb(bap_service_h service, bap_file_transfer_progress_cb cb,
                                                         void *user_data)
{
    return set_callback(kProgress, service, reinterpret_cast<AnyCallback>(cb), user_data);
}

extern "C" int bap_service_unset_file_transfer_progress_cb(bap_service_h service)
{
    return unset_callback(kProgress, service);
}

extern "C" int bap_service_send_data(bap_service_h service, unsigned int length, const void *data)
{
    bap_ctl_call call{};
    call.name = "bap_service_send_data";
    call.service = service;
    call.length = data != nullptr ? length : 0;
    call.result = configured(call.name);
    if (call.result == BAP_ERROR_NONE &&
        (find_service(service) == nullptr || data == nullptr || length > BAP_MAX_DATA_LENGTH))
        call.result = BAP_ERROR_INVALID_PARAMETER;
    return record(call, static_cast<const char *>(data), call.length);
}

extern "C" int bap_service_file_transfer_receive(bap_transfer_h transfer, const char *file_path, int transfer_id)
{
    bap_ctl_call call{};
    call.name = "bap_service_file_transfer_receive";
    call.transfer = transfer;
    call.transfer_id = transfer_id;
    call.result = configured(call.name);
    if (call.result == BAP_ERROR_NONE && file_path == nullptr)
        call.result = BAP_ERROR_INVALID_PARAMETER;
    if (call.result == BAP_ERROR_NONE) {
        Transfer &t = daemon_state().transfers[transfer_id];
        t.answer = BAP_CTL_TRANSFER_ACCEPTED;
        t.path = file_path;
        daemon_state().last_accepted = transfer_id;
    }
    return record(call, file_path, file_path != nullptr ? std::strlen(file_path) : 0);
}

extern "C" int bap_service_file_transfer_reject(bap_transfer_h transfer, int transfer_id)
{
    bap_ctl_call call{};
    call.name = "bap_service_file_transfer_reject";
    call.transfer = transfer;
    call.transfer_id = transfer_id;
    call.result = configured(call.name);
    if (call.result == BAP_ERROR_NONE)
        daemon_state().transfers[transfer_id].answer = BAP_CTL_TRANSFER_REJECTED;
    return record(call);
}

// ---- Control ------------------------------------------------------------------

extern "C" void bap_ctl_set_observer(bap_ctl_observer observer, void *user_data)
{
    daemon_state().observer = observer;
    daemon_state().observer_data = user_data;
}

extern "C" void bap_ctl_reset(void)
{
    Daemon &d = daemon_state();
    bap_ctl_observer observer = d.observer;
    void *observer_data = d.observer_data;
    d = Daemon{};
    d.observer = observer;
    d.observer_data = observer_data;
}

extern "C" void bap_ctl_set_device_status(int status)
{
    daemon_state().device_status = status;
    daemon_state().results.erase("bap_device_get_connection_status");
    for_each_callback<bap_connection_status_changed_cb>(kDeviceStatus, [status](bap_service_h h, auto cb, void *ud) {
        cb(h, static_cast<bap_connection_status_e>(status), ud);
    });
}

extern "C" void bap_ctl_set_service_status(int status)
{
    daemon_state().service_status = status;
    daemon_state().results.erase("bap_service_get_connection_status");
    for_each_callback<bap_connection_status_changed_cb>(kServiceStatus, [status](bap_service_h h, auto cb, void *ud) {
        cb(h, static_cast<bap_connection_status_e>(status), ud);
    });
}

extern "C" int bap_ctl_set_result(const char *name, int result)
{
    if (name == nullptr || !is_call(name))
        return 0;
    daemon_state().results[name] = result;
    return 1;
}

extern "C" int bap_ctl_is_call_name(const char *name)
{
    return name != nullptr && is_call(name) ? 1 : 0;
}

extern "C" size_t bap_ctl_call_count(void)
{
    return daemon_state().calls.size();
}

extern "C" const bap_ctl_call *bap_ctl_call_at(size_t index)
{
    return index < daemon_state().calls.size() ? &daemon_state().calls[index].view : nullptr;
}

extern "C" size_t bap_ctl_count_calls(const char *name)
{
    size_t n = 0;
    for (const StoredCall &c : daemon_state().calls)
        if (name != nullptr && std::strcmp(c.view.name, name) == 0)
            ++n;
    return n;
}

extern "C" size_t bap_ctl_service_count(void)
{
    return daemon_state().services.size();
}

extern "C" int bap_ctl_has_callback(bap_service_h service, const char *setter_name)
{
    const Service *s = find_service(service);
    if (s == nullptr || setter_name == nullptr)
        return 0;
    for (size_t i = 0; i < kSlotNames.size(); ++i)
        if (kSlotNames[i].setter == setter_name)
            return s->callbacks[i].fn != nullptr ? 1 : 0;
    return 0;
}

extern "C" int bap_ctl_data_received(unsigned int length, const void *data)
{
    return for_each_callback<bap_data_received_cb>(kDataReceived, [&](bap_service_h h, auto cb, void *ud) {
        cb(h, length, data, ud);
    });
}

extern "C" int bap_ctl_send_completed(int result)
{
    return for_each_callback<bap_data_send_completed_cb>(kSendCompleted, [&](bap_service_h h, auto cb, void *ud) {
        cb(h, result, ud);
    });
}

extern "C" int bap_ctl_file_incoming(bap_transfer_h transfer, const char *file_name, int transfer_id)
{
    daemon_state().transfers[transfer_id] = Transfer{};
    return for_each_callback<bap_file_incoming_cb>(kFileIncoming, [&](bap_service_h, auto cb, void *ud) {
        cb(transfer, file_name, transfer_id, ud);
    });
}

extern "C" int bap_ctl_file_receiving_completed(int status, const char *file_path, int transfer_id)
{
    return for_each_callback<bap_file_transfer_receiving_completed_cb>(
        kReceivingCompleted, [&](bap_service_h h, auto cb, void *ud) { cb(h, status, file_path, transfer_id, ud); });
}

extern "C" int bap_ctl_file_progress(int transfer_id, unsigned int percent)
{
    return for_each_callback<bap_file_transfer_progress_cb>(kProgress, [&](bap_service_h h, auto cb, void *ud) {
        cb(h, transfer_id, percent, ud);
    });
}

extern "C" int bap_ctl_transfer_answer(int transfer_id, const char **path)
{
    const auto it = daemon_state().transfers.find(transfer_id);
    if (it == daemon_state().transfers.end())
        return BAP_CTL_TRANSFER_UNKNOWN;
    if (path != nullptr)
        *path = it->second.answer == BAP_CTL_TRANSFER_ACCEPTED ? it->second.path.c_str() : nullptr;
    return it->second.answer;
}

extern "C" int bap_ctl_last_accepted_transfer(void)
{
    return daemon_state().last_accepted;
}

extern "C" int bap_ctl_complete_transfer(int transfer_id, int status)
{
    Daemon &d = daemon_state();
    const auto it = d.transfers.find(transfer_id);
    if (it == d.transfers.end() || it->second.answer != BAP_CTL_TRANSFER_ACCEPTED)
        return -1;
    // The transfer ends here whatever the client does with the report.
    const std::string path = it->second.path;
    it->second.answer = BAP_CTL_TRANSFER_ENDED;
    if (d.last_accepted == transfer_id)
        d.last_accepted = 0;
    return bap_ctl_file_receiving_completed(status, path.c_str(), transfer_id);
}
