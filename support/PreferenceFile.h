// SPDX-License-Identifier: GPL-3.0-or-later
// One preference file: a property-list dictionary that several host processes may read
// and change at the same time.
//
// Reads never lock: a save replaces the file in one rename, so a reader sees the old or the
// new file, never a mix. Saves take an advisory lock on "<file>.lock" around their
// read-modify-write, so two processes saving different keys at the same moment both land.
// A file that cannot be read or parsed reads as empty and is logged once; the next save
// moves it aside to "<file>.corrupt-<time>" (it is never deleted) and starts a fresh one.
// Something that is not a regular file (a FIFO, a folder, a device), or a file too large
// to be a property list, also reads as empty and is logged once, but is never opened for
// reading blockingly, moved or replaced: saves fail until it is taken away. The lock, the
// temporary files and the replace all follow a symbolic link to the file it names.
#pragma once

#include "platform/foundation/PropertyList.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace zembra {

class PreferenceFile {
  public:
    explicit PreferenceFile(std::filesystem::path path) : mPath(std::move(path)) {}

    const std::filesystem::path& path() const { return mPath; }

    fnd::PlistDict read() const;
    std::optional<fnd::PlistValue> value(std::string_view key) const;

    // Sets `key` to `value`, or removes it when `value` is nullopt, and writes the file
    // before returning. False when the change could not be written (the file on disk is
    // then unchanged). Keys and strings holding a NUL byte are refused.
    bool update(std::string_view key, std::optional<fnd::PlistValue> value) const;

  private:
    std::filesystem::path mPath;
};

} // namespace zembra
