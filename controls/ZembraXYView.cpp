// SPDX-License-Identifier: GPL-3.0-or-later
// The XY pad's geometry, tracking, drawing and notifications.
#include "controls/ZembraXYView.h"

#include "controls/ControlNotifications.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/toolkit/GraphicsContext.h"
#include "support/EditorPictures.h"

#include <cmath>

using namespace zembra;

ZembraXYView::ZembraXYView(const tk::Rect& frame, std::string resourceBundle)
    : tk::Control(frame), mResourceBundle(std::move(resourceBundle)) {
    prepare();
}

ZembraXYView::ZembraXYView(const tk::Coder& coder, std::string resourceBundle)
    : tk::Control(coder, "Cell"), mResourceBundle(std::move(resourceBundle)) {
    prepare();
}

ZembraXYView::~ZembraXYView() {
    mKnobImage.reset();
    fnd::NotificationCenter::defaultCenter().removeObserver(this);
}

void ZembraXYView::awakeFromNib() {
    prepare();
}

void ZembraXYView::prepare() {
    mX = 0.5f;
    mY = 0.5f;
    if (mKnobImage) return;

    const fnd::Bundle* bundle = fnd::Bundle::withIdentifier(mResourceBundle);
    if (!bundle) fnd::log(fnd::LogLevel::Error, "bundle not valid!!");
    if (bundle) {
        if (auto path = bundle->pathForResource(kPadKnobPicture, "png"))
            mKnobImage = tk::Image::fromPNG(*path);
    }
    if (!mKnobImage) fnd::log(fnd::LogLevel::Error, "image not loaded!!");

    // Once for the pad's life, even when a missing image makes prepare run in full again.
    if (!mObserving) {
        fnd::NotificationCenter::defaultCenter().addObserver(
            this, kSetValuesFromHostNotification, nullptr,
            [this](const fnd::Notification& n) { setValuesFromHost(n); });
        mObserving = true;
    }
    setFloatValuesX(0.5f, 0.5f);
}

ZembraXYView::KnobGeometry ZembraXYView::geometry() const {
    KnobGeometry k{};
    if (mKnobImage) {
        k.kw = static_cast<int>(mKnobImage->size().width);
        k.kh = static_cast<int>(mKnobImage->size().height);
    }
    k.hw = k.kw / 2;
    k.hh = k.kh / 2;
    const tk::Rect b = bounds();
    k.spanX = static_cast<float>(b.width() - k.kw - k.hw);
    k.spanY = static_cast<float>(b.height() - k.kh - k.hh);
    return k;
}

void ZembraXYView::setFloatValuesX(float x, float y) {
    mX = x;
    mY = y;
    updateDisplayFromParams();
}

void ZembraXYView::updateDisplayFromParams() {
    const KnobGeometry k = geometry();
    currentPoint.x = k.spanX * mX + static_cast<float>(k.hw);
    currentPoint.y = k.spanY * mY + static_cast<float>(k.hh);
    setNeedsDisplay(true);
}

namespace {
// NaN (a pad with no span: no room beyond the knob) reads as 0 rather than reaching the host.
float clampUnit(float v) {
    if (!(v >= 0.0f)) return 0.0f;
    return v > 1.0f ? 1.0f : v;
}
} // namespace

float ZembraXYView::floatValueX() {
    const KnobGeometry k = geometry();
    mX = clampUnit(static_cast<float>((currentPoint.x - k.hw) / static_cast<double>(k.spanX)));
    return mX;
}

float ZembraXYView::floatValueY() {
    const KnobGeometry k = geometry();
    mY = clampUnit(static_cast<float>((currentPoint.y - k.hh) / static_cast<double>(k.spanY)));
    return mY;
}

tk::Point ZembraXYView::clipPointToFrame(tk::Point p) const {
    const KnobGeometry k = geometry();
    tk::Point out;
    out.x =
        k.hw > p.x ? k.hw : std::min(p.x, static_cast<double>(static_cast<float>(k.hw) + k.spanX));
    out.y =
        k.hh > p.y ? k.hh : std::min(p.y, static_cast<double>(static_cast<float>(k.hh) + k.spanY));
    return out;
}

void ZembraXYView::notifyHost() {
    const float y = floatValueY();
    const float x = floatValueX();
    fnd::NotificationCenter::defaultCenter().post(kSendUpdatedValuesToHostNotification,
                                                  postingObject(this),
                                                  {{kXValueKey, x}, {kYValueKey, y}});
}

void ZembraXYView::beginGesture() {
    fnd::NotificationCenter::defaultCenter().post(kBeginGestureNotification, postingObject(this));
}

void ZembraXYView::endGesture() {
    fnd::NotificationCenter::defaultCenter().post(kEndGestureNotification, postingObject(this));
}

void ZembraXYView::trackTo(const tk::Event& e) {
    currentPoint = clipPointToFrame(convertPointFromView(e.locationInWindow, nullptr));
}

void ZembraXYView::mouseDown(const tk::Event& e) {
    trackTo(e);
    beginGesture();
    notifyHost();
    setNeedsDisplay(true);
}

void ZembraXYView::mouseDragged(const tk::Event& e) {
    trackTo(e);
    notifyHost();
    setNeedsDisplay(true);
}

void ZembraXYView::mouseUp(const tk::Event& e) {
    trackTo(e);
    notifyHost();
    endGesture();
    setNeedsDisplay(true);
}

void ZembraXYView::keyDown(const tk::Event& e) {
    // Keys are read and deliberately dropped: they neither move the pad nor travel on.
    [[maybe_unused]] const char first =
        e.charactersIgnoringModifiers.empty() ? '\0' : e.charactersIgnoringModifiers.front();
}

void ZembraXYView::keyUp(const tk::Event& e) {
    [[maybe_unused]] const char first =
        e.charactersIgnoringModifiers.empty() ? '\0' : e.charactersIgnoringModifiers.front();
}

void ZembraXYView::setValuesFromHost(const fnd::Notification& n) {
    if (n.object != nullptr && n.object != postingObject(superview())) return;
    // An absent or non-finite value is treated like a negative one: that axis is not set.
    auto read = [&](const char* key) {
        const auto v = fnd::floatValue(n.userInfo, key);
        return v && std::isfinite(*v) ? *v : -1.0f;
    };
    const float x = read(kXValueKey);
    const float y = read(kYValueKey);
    const float cx = floatValueX();
    const float cy = floatValueY();
    if (x < 0.0f && y < 0.0f) return;
    if (x < 0.0f)
        setFloatValuesX(cx, y);
    else if (y < 0.0f)
        setFloatValuesX(x, cy);
    else
        setFloatValuesX(x, y);
}

void ZembraXYView::drawRect(tk::GraphicsContext& g, const tk::Rect& dirty) {
    if (!mKnobImage) return;
    const KnobGeometry k = geometry();
    // Corner of the knob: at least half a knob in from the left and bottom, at most
    // half a knob in from the right and top edges of the rectangle being drawn.
    auto corner = [](double pos, int half, double extent) {
        const double i = std::trunc(pos - half);
        if (!(i >= half)) return static_cast<double>(half); // NaN too
        if (i > extent - half) return std::trunc(extent - half);
        return i;
    };
    g.saveGraphicsState();
    g.drawImage(
        *mKnobImage,
        {corner(currentPoint.x, k.hw, dirty.width()), corner(currentPoint.y, k.hh, dirty.height())},
        tk::CompositingOperation::PlusLighter, 1.0);
    g.restoreGraphicsState();
}
