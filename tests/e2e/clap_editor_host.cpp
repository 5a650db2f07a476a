// SPDX-License-Identifier: GPL-3.0-or-later
// A CLAP host for the editor tests: opens the plug-in's editor in a floating window on $DISPLAY,
// runs its timers as a host's event loop does, and closes everything when its input ends.
// Prints "shown <width>x<height>" once the editor is up. Usage: clap_editor_host <module>
#include "ClapHost.h"

#include <cstdio>
#include <poll.h>
#include <string>
#include <unistd.h>

using namespace e2e;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <module.clap>\n", argv[0]);
        return 2;
    }
    std::string error;
    const clap_plugin_factory_t* factory = clapFactory(argv[1], error);
    if (!factory || factory->get_plugin_count(factory) != 1) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    ClapHost host;
    const clap_plugin_t* plugin = factory->create_plugin(
        factory, host.clap(), factory->get_plugin_descriptor(factory, 0)->id);
    const auto* gui = plugin && plugin->init(plugin)
                          ? clapExtension<clap_plugin_gui_t>(plugin, CLAP_EXT_GUI)
                          : nullptr;
    uint32_t width = 0, height = 0;
    if (!gui || !gui->create(plugin, CLAP_WINDOW_API_X11, true) || !gui->show(plugin) ||
        !gui->get_size(plugin, &width, &height)) {
        std::fprintf(stderr, "the editor did not open\n");
        return 1;
    }
    std::printf("shown %ux%u\n", width, height);
    std::fflush(stdout);
    // About 60 timer rounds a second until our input ends.
    for (;;) {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (poll(&in, 1, 16) > 0) {
            char buffer[64];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) break;
        }
        host.runTimers(plugin);
    }
    gui->hide(plugin);
    gui->destroy(plugin);
    plugin->destroy(plugin);
    std::printf("closed\n");
    return 0;
}
