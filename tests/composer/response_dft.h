#pragma once
// Frequency responses of finite impulse responses by a plain DFT in double.
#include <complex>
#include <vector>

namespace tolvar::test {

// sum over n of h[n] * exp(-2 pi i f n / rate), evaluated directly.
std::complex<double> ResponseAt(const std::vector<double>& h, double rate, double frequency);

// 20 log10 |response|.
double MagnitudeDb(const std::vector<double>& h, double rate, double frequency);

// Frequencies for a passband check: logarithmic from 10 Hz to 1 kHz, then
// linear up to maxFrequency, `count` in all.
std::vector<double> CheckFrequencies(double maxFrequency, int count);

}  // namespace tolvar::test
