// SPDX-License-Identifier: GPL-3.0-or-later
// The engine runs on whole blocks; what leaves it is sorted here into the part aligned with the
// sources (after the delay is dropped) and the tail, which is cut where it has died away.
#include "render.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace zembra::render {

namespace {

// Decides whether a sample of the tail is still audible. The engine adds a small constant
// offset to its inputs, which the dry paths and the room carry on forever: a DC blocker
// keeps that from holding the tail open.
class TailGate {
  public:
    TailGate(double sampleRate, double floorDb)
        : mPole(1.0 - 2.0 * std::numbers::pi * 10.0 / sampleRate), // 10 Hz corner
          mFloor(std::pow(10.0, floorDb / 20.0)) {}

    bool audible(float left, float right) {
        return std::max(std::abs(mLeft.next(left, mPole)), std::abs(mRight.next(right, mPole))) >
               mFloor;
    }

  private:
    struct Blocker {
        double in = 0.0;
        double out = 0.0;
        double next(float x, double pole) {
            out = x - in + pole * out;
            in = x;
            return out;
        }
    };
    double mPole;
    double mFloor;
    Blocker mLeft;
    Blocker mRight;
};

class OutputStage {
  public:
    OutputStage(OutputSink& sink, const RenderHooks& hooks, const RenderSettings& settings,
                double sampleRate, long delay)
        : mSink(sink), mHooks(hooks), mRaw(settings.raw), mDelay(delay),
          mQuietLimit(std::max(1L, std::lround(settings.tailQuietSeconds * sampleRate))),
          mTailLimit(std::lround(settings.tailMaxSeconds * sampleRate)),
          mGate(sampleRate, settings.tailFloorDb) {
        mPendingLeft.reserve(static_cast<std::size_t>(mQuietLimit));
        mPendingRight.reserve(static_cast<std::size_t>(mQuietLimit));
    }

    void sourcesEnded(long frames) {
        mSourceFrames = frames;
        checkBodyDone();
    }

    void push(const float* left, const float* right, long frames) {
        long i = std::min(frames, mDelay - mDropped);
        mDropped += i;
        while (i < frames && !mFinished) {
            if (mBodyWritten < mSourceFrames) {
                const long count = std::min(frames - i, mSourceFrames - mBodyWritten);
                for (long k = i; k < i + count; ++k)
                    mGate.audible(left[k], right[k]);
                emit(left + i, right + i, count);
                mBodyWritten += count;
                i += count;
                checkBodyDone();
                continue;
            }
            tailSample(left[i], right[i]);
            ++i;
        }
    }

    bool finished() const { return mFinished; }
    long tailFrames() const { return mTailWritten + static_cast<long>(mPendingLeft.size()); }

  private:
    void checkBodyDone() {
        if (mBodyWritten < mSourceFrames) return;
        if (mRaw || mTailLimit <= 0) mFinished = true;
    }

    void tailSample(float left, float right) {
        if (mGate.audible(left, right)) {
            flushPending();
            emit(&left, &right, 1);
            ++mTailWritten;
        } else {
            mPendingLeft.push_back(left);
            mPendingRight.push_back(right);
            if (static_cast<long>(mPendingLeft.size()) >= mQuietLimit) {
                // Died away: what is pending is inaudible and is dropped.
                mPendingLeft.clear();
                mPendingRight.clear();
                mFinished = true;
                return;
            }
        }
        if (tailFrames() >= mTailLimit) {
            flushPending();
            mFinished = true;
        }
    }

    void flushPending() {
        if (mPendingLeft.empty()) return;
        emit(mPendingLeft.data(), mPendingRight.data(), static_cast<long>(mPendingLeft.size()));
        mTailWritten += static_cast<long>(mPendingLeft.size());
        mPendingLeft.clear();
        mPendingRight.clear();
    }

    void emit(const float* left, const float* right, long frames) {
        if (frames <= 0) return;
        mSink.write(left, right, frames);
        if (mHooks.output) mHooks.output(left, right, frames);
    }

    OutputSink& mSink;
    const RenderHooks& mHooks;
    bool mRaw;
    long mDelay;
    long mDropped = 0;
    long mQuietLimit;
    long mTailLimit;
    TailGate mGate;
    long mSourceFrames = std::numeric_limits<long>::max(); // until the sources end
    long mBodyWritten = 0;
    long mTailWritten = 0;
    bool mFinished = false;
    std::vector<float> mPendingLeft;
    std::vector<float> mPendingRight;
};

} // namespace

RenderResult render(SourceStream& sources, Processor& processor, OutputSink& sink,
                    const RenderSettings& settings, const RenderHooks& hooks) {
    const long block = std::max(1L, settings.blockSize);
    const long expected = sources.totalFrames();
    // --raw keeps the delay: nothing is dropped from the front.
    OutputStage stage(sink, hooks, settings, sources.sampleRate(), settings.raw ? 0 : kLatency);
    std::vector<float> a(block), b(block), left(block), right(block);
    processor.alignHopsTo(settings.startFrame);

    long fed = 0;
    bool sourcesDone = false;
    while (!stage.finished()) {
        if (hooks.cancelled && hooks.cancelled()) throw std::runtime_error("interrupted");
        long got = 0;
        if (!sourcesDone) {
            got = sources.read(a.data(), b.data(), block);
            if (hooks.sources && got > 0) hooks.sources(a.data(), b.data(), got);
        }
        std::fill(a.begin() + got, a.end(), 0.0f);
        std::fill(b.begin() + got, b.end(), 0.0f);

        if (hooks.beforeBlock) hooks.beforeBlock(processor, fed);
        processor.process(a.data(), b.data(), left.data(), right.data(), block);
        fed += got;
        if (!sourcesDone && got < block) {
            sourcesDone = true;
            stage.sourcesEnded(fed);
        }
        stage.push(left.data(), right.data(), block);
        if (hooks.progress && !stage.finished())
            hooks.progress(std::min(fed, expected), expected, stage.tailFrames());
    }
    return RenderResult{fed, stage.tailFrames()};
}

} // namespace zembra::render
