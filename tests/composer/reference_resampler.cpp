#include "tests/composer/reference_resampler.h"

#include <cmath>

namespace tolvar::test {
namespace {

constexpr double kPi = 3.14159265358979323846;

double I0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 200; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

double Kernel(double x, int halfWidth, double beta) {
    if (std::fabs(x) >= halfWidth) return 0.0;
    const double sinc = x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
    const double r = x / halfWidth;
    return sinc * I0(beta * std::sqrt(1.0 - r * r)) / I0(beta);
}

}  // namespace

TwoSidedResponse ReferenceResample(const std::vector<double>& h, double fromRate, double toRate,
                                   int halfWidth, double beta) {
    const double ratio = toRate / fromRate;
    TwoSidedResponse y;
    y.firstIndex = -halfWidth;
    const int last = int(std::floor((h.size() - 1) * ratio)) + halfWidth;
    y.values.assign(last - y.firstIndex + 1, 0.0);
    for (size_t k = 0; k < h.size(); ++k) {
        const double position = k * ratio;
        const int from = int(std::floor(position)) - halfWidth;
        const int to = int(std::floor(position)) + halfWidth;
        double sum = 0.0;
        for (int n = from; n <= to; ++n) sum += Kernel(n - position, halfWidth, beta);
        for (int n = from; n <= to; ++n)
            y.values[n - y.firstIndex] += h[k] * Kernel(n - position, halfWidth, beta) / sum;
    }
    return y;
}

}  // namespace tolvar::test
