// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' CLAP host: loading the module and the host side plug-ins ask for.
#include "ClapHost.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <map>

namespace e2e {

const clap_plugin_factory_t* clapFactory(const char* module, std::string& error) {
    static std::map<std::string, const clap_plugin_entry_t*> loaded;
    auto [it, added] = loaded.try_emplace(module, nullptr);
    if (added) {
        void* handle = dlopen(module, RTLD_NOW | RTLD_LOCAL);
        auto* entry =
            handle ? static_cast<const clap_plugin_entry_t*>(dlsym(handle, "clap_entry")) : nullptr;
        if (!handle)
            error = dlerror();
        else if (!entry || !clap_version_is_compatible(entry->clap_version))
            error = "no compatible clap_entry";
        else if (!entry->init(module))
            error = "clap_entry.init failed";
        else
            it->second = entry;
    }
    if (!it->second) return nullptr;
    return static_cast<const clap_plugin_factory_t*>(
        it->second->get_factory(CLAP_PLUGIN_FACTORY_ID));
}

ClapHost::ClapHost()
    : mHost{CLAP_VERSION,
            this,
            "zembra tests",
            "Zembra",
            "",
            "1",
            extension,
            [](const clap_host_t* h) { self(h).restarts++; },
            [](const clap_host_t*) {},
            [](const clap_host_t*) {}} {}

const void* ClapHost::extension(const clap_host_t*, const char* name) {
    static const clap_host_latency_t latency = {
        [](const clap_host_t* h) { self(h).latencyChanges++; }};
    static const clap_host_thread_check_t threadCheck = {[](const clap_host_t*) { return true; },
                                                         [](const clap_host_t*) { return true; }};
    static const clap_host_params_t params = {
        [](const clap_host_t*, clap_param_rescan_flags) {},
        [](const clap_host_t*, clap_id, clap_param_clear_flags) {}, [](const clap_host_t*) {}};
    // A floating editor: the host never resizes or shows it on request.
    static const clap_host_gui_t gui = {
        [](const clap_host_t*) {}, [](const clap_host_t*, uint32_t, uint32_t) { return false; },
        [](const clap_host_t*) { return false; }, [](const clap_host_t*) { return false; },
        [](const clap_host_t*, bool) {}};
    static const clap_host_timer_support_t timers = {
        [](const clap_host_t* h, uint32_t, clap_id* id) {
            *id = self(h).mNextTimer++;
            self(h).mTimers.push_back(*id);
            return true;
        },
        [](const clap_host_t* h, clap_id id) {
            auto& all = self(h).mTimers;
            const auto it = std::find(all.begin(), all.end(), id);
            if (it == all.end()) return false;
            all.erase(it);
            return true;
        }};
    const std::map<std::string_view, const void*> offered = {{CLAP_EXT_LATENCY, &latency},
                                                             {CLAP_EXT_THREAD_CHECK, &threadCheck},
                                                             {CLAP_EXT_PARAMS, &params},
                                                             {CLAP_EXT_GUI, &gui},
                                                             {CLAP_EXT_TIMER_SUPPORT, &timers}};
    const auto it = offered.find(name);
    return it == offered.end() ? nullptr : it->second;
}

void ClapHost::runTimers(const clap_plugin_t* plugin) const {
    const auto* timer = clapExtension<clap_plugin_timer_support_t>(plugin, CLAP_EXT_TIMER_SUPPORT);
    if (!timer) return;
    for (clap_id id : std::vector<clap_id>(mTimers))
        timer->on_timer(plugin, id);
}

} // namespace e2e
