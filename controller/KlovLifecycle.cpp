// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's lifecycle: start at load unless the preference turns it off, the
// controller thread with its USB event loop, device arrival and set-up, removal, and the
// stop at unload or exit.
#include "controller/Klov.h"
#include "controller/KlovHooks.h"
#include "controller/KlovPrivate.h"

#include "platform/foundation/Log.h"
#include "platform/usb/LibusbContext.h"
#include "support/Preferences.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#include <string>
#include <unistd.h>

// The Itanium C++ ABI's exit registration; __dso_handle names the module this code is in.
extern "C" int __cxa_atexit(void (*function)(void*), void* argument, void* dso);
extern "C" void* __dso_handle;

// Exported state. Every one is constant-initialised and trivially destructible, so it is
// valid before any constructor of the module runs and after every destructor.
KlovTaskRecord gKlov{};
std::atomic<bool> gActive{false};
std::atomic<bool> gReadyForQuit{true};
std::atomic<bool> gIsConnected{false};
std::atomic<int16_t> gError{0};
std::atomic<usb::Context*> gRunLoop{nullptr};
std::atomic<float> gKnob1ControlValue{0.0f};
std::atomic<float> gKnob2ControlValue{0.0f};
std::atomic<float> gKnob3ControlValue{0.0f};
std::atomic<float> gKnob4ControlValue{0.0f};
std::atomic<int64_t> gDialValues[4] = {};
std::atomic<uint64_t> gDialTimestamp[4] = {};
std::atomic<float> gRulerX{0.0f};
std::atomic<float> gRulerY{0.0f};
std::atomic<float> gTraffic{0.0f};
std::atomic<bool> gUpdate{true};

namespace klov {

std::vector<std::unique_ptr<Connection>>* gConnections = nullptr;

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// Signals a host handles on its own threads; the controller thread never takes them.
constexpr int kHostSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGUSR1,
                                SIGUSR2, SIGALRM, SIGCHLD, SIGWINCH};

// Held by KlovStaticInit and KlovExitCleanup (never by the controller thread), so a start
// and a stop cannot interleave.
std::mutex gLifecycleLock;
pthread_t gThread{};
bool gExitCleanupRegistered = false;

// The running thread's context, for stopping it from another thread.
std::mutex gTaskLock;
usb::Context* gStoppableContext = nullptr; // under gTaskLock
bool gQuitRequested = false;               // under gTaskLock

std::atomic<ContextFactory> gContextFactory{nullptr};
std::atomic<bool> gSignalHandlerInstalled{false};

void SetupFailed() {
    gError.store(kKlovSetupError, kRelaxed);
}

bool IsDefaultDisposition(const struct sigaction& action) {
    return !(action.sa_flags & SA_SIGINFO) && action.sa_handler == SIG_DFL;
}

// SIGINT ends the process at once, as interrupted, but only in a process where nobody else
// cares about SIGINT: a host that installed a handler, or ignores the signal, keeps its own
// behaviour. Installed while the module loads, before the host goes on: from the controller
// thread it could land after a handler the host installs right after loading us (as the
// standalone does in main) and replace it.
void InstallSignalHandler() {
    struct sigaction current {};
    if (::sigaction(SIGINT, nullptr, &current) != 0 || !IsDefaultDisposition(current)) return;
    struct sigaction ours {};
    ours.sa_handler = SignalHandler;
    sigemptyset(&ours.sa_mask);
    if (::sigaction(SIGINT, &ours, nullptr) == 0) gSignalHandlerInstalled.store(true, kRelaxed);
}

// Our handler must not outlive the code it points into once the module is unloaded.
void RemoveSignalHandler() {
    if (!gSignalHandlerInstalled.exchange(false, kRelaxed)) return;
    struct sigaction current {};
    if (::sigaction(SIGINT, nullptr, &current) != 0) return;
    if ((current.sa_flags & SA_SIGINFO) || current.sa_handler != SignalHandler) return;
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(SIGINT, &fallback, nullptr);
}

std::shared_ptr<usb::Context> MakeContext() {
    if (ContextFactory factory = gContextFactory.load(kRelaxed)) return factory();
    usb::Status status = usb::kSuccess;
    auto context = usb::createLibusbContext(&status);
    if (!context)
        fnd::log(fnd::LogLevel::Notice,
                 std::string("<KLOV> USB is not available: ") + usb::statusText(status));
    return context;
}

class Watcher final : public usb::Listener {
  public:
    void deviceArrived(const std::shared_ptr<usb::Device>& device) override { DeviceAdded(device); }
    void deviceRemoved(const std::shared_ptr<usb::Device>& device) override {
        DeviceRemoved(device);
    }
};

Connection* Find(const usb::Device& device) {
    for (const auto& c : *gConnections)
        if (c->device.get() == &device && !c->removed) return c.get();
    return nullptr;
}

// Closes what the record holds and drops it.
void Forget(Connection& connection) {
    ReleaseInterface(connection);
    if (connection.device) connection.device->close();
    std::erase_if(*gConnections, [&](const auto& c) { return c.get() == &connection; });
}

