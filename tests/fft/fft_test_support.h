#pragma once
// Independent references for the FFT tests: a plain DFT in double, the bin
// order built from its verbal description, and random signals.
#include <complex>
#include <cstdint>
#include <vector>

#include "fft/fft.h"

namespace tolvar::test {

using ComplexDouble = std::complex<double>;

constexpr int kMinSize = 2;
constexpr int kMaxSize = 32768;

// Every supported size: 2, 4, ..., 32768.
std::vector<int> SupportedSizes();

// n values with real and imaginary parts uniform in [-1, 1).
std::vector<ComplexFloat> RandomSignal(int n, std::uint32_t seed);

// The bin held at each position after a forward transform of size n, built as
// even bins (recursively ordered) + bins 4m+1 + bins 4m-1 over the quarter order.
std::vector<int> ScrambledOrder(int n);

// Plain DFT of size n in double with a table of e^(2*pi*i*m/n), m = 0..n-1.
class Dft {
public:
    explicit Dft(int n);
    // sum over j of x[j] * e^(sign * 2*pi*i * j*k/n); sign is +1 or -1.
    ComplexDouble Bin(const std::vector<ComplexDouble>& x, int k, int sign) const;
    // e^(sign * 2*pi*i * m/n) for any integer m.
    ComplexDouble Root(long long m, int sign) const;

private:
    int n;
    std::vector<ComplexDouble> roots;  // e^(+2*pi*i*m/n)
};

std::vector<ComplexDouble> ToDouble(const std::vector<ComplexFloat>& x);
double Rms(const std::vector<ComplexFloat>& x);
double Db(double ratio);  // 20*log10(ratio), -400 for 0

// Positions whose bins a test checks: all of them for n <= fullUpTo, else
// `count` random positions (always including 0, 1 and n-1).
std::vector<int> PositionsToCheck(int n, int fullUpTo, int count, std::uint32_t seed);

// Makes sure the tables exist before a test transforms.
void BuildTables();

// The largest distance of data[p] from exp(+2 pi i f / n), f = FftFrequencyAt(p, n):
// what the forward transform of a unit impulse at position 1 must hold.
double WorstRootError(const ComplexFloat* data, int n);

}  // namespace tolvar::test
