// SPDX-License-Identifier: GPL-3.0-or-later
// Complex FFT of the engine: in place, interleaved (re, im) floats, natural order.
// A plan holds every table a transform of one size needs, built once off the audio thread
// from the quarter-wave cosine table, so the transform itself only reads memory.
#pragma once

namespace zembra {

constexpr long kFftMaxLog2 = 13; // 8192 points, the largest size the plan can hold
constexpr long kFftMinLog2 = 2;

// Radix passes that run before the last one: a radix-2 or radix-4 pass for the leftover
// factors of two, then radix-8 passes; the last radix-8 pass is fused with the bit reversal.
constexpr long kFftMaxPasses = 4;
// Twiddles of those passes for n = 8192, the largest of all sizes: 2 * stride * (radix - 1)
// floats per pass, strides 4096, 512, 64, 8.
constexpr long kFftTwiddleFloats = 16368;
constexpr long kFftMaxTiles = (1L << kFftMaxLog2) / 64; // 8 x 8 tiles of the last pass

// Lives inside the zero-filled instance record: plain data only, no constructors.
struct FftPlan {
    long log2n;                      // 0 until built
    long passCount;                  // radix passes before the last one
    long passRadix[kFftMaxPasses];   // 2, 4 or 8
    long passTwiddle[kFftMaxPasses]; // offset of the pass's twiddles in `twiddle`
    long tileCount;                  // entries in tileFrom / tileTo
    // Last pass: tile pairs (m, bit-reversed m), each tile's result written over the other.
    unsigned short tileFrom[kFftMaxTiles];
    unsigned short tileTo[kFftMaxTiles];
    // Per pass and per group of 8 butterflies, for each rotation: 8 real parts, then
    // 8 imaginary parts. Sizes below 64 points keep e^(-2 pi i k / n) here, interleaved.
    float twiddle[kFftTwiddleFloats];
};

// Builds the plan for n = 2^log2n from cosTable (cos(2*pi*k/n), k = 0..n/4). Returns false
// and leaves the plan unusable when log2n is outside kFftMinLog2..kFftMaxLog2.
bool fftPlanInit(FftPlan& plan, long log2n, const float* cosTable);

// cos(2 pi k / n) for any k, read from the quarter-wave table (k = 0..n/4) by symmetry.
float cosFromQuarter(const float* quarter, long n, long k);

// X[k] = sum x[m] e^(-2 pi i k m / n), unscaled.
void fftForwardPlanned(const FftPlan& plan, float* data);
// x[m] = (1/n) sum X[k] e^(+2 pi i k m / n).
void fftInversePlanned(const FftPlan& plan, float* data);

} // namespace zembra
