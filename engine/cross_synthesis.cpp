// SPDX-License-Identifier: GPL-3.0-or-later
// The blend: short-time spectra of A and B cross-faded along Y and, towards the middle of X,
// the fine structure of one source shaped by the spectral envelope of the other; then
// overlap-add resynthesis with the dry sources mixed in.
#include "blend_weights.h"
#include "denormals.h"
#include "fast_atan2.h"
#include "fast_sincos.h"
#include "instance.h"
#include "lanes.h"
#include "simd.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

using namespace zembra;

namespace {

constexpr double kInputOffset = 0.001;
constexpr double kClipCeiling = 0.999;
constexpr float kFineStructureCap = 100.0f;
constexpr double kQuadratureCrossFeed = -0.25;

// The largest float at or below the ceiling: a float exceeds the ceiling when it exceeds this.
constexpr float kBelowCeiling = [] {
    const auto nearest = static_cast<float>(kClipCeiling);
    return static_cast<double>(nearest) <= kClipCeiling
               ? nearest
               : std::bit_cast<float>(std::bit_cast<uint32_t>(nearest) - 1);
}();

// Written without branches and in float so that whole blocks of samples vectorise.
inline float clipSample(float v) {
    const float floored = -1.0f < v ? v : -1.0f; // NaN becomes -1.0 rather than poisoning a frame
    return v > kBelowCeiling ? static_cast<float>(kClipCeiling) : floored;
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

// The spectra of A and B, from the one transform that carries A in its real parts and B in
// its imaginary parts: A[k] = (Z[k] + conj Z[n - k]) / 2, B[k] = (Z[k] - conj Z[n - k]) / 2i,
// for the blend's bins, as real and imaginary parts in the magnitude and phase arrays
// (polarForms turns them into what the names say). Halving is exact in float as in double,
// with denormals flushed as they are while the engine runs.
__attribute__((always_inline)) inline void splitSpectra(RTzembraInstance* instance) {
    RTzembraInstance& s = *instance;
    const float* z = s.specA;
    const auto split = [&](long k, auto r1, auto i1, auto r2, auto i2) {
        using V = decltype(r1);
        store(s.magA + k, (r1 + r2) * 0.5f);
        store(s.phaseA + k, (i1 - i2) * 0.5f);
        store(s.magB + k, (i1 + i2) * 0.5f);
        store(s.phaseB + k, V{} - (r1 - r2) * 0.5f);
    };
    split(0, z[0], 0.0f, z[0], 0.0f); // bin 0 is its own mirror: (Re Z[0], 0) and (Im Z[0], 0)
    s.magB[0] = z[1];
    s.phaseB[0] = 0.0f;
    long k = 1;
    for (; k + 8 <= kBlendBins; k += 8) { // bins k to k + 7, and n - k down to n - k - 7
        const float* front = z + 2 * k;
        const float* back = z + 2 * (kFrameSize - k + 1);
        split(k, realParts(load<Lanes>(front), load<Lanes>(front + 8)),
              imaginaryParts(load<Lanes>(front), load<Lanes>(front + 8)),
              realPartsBackwards(back), imaginaryPartsBackwards(back));
    }
    for (; k < kBlendBins; ++k)
        split(k, z[2 * k], z[2 * k + 1], z[2 * (kFrameSize - k)], z[2 * (kFrameSize - k) + 1]);
}

__attribute__((always_inline)) inline void polarForms(RTzembraInstance* instance) {
    RTzembraInstance& s = *instance;
    for (long k = 0; k < kBlendBins; ++k) {
        const float aRe = s.magA[k], aIm = s.phaseA[k], bRe = s.magB[k], bIm = s.phaseB[k];
        s.magA[k] = std::sqrt(aRe * aRe + aIm * aIm);
        s.phaseA[k] = fastAtan2(aIm, aRe);
        s.magB[k] = std::sqrt(bRe * bRe + bIm * bIm);
        s.phaseB[k] = fastAtan2(bIm, bRe);
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

__attribute__((always_inline)) inline void overlapAdd(RTzembraInstance* instance) {
    RTzembraInstance& s = *instance;
    const float volume = s.volume, mixA = s.mixA, mixB = s.mixB;
    const bool stereo = s.stereoMode != 0;
    for (long k = 0; k < kFrameSize; ++k) {
        const float re = s.specA[2 * k], im = s.specA[2 * k + 1];
        float l = re, r = re;
        if (stereo) {
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

// A's frame in the real parts, B's in the imaginary parts, both windowed.
__attribute__((always_inline)) inline void analyse(RTzembraInstance* instance) {
    RTzembraInstance& s = *instance;
    for (long k = 0; k < kFrameSize; ++k) {
        s.specA[2 * k] = s.analysisWindow[k] * s.frameA[k];
        s.specA[2 * k + 1] = s.analysisWindow[k] * s.frameB[k];
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

    runWide<analyse>(&s);
    fftForwardPlanned(s.fft, s.specA);
    runWide<splitSpectra>(&s);
    runWide<polarForms>(&s);

    const float x = blendPosition(s.controllerValue[s.xSource], s.posX);
    const float y = blendPosition(s.controllerValue[s.ySource], s.posY);
    const long width = envelopeWidth(x);
    smoothSpectrumCached(s.magA, width, s.envA, kEnvelopeWindowType, s.smoothing);
    smoothSpectrumCached(s.magB, width, s.envB, kEnvelopeWindowType, s.smoothing);

    const BlendWeights weights = blendWeights(x);
    runWide<synthesise>(&s, &weights, y);
    fftInversePlanned(s.fft, s.specA);
    runWide<overlapAdd>(&s);
}

// The samples of a call up to the end of the current hop: the inputs, offset and clipped,
// into the hop; the outputs from the accumulators or the solo paths. The switches are
// template arguments so that each combination is one loop without branches.
template <bool soloA, bool soloB, bool replace>
__attribute__((always_inline)) inline void passSamplesAs(RTzembraInstance& s, const float* inA,
                                                       const float* inB, float* outL,
                                                       float* outR, long n) {
    float* __restrict ringA = s.inRingA + s.writePos;
    float* __restrict ringB = s.inRingB + s.writePos;
    const float* __restrict accL = s.outAccL + s.writePos;
    const float* __restrict accR = s.outAccR + s.writePos;
    for (long i = 0; i < n; ++i) {
        const float a = offsetAndClip(inA[i]);
        const float b = offsetAndClip(inB[i]);
        ringA[i] = a;
        ringB[i] = b;
        // A solo replaces the blend with the input itself, with no delay.
        float l = soloA ? a : 0.0f;
        if (soloB) l += b;
        float r = l;
        if (!soloA && !soloB) {
            l = accL[i];
            r = accR[i];
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
    }
}

__attribute__((always_inline)) inline void passSamples(RTzembraInstance* instance,
                                                       const float* inA, const float* inB,
                                                       float* outL, float* outR, long n,
                                                       bool replace) {
    RTzembraInstance& s = *instance;
    const auto pass = [&](auto soloA, auto soloB) {
        constexpr bool a = decltype(soloA)::value, b = decltype(soloB)::value;
        if (replace)
            passSamplesAs<a, b, true>(s, inA, inB, outL, outR, n);
        else
            passSamplesAs<a, b, false>(s, inA, inB, outL, outR, n);
    };
    using On = std::true_type;
    using Off = std::false_type;
    if (s.soloA)
        s.soloB ? pass(On{}, On{}) : pass(On{}, Off{});
    else
        s.soloB ? pass(Off{}, On{}) : pass(Off{}, Off{});
}

} // namespace

extern "C" void RTzembra(const float* inA, const float* inB, float* outL, float* outR, long frames,
                         RTzembraInstance* instance, long replace) {
    RTzembraInstance& s = *instance;
    if (s.initialised == 0) return;
    setProcessing(s, 1);
    const DenormalsOff denormalsOff;
    for (long done = 0; done < frames;) {
        const long n = std::min(frames - done, kHop - s.writePos);
        runWide<passSamples>(&s, inA + done, inB + done, outL + done, outR + done, n,
                             replace != 0);
        done += n;
        s.writePos += n;
        if (s.writePos == kHop) {
            blockStep(s);
            s.writePos = 0;
        }
    }
    setProcessing(s, 0);
}