bool AnyConnected() {
    for (const auto& c : *gConnections)
        if (!c->removed && !c->lost) return true;
    return false;
}

void* TaskEntry(void*) {
    SetupDevice(nullptr);
    return nullptr;
}

void ExitCleanupOfModule(void*) {
    KlovExitCleanup();
}

} // namespace

void SetContextFactory(ContextFactory factory) {
    gContextFactory.store(factory, kRelaxed);
}

void ResetControllerState() {
    gActive.store(false, kRelaxed);
    gReadyForQuit.store(true, kRelaxed);
    gIsConnected.store(false, kRelaxed);
    gError.store(0, kRelaxed);
    for (auto* knob :
         {&gKnob1ControlValue, &gKnob2ControlValue, &gKnob3ControlValue, &gKnob4ControlValue})
        knob->store(0.0f, kRelaxed);
    for (int k = 0; k < 4; ++k) {
        gDialValues[k].store(0, kRelaxed);
        gDialTimestamp[k].store(0, kRelaxed);
    }
    gRulerX.store(0.0f, kRelaxed);
    gRulerY.store(0.0f, kRelaxed);
    gTraffic.store(0.0f, kRelaxed);
    gUpdate.store(true, kRelaxed);
}

void SignalHandler(int signal) {
    // Only async-signal-safe calls here; the kernel releases the USB handles. Then the
    // process ends as interrupted, as it would have without us, so whoever started it
    // (a script rendering through a host) does not take the interruption for a success.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    sigset_t self;
    sigemptyset(&self);
    sigaddset(&self, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &self, nullptr); // blocked while its handler runs
    ::raise(signal);
    ::_exit(128 + signal); // not reached: the default action ends the process
}

int SetupDevice(void*) {
    std::shared_ptr<usb::Context> context = MakeContext();
    if (!context) return -1;

    std::vector<std::unique_ptr<Connection>> connections;
    gConnections = &connections;
    Watcher watcher;
    {
        std::lock_guard lock(gTaskLock);
        gStoppableContext = context.get();
        if (gQuitRequested) context->stop(); // asked to stop before we got here
    }

    int result = 0;
    // Arrivals of controllers already plugged in are delivered first thing in run().
    if (context->watch(kKlovVendorId, kKlovProductId, watcher) != usb::kSuccess) {
        fnd::log(fnd::LogLevel::Notice, "<KLOV> cannot watch for the controller");
        result = -1;
    } else {
        gRunLoop.store(context.get(), kRelaxed);
        context->run();
        gRunLoop.store(nullptr, kRelaxed);
    }

    // run() has ended every read; what is still open closes here, on the thread that
    // opened it, before the context goes.
    while (!connections.empty())
        Forget(*connections.back());
    gConnections = nullptr;
    gIsConnected.store(false, kRelaxed);
    {
        std::lock_guard lock(gTaskLock);
        gStoppableContext = nullptr;
    }
    return result;
}

void DeviceAdded(const std::shared_ptr<usb::Device>& device) {
    if (device->vendorId() != kKlovVendorId || device->productId() != kKlovProductId) {
        SetupFailed(); // released unopened
        return;
    }
    // Nothing here may disturb a controller that another process is reading (a DAW, while
    // a plug-in scanner loads us): no reset, no request that changes its state (see
    // ConfigureDevice). Claiming the interface is what tells us whether it is free.
    if (device->open() != usb::kSuccess) {
        SetupFailed();
        return;
    }

    auto& connection = *gConnections->emplace_back(std::make_unique<Connection>());
    connection.device = device;
    if (ConfigureDevice(*device) != 0 || FindInterfaces(connection) != usb::kSuccess) {
        SetupFailed();
        Forget(connection);
        return;
    }
    gIsConnected.store(true, kRelaxed);
    NotifyKlovConnected();
}

// A configured device is left as it is (the USB layer sends nothing when the configuration
// is already the active one); the system refuses to change the configuration of a device
// whose interface someone holds, so only a device nobody uses is ever configured.
int ConfigureDevice(usb::Device& device) {
    uint8_t count = 0;
    if (device.numberOfConfigurations(count) != usb::kSuccess || count == 0) return -1;
    uint8_t value = 0;
    if (device.configurationValue(0, value) != usb::kSuccess) return -1;
    return device.setConfiguration(value) == usb::kSuccess ? 0 : -1;
}

