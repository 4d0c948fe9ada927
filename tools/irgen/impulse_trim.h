#pragma once
// Where an impulse response may end: its tail cut once it no longer matters.
#include <vector>

namespace tolvar::irgen {

// Energy left in a cut-off tail, relative to the whole response: -120 dB.
constexpr double kTailEnergyFraction = 1e-12;
// Samples over which the cut is faded out (fewer when the kept part is shorter).
constexpr int kFadeLength = 32;

// Keeps the shortest start of `impulse` after which at most kTailEnergyFraction
// of the energy remains, plus a fade of the next samples (half a Hann window),
// which lie in that remainder. A response of one tap stays one tap.
std::vector<double> TrimTail(const std::vector<double>& impulse);

}  // namespace tolvar::irgen
