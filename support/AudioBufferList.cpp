// SPDX-License-Identifier: GPL-3.0-or-later
// Allocation and release of audio buffer lists with the C allocator, so a list may be
// released by code that only knows the record.
#include "support/AudioBufferList.h"

#include <cstddef>
#include <cstdlib>

AudioBufferList* AllocateAudioBufferList(uint32_t n, uint32_t bytesPerBuffer) {
    // Room for the header and n + 1 entries: the declared entry plus n more. 64-bit sizes
    // cannot overflow here (n < 2^32, entries of 16 bytes).
    const std::size_t size = sizeof(AudioBufferList) + std::size_t{n} * sizeof(AudioBuffer);
    auto* list = static_cast<AudioBufferList*>(std::calloc(1, size));
    if (!list) return nullptr;
    list->mNumberBuffers = n;
    for (uint32_t i = 0; i < n; ++i) {
        AudioBuffer& buffer = list->mBuffers[i];
        buffer.mNumberChannels = 1;
        buffer.mDataByteSize = bytesPerBuffer;
        if (bytesPerBuffer == 0) continue;
        buffer.mData = std::calloc(1, bytesPerBuffer);
        if (!buffer.mData) {
            DestroyAudioBufferList(list);
            return nullptr;
        }
    }
    return list;
}

void DestroyAudioBufferList(AudioBufferList* list) {
    if (!list) return;
    for (uint32_t i = 0; i < list->mNumberBuffers; ++i)
        std::free(list->mBuffers[i].mData);
    std::free(list);
}
