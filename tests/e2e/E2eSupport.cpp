// SPDX-License-Identifier: GPL-3.0-or-later
// Children with merged output, a plug-in client's environment, a JACK server of our own.
#include "E2eSupport.h"

#include <filesystem>
#include <thread>

namespace e2e {

using namespace std::chrono_literals;

Child spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& outputFile) {
    return testing_support::spawn(
        argv, {.env = env, .cwd = {}, .mergeErr = true, .outputFile = outputFile});
}

Result run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
           std::chrono::milliseconds timeout) {
    Child child = spawn(argv, env);
    return finish(child, timeout);
}

std::vector<std::string> hostEnv(std::vector<std::string> env) {
    env.push_back(std::string("LV2_PATH=") + ZEMBRA_E2E_LV2_DIR);
    if (*ZEMBRA_E2E_PRELOAD) {
        env.push_back(std::string("LD_PRELOAD=") + ZEMBRA_E2E_PRELOAD);
        env.push_back("ASAN_OPTIONS=detect_leaks=0");
        env.push_back(std::string("TSAN_OPTIONS=suppressions=") + ZEMBRA_E2E_TSAN_SUPPRESSIONS);
    }
    return env;
}

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds cap) {
    const auto deadline = std::chrono::steady_clock::now() + cap;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(100ms);
    }
}

bool JackServer::start(const std::string& name) {
    env = {"JACK_DEFAULT_SERVER=" + name, "JACK_NO_AUDIO_RESERVATION=1"};
    std::filesystem::create_directories(ZEMBRA_E2E_WORK_DIR);
    jackd = spawn({"jackd", "-n", name, "--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"},
                  env, std::string(ZEMBRA_E2E_WORK_DIR) + "/" + name + ".log");
    // jack_wait gives up at once while the server's socket is not there yet.
    return jackd.pid > 0 && eventually([&] {
               const Result check = run({"jack_wait", "-c"}, env, 10s);
               failure = check.output;
               return check.status == 0 && check.output.find("not running") == std::string::npos;
           });
}

bool JackServer::stop() {
    if (jackd.pid <= 0) return true;
    kill(jackd.pid, SIGTERM);
    return finish(jackd, 10s).finished;
}

Result JackServer::query(const std::vector<std::string>& argv) const {
    Result r;
    eventually([&] { return (r = run(argv, env, 10s)).status == 0; }, 10s);
    return r;
}

} // namespace e2e
