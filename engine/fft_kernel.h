// SPDX-License-Identifier: GPL-3.0-or-later
// The FFT kernel body, written once over groups of 8 lanes and compiled three times: by
// fft.cpp for the portable path (SSE2 registers of 4 floats, each group in two halves), by
// fft_avx2.cpp (one 8-float register per group) and by fft_avx512.cpp (the same, with the
// radix-8 passes two groups to a 16-float register). Include it only from those files, after
// defining the vector traits `S` (type V, kLanes and the lane shuffles used below; W and the
// pair loads for 16-float registers); everything here has internal linkage so that the builds
// never meet at link time.
//
// Algorithm (n = 2^log2n >= 64): decimation in frequency, natural order in. A first pass
// of radix 2, 4 or 8 (the factors of two left over by the radix-8 passes) reads the
// interleaved input and leaves it "split": each group of 8 complex values as 8 real parts,
// then 8 imaginary parts, so that later passes need no shuffles. Radix-8 passes follow.
// The last radix-8 pass works on 8 x 8 tiles: it transposes a tile in registers, runs the
// butterflies down the columns and writes the result to the bit-reversed partner tile,
// interleaved again - the bit-reversal permutation costs no pass of its own.
//
// The inverse runs the same code on swapped real and imaginary parts, which conjugates the
// rotations: ifft(x) = swap(fft(swap(x))) / n. Its 1/n is applied as the first pass loads.
#pragma once

#include "fft.h"

