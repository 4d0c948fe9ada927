#include "tests/support/signals.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace tolvar::test {

std::vector<float> Noise(int count, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> signal(static_cast<std::size_t>(std::max(count, 0)));
    for (float& s : signal) s = value(random);
    return signal;
}

std::vector<double> Convolve(const std::vector<double>& a, const std::vector<double>& b, double scale) {
    if (a.empty() || b.empty()) return {};
    std::vector<double> y(a.size() + b.size() - 1, 0.0);
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t j = 0; j < b.size(); ++j) y[i + j] += a[i] * b[j];
    }
    for (double& v : y) v *= scale;
    return y;
}

std::vector<double> Convolve(const std::vector<float>& a, const std::vector<double>& b, double scale) {
    return Convolve(std::vector<double>(a.begin(), a.end()), b, scale);
}

double RelativeErrorDb(const std::vector<double>& actual, const std::vector<double>& reference) {
    double error = 0.0, energy = 0.0;
    const std::size_t count = std::min(actual.size(), reference.size());
    for (std::size_t i = 0; i < count; ++i) {
        error += (actual[i] - reference[i]) * (actual[i] - reference[i]);
        energy += reference[i] * reference[i];
    }
    if (error == 0.0) return -400.0;
    return 10.0 * std::log10(error / energy);
}

double PeakRelativeError(const std::vector<float>& output, const std::vector<double>& reference, int delay) {
    double peak = 0.0, error = 0.0;
    for (std::size_t t = 0; t < output.size(); ++t) {
        const long at = static_cast<long>(t) - delay;
        const double expected =
            at >= 0 && static_cast<std::size_t>(at) < reference.size() ? reference[static_cast<std::size_t>(at)] : 0.0;
        peak = std::max(peak, std::abs(expected));
        error = std::max(error, std::abs(output[t] - expected));
    }
    return peak > 0.0 ? error / peak : error;
}

}  // namespace tolvar::test