usb::Status FindInterfaces(Connection& connection) {
    // A device without an interface cannot be read, so it counts as a failed set-up
    // rather than as a controller that is there.
    std::unique_ptr<usb::Interface> interface;
    usb::Status status = connection.device->openFirstInterface(interface);
    if (status != usb::kSuccess) {
        SetupFailed();
        return status;
    }
    uint8_t count = 0;
    status = interface->numEndpoints(count);
    if (status != usb::kSuccess) {
        SetupFailed();
        interface->close();
        return status;
    }
    // Pipe 0 is the control pipe. A later pipe of the same kind replaces an earlier one.
    for (uint8_t pipe = 1; pipe <= count && pipe != 0; ++pipe) {
        usb::PipeProperties p;
        if (interface->pipeProperties(pipe, p) != usb::kSuccess) continue;
        if (p.transferType != usb::TransferType::Interrupt) continue;
        (p.direction == usb::Direction::In ? connection.inPipe : connection.outPipe) = pipe;
    }
    connection.interface = std::move(interface);

    PublishLedTarget(connection);
    SetLed(false, false, false);
    NotifyKlovConnected();

    gActive.store(true, kRelaxed);
    gReadyForQuit.store(false, kRelaxed);
    // Without an IN pipe this arms pipe 0, which the USB layer refuses: the failure path.
    status = ArmRead(connection);
    if (status == usb::kSuccess) return usb::kSuccess;
    SetupFailed();
    gActive.store(false, kRelaxed);
    gReadyForQuit.store(true, kRelaxed);
    ReleaseInterface(connection);
    return status;
}

void DeviceRemoved(const std::shared_ptr<usb::Device>& device) {
    Connection* connection = Find(*device);
    const bool toldAlready = connection && connection->lost;
    if (connection) {
        connection->removed = true;
        // A pending read ends with an error and its completion drops the record.
        if (!connection->readPending) Forget(*connection);
    }
    gIsConnected.store(AnyConnected(), kRelaxed);
    if (!toldAlready) NotifyKlovDisconnected();
}

void ForgetIfRemoved(Connection& connection) {
    if (connection.removed) Forget(connection);
}

void LoseConnection(Connection& connection, usb::Status why) {
    fnd::log(fnd::LogLevel::Notice,
             std::string("<KLOV> the controller stopped answering: ") + usb::statusText(why));
    ReleaseInterface(connection);
    connection.device->close();
    // The record stays until the system reports the removal, which then posts nothing more.
    connection.lost = true;
    gIsConnected.store(AnyConnected(), kRelaxed);
    NotifyKlovDisconnected();
}

} // namespace klov

void DestroyDevice() {
    gActive.store(false, klov::kRelaxed);
}

void CleanUpForQuit() {
    gActive.store(false, klov::kRelaxed);
    std::lock_guard lock(klov::gTaskLock);
    if (klov::gStoppableContext) klov::gStoppableContext->unwatch();
}

void KlovStaticInit() {
    std::lock_guard lock(klov::gLifecycleLock);
    if (gKlov.task.load(klov::kRelaxed) != 0) return;

    // Absent (-1) or any value but 0 means on.
    if (GetValueFromPrefsPosInt(zembra::kPrefEnableKlovSupport) != 0) {
        std::fputs("<KLOV> supported\n", stdout);
        std::fflush(nullptr);
        {
            std::lock_guard taskLock(klov::gTaskLock);
            klov::gQuitRequested = false;
        }
        // The thread starts with the host's signals blocked, so they keep going to the
        // host's own threads.
        sigset_t blocked, previous;
        sigemptyset(&blocked);
        for (int s : klov::kHostSignals)
            sigaddset(&blocked, s);
        pthread_sigmask(SIG_BLOCK, &blocked, &previous);
        klov::InstallSignalHandler();
        pthread_t thread{};
        const int error = pthread_create(&thread, nullptr, klov::TaskEntry, nullptr);
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        if (error == 0) {
            pthread_setname_np(thread, "zembra-klov");
            klov::gThread = thread;
            gKlov.task.store(static_cast<uint64_t>(thread), klov::kRelaxed);
        } else {
            klov::RemoveSignalHandler(); // no exit cleanup will run to remove it
            fnd::log(fnd::LogLevel::Error, "<KLOV> cannot start the controller thread");
        }
    } else {
        std::fputs("<KLOV> support has been disabled\n", stdout);
        std::fflush(stdout);
    }

    // Registered with this module, so it runs when the module is unloaded as well as at
    // exit, before the static objects made before this call are destroyed. (Plain atexit
    // would do the same in a plain build, but sanitizer runtimes intercept it and then
    // call it at exit even when the module is long gone.)
    if (!klov::gExitCleanupRegistered)
        klov::gExitCleanupRegistered =
            __cxa_atexit(klov::ExitCleanupOfModule, nullptr, &__dso_handle) == 0;
}

// A thread cannot be killed safely (it would leave locks held and USB handles claimed),
// and the module's code must not be unmapped under it: so the thread is asked to stop and
// joined. Stopping ends its pending reads, which closes their interfaces, then it closes
// its devices and the USB context.
void KlovExitCleanup() {
    std::lock_guard lock(klov::gLifecycleLock);
    if (gKlov.task.load(klov::kRelaxed) == 0) return;

    gActive.store(false, klov::kRelaxed);
    {
        std::lock_guard taskLock(klov::gTaskLock);
        klov::gQuitRequested = true;
        if (klov::gStoppableContext) {
            klov::gStoppableContext->unwatch();
            klov::gStoppableContext->stop();
        }
    }
    if (pthread_equal(pthread_self(), klov::gThread))
        pthread_detach(klov::gThread); // exit() called from an observer on that thread
    else
        pthread_join(klov::gThread, nullptr);
    klov::RemoveSignalHandler();
    gKlov.task.store(0, klov::kRelaxed);
}
