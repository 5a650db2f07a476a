// SPDX-License-Identifier: GPL-3.0-or-later
// Test helpers for the support library: scoped environment variables and a private
// preference domain per test.
#pragma once

#include "RunProgram.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace testing_support {

// Sets an environment variable for the scope, restoring the old value afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value)
        : mName(name),
          mOld(std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt) {
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { mOld ? ::setenv(mName, mOld->c_str(), 1) : ::unsetenv(mName); }

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
