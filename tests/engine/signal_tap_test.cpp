// SPDX-License-Identifier: GPL-3.0-or-later
// The tap that hands the sound to an editor: silent unless someone listens, the newest window
// in order, and never a window the writer was overwriting while a reader copied it.
#include "SignalTap.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using zembra::SignalTap;

namespace {

// Positions wrap here so that every one is an exact float.
constexpr long kRampMask = (1L << 20) - 1;

// A block whose samples carry their position on the timeline: A = n, B = -n, output n / 2.
struct Ramp {
    std::vector<float> a, b, l, r;
    explicit Ramp(long frames, long first) : a(frames), b(frames), l(frames), r(frames) {
        for (long i = 0; i < frames; ++i) {
            const auto n = static_cast<float>((first + i) & kRampMask);
            a[i] = n;
            b[i] = -n;
            l[i] = n;
            r[i] = 0.0f;
        }
    }
    void writeTo(SignalTap& tap) const {
        const long n = static_cast<long>(a.size());
        tap.writeSources(a.data(), b.data(), n);
        tap.writeOutput(l.data(), r.data(), n);
    }
};

} // namespace

TEST(SignalTap, WritesOnlyWhileAnEditorListensAndReadsTheNewestWindow) {
    auto tap = std::make_unique<SignalTap>();
    std::vector<float> a(256), b(256), out(256);
    const auto read = [&](long n) { return tap->readLatest(a.data(), b.data(), out.data(), n); };
    Ramp(1000, 0).writeTo(*tap);
    EXPECT_EQ(tap->written(), 0u);
    EXPECT_FALSE(read(256));

    tap->startListening();
    tap->startListening();
    tap->stopListening(); // a second editor closing leaves the first one listening
    Ramp(200, 0).writeTo(*tap);
    EXPECT_FALSE(read(256)) << "not enough yet";
    Ramp(300, 200).writeTo(*tap);
    ASSERT_TRUE(read(256));
    for (long i = 0; i < 256; ++i)
        ASSERT_TRUE(a[i] == 244 + i && b[i] == -a[i] && out[i] == a[i] / 2) << i;

    // Null sources are silence; a block larger than the ring keeps its newest part.
    tap->writeSources(nullptr, nullptr, 10);
    const std::vector<float> one(10, 1.0f);
    tap->writeOutput(one.data(), one.data(), 10);
    ASSERT_TRUE(read(10));
    EXPECT_TRUE(a[9] == 0.0f && out[9] == 1.0f);
    Ramp(SignalTap::kCapacity * 2 + 5, 0).writeTo(*tap);
    ASSERT_TRUE(read(256));
    EXPECT_EQ(a[255], static_cast<float>(SignalTap::kCapacity * 2 + 4));
    EXPECT_EQ(a[0], a[255] - 255);

    tap->stopListening();
    const std::uint64_t before = tap->written();
    Ramp(500, 0).writeTo(*tap);
    EXPECT_EQ(tap->written(), before);
}

// A writer racing a reader: every window the reader accepts is whole (one stretch of the
// ramp, the three channels of the same moments); torn ones are refused, never shown.
TEST(SignalTap, AReaderNeverAcceptsAWindowTheWriterTore) {
    SignalTap tap;
    tap.startListening();
    constexpr long kWindow = 2048;
    constexpr int kAcceptedWanted = 1000;
    std::atomic<int> accepted{0};
    std::atomic<bool> bad{false};
    std::thread writer([&] {
        long position = 0;
        // Large blocks make the writer lap the reader often, so torn copies do happen.
        while (accepted.load() < kAcceptedWanted) {
            const long frames = 3000 + position % 997;
            Ramp(frames, position).writeTo(tap);
            position += frames;
        }
    });
    std::vector<float> a(kWindow), b(kWindow), out(kWindow);
    while (accepted.load() < kAcceptedWanted) {
        if (!tap.readLatest(a.data(), b.data(), out.data(), kWindow)) continue;
        for (long i = 0; i < kWindow; ++i) {
            const auto expected = static_cast<float>((static_cast<long>(a[0]) + i) & kRampMask);
            if (a[i] != expected || b[i] != -a[i] || out[i] != a[i] / 2) bad = true;
        }
        accepted.fetch_add(1);
    }
    writer.join();
    EXPECT_FALSE(bad.load());
}
