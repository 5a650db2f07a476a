// Sound files for the end-to-end suites: the A and B material every host test feeds the
// plug-in, reading and comparing results, and the zembra-render reference for given settings.
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace e2e {

struct Sound {
    int channels = 0;
    std::vector<float> samples; // interleaved
    float at(size_t frame, int channel) const { return samples[frame * channels + channel]; }
    size_t frames() const { return samples.size() / static_cast<size_t>(channels); }
};

void writeSound(const std::filesystem::path& path, const Sound& s); // 48 kHz, 32-bit float
Sound readSound(const std::filesystem::path& path);                 // empty when unreadable

// A voice-like buzz as A and a detuned saw chord as B, 1.5 s at 48 kHz: the two-channel file
// lv2file reads (A left, B right) and the two mono files zembra-render reads, in a fresh
// folder of the work directory.
struct Material {
    std::filesystem::path dir, both, a, b;
};
Material makeMaterial(const std::string& name);

// The largest difference over both channels, or infinity when the shapes differ.
double maxDifference(const Sound& x, const Sound& y);
double rms(const Sound& s);

// zembra-render --raw (the engine's 2048-sample delay kept) on the material with host values
// of the twelve parameters, keyed by parameter id. The sources may be preceded by silence:
// `leadA` samples before A, `leadB` before B (the output grows by the larger).
Sound renderReference(const Material& m, const std::map<int, float>& hostValues, size_t leadA = 0,
                      size_t leadB = 0);

} // namespace e2e
