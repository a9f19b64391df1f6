/*
 * The plugin as the host sees it: a shared library opened with dlopen, its
 * one exported function, the table of three operations it returns.
 */
#ifndef LBS_SIM_PLUGIN_H
#define LBS_SIM_PLUGIN_H

#include <lbs_consumer_plugin.h>

#include <memory>
#include <string>

namespace lbs_sim {

class Plugin {
public:
    // nullptr with *error set when the library or its entry cannot be had.
    static std::unique_ptr<Plugin> load(const std::string &path, std::string *error);

    const lbs_consumer_plugin_interface_s &ops() const { return *ops_; }

private:
    explicit Plugin(const lbs_consumer_plugin_interface_s *ops) : ops_(ops) {}

    // The library stays loaded until the process ends: the platform
    // stand-ins keep pointers to its callbacks for as long as they live.
    const lbs_consumer_plugin_interface_s *ops_;
};

} // namespace lbs_sim

#endif // LBS_SIM_PLUGIN_H
