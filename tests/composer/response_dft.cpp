#include "tests/composer/response_dft.h"

#include <cmath>

namespace tolvar::test {

std::complex<double> ResponseAt(const std::vector<double>& h, double rate, double frequency) {
    constexpr double kPi = 3.14159265358979323846;
    const double w = 2.0 * kPi * frequency / rate;
    // The phasor is advanced by multiplication and re-anchored every 256 taps
    // so the rounding of the recurrence stays far below the bounds checked.
    const std::complex<double> step = std::polar(1.0, -w);
    std::complex<double> phasor = 1.0;
    std::complex<double> sum = 0.0;
    for (size_t n = 0; n < h.size(); ++n) {
        if (n % 256 == 0) phasor = std::polar(1.0, -w * double(n));
        sum += h[n] * phasor;
        phasor *= step;
    }
    return sum;
}

double MagnitudeDb(const std::vector<double>& h, double rate, double frequency) {
    return 20.0 * std::log10(std::abs(ResponseAt(h, rate, frequency)));
}

std::vector<double> CheckFrequencies(double maxFrequency, int count) {
    std::vector<double> f;
    const int logCount = count / 4;
    for (int i = 0; i < logCount; ++i) f.push_back(10.0 * std::pow(100.0, double(i) / logCount));
    const int linearCount = count - logCount;
    for (int i = 1; i <= linearCount; ++i)
        f.push_back(1000.0 + (maxFrequency - 1000.0) * double(i) / linearCount);
    return f;
}

}  // namespace tolvar::test
