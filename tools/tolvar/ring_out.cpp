#include "tools/tolvar/ring_out.h"

#include <algorithm>
#include <cmath>

namespace tolvar::cli {

RingOutLimits RingOutLimitsAt(double sampleRate) {
    const auto second = static_cast<int64_t>(std::ceil(sampleRate));
    return {1e-6f, second, 60 * second};
}

RingOut::RingOut(int channels, const RingOutLimits& bounds)
    : limits(bounds), frames(static_cast<std::size_t>(channels)), settled(static_cast<std::size_t>(channels)) {}

void RingOut::Append(const float* const* channels, int32_t from, int32_t to) {
    const int64_t start = static_cast<int64_t>(frames.front().size());
    for (std::size_t c = 0; c < frames.size(); ++c) {
        frames[c].insert(frames[c].end(), channels[c] + from, channels[c] + to);
        for (int32_t n = from; n < to; ++n) {
            if (std::abs(channels[c][n] - settled[c]) <= limits.threshold) continue;
            settled[c] = channels[c][n];
            loudEnd = std::max(loudEnd, start + (n - from) + 1);
        }
    }
}

bool RingOut::Done() const {
    const auto length = static_cast<int64_t>(frames.front().size());
    return length - loudEnd >= limits.quietFrames || length >= limits.maxFrames;
}

int64_t RingOut::Length() const { return std::min(loudEnd, limits.maxFrames); }

std::vector<const float*> RingOut::Channels() const {
    std::vector<const float*> channels;
    for (const std::vector<float>& buffer : frames) channels.push_back(buffer.data());
    return channels;
}

}  // namespace tolvar::cli
