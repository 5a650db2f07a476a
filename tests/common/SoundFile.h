// SPDX-License-Identifier: GPL-3.0-or-later
// Sound files for the suites that write test material and read back what was rendered.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sndfile.h>
#include <vector>

namespace testing_support {

struct Sound {
    int channels = 0;
    std::vector<float> samples; // interleaved
    int rate = 48000;
    size_t frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
    float at(size_t frame, int channel = 0) const { return samples[frame * channels + channel]; }
};

inline void writeSound(const std::filesystem::path& path, const Sound& sound,
                       int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
    SF_INFO info{0, sound.rate, sound.channels, format, 0, 0};
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << path << ": " << sf_strerror(nullptr);
    sf_writef_float(f, sound.samples.data(), static_cast<sf_count_t>(sound.frames()));
    sf_close(f);
}

// Empty (no channels) when the file cannot be read.
inline Sound readSound(const std::filesystem::path& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return {};
    Sound sound{info.channels, std::vector<float>(static_cast<size_t>(info.frames * info.channels)),
                info.samplerate};
    sf_readf_float(f, sound.samples.data(), info.frames);
    sf_close(f);
    return sound;
}

} // namespace testing_support
