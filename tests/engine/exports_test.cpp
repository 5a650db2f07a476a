// SPDX-License-Identifier: GPL-3.0-or-later
// The shared engine library exports its C entry points and nothing else.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <memory>
#include <sstream>
#include <string>

TEST(EngineLibrary, ExportsTheEntryPointsAndHidesTheRest) {
    std::unique_ptr<void, int (*)(void*)> lib(dlopen(ZEMBRA_ENGINE_LIBRARY, RTLD_NOW | RTLD_LOCAL),
                                              dlclose);
    ASSERT_TRUE(lib) << dlerror();
    std::istringstream entryPoints(
        "RTzembraGetStructSize RTzembraGetVersion RTzembraGetProcessingLatency "
        "RTzembraGetParameter RTzembraSetParameter RTnoteOn RTnoteOff RTallNotesOff "
        "RTsetPitchWheel RTsetModWheel RTsetPedal RTsetSustainPedal RTsetChannelAfterTouch "
        "RTseqStartStop RTzembra RTzembraRoomSimul erase_NaN_Infinity_And_Denormal "
        "erase_All_NaNs_Infinities_And_Denormals fftForward fftInverse fftTwoReal "
        "smoothSpectrum makeTrapezoidWindow makeWelchWindow");
    for (std::string name; entryPoints >> name;)
        EXPECT_NE(dlsym(lib.get(), name.c_str()), nullptr) << name;
    EXPECT_EQ(dlsym(lib.get(), "_ZN6zembra13limitWidePathENS_8WidePathE"), nullptr);
    EXPECT_EQ(dlsym(lib.get(), "updateRoomSettings"), nullptr);
}
