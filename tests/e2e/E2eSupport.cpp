// SPDX-License-Identifier: GPL-3.0-or-later
// Children bounded by timeouts, a plug-in client's environment, a JACK server of our own.
#include "E2eSupport.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace e2e {

using namespace std::chrono_literals;

Child spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& outputFile) {
    int outPipe[2] = {-1, -1}, inPipe[2];
    const bool toFile = !outputFile.empty();
    if (toFile) {
        outPipe[1] = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        outPipe[0] = open(outputFile.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if ((toFile ? outPipe[0] < 0 || outPipe[1] < 0 : pipe2(outPipe, O_CLOEXEC) != 0) ||
        pipe2(inPipe, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 2);
    std::vector<std::string> environment = env;
    for (char** e = environ; *e; ++e)
        environment.emplace_back(*e); // ours first: the first of a name wins
    std::vector<char*> args, envs;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    for (const auto& e : environment)
        envs.push_back(const_cast<char*>(e.c_str()));
    args.push_back(nullptr);
    envs.push_back(nullptr);
    Child child;
    if (posix_spawnp(&child.pid, args[0], &actions, nullptr, args.data(), envs.data()) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(inPipe[0]);
    child.out = outPipe[0];
    child.in = inPipe[1];
    return child;
}

void endInput(Child& child) {
    close(child.in);
    child.in = -1;
}

bool running(const Child& child) {
    siginfo_t info{};
    return child.pid > 0 &&
           waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

Result finish(Child& child, std::chrono::milliseconds timeout) {
    Result r;
    if (child.pid < 0) return r;
    fcntl(child.out, F_SETFL, O_NONBLOCK);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    const auto drain = [&] {
        char buffer[4096];
        for (ssize_t n; (n = read(child.out, buffer, sizeof buffer)) > 0;)
            r.output.append(buffer, static_cast<size_t>(n));
    };
    for (;;) {
        drain();
        if (waitpid(child.pid, &status, WNOHANG) == child.pid) {
            r.finished = true;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child.pid, SIGKILL);
            waitpid(child.pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    drain();
    close(child.out);
    if (child.in >= 0) close(child.in);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

Result run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
           std::chrono::milliseconds timeout) {
    Child child = spawn(argv, env);
    endInput(child);
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
    const bool stopped = finish(jackd, 10s).finished;
    jackd = {};
    return stopped;
}

Result JackServer::query(const std::vector<std::string>& argv) const {
    Result r;
    eventually([&] { return (r = run(argv, env, 10s)).status == 0; }, 10s);
    return r;
}

} // namespace e2e
