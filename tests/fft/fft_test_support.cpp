#include "tests/fft/fft_test_support.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace tolvar::test {

std::vector<int> SupportedSizes() {
    std::vector<int> sizes;
    for (int n = kMinSize; n <= kMaxSize; n *= 2) sizes.push_back(n);
    return sizes;
}

std::vector<ComplexFloat> RandomSignal(int n, std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<ComplexFloat> x(n);
    for (ComplexFloat& value : x) value = {uniform(generator), uniform(generator)};
    return x;
}

std::vector<int> ScrambledOrder(int n) {
    if (n <= 2) {
        std::vector<int> order(n);
        for (int p = 0; p < n; ++p) order[p] = p;
        return order;
    }
    std::vector<int> order;
    for (int bin : ScrambledOrder(n / 2)) order.push_back(2 * bin);
    const std::vector<int> quarter = ScrambledOrder(n / 4);
    for (int m : quarter) order.push_back(4 * m + 1);
    for (int m : quarter) order.push_back((4 * m - 1 + n) % n);
    return order;
}

Dft::Dft(int size) : n(size), roots(size) {
    for (int m = 0; m < n; ++m) {
        const double angle = 2.0 * std::numbers::pi * m / n;
        roots[m] = {std::cos(angle), std::sin(angle)};
    }
}

ComplexDouble Dft::Root(long long m, int sign) const {
    const long long index = ((sign * m) % n + n) % n;
    return roots[index];
}

ComplexDouble Dft::Bin(const std::vector<ComplexDouble>& x, int k, int sign) const {
    // Walk the root index j*k mod n by repeated addition of k (mod n).
    const int step = ((sign * k) % n + n) % n;
    const int mask = n - 1;
    double re = 0.0, im = 0.0;
    int index = 0;
    for (int j = 0; j < n; ++j) {
        const ComplexDouble w = roots[index];
        re += x[j].real() * w.real() - x[j].imag() * w.imag();
        im += x[j].real() * w.imag() + x[j].imag() * w.real();
        index = (index + step) & mask;
    }
    return {re, im};
}

std::vector<ComplexDouble> ToDouble(const std::vector<ComplexFloat>& x) {
    std::vector<ComplexDouble> result(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) result[i] = {x[i].re, x[i].im};
    return result;
}

double Rms(const std::vector<ComplexFloat>& x) {
    double sum = 0.0;
    for (const ComplexFloat& value : x) sum += double(value.re) * value.re + double(value.im) * value.im;
    return x.empty() ? 0.0 : std::sqrt(sum / x.size());
}

double Db(double ratio) { return ratio > 0.0 ? 20.0 * std::log10(ratio) : -400.0; }

std::vector<int> PositionsToCheck(int n, int fullUpTo, int count, std::uint32_t seed) {
    std::vector<int> positions;
    if (n <= fullUpTo) {
        for (int p = 0; p < n; ++p) positions.push_back(p);
        return positions;
    }
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> pick(0, n - 1);
    positions = {0, 1, n - 1};
    while (static_cast<int>(positions.size()) < count) positions.push_back(pick(generator));
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    return positions;
}

void BuildTables() { FftInitTables(); }

double WorstRootError(const ComplexFloat* data, int n) {
    double worst = 0.0;
    for (int p = 0; p < n; ++p) {
        const double angle = 2.0 * std::numbers::pi * FftFrequencyAt(p, n) / n;
        worst = std::max(worst, std::hypot(data[p].re - std::cos(angle), data[p].im - std::sin(angle)));
    }
    return worst;
}

}  // namespace tolvar::test
