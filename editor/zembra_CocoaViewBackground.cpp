// SPDX-License-Identifier: GPL-3.0-or-later
// The editor view's background: the still picture or the loop of frames behind the controls,
// stretched over the whole view, loaded once when the view wakes, and the phase the graphics
// thread advances, eased into a cross-fade of two neighbouring frames.
#include "editor/zembra_CocoaView.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/GraphicsContext.h"
#include "support/BundleIdentity.h"
#include "support/Preferences.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>

using namespace zembra;

namespace {

bool animatedBackgroundEnabled() {
    const bool on = GetValueFromPrefsPosInt(kPrefEnableAnimatedBackground) != 0;
    std::fputs(on ? "Using animated background\n" : "Disabling animated background\n", stdout);
    std::fflush(stdout);
    return on;
}

std::shared_ptr<const CompactImage> loadPicture(const fnd::Bundle* bundle,
                                                const std::string& name) {
    if (!bundle) return nullptr;
    const auto path = bundle->pathForResource(name, "png");
    return path ? CompactImage::load(*path) : nullptr;
}

} // namespace

void zembra_CocoaView::_loadBackground() {
    for (auto& frame : mAnimatedBackground)
        frame.reset();
    const fnd::Bundle* bundle = fnd::Bundle::withIdentifier(kBundleIdentifier);
    mDoAnimation = animatedBackgroundEnabled();
    if (mDoAnimation) {
        for (int n = 1; n <= kAnimationFrameCount; ++n) {
            const std::string name = backgroundFrameName(n);
            mAnimatedBackground[n - 1] = loadPicture(bundle, name);
            if (!mAnimatedBackground[n - 1])
                fnd::log(fnd::LogLevel::Error, "bg image '" + name + ".png' not loaded!!");
        }
        mAnimationStep = 0.0f;
        mAnimationDirection = kAnimationIncrement;
    } else {
        mAnimationDirection = 0.0f;
    }
    mBackground = loadPicture(bundle, kStillBackgroundPicture);
    if (!mBackground) fnd::log(fnd::LogLevel::Error, "bg image not loaded!!");
}

zembra_CocoaView::BackgroundFrames zembra_CocoaView::backgroundFramesForStep(float step) {
    const double t = 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(step));
    const float f = static_cast<float>(t) * static_cast<float>(kAnimationFrameCount);
    // A phase can only leave 0..1 by one increment, but keep any value inside the frames.
    const int i = std::isfinite(f) ? static_cast<int>(std::clamp(f, -1.0f, 1e6f)) : 0;
    const int a = std::clamp(i, 0, kAnimationFrameCount - 1);
    const int b = std::min(a + 1, kAnimationFrameCount - 1);
    return {a, b, f - static_cast<float>(i)};
}

void zembra_CocoaView::drawRect(tk::GraphicsContext& g, const tk::Rect&) {
    g.saveGraphicsState();
    if (mDoAnimation) {
        const BackgroundFrames f = backgroundFramesForStep(mAnimationStep);
        if (const auto& a = mAnimatedBackground[f.a])
            g.drawImage(*a->image(), bounds(), tk::CompositingOperation::Copy, 1.0);
        if (const auto& b = mAnimatedBackground[f.b])
            g.drawImage(*b->image(), bounds(), tk::CompositingOperation::SourceOver, f.opacity);
    } else if (mBackground) {
        g.drawImage(*mBackground->image(), bounds(), tk::CompositingOperation::SourceOver, 1.0);
    }
    g.restoreGraphicsState();
}

void zembra_CocoaView::update() {
    animateBackground();
    _showBlend(std::chrono::duration<double>(kGraphicsTick).count());
}

void zembra_CocoaView::animateBackground() {
    setNeedsDisplay(true);
    mAnimationStep += mAnimationDirection;
    if (mAnimationStep >= 1.0f || mAnimationStep <= 0.0f)
        mAnimationDirection = -mAnimationDirection;
}
