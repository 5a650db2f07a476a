// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers the engine's tests share: a calloc'ed instance and signal builders.
#pragma once

#include "RTzembra.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace zembra::test {

struct FreeRecord {
    void operator()(RTzembraInstance* p) const { std::free(p); }
};
using Instance = std::unique_ptr<RTzembraInstance, FreeRecord>;

// A zero-filled record, not yet initialised.
inline Instance freshInstance() {
    return Instance(static_cast<RTzembraInstance*>(
        std::calloc(1, static_cast<size_t>(RTzembraGetStructSize()))));
}

// An initialised record with the given parameters on top of the defaults.
inline Instance instanceWith(std::initializer_list<std::pair<int, float>> params) {
    Instance inst = freshInstance();
    RTzembraSetParameter(kParamMixA, 0.0f, inst.get());
    for (auto [id, value] : params)
        RTzembraSetParameter(id, value, inst.get());
    return inst;
}

struct Stereo {
    std::vector<float> left, right;
};

// Runs RTzembra over whole signals in one call, outputs replaced.
inline Stereo blend(RTzembraInstance* inst, const std::vector<float>& a,
                    const std::vector<float>& b) {
    Stereo out{std::vector<float>(a.size()), std::vector<float>(a.size())};
    RTzembra(a.data(), b.data(), out.left.data(), out.right.data(), static_cast<long>(a.size()),
             inst, 1);
    return out;
}

// FNV-1a over the bits of two output signals: a sound pinned down in one number.
inline std::uint64_t checksum(const std::vector<float>& left, const std::vector<float>& right) {
    std::uint64_t hash = 14695981039346656037u;
    for (const auto* out : {&left, &right})
        for (float v : *out)
            for (int shift = 0; shift < 32; shift += 8)
                hash =
                    (hash ^ ((std::bit_cast<std::uint32_t>(v) >> shift) & 0xFF)) * 1099511628211u;
    return hash;
}

// `length` samples of seeded white noise, uniform between `low` and `high`.
inline std::vector<float> noise(size_t length, unsigned seed, float low = -0.5f,
                                float high = 0.5f) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(low, high);
    std::vector<float> v(length);
    for (float& x : v)
        x = u(rng);
    return v;
}

inline std::vector<float> impulse(size_t length, size_t at, float height) {
    std::vector<float> v(length, 0.0f);
    v[at] = height;
    return v;
}

// The cosine table the engine builds for an n-point transform: cos(2 pi k / n), k = 0..n/4.
inline std::vector<float> quarterCosTable(long n) {
    std::vector<float> table;
    for (long k = 0; k <= n / 4; ++k)
        table.push_back(k == 0 ? 1.0f : static_cast<float>(std::cos(2.0 * M_PI * k / n)));
    return table;
}

} // namespace zembra::test
