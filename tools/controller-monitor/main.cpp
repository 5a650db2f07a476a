// SPDX-License-Identifier: GPL-3.0-or-later
// zembra-controller-monitor: starts the controller as the plug-in does and prints what it
// sees (arrivals, removals, knob and dial values, stick positions and every notification
// the controller posts) so a user can check a Kallnor KLOV without a plug-in host.
// --simulate plays a short session on a simulated controller instead.
#include "controller/Klov.h"
#include "controller/KlovHooks.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/usb/SimContext.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

std::atomic<bool> gStopRequested{false}; // lock-free, so a signal handler may set it
std::mutex gPrintLock;
std::atomic<bool> gWasConnected{false};
std::shared_ptr<usb::SimContext> gSimulated;

void say(const std::string& line) {
    std::lock_guard lock(gPrintLock);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string format(const char* pattern, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

void usage(std::FILE* out) {
    std::fputs("usage: zembra-controller-monitor [--seconds N] [--simulate]\n"
               "\n"
               "Starts the Kallnor KLOV controller task and prints arrivals, removals,\n"
               "knob and dial values, stick positions and posted notifications as they\n"
               "happen, until Ctrl-C (or N seconds).\n"
               "  --seconds N   stop after N seconds\n"
               "  --simulate    play a short session on a simulated controller\n",
               out);
}

// Notifications arrive on the controller thread.
void observe(const void* tag) {
    auto& center = fnd::NotificationCenter::defaultCenter();
    center.addObserver(tag, klov::kKlovConnectNotification, nullptr, [](const fnd::Notification&) {
        say("posted KLOV_connect");
        if (gIsConnected.load(kRelaxed) && !gWasConnected.exchange(true)) say("controller arrived");
    });
    center.addObserver(tag, klov::kKlovDisconnectNotification, nullptr,
                       [](const fnd::Notification&) {
                           say("posted KLOV_disconnect");
                           if (!gIsConnected.load(kRelaxed) && gWasConnected.exchange(false))
                               say("controller removed");
                       });
    center.addObserver(
        tag, klov::kSetValuesFromExternalUINotification, nullptr, [](const fnd::Notification& n) {
            const float x = fnd::floatValue(n.userInfo, klov::kXValueKey).value_or(-1.0f);
            const float y = fnd::floatValue(n.userInfo, klov::kYValueKey).value_or(-1.0f);
            say(format("posted %s X-Value=%.6f Y-Value=%.6f (stick %ld %ld)",
                       klov::kSetValuesFromExternalUINotification, x, y, std::lround(x * 127.0f),
                       std::lround(y * 127.0f)));
        });
}

// Knobs and dials post nothing: the controller raises gUpdate, and we lower it.
class StatePrinter {
  public:
    void poll() {
        if (gUpdate.exchange(false, kRelaxed)) {
            const float knobs[4] = {
                gKnob1ControlValue.load(kRelaxed), gKnob2ControlValue.load(kRelaxed),
                gKnob3ControlValue.load(kRelaxed), gKnob4ControlValue.load(kRelaxed)};
            int64_t dials[4];
            for (int k = 0; k < 4; ++k)
                dials[k] = gDialValues[k].load(kRelaxed);
            if (std::memcmp(knobs, mKnobs, sizeof knobs) ||
                std::memcmp(dials, mDials, sizeof dials)) {
                say(format("knobs %g %g %g %g   dials %lld %lld %lld %lld", knobs[0], knobs[1],
                           knobs[2], knobs[3], static_cast<long long>(dials[0]),
                           static_cast<long long>(dials[1]), static_cast<long long>(dials[2]),
                           static_cast<long long>(dials[3])));
                std::memcpy(mKnobs, knobs, sizeof knobs);
                std::memcpy(mDials, dials, sizeof dials);
            }
        }
        const int16_t error = gError.load(kRelaxed);
        if (error != mError) {
            mError = error;
            say(format("a controller could not be set up (error %d): another program may be "
                       "using it, or, if this is a permissions problem, install "
                       "60-zembra-controller.rules (see README)",
                       error));
        }
    }

  private:
    float mKnobs[4] = {};
    int64_t mDials[4] = {};
    int16_t mError = 0;
};

std::shared_ptr<usb::Context> SimulatedContext() {
    return gSimulated;
}

// A short session: rest capture, knob turns, the LEDs on, the stick moved, the LEDs off,
// then the controller pulled out.
void simulate(StatePrinter& printer) {
    usb::SimContext& sim = *gSimulated;
    say("simulating a controller");
    std::size_t ledsShown = 0;
    auto settle = [&](const usb::SimDevice& device) {
        sim.settle();
        printer.poll();
        const auto writes = device.writes();
        for (; ledsShown < writes.size(); ++ledsShown) {
            std::string line = "LED report";
            for (uint8_t b : writes[ledsShown])
                line += format(" %02x", b);
            say(line);
        }
    };
    const usb::SimDevice device = sim.plugIn();
    settle(device);
    const uint8_t session[][8] = {
        {0, 0, 0x05, 128, 128, 0x00, 0x00, 0}, // stick at rest, captured
        {0, 0, 0x04, 128, 128, 0x03, 0x00, 0}, // knob 1 three steps up
        {0, 0, 0x08, 128, 128, 0x10, 0xF0, 0}, // knob 2 up, knob 3 down
        {0, 0, 0x03, 128, 128, 0x00, 0x00, 0}, // LEDs on
        {0, 0, 0x0C, 128, 128, 0x00, 0x00, 0}, // rest captured again after the LED write
        {0, 0, 0x10, 100, 100, 0x00, 0x00, 0}, // stick moved
        {0, 0, 0x14, 160, 128, 0x00, 0x00, 0}, {0, 0, 0x1A, 160, 128, 0x00, 0x00, 0}, // LEDs off
    };
    for (const auto& report : session) {
        device.sendReport(report);
        settle(device);
    }
    sim.unplug(device);
    settle(device);
}

void onSignal(int) {
    gStopRequested.store(true);
}

} // namespace

int main(int argc, char** argv) {
    bool simulated = false;
    double seconds = -1.0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--simulate") {
            simulated = true;
        } else if (arg == "--seconds" && i + 1 < argc) {
            char* end = nullptr;
            seconds = std::strtod(argv[++i], &end);
            if (*end || !(seconds >= 0.0)) {
                std::fprintf(stderr, "zembra-controller-monitor: bad --seconds '%s'\n", argv[i]);
                return 64;
            }
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else {
            usage(stderr);
            return 64;
        }
    }

    // Our own SIGINT handler first, so the controller leaves SIGINT to us.
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (simulated) {
        gSimulated = std::make_shared<usb::SimContext>();
        klov::SetContextFactory(&SimulatedContext);
    }
    int tag = 0;
    observe(&tag);
    KlovStaticInit();
    if (gKlov.task.load(kRelaxed) == 0) {
        say("controller support is off in the preferences; "
            "'zembra-defaults delete userEnableKlovSupport' turns it on");
        fnd::NotificationCenter::defaultCenter().removeObserver(&tag);
        return 2;
    }

    StatePrinter printer;
    if (simulated) {
        simulate(printer);
    } else {
        say("watching for the Kallnor KLOV (USB 14c7:0001); Ctrl-C ends");
        const auto start = std::chrono::steady_clock::now();
        while (!gStopRequested.load()) {
            printer.poll();
            if (seconds >= 0.0 &&
                std::chrono::steady_clock::now() - start >= std::chrono::duration<double>(seconds))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    KlovExitCleanup();
    fnd::NotificationCenter::defaultCenter().removeObserver(&tag);
    say("stopped");
    return 0;
}
