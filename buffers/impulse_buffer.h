#pragma once
#include "buffers/heap_buffer.h"

namespace tolvar {

// A response as the convolution engine takes it: up to two channels of packed
// 32-bit float taps. A channel's tap count is its length in bytes divided by 4;
// channels may differ in length.
struct ImpulseBuffer {
    double sampleRate = 44100.0;  // rate of the taps, Hz (the engine does not read it)
    int channels = 1;             // 1 or 2
    HeapBuffer samples[2] = {HeapBuffer(64), HeapBuffer(64)};

    int TapCount(int channel) const { return samples[channel].Count<float>(); }
    const float* Taps(int channel) const { return samples[channel].As<float>(); }
};

}  // namespace tolvar
