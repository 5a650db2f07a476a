// SPDX-License-Identifier: GPL-3.0-or-later
// The exported transform entry points, and the two-real-signals split that the editor's spectra
// and the exported fftTwoReal use (the blend splits its own bins in wide registers).
#include "transforms.h"

#include "RTzembra.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace zembra {

void fftTwoRealPlanned(float* data, float* second, const FftPlan& plan) {
    const long n = 1L << plan.log2n;
    fftForwardPlanned(plan, data);

    second[0] = data[1];
    second[1] = 0.0f;
    data[1] = 0.0f;
    for (long k = 1; k <= n / 2; ++k) {
        const float r1 = data[2 * k], i1 = data[2 * k + 1];
        const float r2 = data[2 * (n - k)], i2 = data[2 * (n - k) + 1];
        const auto half = [](float v) { return static_cast<float>(static_cast<double>(v) * 0.5); };
        const float aRe = half(r1 + r2), aIm = half(i1 - i2);
        const float bRe = half(i1 + i2), bIm = -half(r1 - r2);
        data[2 * k] = aRe;
        data[2 * k + 1] = aIm;
        data[2 * (n - k)] = aRe;
        data[2 * (n - k) + 1] = -aIm;
        second[2 * k] = bRe;
        second[2 * k + 1] = bIm;
        second[2 * (n - k)] = bRe;
        second[2 * (n - k) + 1] = -bIm;
    }
}

namespace {
// The exported entry points get no plan from their caller, so they build one per call.
struct FreePlan {
    void operator()(FftPlan* p) const { std::free(p); }
};
using PlanPtr = std::unique_ptr<FftPlan, FreePlan>;

PlanPtr planFor(long log2n, const float* cosTable) {
    PlanPtr plan(static_cast<FftPlan*>(std::calloc(1, sizeof(FftPlan))));
    if (!plan || !fftPlanInit(*plan, log2n, cosTable)) return nullptr;
    return plan;
}
} // namespace

std::unique_ptr<FftPlan> makeFftPlan(long log2n) {
    const long n = 1L << log2n;
    std::vector<float> cosTable(static_cast<std::size_t>(n / 4 + 1));
    for (long k = 0; k <= n / 4; ++k)
        cosTable[k] = static_cast<float>(std::cos(2.0 * M_PI * static_cast<double>(k) / n));
    auto plan = std::make_unique<FftPlan>();
    return fftPlanInit(*plan, log2n, cosTable.data()) ? std::move(plan) : nullptr;
}

} // namespace zembra

using namespace zembra;

extern "C" {

void fftForward(float* data, long log2n, const float* cosTable) {
    if (auto plan = planFor(log2n, cosTable)) fftForwardPlanned(*plan, data);
}

void fftInverse(float* data, long log2n, const float* cosTable) {
    if (auto plan = planFor(log2n, cosTable)) fftInversePlanned(*plan, data);
}

void fftTwoReal(float* data, float* second, unsigned long n, const float* cosTable, int log2n) {
    if (log2n < kFftMinLog2 || log2n > kFftMaxLog2 || n != (1UL << log2n)) return;
    if (auto plan = planFor(log2n, cosTable)) fftTwoRealPlanned(data, second, *plan);
}

} // extern "C"
