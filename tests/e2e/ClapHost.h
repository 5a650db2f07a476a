// SPDX-License-Identifier: GPL-3.0-or-later
// A minimal CLAP host for the tests, written from the CLAP headers DPF ships: it loads a module
// and offers plug-ins the host side DPF asks for (parameters, latency, thread checks, the three
// requests, and for the editor the window and timer services).
#pragma once

#include "clap/entry.h"
#include "clap/ext/gui.h"
#include "clap/ext/latency.h"
#include "clap/ext/params.h"
#include "clap/ext/thread-check.h"
#include "clap/ext/timer-support.h"
#include "clap/plugin-factory.h"

#include <cstdint>
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

// Everything runs on one thread, which is both main and audio thread here.
class ClapHost {
  public:
    ClapHost();
    ClapHost(const ClapHost&) = delete;
    ClapHost& operator=(const ClapHost&) = delete;

    const clap_host_t* clap() const { return &mHost; }
    // Calls the plug-in's timers, as a host's event loop does while its editor is open.
    void runTimers(const clap_plugin_t* plugin) const;

    int restarts = 0, callbacks = 0, latencyChanges = 0, editorClosed = 0;

  private:
    static ClapHost& self(const clap_host_t* h) { return *static_cast<ClapHost*>(h->host_data); }
    static const void* extension(const clap_host_t* h, const char* id);

    std::vector<clap_id> mTimers;
    clap_id mNextTimer = 0;
    clap_host_t mHost;
};

} // namespace e2e
