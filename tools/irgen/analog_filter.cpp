#include "tools/irgen/analog_filter.h"

#include <cmath>
#include <numbers>

namespace tolvar::irgen {
namespace {

using Complex = std::complex<double>;

double AngularFrequency(double hz) { return 2.0 * std::numbers::pi * hz; }

// The amplitude factor A of the shelving and peaking forms: A^2 is the full gain.
double ShelfAmplitude(double gainDb) { return std::pow(10.0, gainDb / 40.0); }

// The roots of c2 u^2 + c1 u + c0, whose leading coefficient is not zero.
std::vector<Complex> Roots(double c2, double c1, double c0) {
    if (c2 == 0.0) return {Complex(-c0 / c1)};
    const double b = c1 / c2;
    const double c = c0 / c2;
    if (c == 0.0) return {Complex(0.0), Complex(-b)};
    const double discriminant = b * b - 4.0 * c;
    if (discriminant < 0.0) {
        const double imaginary = std::sqrt(-discriminant) / 2.0;
        return {Complex(-b / 2.0, imaginary), Complex(-b / 2.0, -imaginary)};
    }
    // The larger root first, the smaller from the product, which keeps both exact.
    const double q = -(b + std::copysign(std::sqrt(discriminant), b)) / 2.0;
    return {Complex(q), Complex(c / q)};
}

// Multiplies (numerator) or divides the filter by c2 u^2 + c1 u + c0 with u = s / w0.
void AddPolynomial(AnalogFilter& filter, double c2, double c1, double c0, double w0, bool numerator) {
    const int degree = c2 != 0.0 ? 2 : (c1 != 0.0 ? 1 : 0);
    const double leading = degree == 2 ? c2 : (degree == 1 ? c1 : c0);
    // lead * prod(u - r) = lead * w0^-degree * prod(s - w0 r)
    const double factor = leading * std::pow(w0, -degree);
    if (numerator) {
        filter.gain *= factor;
    } else {
        filter.gain /= factor;
    }
    if (degree == 0) return;
    for (const Complex root : Roots(c2, c1, c0)) {
        if (numerator && root == 0.0) {
            ++filter.originZeros;
        } else {
            (numerator ? filter.zeros : filter.poles).push_back(w0 * root);
        }
    }
}

// (n2 u^2 + n1 u + n0) / (d2 u^2 + d1 u + d0), u = s / (2 pi frequency).
AnalogFilter Biquad(double frequency, double n2, double n1, double n0, double d2, double d1, double d0) {
    AnalogFilter filter;
    const double w0 = AngularFrequency(frequency);
    AddPolynomial(filter, n2, n1, n0, w0, true);
    AddPolynomial(filter, d2, d1, d0, w0, false);
    return filter;
}

// The poles of a Butterworth filter of the given order, on a circle of radius w0.
std::vector<Complex> ButterworthPoles(double w0, int order) {
    std::vector<Complex> poles;
    for (int k = 0; k < order; ++k) {
        const double angle = std::numbers::pi * (2.0 * k + order + 1) / (2.0 * order);
        Complex pole = std::polar(w0, angle);
        if (2 * k + 1 == order) pole = Complex(-w0, 0.0);  // the real pole of an odd order
        poles.push_back(pole);
    }
    return poles;
}

}  // namespace

double AnalogFilter::LogMagnitude(double frequency) const {
    const double w = AngularFrequency(frequency);
    const Complex jw(0.0, w);
    double sum = std::log(std::abs(gain)) + originZeros * std::log(w);
    for (const Complex zero : zeros) sum += 0.5 * std::log(std::norm(jw - zero));
    for (const Complex pole : poles) sum -= 0.5 * std::log(std::norm(jw - pole));
    return sum;
}

AnalogFilter AnalogFilter::Then(const AnalogFilter& next) const {
    AnalogFilter both = *this;
    both.gain *= next.gain;
    both.originZeros += next.originZeros;
    both.zeros.insert(both.zeros.end(), next.zeros.begin(), next.zeros.end());
    both.poles.insert(both.poles.end(), next.poles.begin(), next.poles.end());
    return both;
}

AnalogFilter LowShelf(double corner, double gainDb) {
    const double a = ShelfAmplitude(gainDb);
    const double damping = std::sqrt(a) * std::numbers::sqrt2;  // sqrt(A) / Q with Q = 1/sqrt(2)
    AnalogFilter filter = Biquad(corner, 1.0, damping, a, a, damping, 1.0);
    filter.gain *= a;
    return filter;
}

AnalogFilter HighShelf(double corner, double gainDb) {
    const double a = ShelfAmplitude(gainDb);
    const double damping = std::sqrt(a) * std::numbers::sqrt2;
    AnalogFilter filter = Biquad(corner, a, damping, 1.0, 1.0, damping, a);
    filter.gain *= a;
    return filter;
}

AnalogFilter PeakingBand(double centre, double gainDb, double quality) {
    const double a = ShelfAmplitude(gainDb);
    return Biquad(centre, 1.0, a / quality, 1.0, 1.0, 1.0 / (a * quality), 1.0);
}

AnalogFilter ButterworthLowPass(double corner, int order) {
    AnalogFilter filter;
    filter.poles = ButterworthPoles(AngularFrequency(corner), order);
    Complex dcProduct = 1.0;  // prod(-p): the gain that makes the response 1 at DC
    for (const Complex pole : filter.poles) dcProduct *= -pole;
    filter.gain = dcProduct.real();
    return filter;
}

AnalogFilter ButterworthHighPass(double corner, int order) {
    AnalogFilter filter;
    filter.poles = ButterworthPoles(AngularFrequency(corner), order);
    filter.originZeros = order;
    return filter;
}

AnalogFilter LowPass2(double corner, double quality) {
    return Biquad(corner, 0.0, 0.0, 1.0, 1.0, 1.0 / quality, 1.0);
}

AnalogFilter HighPass2(double corner, double quality) {
    return Biquad(corner, 1.0, 0.0, 0.0, 1.0, 1.0 / quality, 1.0);
}

AnalogFilter Level(double gainDb) {
    AnalogFilter filter;
    filter.gain = std::pow(10.0, gainDb / 20.0);
    return filter;
}

}  // namespace tolvar::irgen
