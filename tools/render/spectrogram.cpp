// SPDX-License-Identifier: GPL-3.0-or-later
// Hann-windowed frames through the engine's own FFT. Each column averages the power of its
// frames; each row takes the strongest bin of its band, or interpolates where a band is
// narrower than a bin (the low end of a log axis).
#include "spectrogram.h"

#include "transforms.h"
#include "windows.h"

#include <algorithm>
#include <cmath>

namespace zembra::render {

namespace {
constexpr long kSize = 1L << Spectrogram::kLog2Size;
constexpr long kMaxFrameHop = kSize / 4; // keeps 75 % overlap, so no sample goes unseen
constexpr long kMinFrameHop = 32;
} // namespace

Spectrogram::Spectrogram(double sampleRate, long expectedFrames, int targetColumns, int rows)
    : mRate(sampleRate), mRows(std::max(1, rows)), mMaxColumns(2 * std::max(1, targetColumns)),
      mPlan(makeFftPlan(kLog2Size)), mWindow(kSize), mFft(2 * kSize),
      mHistory(kSize / 2, 0.0f), // frame j is centred on sample j * hop
      mColumn(static_cast<std::size_t>(mRows), 0.0f) {
    const long columnHop = std::max(1L, expectedFrames / std::max(1, targetColumns));
    mFramesPerColumn = (columnHop + kMaxFrameHop - 1) / kMaxFrameHop;
    mFrameHop = std::max(kMinFrameHop, (columnHop + mFramesPerColumn - 1) / mFramesPerColumn);

    makeHannSynthesisWindow(mWindow.data(), kSize);

    const double binHz = mRate / kSize;
    mEdges.resize(static_cast<std::size_t>(mRows) + 1);
    for (int r = 0; r <= mRows; ++r) {
        const double hz = lowestHz() * std::pow(highestHz() / lowestHz(), double(r) / mRows);
        mEdges[r] = hz / binHz;
    }
}

void Spectrogram::push(const float* samples, long frames) {
    mHistory.insert(mHistory.end(), samples, samples + frames);
    mPushed += frames;
    while (static_cast<long>(mHistory.size()) >= kSize)
        analyseFrame();
}

void Spectrogram::pushStereo(const float* left, const float* right, long frames) {
    float mono[512];
    while (frames > 0) {
        const long count = std::min<long>(frames, 512);
        for (long i = 0; i < count; ++i)
            mono[i] = 0.5f * (left[i] + right[i]);
        push(mono, count);
        left += count;
        right += count;
        frames -= count;
    }
}

void Spectrogram::finish() {
    while (mFramesDone * mFrameHop < mPushed) {
        mHistory.resize(std::max<std::size_t>(mHistory.size(), kSize), 0.0f);
        analyseFrame();
    }
    if (mColumnFrames > 0) endColumn();
}

void Spectrogram::analyseFrame() {
    for (long n = 0; n < kSize; ++n) {
        mFft[2 * n] = mHistory[n] * mWindow[n];
        mFft[2 * n + 1] = 0.0f;
    }
    fftForwardPlanned(*mPlan, mFft.data());

    // A full-scale sine peaks at |X| = n/4 under a Hann window: that is 0 dB.
    const float norm = 16.0f / (float(kSize) * float(kSize));
    const auto power = [&](long bin) {
        bin = std::clamp(bin, 0L, kSize / 2);
        return (mFft[2 * bin] * mFft[2 * bin] + mFft[2 * bin + 1] * mFft[2 * bin + 1]) * norm;
    };
    for (int r = 0; r < mRows; ++r)
        mColumn[r] += bandPower(mEdges[r], mEdges[r + 1], power);

    mHistory.erase(mHistory.begin(), mHistory.begin() + mFrameHop);
    ++mFramesDone;
    if (++mColumnFrames == mFramesPerColumn) endColumn();
}

void Spectrogram::endColumn() {
    const float scale = 1.0f / float(mColumnFrames);
    for (float& value : mColumn) {
        mPower.push_back(value * scale);
        value = 0.0f;
    }
    mColumnFrames = 0;
    if (columns() >= mMaxColumns) halveResolution();
}

void Spectrogram::halveResolution() {
    const int oldColumns = columns();
    const int newColumns = (oldColumns + 1) / 2;
    for (int c = 0; c < newColumns; ++c) {
        const int first = 2 * c;
        const int second = std::min(first + 1, oldColumns - 1);
        for (int r = 0; r < mRows; ++r) {
            mPower[std::size_t(c) * mRows + r] = 0.5f * (mPower[std::size_t(first) * mRows + r] +
                                                         mPower[std::size_t(second) * mRows + r]);
        }
    }
    mPower.resize(std::size_t(newColumns) * mRows);
    mFramesPerColumn *= 2;
}

float Spectrogram::levelDb(int column, int row) const {
    const float p = mPower[std::size_t(column) * mRows + row];
    return 10.0f * std::log10(std::max(p, 1e-20f));
}

} // namespace zembra::render
