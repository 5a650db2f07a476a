// SPDX-License-Identifier: GPL-3.0-or-later
// The blend: short-time spectra of A and B cross-faded along Y and, towards the middle of X,
// the fine structure of one source shaped by the spectral envelope of the other; then
// overlap-add resynthesis with the dry sources mixed in.
#include "blend_weights.h"
#include "denormals.h"
#include "fast_atan2.h"
#include "fast_sincos.h"
#include "instance.h"
#include "simd.h"
#include "transforms.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace zembra;

namespace {

constexpr double kInputOffset = 0.001;
constexpr double kClipCeiling = 0.999;
constexpr float kFineStructureCap = 100.0f;
constexpr double kQuadratureCrossFeed = -0.25;

inline float clipSample(float v) {
    if (static_cast<double>(v) > kClipCeiling) return static_cast<float>(kClipCeiling);
    return std::max(-1.0f, v); // NaN becomes -1.0 rather than poisoning a whole frame
}

inline float offsetAndClip(float v) {
    return clipSample(static_cast<float>(static_cast<double>(v) + kInputOffset));
}

// The controller input on top of the pad's position, kept on the pad.
inline float blendPosition(float controller, float pos) {
    const float v = controller + pos;
    if (!(v >= 0.0f)) return 0.0f; // NaN included
    return std::min(v, 1.0f);
}

__attribute__((always_inline)) inline void polarForm(const float* spec, float* mag, float* phase) {
    for (long j = 0; j < kBlendBins; ++j) {
        const float re = spec[2 * j], im = spec[2 * j + 1];
        mag[j] = std::sqrt(re * re + im * im);
        phase[j] = fastAtan2(im, re);
    }
}

long envelopeWidth(float x) {
    const float width = std::clamp(2048.0f * x * x * x, 2.0f, 2048.0f);
    return static_cast<long>(width);
}

__attribute__((always_inline)) inline void synthesise(RTzembraInstance* instance,
                                                      const BlendWeights* weights, float position) {
    RTzembraInstance& s = *instance;
    const BlendWeights& w = *weights;
    const auto [notY, y] = crossFade(position);
    for (long j = 0; j < kBlendBins; ++j) {
        // Both ratios are formed before the test so the loop has no branch to vectorise.
        const float ratioA = std::min(s.magA[j] / s.envA[j], kFineStructureCap);
        const float ratioB = std::min(s.magB[j] / s.envB[j], kFineStructureCap);
        const float fineA = s.envA[j] > 0.0f ? ratioA : 1.0f;
        const float fineB = s.envB[j] > 0.0f ? ratioB : 1.0f;
        const auto [sA, cA] = fastSinCos(s.phaseA[j]);
        const auto [sB, cB] = fastSinCos(s.phaseB[j]);
        const float paRe = s.magA[j] * cA, paIm = s.magA[j] * sA;
        const float pbRe = s.magB[j] * cB, pbIm = s.magB[j] * sB;
        const float crossA = s.envB[j] * fineA; // fine structure of A on the envelope of B
        const float crossB = s.envA[j] * fineB; // fine structure of B on the envelope of A

        const float fadeRe = notY * paRe + y * pbRe, fadeIm = notY * paIm + y * pbIm;
        const float backRe = notY * pbRe + y * paRe, backIm = notY * pbIm + y * paIm;
        const float crossRe = y * crossB * cB + notY * crossA * cA;
        const float crossIm = y * crossB * sB + notY * crossA * sA;
        s.specA[2 * j] = static_cast<float>(w.a * fadeRe + w.b * backRe +
                                            static_cast<double>(crossRe * w.cross));
        s.specA[2 * j + 1] = static_cast<float>(w.a * fadeIm + w.b * backIm +
                                                static_cast<double>(crossIm * w.cross));
    }
    // One-sided, without the mean: the inverse transform then gives the analytic signal.
    s.specA[0] = 0.0f;
    std::memset(s.specA + 2 * kBlendBins, 0, sizeof(float) * 2 * (kFrameSize - kBlendBins));
}

void overlapAdd(RTzembraInstance& s) {
    const float volume = s.volume, mixA = s.mixA, mixB = s.mixB;
    for (long k = 0; k < kFrameSize; ++k) {
        const float re = s.specA[2 * k], im = s.specA[2 * k + 1];
        float l = re, r = re;
        if (s.stereoMode) {
            l = static_cast<float>(static_cast<double>(re) +
                                   kQuadratureCrossFeed * static_cast<double>(im));
            r = static_cast<float>(static_cast<double>(im) +
                                   kQuadratureCrossFeed * static_cast<double>(re));
        }
        const float dry = (s.frameB[k] * mixB + s.frameA[k] * mixA) * 0.5f;
        const float g = 2.0f * s.synthesisWindow[k];
        s.outAccL[k] += (l * volume + dry) * g;
        s.outAccR[k] += (r * volume + dry) * g;
    }
}

// Once per hop: slide the frames, analyse, blend, resynthesise into the accumulators.
void blockStep(RTzembraInstance& s) {
    constexpr size_t kHopBytes = sizeof(float) * kHop;
    std::memmove(s.frameA, s.frameA + kHop, kHopBytes);
    std::memmove(s.frameB, s.frameB + kHop, kHopBytes);
    std::memmove(s.outAccL, s.outAccL + kHop, kHopBytes);
    std::memmove(s.outAccR, s.outAccR + kHop, kHopBytes);
    std::memcpy(s.frameA + kHop, s.inRingA, kHopBytes);
    std::memcpy(s.frameB + kHop, s.inRingB, kHopBytes);
    std::memset(s.outAccL + kHop, 0, kHopBytes);
    std::memset(s.outAccR + kHop, 0, kHopBytes);

    for (long k = 0; k < kFrameSize; ++k) {
        s.specA[2 * k] = s.analysisWindow[k] * s.frameA[k];
        s.specA[2 * k + 1] = s.analysisWindow[k] * s.frameB[k];
    }
    fftTwoRealPlanned(s.specA, s.specB, s.fft);
    runWide<polarForm>(static_cast<const float*>(s.specA), s.magA, s.phaseA);
    runWide<polarForm>(static_cast<const float*>(s.specB), s.magB, s.phaseB);

    const float x = blendPosition(s.controllerValue[s.xSource], s.posX);
    const float y = blendPosition(s.controllerValue[s.ySource], s.posY);
    const long width = envelopeWidth(x);
    smoothSpectrumCached(s.magA, width, s.envA, kEnvelopeWindowType, s.fft, s.smoothing);
    smoothSpectrumCached(s.magB, width, s.envB, kEnvelopeWindowType, s.fft, s.smoothing);

    const BlendWeights weights = blendWeights(x);
    runWide<synthesise>(&s, &weights, y);
    fftInversePlanned(s.fft, s.specA);
    overlapAdd(s);
}

} // namespace

extern "C" void RTzembra(const float* inA, const float* inB, float* outL, float* outR, long frames,
                         RTzembraInstance* instance, long replace) {
    RTzembraInstance& s = *instance;
    if (s.initialised == 0) return;
    setProcessing(s, 1);
    const DenormalsOff denormalsOff;
    for (long i = 0; i < frames; ++i) {
        const float a = offsetAndClip(inA[i]);
        const float b = offsetAndClip(inB[i]);
        const long pos = s.writePos;
        s.inRingA[pos] = a;
        s.inRingB[pos] = b;

        float l = 0.0f, r = 0.0f;
        if (s.soloA) l = r = a;
        if (s.soloB) {
            l += b;
            r += b;
        }
        if (!s.soloA && !s.soloB) {
            l = s.outAccL[pos];
            r = s.outAccR[pos];
        }
        l = clipSample(l);
        r = clipSample(r);
        if (replace) {
            outL[i] = l;
            outR[i] = r;
        } else {
            outL[i] += l;
            outR[i] += r;
        }

        if (pos < kHop - 1) {
            s.writePos = pos + 1;
        } else {
            blockStep(s);
            s.writePos = 0;
        }
    }
    setProcessing(s, 0);
}
