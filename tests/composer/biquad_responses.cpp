#include "tests/composer/biquad_responses.h"

#include <cmath>

namespace tolvar::test {
namespace {

constexpr double kPi = 3.14159265358979323846;

Biquad Normalised(double b0, double b1, double b2, double a0, double a1, double a2) {
    return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

}  // namespace

Biquad PeakingBiquad(double rate, double frequency, double gainDb, double quality) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w0 = 2.0 * kPi * frequency / rate;
    const double alpha = std::sin(w0) / (2.0 * quality);
    const double c = std::cos(w0);
    return Normalised(1.0 + alpha * a, -2.0 * c, 1.0 - alpha * a, 1.0 + alpha / a, -2.0 * c,
                      1.0 - alpha / a);
}

Biquad LowShelfBiquad(double rate, double frequency, double gainDb) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w0 = 2.0 * kPi * frequency / rate;
    const double c = std::cos(w0);
    const double k = 2.0 * std::sqrt(a) * std::sin(w0) / std::sqrt(2.0);  // 2 sqrt(A) alpha
    return Normalised(a * ((a + 1.0) - (a - 1.0) * c + k), 2.0 * a * ((a - 1.0) - (a + 1.0) * c),
                      a * ((a + 1.0) - (a - 1.0) * c - k), (a + 1.0) + (a - 1.0) * c + k,
                      -2.0 * ((a - 1.0) + (a + 1.0) * c), (a + 1.0) + (a - 1.0) * c - k);
}

Biquad HighShelfBiquad(double rate, double frequency, double gainDb) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w0 = 2.0 * kPi * frequency / rate;
    const double c = std::cos(w0);
    const double k = 2.0 * std::sqrt(a) * std::sin(w0) / std::sqrt(2.0);
    return Normalised(a * ((a + 1.0) + (a - 1.0) * c + k), -2.0 * a * ((a - 1.0) + (a + 1.0) * c),
                      a * ((a + 1.0) + (a - 1.0) * c - k), (a + 1.0) - (a - 1.0) * c + k,
                      2.0 * ((a - 1.0) - (a + 1.0) * c), (a + 1.0) - (a - 1.0) * c - k);
}

Biquad LowPassBiquad(double rate, double frequency, double quality) {
    const double w0 = 2.0 * kPi * frequency / rate;
    const double alpha = std::sin(w0) / (2.0 * quality);
    const double c = std::cos(w0);
    return Normalised((1.0 - c) / 2.0, 1.0 - c, (1.0 - c) / 2.0, 1.0 + alpha, -2.0 * c,
                      1.0 - alpha);
}

std::vector<double> CascadeImpulseResponse(const std::vector<Biquad>& sections, int maxLength) {
    std::vector<double> y(maxLength, 0.0);
    y[0] = 1.0;
    for (const Biquad& s : sections) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : y) {
            const double out = s.b0 * v + s.b1 * x1 + s.b2 * x2 - s.a1 * y1 - s.a2 * y2;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = out;
            v = out;
        }
    }
    double peak = 0.0;
    for (double v : y) peak = std::fmax(peak, std::fabs(v));
    int end = maxLength;
    int quiet = 0;
    for (int i = 0; i < maxLength; ++i) {
        quiet = std::fabs(y[i]) < 1e-13 * peak ? quiet + 1 : 0;
        if (quiet == 4096) {
            end = i - quiet + 2;
            break;
        }
    }
    y.resize(end);
    return y;
}

}  // namespace tolvar::test
