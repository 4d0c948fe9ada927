#pragma once
// Everything observable about an ImpulseBuffer, to prove it was left alone.
#include <vector>

#include "buffers/impulse_buffer.h"

namespace tolvar::test {

struct ImpulseSnapshot {
    double sampleRate;
    int channels;
    const void* data[2];
    int length[2];
    int capacity[2];
    std::vector<float> taps[2];

    explicit ImpulseSnapshot(const ImpulseBuffer& impulse)
        : sampleRate(impulse.sampleRate), channels(impulse.channels) {
        for (int c = 0; c < 2; ++c) {
            data[c] = impulse.samples[c].Data();
            length[c] = impulse.samples[c].Length();
            capacity[c] = impulse.samples[c].Capacity();
            taps[c].assign(impulse.Taps(c), impulse.Taps(c) + impulse.TapCount(c));
        }
    }

    bool operator==(const ImpulseSnapshot& other) const {
        for (int c = 0; c < 2; ++c) {
            if (data[c] != other.data[c] || length[c] != other.length[c] ||
                capacity[c] != other.capacity[c] || taps[c] != other.taps[c])
                return false;
        }
        // Compared bit for bit, so that a not-a-number rate would also count.
        return std::vector<char>((const char*)&sampleRate, (const char*)&sampleRate + 8) ==
                   std::vector<char>((const char*)&other.sampleRate,
                                     (const char*)&other.sampleRate + 8) &&
               channels == other.channels;
    }
};

// An impulse that no composition would produce: 2 channels, odd rate, 5 and 3 taps.
inline void FillPreviousImpulse(ImpulseBuffer& impulse) {
    impulse.sampleRate = 12345.0;
    impulse.channels = 2;
    const float first[5] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f}, second[3] = {-1.0f, -2.0f, -3.0f};
    float* a = static_cast<float*>(impulse.samples[0].Resize(5 * 4, true));
    float* b = static_cast<float*>(impulse.samples[1].Resize(3 * 4, true));
    for (int i = 0; i < 5; ++i) a[i] = first[i];
    for (int i = 0; i < 3; ++i) b[i] = second[i];
}

}  // namespace tolvar::test
