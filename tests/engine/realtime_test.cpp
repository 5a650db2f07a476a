// SPDX-License-Identifier: GPL-3.0-or-later
// The audio-thread entry points never touch the heap: allocations are counted while a long,
// busy run of them goes on.
#include "AllocationCounter.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zembra::test;

TEST(RealTime, ProcessingAndControlCallsNeverAllocate) {
    if (!zembra::test::kCanCountAllocations) GTEST_SKIP() << "the sanitizers own malloc";
    Instance inst = instanceWith({{kParamWetDry, 0.4f}, {kParamXControl, 1.0f}});
    constexpr long kBlock = 256;
    std::vector<float> a(kBlock), b(kBlock), l(kBlock), r(kBlock), roomA(kBlock), roomB(kBlock);
    long phase = 0;

    startCountingAllocations();
    for (int block = 0; block < 4000; ++block) { // about 21 s at 48 kHz
        for (long i = 0; i < kBlock; ++i, ++phase) {
            a[i] = 0.4f * std::sin(0.01f * static_cast<float>(phase));
            b[i] = (phase % 97) < 48 ? 0.3f : -0.3f;
        }
        RTzembraSetParameter(kParamX, static_cast<float>(block % 100) / 100.0f, inst.get());
        RTzembraSetParameter(kParamRoom, static_cast<float>(block % 300) / 300.0f, inst.get());
        RTzembraSetParameter(kParamStereoMode, static_cast<float>(block % 2), inst.get());
        RTsetModWheel(block % 128, inst.get());
        RTnoteOn(40 + block % 60, 100, inst.get());
        RTsetPitchWheel(block % 128, inst.get());
        if (block % 500 == 0) RTallNotesOff(inst.get());
        RTzembra(a.data(), b.data(), l.data(), r.data(), kBlock, inst.get(), 1);
        roomA = l;
        roomB = r;
        RTzembraRoomSimul(roomA.data(), roomB.data(), l.data(), r.data(), kBlock, inst.get());
        int count = kBlock;
        erase_All_NaNs_Infinities_And_Denormals(l.data(), &count);
    }
    const long allocations = stopCountingAllocations();

    EXPECT_EQ(allocations, 0);
}
