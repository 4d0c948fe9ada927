#include "composer/resampler_kernel.h"

#include <cmath>

namespace tolvar {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Modified Bessel function of the first kind, order 0, by its power series.
double BesselI0(double x) {
    const double quarterSquare = 0.25 * x * x;
    double term = 1.0, sum = 1.0;
    for (int k = 1; term > 1e-17 * sum; ++k) {
        term *= quarterSquare / (double(k) * k);
        sum += term;
    }
    return sum;
}

}  // namespace

// The window is smooth, so reading it from a table with linear interpolation
// adds no measurable error; the sinc itself is computed exactly.
ResamplerKernel::ResamplerKernel() {
    const double norm = 1.0 / BesselI0(kResamplerKaiserBeta);
    for (int i = 0; i <= kSize; ++i) {
        const double r = double(i) / kSize;
        window[i] = r < 1.0 ? BesselI0(kResamplerKaiserBeta * std::sqrt(1.0 - r * r)) * norm : 0.0;
    }
}

// Zero from the half-width on: |x| can round up to the edge when frac lies
// within rounding of 0 or 1.
double ResamplerKernel::Window(double absX) const {
    const double t = absX * kStepsPerSample;
    if (!(t < kSize)) return 0.0;
    const int i = static_cast<int>(t);
    return window[i] + (t - i) * (window[i + 1] - window[i]);
}

void ResamplerKernel::At(double frac, double (&weights)[kResamplerKernelTaps]) const {
    // sin(pi * x) for x = j - halfWidth + 1 - frac is (-1)^(j - halfWidth) sin(pi frac).
    const double sinFrac = std::sin(kPi * frac);
    double sign = (kResamplerHalfWidth % 2 == 0) ? 1.0 : -1.0;
    double sum = 0.0;
    for (int j = 0; j < kResamplerKernelTaps; ++j) {
        const double x = (j - kResamplerHalfWidth + 1) - frac;
        const double w = sign * sinFrac / (kPi * x) * Window(std::fabs(x));
        weights[j] = w;
        sum += w;
        sign = -sign;
    }
    const double norm = 1.0 / sum;
    for (double& w : weights) w *= norm;
}

}  // namespace tolvar
