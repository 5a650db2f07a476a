// SPDX-License-Identifier: GPL-3.0-or-later
// Sound files from arbitrary bytes, read as zembra-render reads both its sources: from an
// anonymous memory file by its /proc path, to the end or to the first input error.
#include "errors.h"
#include "sound_io.h"

#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("fuzz-sound", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (::write(fd, data, size) == static_cast<ssize_t>(size)) {
        const std::string path = "/proc/self/fd/" + std::to_string(fd);
        try {
            zembra::render::FileSources sources(path, path);
            // Compressed silence can stand for hours of audio; a few seconds show the path.
            std::vector<float> a(4096), b(4096);
            for (int block = 0; block < 64; ++block)
                if (sources.read(a.data(), b.data(), 4096) < 4096) break;
        } catch (const zembra::render::InputError&) {
        }
    }
    ::close(fd);
    return 0;
}
