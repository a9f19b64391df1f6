#include "vconf.h"
#include "vconf_control.h"

#include <glib.h>

#include <deque>
#include <map>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

struct _keynode_t {
    std::string name;
    std::variant<int, double> value; // bools and ints are both kept as int
};

namespace {

struct Watcher {
    std::string key;
    vconf_callback_fn cb;
    void *user_data;
    unsigned serial; // identifies this registration across removal
};

struct Notification {
    keynode_t node;
    unsigned serial;
};

struct Store {
    std::map<std::string, std::variant<int, double>> keys;
    std::vector<Watcher> watchers;
    std::deque<Notification> queued;
    unsigned next_serial = 1;
    guint idle_id = 0;
    bool fail_notify = false;
    bool fail_ignore = false;
};

Store &store()
{
    static Store s;
    return s;
}

template <typename T> int read_key(const char *key, T *out)
{
    if (key == nullptr || out == nullptr)
        return VCONF_ERROR;
    auto it = store().keys.find(key);
    if (it == store().keys.end())
        return VCONF_ERROR;
    if (const int *i = std::get_if<int>(&it->second)) {
        *out = static_cast<T>(*i);
        return VCONF_OK;
    }
    const double d = std::get<double>(it->second);
    if constexpr (std::is_integral_v<T>) {
        // A double key read as a number of another type: the store refuses
        // it rather than convert what has no integer value.
        return VCONF_ERROR;
    } else {
        *out = static_cast<T>(d);
        return VCONF_OK;
    }
}

bool still_registered(unsigned serial, Watcher *found)
{
    for (const Watcher &w : store().watchers) {
        if (w.serial == serial) {
            *found = w;
            return true;
        }
    }
    return false;
}

size_t deliver_queued()
{
    size_t delivered = 0;
    // A callback may write keys itself; what it queues is delivered in turn.
    while (!store().queued.empty()) {
        Notification n = std::move(store().queued.front());
        store().queued.pop_front();
        Watcher w{};
        if (!still_registered(n.serial, &w))
            continue;
        w.cb(&n.node, w.user_data);
        ++delivered;
    }
    return delivered;
}

gboolean deliver_cb(gpointer)
{
    store().idle_id = 0;
    deliver_queued();
    return G_SOURCE_REMOVE;
}

void write_key(const char *key, std::variant<int, double> value)
{
    if (key == nullptr)
        return;
    Store &s = store();
    s.keys[key] = value;
    for (const Watcher &w : s.watchers)
        if (w.key == key)
            s.queued.push_back({{key, value}, w.serial});
    if (!s.queued.empty() && s.idle_id == 0)
        s.idle_id = g_idle_add(deliver_cb, nullptr);
}

} // namespace

extern "C" int vconf_get_bool(const char *in_key, int *boolval)
{
    int v = 0;
    if (read_key(in_key, &v) != VCONF_OK)
        return VCONF_ERROR;
    *boolval = v != 0;
    return VCONF_OK;
}

extern "C" int vconf_get_int(const char *in_key, int *intval)
{
    return read_key(in_key, intval);
}

extern "C" int vconf_get_dbl(const char *in_key, double *dblval)
{
    return read_key(in_key, dblval);
}

extern "C" int vconf_notify_key_changed(const char *in_key, vconf_callback_fn cb, void *user_data)
{
    Store &s = store();
    if (in_key == nullptr || cb == nullptr || s.fail_notify)
        return VCONF_ERROR;
    for (const Watcher &w : s.watchers)
        if (w.key == in_key && w.cb == cb)
            return VCONF_OK;
    s.watchers.push_back({in_key, cb, user_data, s.next_serial++});
    return VCONF_OK;
}

extern "C" int vconf_ignore_key_changed(const char *in_key, vconf_callback_fn cb)
{
    Store &s = store();
    if (in_key == nullptr || cb == nullptr || s.fail_ignore)
        return VCONF_ERROR;
    for (auto it = s.watchers.begin(); it != s.watchers.end(); ++it) {
        if (it->key == in_key && it->cb == cb) {
            s.watchers.erase(it);
            return VCONF_OK;
        }
    }
    return VCONF_ERROR;
}

extern "C" const char *vconf_keynode_get_name(keynode_t *keynode)
{
    return keynode != nullptr ? keynode->name.c_str() : nullptr;
}

extern "C" int vconf_keynode_get_bool(keynode_t *keynode)
{
    if (keynode == nullptr)
        return VCONF_ERROR;
    if (const int *i = std::get_if<int>(&keynode->value))
        return *i != 0;
    return std::get<double>(keynode->value) != 0.0;
}

extern "C" int vconf_keynode_get_int(keynode_t *keynode)
{
    if (keynode == nullptr)
        return VCONF_ERROR;
    if (const int *i = std::get_if<int>(&keynode->value))
        return *i;
    return static_cast<int>(std::get<double>(keynode->value));
}

extern "C" double vconf_keynode_get_dbl(keynode_t *keynode)
{
    if (keynode == nullptr)
        return VCONF_ERROR;
    if (const int *i = std::get_if<int>(&keynode->value))
        return *i;
    return std::get<double>(keynode->value);
}

extern "C" void vconf_ctl_set_bool(const char *key, int value)
{
    write_key(key, value != 0 ? 1 : 0);
}

extern "C" void vconf_ctl_set_int(const char *key, int value)
{
    write_key(key, value);
}

extern "C" void vconf_ctl_set_dbl(const char *key, double value)
{
    write_key(key, value);
}

extern "C" void vconf_ctl_unset(const char *key)
{
    if (key != nullptr)
        store().keys.erase(key);
}

extern "C" void vconf_ctl_reset(void)
{
    Store &s = store();
    if (s.idle_id != 0)
        g_source_remove(s.idle_id);
    s = Store{};
}

extern "C" void vconf_ctl_fail_notify(int on)
{
    store().fail_notify = on != 0;
}

extern "C" void vconf_ctl_fail_ignore(int on)
{
    store().fail_ignore = on != 0;
}

extern "C" size_t vconf_ctl_watcher_count(const char *key)
{
    size_t n = 0;
    for (const Watcher &w : store().watchers)
        if (key != nullptr && w.key == key)
            ++n;
    return n;
}

extern "C" size_t vconf_ctl_flush(void)
{
    Store &s = store();
    if (s.idle_id != 0) {
        g_source_remove(s.idle_id);
        s.idle_id = 0;
    }
    return deliver_queued();
}
