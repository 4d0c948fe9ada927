#pragma once
// Collects an effect's output after the input has ended, until it has rung
// out: the ring-out ends once every channel has stayed within the threshold of
// one value for the quiet span, and what is kept ends with the last frame that
// moved further. Settling on a value rather than on silence lets an effect
// that puts out a constant offset (a bit crusher's lowest step) end as well.
#include <cstdint>
#include <vector>

namespace tolvar::cli {

struct RingOutLimits {
    float threshold = 1e-6f;         // full scale is 1.0; 1e-6 is -120 dBFS
    int64_t quietFrames = 48000;     // this long within the threshold ends the ring-out
    int64_t maxFrames = 48000 * 60;  // an effect that never falls silent is cut here
};

// The limits for a rate: one second of quiet, at most a minute of ring-out.
RingOutLimits RingOutLimitsAt(double sampleRate);

class RingOut {
public:
    RingOut(int channels, const RingOutLimits& limits);

    // Appends frames [from, to) of each channel.
    void Append(const float* const* channels, int32_t from, int32_t to);

    bool Done() const;
    int64_t Length() const;  // frames kept: up to and including the last one that moved
    std::vector<const float*> Channels() const;

private:
    RingOutLimits limits;
    std::vector<std::vector<float>> frames;  // one buffer per channel
    std::vector<float> settled;              // per channel: the value of the last frame that moved; 0 at first
    int64_t loudEnd = 0;                     // one past the last frame that moved
};

}  // namespace tolvar::cli
