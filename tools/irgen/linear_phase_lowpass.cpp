#include "tools/irgen/linear_phase_lowpass.h"

#include <cmath>
#include <numbers>

namespace tolvar::irgen {

std::vector<double> KaiserLowPass(double passEdge, double stopEdge, double stopAttenuationDb, double rate) {
    // Kaiser's estimates of the window parameter and the order for this attenuation.
    const double beta = 0.1102 * (stopAttenuationDb - 8.7);
    const double transition = 2.0 * std::numbers::pi * (stopEdge - passEdge) / rate;
    int order = static_cast<int>(std::ceil((stopAttenuationDb - 8.0) / (2.285 * transition)));
    order += order % 2;
    const double cutoff = (passEdge + stopEdge) / rate;  // twice the mid-transition frequency over the rate
    const double windowNorm = std::cyl_bessel_i(0.0, beta);
    std::vector<double> taps(order + 1);
    for (int n = 0; n <= order; ++n) {
        // From the distance to the centre alone, so that the taps mirror exactly.
        const double t = std::abs(n - order / 2);
        const double arg = std::numbers::pi * cutoff * t;
        const double sinc = t == 0.0 ? 1.0 : std::sin(arg) / arg;
        const double r = t / (order / 2);
        const double window = std::cyl_bessel_i(0.0, beta * std::sqrt(1.0 - r * r)) / windowNorm;
        taps[n] = cutoff * sinc * window;
    }
    return taps;
}

}  // namespace tolvar::irgen
