// SPDX-License-Identifier: GPL-3.0-or-later
// The live spectra of source A, source B and the output, one trace each over a log frequency
// scale (controls/SpectrumScale.h), the output's held peaks as marks above it, and a legend.
// It draws what it is given; the editor feeds it at its frame rate. Decoration only.
#pragma once

#include "controls/SpectrumScale.h"
#include "platform/toolkit/View.h"

#include <array>

class ZembraSpectrumView : public tk::View {
  public:
    enum Trace { kTraceA, kTraceB, kTraceOutput, kTraceCount };

    explicit ZembraSpectrumView(const tk::Coder& coder);
    explicit ZembraSpectrumView(const tk::Rect& frame);

    // Levels 0..1 per band (0 is the floor); the peaks belong to the output.
    void setTraces(const std::array<zembra::spectrum::Bands, kTraceCount>& levels,
                   const zembra::spectrum::Bands& outputPeaks);
    const zembra::spectrum::Bands& trace(Trace t) const { return mLevels[t]; }

    // Where a frequency and a level land in the plot (view coordinates).
    tk::Rect plotArea() const;
    tk::Point pointFor(double position, float level) const;

    void drawRect(tk::GraphicsContext& g, const tk::Rect& dirty) override;
    View* hitTest(tk::Point) override { return nullptr; }

  private:
    void drawScale(tk::GraphicsContext& g) const;
    void drawTrace(tk::GraphicsContext& g, Trace t) const;
    void drawLegend(tk::GraphicsContext& g) const;

    std::array<zembra::spectrum::Bands, kTraceCount> mLevels{};
    zembra::spectrum::Bands mPeaks{};
};
