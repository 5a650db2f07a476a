// SPDX-License-Identifier: GPL-3.0-or-later
// Programs the tests start: run to completion or left running, with entries added to the
// environment, stdin held open, and a bound on how long they may take; what they wrote, how
// they ended and the memory they took.
#pragma once

#include "TestDirectory.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace testing_support {

struct RunResult {
    int exitCode = -1; // the exit status, or 128 + the signal that ended it
    std::string out;   // stdout, and stderr with it when they were merged
    std::string err;
    long peakKilobytes = 0; // the child's largest resident set
    bool finished = false;  // false: it did not start, or was killed at the timeout
};

struct RunOptions {
    std::vector<std::string> env; // entries added to ours; they win over ours
    std::filesystem::path cwd;    // ours when empty
    bool mergeErr = false;        // stderr into stdout, in the order written
    // Where a long-lived child logs both streams, to be read while it runs (a scratch file
    // of the child's own when empty).
    std::filesystem::path outputFile;
};

// A started child. Its output goes to files, never to a pipe that would stop it once full.
struct Child {
    pid_t pid = -1;
    int in = -1;                    // its stdin, while we hold it open
    std::filesystem::path out, err; // err is empty when merged into out
    std::shared_ptr<TestDirectory> scratch;
};

// Starts argv (looked up on PATH when it has no slash) with a pipe for stdin, so clients that
// quit at the end of their input run until endInput.
inline Child spawn(const std::vector<std::string>& argv, const RunOptions& options = {}) {
    Child child;
    child.scratch = std::make_shared<TestDirectory>();
    child.out = options.outputFile.empty() ? *child.scratch / "stdout" : options.outputFile;
    if (!options.mergeErr && options.outputFile.empty()) child.err = *child.scratch / "stderr";
    int in[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC;
    posix_spawn_file_actions_addopen(&actions, 1, child.out.c_str(), flags, 0644);
    if (child.err.empty())
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, child.err.c_str(), flags, 0644);
    if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());
    std::vector<std::string> args = argv, environment = options.env;
    for (char** e = environ; *e; ++e)
        environment.emplace_back(*e); // after the added ones: the first of a name counts
    const auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> p;
        for (auto& s : strings)
            p.push_back(s.data());
        p.push_back(nullptr);
        return p;
    };
    if (::posix_spawnp(&child.pid, args[0].c_str(), &actions, nullptr, pointers(args).data(),
                       pointers(environment).data()) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    child.in = in[1];
    return child;
}

// Closes the child's stdin: clients that read it see its end.
inline void endInput(Child& child) {
    if (child.in >= 0) ::close(child.in);
    child.in = -1;
}

// Whether the child has not exited yet (it is not reaped: finish still gets its status).
inline bool running(const Child& child) {
    siginfo_t info{};
    return child.pid > 0 &&
           ::waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

// Waits for the child to exit, killing it once `timeout` has passed, and collects its output.
inline RunResult finish(Child& child, std::chrono::milliseconds timeout) {
    RunResult r;
    endInput(child);
    if (child.pid <= 0) return r;
    // Its pidfd turns readable when it exits. (Glibc 2.36 declares pidfd_open without C
    // linkage, so it is called by number.)
    pollfd ended{static_cast<int>(::syscall(SYS_pidfd_open, child.pid, 0)), POLLIN, 0};
    r.finished = ::poll(&ended, 1, static_cast<int>(timeout.count())) == 1;
    if (!r.finished) ::kill(child.pid, SIGKILL);
    int status = 0;
    rusage usage{};
    ::wait4(child.pid, &status, 0, &usage);
    ::close(ended.fd);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.peakKilobytes = usage.ru_maxrss;
    r.out = readFile(child.out);
    if (!child.err.empty()) r.err = readFile(child.err);
    child = {};
    return r;
}

inline RunResult run(const std::vector<std::string>& argv, const RunOptions& options = {},
                     std::chrono::milliseconds timeout = std::chrono::minutes(5)) {
    Child child = spawn(argv, options);
    return finish(child, timeout);
}

// The first callers' form, stdout and stderr apart. The scratch directory is no longer used.
inline RunResult run(const std::vector<std::string>& argv, const std::filesystem::path&,
                     const std::filesystem::path& cwd = {}) {
    RunOptions options;
    options.cwd = cwd;
    return run(argv, options);
}

} // namespace testing_support
