// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in's audio-thread calls never touch the heap: allocations are counted while
// blocks with MIDI, parameter changes, preset loads, resets and transport jumps go through,
// with an editor listening to the signal tap.
#include "AllocationCounter.h"
#include "DspRun.h"
#include "FactoryPresets.h"

#include <gtest/gtest.h>

#include <vector>

using namespace zembra;
using namespace zembra::plugin;
using zembra::test::startCountingAllocations;
using zembra::test::stopCountingAllocations;

TEST(PluginRealTime, BlocksParametersMidiPresetsAndResetsNeverAllocate) {
    if (!zembra::test::kCanCountAllocations) GTEST_SKIP() << "the sanitizers own malloc";
    Dsp dsp;
    dsp.setSampleRate(48000.0);
    const plugin::test::Signals in = plugin::test::sources(4096);
    std::vector<float> l(4096), r(4096);
    const MidiMessage events[] = {{0, 3, {0xB0, 1, 40}},     {17, 3, {0x90, 60, 100}},
                                  {90, 3, {0xE0, 0, 80}},    {91, 2, {0xD0, 30, 0}},
                                  {200, 3, {0xB0, 64, 127}}, {250, 3, {0xB0, 123, 0}}};
    const uint32_t blocks[] = {1, 64, 333, 1024, 4096};
    dsp.signalTap()->startListening();
    std::vector<float> tapA(2048), tapB(2048), tapOut(2048);

    startCountingAllocations();
    for (int i = 0; i < 600; ++i) {
        const uint32_t n = blocks[i % 5];
        dsp.setParameter(kParamX, static_cast<float>(i % 100) / 100.0f);
        dsp.setParameter(kParamRoom, static_cast<float>(i % 97));
        dsp.setParameter(kParamWetDry, 40.0f);
        dsp.setParameter(kParamSoloA, static_cast<float>(i / 7 % 2));
        dsp.setParameter(kParamSourceRouting, static_cast<float>(i / 3 % 2));
        if (i % 50 == 0) dsp.loadPreset(static_cast<uint32_t>(i / 50) % kFactoryPresets.size());
        if (i % 100 == 99) dsp.reset();
        // Rolling, with a jump (so a clear and a re-phase of the hops) at every other block.
        const Transport transport{i % 3 != 0, static_cast<uint64_t>(i / 2) * 1500};
        dsp.process({in.a.data(), in.b.data(), in.b.data(), in.a.data()}, l.data(), r.data(), n,
                    events, n >= 333 ? 6 : 0, transport);
        (void)dsp.parameter(kOutputPeakA);
        (void)dsp.signalTap()->readLatest(tapA.data(), tapB.data(), tapOut.data(), 2048);
    }
    const long allocations = stopCountingAllocations();
    EXPECT_EQ(allocations, 0);
    EXPECT_GT(dsp.signalTap()->written(), 100000u) << "the tap was fed";
}
