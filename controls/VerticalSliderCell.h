// SPDX-License-Identifier: GPL-3.0-or-later
// The cell of the editor's vertical sliders: the toolkit's bar, a glowing oval level meter
// inside it, and a thumb picture; each drag is announced as a gesture.
#pragma once

#include "controls/GestureCell.h"
#include "platform/toolkit/Image.h"
#include "platform/toolkit/Shadow.h"
#include "platform/toolkit/SliderCell.h"

#include <filesystem>
#include <memory>
#include <optional>

class VerticalSliderCell : public GestureCell<tk::SliderCell> {
  public:
    using GestureCell::GestureCell; // init, initWithCoder

    void drawWithFrame(tk::GraphicsContext& g, const tk::Rect& cellFrame,
                       tk::View& controlView) override;
    using tk::SliderCell::drawKnob;
    void drawKnob(tk::GraphicsContext& g, const tk::Rect& knobRect) override;
    bool startTrackingAt(tk::Point p, tk::View& controlView) override;
    void stopTracking(tk::Point last, tk::Point stop, tk::View& controlView,
                      bool mouseIsUp) override;

    // Level 0, no thumb, default colours; the shadow stays.
    void prepare() override;
    void setRmsLevel(float level);
    void setTrackRect(const tk::Rect& r);
    // Without a loadable picture the slider has no visible thumb.
    void setThumbImage(const std::filesystem::path& path);
    void setLowLevelVolumeRed(float r, float g, float b);
    void setHighLevelVolumeRed(float r, float g, float b);

    float rmsLevel() const { return mRmsLevel; }
    const std::shared_ptr<tk::Image>& thumbImage() const { return mImage; }
    const std::optional<tk::Shadow>& meterShadow() const { return mShadow; }

  protected:
    float mRmsLevel = 0.0f;
    std::shared_ptr<tk::Image> mImage;
    std::optional<tk::Shadow> mShadow =
        tk::Shadow{{2.0, -3.0}, 6.0, tk::Color::calibratedWhite(0.5, 0.75)};
    float mR1 = 0.0f;
    float mR2 = 0.0f;
    float mG1 = 1.0f;
    float mG2 = 0.2f;
    float mB1 = 1.0f;
    float mB2 = 0.6f;
};
