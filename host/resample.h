#pragma once
// Sample-rate conversion of one channel, for the media source.
#include <span>
#include <vector>

namespace tolvar {

// Rates whose ratio lies outside [1/kMaxResampleRatio, kMaxResampleRatio] are refused.
constexpr double kMaxResampleRatio = 256.0;

// Converts `in` (at inRate Hz) to outRate Hz with libsoxr at very high quality
// (SOXR_VHQ, linear phase), as one signal held in memory. soxr removes its own
// filter delay, so output frame k is the signal at time k / outRate: a click at
// input time t lands at output time t, and the filter's ringing before the first
// frame is cut off rather than shifted in. The result has
// round(in.size() × outRate / inRate) frames.
//
// Returns empty for empty input, rates that are not finite and positive, a ratio
// outside the limit above, or a failure inside soxr (including memory). Never throws.
std::vector<double> ResampleMono(std::span<const double> in, double inRate, double outRate);

}  // namespace tolvar
