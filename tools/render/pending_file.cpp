// SPDX-License-Identifier: GPL-3.0-or-later
// mkstemp in the destination folder keeps the final rename on one file system, so it is atomic.
#include "pending_file.h"

#include "errors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zembra::render {

PendingFile::PendingFile(std::string destination) : mDestination(std::move(destination)) {
    const auto slash = mDestination.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : mDestination.substr(0, slash + 1);
    const std::string name =
        slash == std::string::npos ? mDestination : mDestination.substr(slash + 1);
    std::string pattern = folder + "." + name + ".partial-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    mFd = mkstemp(buffer.data());
    if (mFd < 0) {
        throw InputError("cannot write '" + mDestination + "': " + std::strerror(errno));
    }
    mTemporary = buffer.data();
    // mkstemp creates the file private to us; give the result the permissions a plain
    // create would have.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(mFd, 0666 & ~mask);
}

PendingFile::~PendingFile() {
    if (mFd >= 0) close(mFd);
    if (!mCommitted) unlink(mTemporary.c_str());
}

void PendingFile::commit() {
    if (mFd >= 0) {
        close(mFd);
        mFd = -1;
    }
    if (std::rename(mTemporary.c_str(), mDestination.c_str()) != 0) {
        throw std::runtime_error("cannot move the finished file to '" + mDestination +
                                 "': " + std::strerror(errno));
    }
    mCommitted = true;
}

} // namespace zembra::render
