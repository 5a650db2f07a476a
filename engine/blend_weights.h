// SPDX-License-Identifier: GPL-3.0-or-later
// How much of each ingredient the blend takes at a pad position: the weights of the plain
// cross-fades along the edges of X and of the cross-synthesis in between. The engine blends
// with these and the editor shows them, so what the pad says is what the engine does.
#pragma once

#include <cmath>

namespace zembra {

struct BlendWeights {
    double a;    // the cross-fade (1 - Y)·A + Y·B, strongest at X = 0
    double b;    // the reversed cross-fade (1 - Y)·B + Y·A, strongest at X = 1
    float cross; // the cross-syntheses, mixed by Y
};

// The edge weights fall off as the 13th power, keeping the plain cross-fades to the outer
// parts of X and the cross-synthesis everywhere in between.
inline BlendWeights blendWeights(float x) {
    const float x3 = x * x * x;
    const float x5 = x * x * x3;
    const auto wB = static_cast<double>(x3 * (x5 * x5));
    const double u = 1.0 - static_cast<double>(x);
    const double u3 = u * u * u;
    const double u5 = u * u * u3;
    const double wA = u3 * (u5 * u5);
    const auto cross = std::sqrt(static_cast<float>((1.0 - wB) * (1.0 - wA)));
    return {wA, wB, cross};
}

// Along Y each pair is cross-faded linearly: the first of a pair takes 1 - Y, the second Y.
struct CrossFade {
    float first;
    float second;
};
inline CrossFade crossFade(float y) {
    return {1.0f - y, y};
}

// The four things a listener hears at (X, Y), each as its share of the blend: source A and
// source B themselves, A's fine structure under B's envelope ("A through B's envelope") and
// B's under A's ("B through A's envelope").
struct BlendShares {
    float a;
    float b;
    float aThroughB;
    float bThroughA;
};
inline BlendShares blendShares(float x, float y) {
    const BlendWeights w = blendWeights(x);
    const CrossFade f = crossFade(y);
    const auto wa = static_cast<float>(w.a), wb = static_cast<float>(w.b);
    return {wa * f.first + wb * f.second, wa * f.second + wb * f.first, w.cross * f.first,
            w.cross * f.second};
}

} // namespace zembra
