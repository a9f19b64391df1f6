#include "lbs_sim_plugin.h"

#include <dlfcn.h>

namespace lbs_sim {

std::unique_ptr<Plugin> Plugin::load(const std::string &path, std::string *error)
{
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char *why = dlerror();
        *error = why != nullptr ? why : "cannot load " + path;
        return nullptr;
    }
    using Entry = const lbs_consumer_plugin_interface_s *(*)();
    auto entry = reinterpret_cast<Entry>(dlsym(handle, "get_lbs_consumer_plugin_interface"));
    if (entry == nullptr) {
        *error = path + ": no get_lbs_consumer_plugin_interface";
        dlclose(handle);
        return nullptr;
    }
    const lbs_consumer_plugin_interface_s *ops = entry();
    if (ops == nullptr || ops->init == nullptr || ops->deinit == nullptr || ops->request == nullptr) {
        *error = path + ": get_lbs_consumer_plugin_interface gave no complete operation table";
        dlclose(handle);
        return nullptr;
    }
    return std::unique_ptr<Plugin>(new Plugin(ops));
}

} // namespace lbs_sim