namespace zembra {
namespace {

// sqrt(1/2) as a float, for the 45-degree rotations of the radix-8 butterfly.
constexpr float kSqrtHalf = 0.70710677f;

template <class V> struct Cx { V re, im; };

template <class V> inline Cx<V> operator+(Cx<V> a, Cx<V> b) {
    return {a.re + b.re, a.im + b.im};
}
template <class V> inline Cx<V> operator-(Cx<V> a, Cx<V> b) {
    return {a.re - b.re, a.im - b.im};
}
template <class V> inline Cx<V> times(Cx<V> a, V wr, V wi) {
    return {a.re * wr - a.im * wi, a.re * wi + a.im * wr};
}
// a * (-i); the negation folds into the adds that follow.
template <class V> inline Cx<V> timesMinusI(Cx<V> a) {
    return {a.im, -a.re};
}

// Butterflies of radix 2, 4 and 8, e^(-2 pi i / r) rotations, outputs in natural order.
template <class V> inline void dft2(const Cx<V>* u, Cx<V>* v) {
    v[0] = u[0] + u[1];
    v[1] = u[0] - u[1];
}

template <class V> inline void dft4(const Cx<V>* u, Cx<V>* v) {
    const Cx<V> c0 = u[0] + u[2], c1 = u[1] + u[3];
    const Cx<V> d0 = u[0] - u[2], d1 = u[1] - u[3];
    v[0] = c0 + c1;
    v[2] = c0 - c1;
    // d0 + (-i) d1 and d0 - (-i) d1, the rotation folded into the adds
    v[1] = {d0.re + d1.im, d0.im - d1.re};
    v[3] = {d0.re - d1.im, d0.im + d1.re};
}

template <class V> inline void dft8(const Cx<V>* u, Cx<V>* v) {
    Cx<V> a[4], b[4];
    for (int j = 0; j < 4; ++j)
        a[j] = u[j] + u[j + 4];
    const Cx<V> d0 = u[0] - u[4], d1 = u[1] - u[5], d2 = u[2] - u[6], d3 = u[3] - u[7];
    b[0] = d0;
    b[1] = {(d1.re + d1.im) * kSqrtHalf, (d1.im - d1.re) * kSqrtHalf};  // (1 - i) sqrt(1/2)
    b[2] = timesMinusI(d2);                                             // -i
    b[3] = {(d3.im - d3.re) * kSqrtHalf, (d3.re + d3.im) * -kSqrtHalf}; // (-1 - i) sqrt(1/2)
    Cx<V> even[4], odd[4];
    dft4(a, even);
    dft4(b, odd);
    for (int r = 0; r < 4; ++r) {
        v[2 * r] = even[r];
        v[2 * r + 1] = odd[r];
    }
}

template <int R, class V> inline void dft(const Cx<V>* u, Cx<V>* v) {
    if constexpr (R == 2)
        dft2(u, v);
    else if constexpr (R == 4)
        dft4(u, v);
    else
        dft8(u, v);
}

// Lane j of a split group of 8 holds element kLaneOrder[j]: the order the in-lane shuffle
// of the first pass leaves them in. It is its own inverse.
constexpr int kLaneOrder[8] = {0, 1, 4, 5, 2, 3, 6, 7};

// Where a decimation-in-frequency butterfly puts its output q: bit-reversed within the radix.
constexpr int slotOf(int radix, int q) {
    return radix == 2   ? q
           : radix == 4 ? ((q & 1) << 1) | (q >> 1)
                        : ((q & 1) << 2) | (q & 2) | (q >> 2);
}

template <class S> struct FftKernel {
    using V = typename S::V;
    using C = Cx<V>;
    // Floats per register: 8 with AVX2; 4 with SSE, which then takes each group of 8 in two
    // halves (every operation below acts within 128-bit halves, so the halves never mix).
    static constexpr int kLanes = S::kLanes;

    static C loadSplit(const float* p) { return {S::load(p), S::load(p + 8)}; }
    static void storeSplit(float* p, C c) {
        S::store(p, c.re);
        S::store(p + 8, c.im);
    }
    static C rotate(C v, const float* w) { return times(v, S::load(w), S::load(w + 8)); }

    // First pass: radix R over the whole array (stride n/R), from interleaved to split.
    // Splitting with the in-lane shuffle leaves lane j holding element kLaneOrder[j] of
    // its group of 8; the twiddle tables are laid out in the same lane order.
    template <int R, bool Inverse>
    static void firstPass(float* data, long n, const float* tw, float scale) {
        const long stride = n / R;
        for (long k = 0; k < stride; k += 8, tw += 16 * (R - 1)) {
            for (int h = 0; h < 8; h += kLanes) {
                C u[R], v[R];
                for (int j = 0; j < R; ++j) {
                    const float* p = data + 2 * (k + j * stride) + h;
                    const V lo = S::load(p), hi = S::load(p + 8);
                    if constexpr (Inverse)
                        u[j] = {S::odds(lo, hi) * scale, S::evens(lo, hi) * scale};
                    else
                        u[j] = {S::evens(lo, hi), S::odds(lo, hi)};
                }
                dft<R>(u, v);
                storeSplit(data + 2 * k + h, v[0]);
                for (int q = 1; q < R; ++q)
                    storeSplit(data + 2 * (k + slotOf(R, q) * stride) + h,
                               rotate(v[q], tw + 16 * (q - 1) + h));
            }
        }
    }

    // Radix-8 pass over sub-transforms of length len, split in and out.
    static void radix8Pass(float* data, long n, long len, const float* twiddle) {
        const long stride = len / 8;
        for (long base = 0; base < n; base += len) {
            const float* tw = twiddle;
            for (long k = base; k < base + stride; k += 8, tw += 16 * 7) {
                for (int h = 0; h < 8; h += kLanes) {
                    float* p = data + 2 * k + h;
                    C u[8], v[8];
                    for (int j = 0; j < 8; ++j)
                        u[j] = loadSplit(p + 2 * j * stride);
                    dft8(u, v);
                    storeSplit(p, v[0]);
                    for (int q = 1; q < 8; ++q)
                        storeSplit(p + 2 * slotOf(8, q) * stride,
                                   rotate(v[q], tw + 16 * (q - 1) + h));
                }
            }
        }
    }

    // The same pass two sub-transforms at a time, for traits with 16-float registers (type W):
    // sub-transforms len apart share their twiddles, and each register holds a group of 8
    // from each. Every lane does what it does in radix8Pass.
    static void radix8PassPaired(float* data, long n, long len, const float* twiddle) {
        using W = typename S::W;
        const long stride = len / 8;
        for (long base = 0; base < n; base += 2 * len) {
            const float* tw = twiddle;
            for (long k = base; k < base + stride; k += 8, tw += 16 * 7) {
                float* p = data + 2 * k;
                float* partner = p + 2 * len;
                Cx<W> u[8], v[8];
                for (int j = 0; j < 8; ++j)
                    S::loadPair(p + 2 * j * stride, partner + 2 * j * stride, u[j].re, u[j].im);
                dft8(u, v);
                S::storePair(p, partner, v[0].re, v[0].im);
                for (int q = 1; q < 8; ++q) {
                    const long at = 2 * slotOf(8, q) * stride;
                    const float* w = tw + 16 * (q - 1);
                    const Cx<W> r = times(v[q], S::twice(w), S::twice(w + 8));
                    S::storePair(p + at, partner + at, r.re, r.im);
                }
            }
        }
    }

    // 4 x 4 transposes within each 128-bit half: out[j] half h lane i = in[i] half h lane j.
    static void transposeHalves(const V* in, V* out) {
        const V t0 = S::unpackLo(in[0], in[1]), t1 = S::unpackHi(in[0], in[1]);
        const V t2 = S::unpackLo(in[2], in[3]), t3 = S::unpackHi(in[2], in[3]);
        out[0] = S::pairLo(t0, t2);
        out[1] = S::pairHi(t0, t2);
        out[2] = S::pairLo(t1, t3);
        out[3] = S::pairHi(t1, t3);
    }

    // Last pass, one tile: rows r = 0..7 of 8 complex values at `in` + r * inRow (split).
    // The 8-point transform of row r, output q, belongs at row q, column bitrev3(r) of the
    // partner tile at `out` (rows outRow apart), interleaved. Lane i of the transposed
    // columns carries row kRowOfLane[i], the row whose bit-reversed column the interleaving
    // store puts lane i in.
    template <bool Inverse>
    static void tileDft(const float* in, long inRow, float* out, long outRow) {
        constexpr int kRowOfLane[8] = {0, 4, 1, 5, 2, 6, 3, 7};
        for (int h = 0; h < 8; h += kLanes) {
            V cols[2][8]; // [re, im][column]
            for (int part = 0; part < 2; ++part) {
                V left[4], right[4];
                for (int i = 0; i < 4; ++i) {
                    const float* row = in + kRowOfLane[i + h] * inRow + 8 * part;
                    if constexpr (kLanes == 8) {
                        // The loads do the cross-half step of the 8 x 8 transpose.
                        const float* row2 = in + kRowOfLane[i + 4] * inRow + 8 * part;
                        left[i] = S::loadHalves(row, row2);
                        right[i] = S::loadHalves(row + 4, row2 + 4);
                    } else {
                        left[i] = S::load(row);
                        right[i] = S::load(row + 4);
                    }
                }
                transposeHalves(left, cols[part]);
                transposeHalves(right, cols[part] + 4);
            }
            C u[8], v[8];
            for (int b = 0; b < 8; ++b)
                u[b] = {cols[0][kLaneOrder[b]], cols[1][kLaneOrder[b]]};
            dft8(u, v);
            for (int q = 0; q < 8; ++q) {
                const V re = Inverse ? v[q].im : v[q].re;
                const V im = Inverse ? v[q].re : v[q].im;
                S::store(out + q * outRow + h, S::unpackLo(re, im));
                S::store(out + q * outRow + 8 + h, S::unpackHi(re, im));
            }
        }
    }

    template <bool Inverse> static void lastPass(const FftPlan& plan, float* data, long n) {
        const long rowFloats = n / 4; // rows of a tile are n/8 complex values apart
        for (long t = 0; t < plan.tileCount; ++t) {
            float* a = data + 16 * plan.tileFrom[t];
            float* b = data + 16 * plan.tileTo[t];
            if (a == b && kLanes == 8) { // one step reads the whole tile before writing it
                tileDft<Inverse>(a, rowFloats, a, rowFloats);
                continue;
            }
            // Tile a's result goes where tile b is still unread: park b first.
            float parked[128];
            for (int r = 0; r < 8; ++r)
                for (int i = 0; i < 16; i += kLanes)
                    S::store(parked + 16 * r + i, S::load(b + r * rowFloats + i));
            if (a != b) tileDft<Inverse>(a, rowFloats, b, rowFloats);
            tileDft<Inverse>(parked, 16, a, rowFloats);
        }
    }

    template <bool Inverse> static void run(const FftPlan& plan, float* data) {
        const long n = 1L << plan.log2n;
        const float scale = static_cast<float>(1.0 / static_cast<double>(n));
        const float* tw = plan.twiddle + plan.passTwiddle[0];
        switch (plan.passRadix[0]) {
        case 2:
            firstPass<2, Inverse>(data, n, tw, scale);
            break;
        case 4:
            firstPass<4, Inverse>(data, n, tw, scale);
            break;
        default:
            firstPass<8, Inverse>(data, n, tw, scale);
            break;
        }
        long len = n / plan.passRadix[0];
        for (long p = 1; p < plan.passCount; ++p, len /= 8) {
            if constexpr (requires { typename S::W; })
                radix8PassPaired(data, n, len, plan.twiddle + plan.passTwiddle[p]);
            else
                radix8Pass(data, n, len, plan.twiddle + plan.passTwiddle[p]);
        }
        lastPass<Inverse>(plan, data, n);
    }

    static void transform(const FftPlan& plan, float* data, bool inverse) {
        if (inverse)
            run<true>(plan, data);
        else
            run<false>(plan, data);
    }
};

} // namespace
} // namespace zembra
