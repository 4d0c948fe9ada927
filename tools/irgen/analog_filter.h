#pragma once
// Analog filters as the library's responses are drawn: poles, zeros and a gain
// in the s-plane, with the classic console shapes built from them.
#include <complex>
#include <vector>

namespace tolvar::irgen {

// H(s) = gain * s^originZeros * prod(s - zeros) / prod(s - poles), s in rad/s.
// Complex roots come in conjugate pairs, so the response is that of a real
// filter. Poles lie in the left half-plane (a stable filter).
struct AnalogFilter {
    double gain = 1.0;
    int originZeros = 0;                      // zeros at s = 0 (a high-pass's roll-off)
    std::vector<std::complex<double>> zeros;  // the other zeros
    std::vector<std::complex<double>> poles;

    // ln |H(j 2 pi f)|, f in Hz (not 0 when there are origin zeros).
    double LogMagnitude(double frequency) const;

    // The filters one after the other.
    AnalogFilter Then(const AnalogFilter& next) const;
};

// All gains in dB; corner and centre frequencies in Hz.

// A shelf whose response passes half its gain (in dB) at `corner`: second order,
// quality 1/sqrt(2) (no overshoot), the full gain below (low) or above (high).
AnalogFilter LowShelf(double corner, double gainDb);
AnalogFilter HighShelf(double corner, double gainDb);

// A peaking band: exactly gainDb at `centre`, half of it (in dB) at the two
// frequencies f1 < centre < f2 with f1 * f2 = centre^2 and f2 - f1 = centre / quality.
AnalogFilter PeakingBand(double centre, double gainDb, double quality);

// Butterworth low-pass and high-pass of the given order: -3.01 dB at `corner`.
AnalogFilter ButterworthLowPass(double corner, int order);
AnalogFilter ButterworthHighPass(double corner, int order);

// Second-order low-pass and high-pass of the given quality (0.7071 is Butterworth;
// higher qualities peak a little before the corner).
AnalogFilter LowPass2(double corner, double quality);
AnalogFilter HighPass2(double corner, double quality);

// A constant gain.
AnalogFilter Level(double gainDb);

}  // namespace tolvar::irgen
