// SPDX-License-Identifier: GPL-3.0-or-later
// Test helpers for the support library: a private preference domain per test, and
// running a program to completion.
#pragma once

#include "RunProgram.h"

#include <cstdlib>
#include <optional>
#include <string>

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

} // namespace testing_support
