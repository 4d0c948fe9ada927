#pragma once
// The magnitude of an A/D converter's anti-alias filter, as a steep
// linear-phase low-pass (the library holds its minimum-phase form).
#include <vector>

namespace tolvar::irgen {

// A Kaiser-windowed sinc at `rate` Hz: passes up to passEdge Hz (ripple of the
// order of the stop band's level), stops from stopEdge Hz on by at least
// stopAttenuationDb. Symmetric, with an odd number of taps, so its delay is a
// whole number of samples: (taps - 1) / 2.
std::vector<double> KaiserLowPass(double passEdge, double stopEdge, double stopAttenuationDb, double rate);

}  // namespace tolvar::irgen
