// SPDX-License-Identifier: GPL-3.0-or-later
// A host that loads and unloads the plug-in module again and again: each load starts the
// controller thread on the real USB stack, each unload must join it, and nothing of the
// module (a thread, a SIGINT handler) may outlive it.
#include "controller/Klov.h"

#include "SupportTestEnvironment.h"

#include <gtest/gtest.h>

#include <csignal>
#include <dlfcn.h>
#include <filesystem>
#include <thread>

namespace {

bool moduleMapped() {
    const std::string maps = testing_support::readFile("/proc/self/maps");
    return maps.find(std::filesystem::path(ZEMBRA_TEST_KLOV_MODULE).filename().string()) !=
           std::string::npos;
}

std::size_t threadCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

void (*sigintHandler())(int) {
    struct sigaction now {};
    ::sigaction(SIGINT, nullptr, &now);
    return now.sa_handler;
}

// Where SIGINT has its default the module installs a handler of its own; a host's own handler
// stays as it is (Ctrl-C must reach a host that saves its session first).
TEST(KlovModule, LoadAndUnloadFiftyTimes) {
    testing_support::PreferenceSandbox prefs; // no preference file: support is on
    struct sigaction saved {};
    ::sigaction(SIGINT, nullptr, &saved);
    void (*const hostHandler)(int) = [](int) {};

    // Counted after the first round: a sanitizer runtime starts a thread of its own the
    // first time the process makes one.
    std::size_t before = 0;
    for (int i = 0; i < 50; ++i) {
        if (i == 1) before = threadCount();
        void (*const host)(int) = i % 2 ? hostHandler : SIG_DFL;
        std::signal(SIGINT, host);
        ::testing::internal::CaptureStdout();
        void* module = ::dlopen(ZEMBRA_TEST_KLOV_MODULE, RTLD_NOW | RTLD_LOCAL);
        const std::string printed = ::testing::internal::GetCapturedStdout();
        ASSERT_NE(module, nullptr) << ::dlerror();
        EXPECT_EQ(printed, "<KLOV> supported\n");
        auto* runLoop = static_cast<std::atomic<usb::Context*>*>(::dlsym(module, "gRunLoop"));
        ASSERT_TRUE(runLoop);
        // Unload while the thread is inside its event loop, with its SIGINT handler in place.
        for (long spins = 0; !runLoop->load() && spins < 100'000'000; ++spins)
            std::this_thread::yield();
        ASSERT_NE(runLoop->load(), nullptr) << "the controller thread never reached its loop";
        if (host == SIG_DFL)
            EXPECT_NE(sigintHandler(), SIG_DFL);
        else
            EXPECT_EQ(sigintHandler(), host) << "the host's own SIGINT handler was replaced";

        ASSERT_EQ(::dlclose(module), 0);
        ASSERT_FALSE(moduleMapped()) << "the module was not unloaded: its cleanup never ran";
        ASSERT_EQ(sigintHandler(), host) << "SIGINT no longer has the host's disposition";
    }
    EXPECT_EQ(threadCount(), before);
    ::sigaction(SIGINT, &saved, nullptr);
}

} // namespace
