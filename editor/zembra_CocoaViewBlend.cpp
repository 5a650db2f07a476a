// SPDX-License-Identifier: GPL-3.0-or-later
// The editor view's picture of the blend: the spectra of A, B and the output while bound to
// an instance whose sound it can reach, the pad's words glowing with the shares at the knob,
// and, in a field of its own, what to do when one source has been silent while the other
// played: which input to feed, for the routing the instance takes its sources by.
#include "editor/zembra_CocoaView.h"

#include "controls/ZembraPadGuide.h"
#include "controls/ZembraSpectrumView.h"
#include "controls/ZembraXYView.h"
#include "editor/LiveSpectra.h"
#include "editor/SignalTapProperty.h"
#include "platform/toolkit/PopUpButton.h"
#include "platform/toolkit/TextField.h"

using namespace zembra;

namespace {

const char* routingHint(SourceSilence::Missing missing, bool leftAndRight) {
    switch (missing) {
    case SourceSilence::Missing::SourceA:
        return leftAndRight
                   ? "Source A is silent: feed a source to the left channel of Zembra's track"
                   : "Source A is silent: play a source on the track Zembra sits on";
    case SourceSilence::Missing::SourceB:
        return leftAndRight
                   ? "Source B is silent: feed a second source to the right channel of Zembra's "
                     "track"
                   : "Source B is silent: feed a second source to Zembra's side-chain input";
    case SourceSilence::Missing::None:
        break;
    }
    return "";
}

} // namespace

void zembra_CocoaView::_startSpectra() {
    mSpectra.reset();
    mSilence = {};
    mPeakA = mPeakB = 0.0f;
    // Only an editor that draws them listens: nothing is analysed for a closed one.
    if (mAU == 0 || !uiSpectrumView) return;
    if (auto tap = signalTapOf(mAU)) mSpectra = std::make_unique<LiveSpectra>(std::move(tap));
}

void zembra_CocoaView::_showBlend(double seconds) {
    if (mSpectra) {
        mSpectra->advance(seconds);
        uiSpectrumView->setTraces(mSpectra->levels(), mSpectra->outputPeaks());
    }
    if (uiPadGuide && uiZembra2DView)
        uiPadGuide->setPosition(uiZembra2DView->storedX(), uiZembra2DView->storedY());
    if (uiRoutingHint && mAU != 0) {
        const bool leftAndRight =
            uiSourceRoutingPopUp &&
            uiSourceRoutingPopUp->indexOfSelectedItem() == kRoutingLeftAndRight;
        const std::string hint =
            routingHint(mSilence.advance(mPeakA, mPeakB, seconds), leftAndRight);
        if (uiRoutingHint->stringValue() != hint) uiRoutingHint->setStringValue(hint);
    }
}
