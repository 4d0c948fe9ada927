#pragma once
// Test signals and the independent references they are checked against.
#include <cstdint>
#include <vector>

namespace tolvar::test {

// Uniform white noise in [-1, 1); the same seed gives the same signal.
std::vector<float> Noise(int count, std::uint32_t seed);

// The full linear convolution scale * (a * b), summed directly in double:
// a.size() + b.size() - 1 values, empty when either input is.
std::vector<double> Convolve(const std::vector<double>& a, const std::vector<double>& b, double scale = 1.0);
std::vector<double> Convolve(const std::vector<float>& a, const std::vector<double>& b, double scale = 1.0);

// RMS of (actual - reference) over the RMS of reference, in dB, over the
// samples both have.
double RelativeErrorDb(const std::vector<double>& actual, const std::vector<double>& reference);

// Largest |output[t] - reference[t - delay]| over the whole output (the
// reference is zero outside its range), relative to the reference's peak.
double PeakRelativeError(const std::vector<float>& output, const std::vector<double>& reference, int delay);

}  // namespace tolvar::test
