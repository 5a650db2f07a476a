// SPDX-License-Identifier: GPL-3.0-or-later
// Audio buffer lists: a count followed by that many mono buffers, laid out as the audio
// side expects.
#pragma once

#include "support/Export.h"

#include <cstdint>

struct AudioBuffer {
    uint32_t mNumberChannels;
    uint32_t mDataByteSize;
    void* mData;
};

struct AudioBufferList {
    uint32_t mNumberBuffers;
    AudioBuffer mBuffers[1]; // really mNumberBuffers entries
};

// n mono buffers of `bytesPerBuffer` zero bytes each (a zero-byte buffer has null data);
// nullptr when memory runs out, with nothing leaked. Free with DestroyAudioBufferList.
ZEMBRA_EXPORT AudioBufferList* AllocateAudioBufferList(uint32_t n, uint32_t bytesPerBuffer);
// Frees the list and its buffers; nullptr is ignored.
ZEMBRA_EXPORT void DestroyAudioBufferList(AudioBufferList* list);
