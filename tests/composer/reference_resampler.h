#pragma once
// A slow, direct evaluation of the filter resampling formula, for checking the
// composer's interpolator tap by tap: every kernel value computed afresh from
// the sinc and the Kaiser window (Bessel series), no tables, no shortcuts.
#include <vector>

namespace tolvar::test {

struct TwoSidedResponse {
    int firstIndex;            // output index of values[0] (negative: pre-ringing)
    std::vector<double> values;
};

// y[n] = sum over k of h[k] * g(n - k * toRate / fromRate) / sum over m of g(m - k * toRate / fromRate),
// g(x) = sinc(x) * I0(beta * sqrt(1 - (x / halfWidth)^2)) / I0(beta) for |x| < halfWidth.
TwoSidedResponse ReferenceResample(const std::vector<double>& h, double fromRate, double toRate,
                                   int halfWidth, double beta);

}  // namespace tolvar::test
