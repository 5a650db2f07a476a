// SPDX-License-Identifier: GPL-3.0-or-later
// A minimal CLAP host from the CLAP headers DPF ships: it loads a module and offers the host
// side DPF asks for (parameters, latency, thread checks, requests, the editor's window, timers).
#pragma once

#include "clap/entry.h"
#include "clap/ext/gui.h"
#include "clap/ext/latency.h"
#include "clap/ext/params.h"
#include "clap/ext/thread-check.h"
#include "clap/ext/timer-support.h"
#include "clap/plugin-factory.h"

#include <string>
#include <vector>

namespace e2e {

// Loads the module once per process and leaves it loaded (what it registers at load lives as
// long as the process); null with `error` set when it cannot.
const clap_plugin_factory_t* clapFactory(const char* module, std::string& error);

template <typename Extension>
const Extension* clapExtension(const clap_plugin_t* plugin, const char* id) {
    return static_cast<const Extension*>(plugin->get_extension(plugin, id));
}

// One thread is both main and audio thread here.
class ClapHost {
  public:
    ClapHost();
    ClapHost(const ClapHost&) = delete;
    ClapHost& operator=(const ClapHost&) = delete;

    const clap_host_t* clap() const { return &mHost; }
    // Calls the plug-in's timers, as a host's event loop does while its editor is open.
    void runTimers(const clap_plugin_t* plugin) const;

    int restarts = 0, latencyChanges = 0;

  private:
    static ClapHost& self(const clap_host_t* h) { return *static_cast<ClapHost*>(h->host_data); }
    static const void* extension(const clap_host_t* h, const char* id);

    std::vector<clap_id> mTimers;
    clap_id mNextTimer = 0;
    clap_host_t mHost;
};

} // namespace e2e
