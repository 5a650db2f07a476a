// SPDX-License-Identifier: GPL-3.0-or-later
// Short-time spectra of a stream, reduced as they arrive to a grid of time columns and
// log-spaced frequency rows, so a long file costs only the picture's worth of memory.
#pragma once

#include "fft.h"

#include <memory>
#include <vector>

namespace zembra::render {

class Spectrogram {
  public:
    static constexpr long kLog2Size = 12; // 4096 points: ~12 Hz bins at 48 kHz
    static constexpr double kLowestHz = 30.0;

    // expectedFrames sets the starting time resolution: about targetColumns columns over that
    // length. A longer stream halves the resolution as often as needed to stay within twice
    // targetColumns.
    Spectrogram(double sampleRate, long expectedFrames, int targetColumns, int rows);

    void push(const float* samples, long frames);
    // Mono mix of a stereo stream, (left + right) / 2.
    void pushStereo(const float* left, const float* right, long frames);
    // Analyses what is still buffered; call once after the last push.
    void finish();

    int columns() const { return static_cast<int>(mPower.size() / mRows); }
    int rows() const { return mRows; }
    // Level of a cell in dB relative to a full-scale sine; row 0 is the lowest band.
    float levelDb(int column, int row) const;
    double secondsPerColumn() const { return static_cast<double>(columnHop()) / mRate; }
    double duration() const { return static_cast<double>(mPushed) / mRate; }
    double sampleRate() const { return mRate; }
    double lowestHz() const { return kLowestHz; }
    double highestHz() const { return mRate / 2.0; }

  private:
    long columnHop() const { return mFrameHop * mFramesPerColumn; }
    void analyseFrame();
    void endColumn();
    void halveResolution();

    double mRate;
    int mRows;
    int mMaxColumns;
    long mFrameHop;
    long mFramesPerColumn;

    std::unique_ptr<FftPlan> mPlan;
    std::vector<float> mWindow;
    std::vector<float> mFft;
    // Band edges in fractional bins, mRows + 1 of them.
    std::vector<double> mEdges;

    std::vector<float> mHistory; // samples from the next frame's start on
    long mPushed = 0;
    long mFramesDone = 0;
    std::vector<float> mColumn; // power summed over the frames of the open column
    long mColumnFrames = 0;
    std::vector<float> mPower; // finished columns, mRows values each
};

} // namespace zembra::render
