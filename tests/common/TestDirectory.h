// SPDX-License-Identifier: GPL-3.0-or-later
// A fresh temporary directory per test, removed with everything in it afterwards.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace testing_support {

class TestDirectory {
  public:
    TestDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zembra-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        mPath = pattern;
    }
    ~TestDirectory() {
        std::error_code ec;
        std::filesystem::remove_all(mPath, ec);
    }
    TestDirectory(const TestDirectory&) = delete;
    TestDirectory& operator=(const TestDirectory&) = delete;

    const std::filesystem::path& path() const { return mPath; }
    std::filesystem::path operator/(std::string_view name) const { return mPath / name; }

  private:
    std::filesystem::path mPath;
};

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Empty when the file cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

} // namespace testing_support
