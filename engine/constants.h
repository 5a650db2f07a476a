// SPDX-License-Identifier: GPL-3.0-or-later
// Sizes of the engine's analysis and resynthesis, shared by every part of the engine.
#pragma once

namespace zembra {

constexpr long kLog2FrameSize = 11;
constexpr long kFrameSize = 1L << kLog2FrameSize; // samples per analysis frame
constexpr long kHop = kFrameSize / 2;             // samples between frames
// The blend and the dry mix leave the engine a whole frame after they enter: the delay a host
// compensates, which the solo paths are delayed by to stay in step.
constexpr long kLatency = kFrameSize;
constexpr long kBlendBins = kFrameSize / 2; // bins 0..1023 carry the blend
constexpr long kCosTableSize = kFrameSize / 4 + 1;
constexpr long kEnvelopeWindowType = 5; // Blackman lag window for the spectral envelopes

} // namespace zembra
