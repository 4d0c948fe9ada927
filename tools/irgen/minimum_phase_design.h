#pragma once
// Digital impulse responses with an analog filter's magnitude and minimum phase.
#include <vector>

#include "tools/irgen/analog_filter.h"

namespace tolvar::irgen {

// Up to this frequency the digital magnitude is the analog filter's own.
constexpr double kAnalogMatchHz = 21000.0;
// From here to the Nyquist frequency it is the average of the analog magnitude
// at f and at rate - f (in dB), which is the analog value at Nyquist itself and
// flat there; between the two it blends smoothly from one to the other.
constexpr double kNyquistBlendHz = 40000.0;

// The impulse response, at `rate` Hz (at least 2 x kNyquistBlendHz), of the
// minimum-phase filter whose magnitude is the analog filter's (as above; so
// nothing is cramped near Nyquist as the bilinear transform would cramp it).
//
// The magnitude is sampled on an FFT grid fine enough for the slowest pole to
// die away within it, and the phase follows from it by the real cepstrum. The
// poles and zeros, carried over to z = exp(s / rate), are factored out first,
// so the cepstrum only shapes a smooth, nearly flat remainder and a high-pass
// keeps its exact zero at DC. The result is as long as that grid; trim it.
std::vector<double> MinimumPhaseImpulse(const AnalogFilter& filter, double rate);

// The minimum-phase impulse response with the magnitude of the FIR response
// `impulse` (whatever its phase), as long as `impulse`: reflecting a filter's
// zeros into the unit circle keeps its length. Found by the real cepstrum on
// a grid of `gridSize` points (a power of two, many times the impulse's
// length); zeros on the unit circle get a finite logarithm by flooring the
// magnitude 200 dB below its peak. Cut to the filter's length, the cepstrum's
// aliasing is left behind with the rest of the grid.
std::vector<double> MinimumPhaseOf(const std::vector<double>& impulse, int gridSize);

}  // namespace tolvar::irgen
