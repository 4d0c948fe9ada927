// The double-precision FFT against a plain DFT summed in long double.
#include "fft/fft_double.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

#include "fft/cpu_features.h"
#include "fft/fft_double_isa.h"

namespace tolvar {
namespace {

using Complex = std::complex<long double>;
constexpr long double kTwoPi = 6.283185307179586476925286766559L;

std::vector<double> Random(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<double> x(count);
    for (double& v : x) v = value(random);
    return x;
}

// Plain DFT of size n in long double: bins of x (real parts re, imaginary
// parts im or none), from a table of the n roots of unity.
class Dft {
public:
    explicit Dft(long long size) : n(size) {
        for (long long j = 0; j < n; ++j) {
            const long double angle = -kTwoPi * static_cast<long double>(j) / n;
            roots.emplace_back(std::cos(angle), std::sin(angle));
        }
    }
    Complex Bin(const std::vector<double>& re, const std::vector<double>& im, long long k) const {
        Complex sum = 0.0L;
        for (long long j = 0; j < static_cast<long long>(re.size()); ++j)
            sum += Complex(re[j], im.empty() ? 0.0 : im[j]) * roots[(j * k) % n];
        return sum;
    }

private:
    long long n;
    std::vector<Complex> roots;
};

std::vector<double> Table(int m) {
    std::vector<double> table(DoubleFftTableDoubles(m) + 1);
    DoubleFftFillTable(table.data(), 0, m);
    return table;
}

TEST(DoubleFft, ComplexTransformsMatchAPlainDftAndInvertTimesTheSize) {
    for (int m = 1; m <= 2048; m *= 2) {
        const std::vector<double> table = Table(m);
        const std::vector<double> re0 = Random(m, m), im0 = Random(m, m + 1);
        std::vector<double> re = re0, im = im0;
        DoubleFftForward(re.data(), im.data(), m, table.data());
        const Dft dft(m);
        long double worst = 0.0L, peak = 0.0L;
        for (int p = 0; p < m; ++p) {
            const Complex expected = dft.Bin(re0, im0, DoubleFftBinAt(p, m));
            worst = std::max(worst, std::abs(expected - Complex(re[p], im[p])));
            peak = std::max(peak, std::abs(expected));
        }
        EXPECT_LE(worst, 1e-15L * peak) << m;
        DoubleFftInverse(re.data(), im.data(), m, table.data());
        for (int j = 0; j < m; ++j) {
            ASSERT_NEAR(re[j], m * re0[j], 1e-14 * m) << m;
            ASSERT_NEAR(im[j], m * im0[j], 1e-14 * m) << m;
        }
    }
}

TEST(DoubleFft, RealTransformsMatchAPlainDftForAnyNumberOfSamples) {
    for (int n = 2; n <= 2048; n *= 2) {
        const int m = n / 2;
        const std::vector<double> table = Table(m);
        const Dft dft(n);
        for (int count : {n, n - 1, n / 3 + 1, n / 8 + 1, 1}) {  // zero-padded ones skip work
            const std::vector<double> x = Random(count, n + count);
            std::vector<double> spectrum(n, 99.0);
            RealFftForward(x.data(), count, spectrum.data(), n, table.data());
            // Position 0 holds the two real bins 0 and m; the others are complex.
            long double worst = std::max(std::abs(dft.Bin(x, {}, 0).real() - spectrum[0]),
                                         std::abs(dft.Bin(x, {}, m).real() - spectrum[m]));
            long double peak = 1.0L;
            for (int p = 1; p < m; ++p) {
                const Complex expected = dft.Bin(x, {}, DoubleFftBinAt(p, m));
                worst = std::max(worst, std::abs(expected - Complex(spectrum[p], spectrum[m + p])));
                peak = std::max(peak, std::abs(expected));
            }
            EXPECT_LE(worst, 1e-15L * peak) << n << " " << count;

            std::vector<double> back(count);
            RealFftInverse(spectrum.data(), n, back.data(), count, 0.5 / m, table.data());
            for (int j = 0; j < count; ++j) ASSERT_NEAR(back[j], 0.5 * x[j], 1e-15 * n) << n << " " << count;
        }
    }
}

// The product of two spectra transforms back to the linear convolution when
// the transform holds all of it.
TEST(DoubleFft, MultipliedSpectraGiveTheLinearConvolution) {
    const std::vector<double> a = Random(700, 1), b = Random(333, 2);
    const int n = 2048, length = 700 + 333 - 1;
    const std::vector<double> table = Table(n / 2);
    std::vector<double> sa(n), sb(n), y(length);
    RealFftForward(a.data(), 700, sa.data(), n, table.data());
    RealFftForward(b.data(), 333, sb.data(), n, table.data());
    RealSpectrumMultiply(sa.data(), sb.data(), n);
    RealFftInverse(sa.data(), n, y.data(), length, 2.0 / n, table.data());
    for (int t = 0; t < length; ++t) {
        long double expected = 0.0L;
        for (int j = std::max(0, t - 332); j <= std::min(t, 699); ++j) expected += (long double)a[j] * b[t - j];
        ASSERT_NEAR(y[t], (double)expected, 1e-13) << t;
    }
}

// Filling a table in steps, as it grows with larger transforms, gives the same
// table as filling it at once.
TEST(DoubleFft, ATableGrownInStepsEqualsOneFilledAtOnce) {
    const int m = 1 << 14;
    std::vector<double> once = Table(m), steps(once.size());
    DoubleFftFillTable(steps.data(), 0, 4);
    DoubleFftFillTable(steps.data(), 4, 256);
    DoubleFftFillTable(steps.data(), 256, m);
    EXPECT_EQ(steps, once);
}

TEST(DoubleFft, TheVectorWidthsAgreeToTheBit) {
    if (!CpuHasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    for (int n = 2; n <= (1 << 15); n *= 2) {
        const std::vector<double> table = Table(n / 2), x = Random(n - 3 > 0 ? n - 3 : 1, n);
        const int count = static_cast<int>(x.size());
        std::vector<double> s2(n), s4(n), y2(n), y4(n);
        kDoubleFftSse2.realForward(x.data(), count, s2.data(), n, table.data());
        kDoubleFftAvx2.realForward(x.data(), count, s4.data(), n, table.data());
        ASSERT_EQ(0, std::memcmp(s2.data(), s4.data(), sizeof(double) * n)) << n;
        kDoubleFftSse2.multiply(s2.data(), s2.data() + 0, n);
        kDoubleFftAvx2.multiply(s4.data(), s4.data() + 0, n);
        kDoubleFftSse2.realInverse(s2.data(), n, y2.data(), n, 0.25, table.data());
        kDoubleFftAvx2.realInverse(s4.data(), n, y4.data(), n, 0.25, table.data());
        ASSERT_EQ(0, std::memcmp(y2.data(), y4.data(), sizeof(double) * n)) << n;
    }
}

}  // namespace
}  // namespace tolvar
