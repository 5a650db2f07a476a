// SPDX-License-Identifier: GPL-3.0-or-later
// Test helpers for the support library: a private preference domain per test, and
// running a program to completion.
#pragma once

#include "TestDirectory.h"

#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace testing_support {

// Sets an environment variable for the scope, restoring the old value afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : mName(name) {
        if (const char* old = std::getenv(name)) mOld = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (mOld)
            ::setenv(mName, mOld->c_str(), 1);
        else
            ::unsetenv(mName);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* mName;
    std::optional<std::string> mOld;
};

// Preferences of this test go to a directory of their own.
class PreferenceSandbox {
  public:
    PreferenceSandbox() : mConfig("XDG_CONFIG_HOME", mDir.path().string()) {}
    const std::filesystem::path& dir() const { return mDir.path(); }
    std::filesystem::path file() const { return mDir / "org.zembra.Zembra.plist"; }

  private:
    TestDirectory mDir;
    ScopedEnv mConfig;
};

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs `argv` to completion with stdout and stderr captured through files in `scratch`.
inline RunResult run(const std::vector<std::string>& argv, const std::filesystem::path& scratch) {
    const auto out = scratch / "stdout.txt";
    const auto err = scratch / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> args;
    std::vector<std::string> copies = argv;
    for (auto& a : copies)
        args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    int status = -1;
    if (::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0)
        ::waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
}

} // namespace testing_support
