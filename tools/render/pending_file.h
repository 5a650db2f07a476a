// SPDX-License-Identifier: GPL-3.0-or-later
// A file written under a temporary name beside its destination and renamed into place only
// once it is complete, so a failed or interrupted render never leaves a partial file behind.
#pragma once

#include <string>

namespace zembra::render {

class PendingFile {
  public:
    // Creates the temporary file in the destination's folder; throws InputError when the
    // folder cannot take it.
    explicit PendingFile(std::string destination);
    ~PendingFile(); // removes the temporary file unless committed
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // The temporary file, open for writing. Writers work on a dup() of it: the original
    // stays with this object, which closes it on commit or destruction.
    int descriptor() const { return mFd; }
    const std::string& destination() const { return mDestination; }

    // Renames the finished file into place; throws std::runtime_error on failure.
    void commit();

  private:
    std::string mDestination;
    std::string mTemporary;
    int mFd = -1;
    bool mCommitted = false;
};

} // namespace zembra::render
