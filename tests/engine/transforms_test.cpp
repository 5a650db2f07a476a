// SPDX-License-Identifier: GPL-3.0-or-later
// The spectral smoother, the exported windows and the phase approximation. (The two-real split
// shows in every blend: a pure source passes only if A and B are kept apart.)
#include "engine_test_support.h"
#include "fast_atan2.h"
#include "smooth_spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numeric>

using namespace zembra;
using namespace zembra::test;

namespace {

constexpr long kN = 2048, kLog2N = 11, kBins = kN / 2 + 1;
const std::vector<float> kTable = quarterCosTable(kN);

std::vector<float> smoothed(const std::vector<float>& mag, long width) {
    std::vector<float> env(kBins);
    smoothSpectrum(mag.data(), kN, width, env.data(), 5, kTable.data(), kLog2N);
    return env;
}

} // namespace

// A flat magnitude stays flat but for the edges of the widest window; the narrowest widths
// give the mean; widths out of range stay inside the window.
TEST(SmoothSpectrum, FlatStaysFlatNarrowestGivesTheMeanAndAnyWidthStaysFinite) {
    const std::vector<float> flat(kBins, 1.0f);
    const std::vector<float> wide = smoothed(flat, 2048);
    for (long k = 5; k <= 1020; ++k)
        EXPECT_NEAR(wide[k], 1.0f, 1e-3f) << k;
    for (float v : smoothed(flat, 16))
        EXPECT_NEAR(v, 1.0f, 4e-3f);

    const std::vector<float> mag = noise(kBins, 3, 0.0f, 2.0f);
    const double mean = std::accumulate(mag.begin(), mag.begin() + kN / 2, 0.0) / (kN / 2);
    for (long width : {2L, 3L})
        for (float v : smoothed(mag, width))
            ASSERT_NEAR(v, mean, 1e-4) << width;
    for (long width : {0L, 1L, 5000L, -7L})
        for (float v : smoothed(flat, width))
            ASSERT_TRUE(std::isfinite(v)) << width;
}

TEST(SmoothSpectrum, InstancesKeepTheirOwnCaches) {
    // Two smoothers at different widths, interleaved, each match a smoother used alone.
    auto one = std::make_unique<SmoothingCache>(), two = std::make_unique<SmoothingCache>();
    ASSERT_TRUE(smoothingInit(*one, kLog2N, kTable.data()) &&
                smoothingInit(*two, kLog2N, kTable.data()));
    const std::vector<float> mag = noise(kBins, 5, 0.0f, 1.0f);
    std::vector<float> envOne(kBins), envTwo(kBins);
    smoothSpectrumCached(mag.data(), 256, envOne.data(), 5, *one);
    smoothSpectrumCached(mag.data(), 40, envTwo.data(), 5, *two);
    smoothSpectrumCached(mag.data(), 256, envOne.data(), 5, *one);
    EXPECT_EQ(envOne, smoothed(mag, 256));
    EXPECT_EQ(envTwo, smoothed(mag, 40));
}

// The analysis window's shape shows in every blend; these are the exported windows' guards
// for other callers: nothing written for sizes they cannot take, no division by zero.
TEST(Windows, RefuseSizesTheyCannotTake) {
    std::vector<float> w(16, -1.0f);
    makeTrapezoidWindow(w.data(), 16, 0);
    EXPECT_TRUE(makeWelchWindow(w.data(), 9000) == 0.0 && makeWelchWindow(w.data(), 1) == 0.0);
    EXPECT_EQ(w, std::vector<float>(16, -1.0f));
    EXPECT_NEAR(makeWelchWindow(w.data(), 8), 0.5714, 1e-4); // the window's mean
}

TEST(FastAtan2, WithinFiveThousandthsOfARadianAroundTheCircle) {
    for (int i = 0; i < 3600; ++i) {
        const double angle = -M_PI + (i + 0.5) * (2.0 * M_PI / 3600.0);
        const auto re = static_cast<float>(std::cos(angle) * 3.0);
        const auto im = static_cast<float>(std::sin(angle) * 3.0);
        const float phi = fastAtan2(im, re);
        ASSERT_NEAR(phi, std::atan2(im, re), 0.005) << angle;
        ASSERT_LE(std::fabs(phi), 3.1415927f);
    }
    EXPECT_EQ(fastAtan2(1.0f, 0.0f), 1.5707964f);
    EXPECT_EQ(fastAtan2(-1.0f, 0.0f), -1.5707964f);
    EXPECT_EQ(fastAtan2(0.0f, 0.0f), 0.0f);
    EXPECT_EQ(fastAtan2(2.0f, std::nanf("")), 1.5707964f);
}
