// SPDX-License-Identifier: GPL-3.0-or-later
// Running a program of the build to completion, with what it wrote and the memory it took.
#pragma once

#include "TestDirectory.h"

#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace testing_support {

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
    long peakKilobytes; // the child's largest resident set
};

// Runs `argv` to completion in `cwd` (this process's when empty), with stdout and stderr
// captured through files in `scratch`.
inline RunResult run(const std::vector<std::string>& argv, const std::filesystem::path& scratch,
                     const std::filesystem::path& cwd = {}) {
    const auto out = scratch / "stdout.txt";
    const auto err = scratch / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    std::vector<char*> args;
    std::vector<std::string> copies = argv;
    for (auto& a : copies)
        args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    int status = -1;
    rusage usage{};
    if (::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0)
        ::wait4(pid, &status, 0, &usage);
    posix_spawn_file_actions_destroy(&actions);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err),
            usage.ru_maxrss};
}

} // namespace testing_support
