#include "convolution/impulse_partitions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "fft/fft.h"
#include "tests/convolution/engine_test_support.h"
#include "tests/support/failing_heap.h"

namespace tolvar {
namespace {

// Each used partition holds the forward transform of its zero-padded taps
// times 1/N, in the FFT's bin order: checked against a plain DFT in double.
TEST(PartitionSpectra, ScaledSpectraInBinOrderAndSilenceFlags) {
    FftInitTables();
    const int n = 16, h = 8;
    test::Signal taps = test::Noise(20, 5);  // partitions of 8, 8 and 4 taps
    for (int i = 8; i < 16; ++i) taps[static_cast<std::size_t>(i)] = (i % 2 ? 1e-14f : -0.9e-14f);
    HeapBuffer spectra(64), flags(64);
    ASSERT_TRUE(BuildPartitionSpectra(taps.data(), 20, n, 4, SpectrumLayout::kFull, spectra, flags));
    ASSERT_EQ(spectra.Length(), 4 * n * 8);
    ASSERT_EQ(flags.Length(), 4);
    const auto* used = flags.As<unsigned char>();
    EXPECT_EQ(used[0], 1);
    EXPECT_EQ(used[1], 0);  // nothing above 1e-14
    EXPECT_EQ(used[2], 1);
    EXPECT_EQ(used[3], 0);  // beyond the taps

    const double pi = std::acos(-1.0);
    for (int j : {0, 2}) {
        const ComplexFloat* spectrum = spectra.As<ComplexFloat>() + j * n;
        for (int p = 0; p < n; ++p) {
            const int f = FftFrequencyAt(p, n);
            std::complex<double> expected = 0.0;
            for (int i = 0; i < h && j * h + i < 20; ++i) {
                expected += static_cast<double>(taps[static_cast<std::size_t>(j * h + i)]) / n *
                            std::polar(1.0, 2.0 * pi * i * f / n);
            }
            EXPECT_NEAR(spectrum[p].re, expected.real(), 1e-7) << "partition " << j << " position " << p;
            EXPECT_NEAR(spectrum[p].im, expected.imag(), 1e-7) << "partition " << j << " position " << p;
        }
    }

    // The half layout of the same taps: position p >= 1 holds bin
    // FftFrequencyAt(p, n/2) of the n-point transform, position 0 bins 0 and n/2.
    ASSERT_TRUE(BuildPartitionSpectra(taps.data(), 20, n, 4, SpectrumLayout::kHalf, spectra, flags));
    ASSERT_EQ(spectra.Length(), 4 * (n / 2) * 8);
    for (int j : {0, 2}) {
        const ComplexFloat* spectrum = spectra.As<ComplexFloat>() + j * (n / 2);
        auto bin = [&](int f) {
            std::complex<double> sum = 0.0;
            for (int i = 0; i < h && j * h + i < 20; ++i) {
                sum += static_cast<double>(taps[static_cast<std::size_t>(j * h + i)]) / n * std::polar(1.0, 2.0 * pi * i * f / n);
            }
            return sum;
        };
        EXPECT_NEAR(spectrum[0].re, bin(0).real(), 1e-7);
        EXPECT_NEAR(spectrum[0].im, bin(n / 2).real(), 1e-7);
        for (int p = 1; p < n / 2; ++p) {
            const std::complex<double> expected = bin(FftFrequencyAt(p, n / 2));
            EXPECT_NEAR(spectrum[p].re, expected.real(), 1e-7) << "partition " << j << " position " << p;
            EXPECT_NEAR(spectrum[p].im, expected.imag(), 1e-7) << "partition " << j << " position " << p;
        }
    }

    // The threshold is exclusive: float(1e-14) is just below it, 2e-14 above.
    ASSERT_LE(static_cast<double>(1e-14f), kSilenceThreshold);
    const test::Signal faint(8, 2e-14f);
    ASSERT_TRUE(BuildPartitionSpectra(faint.data(), 8, n, 1, SpectrumLayout::kFull, spectra, flags));
    EXPECT_EQ(flags.As<unsigned char>()[0], 1);

    ASSERT_TRUE(BuildPartitionSpectra(nullptr, 0, n, 2, SpectrumLayout::kHalf, spectra, flags));  // no taps at all
    EXPECT_EQ(flags.As<unsigned char>()[0], 0);
    EXPECT_EQ(flags.As<unsigned char>()[1], 0);
    EXPECT_FALSE(BuildPartitionSpectra(taps.data(), 20, n, 0, SpectrumLayout::kHalf, spectra, flags));
    {
        auto heap = test::FailingHeap::Granting(0);
        HeapBuffer fresh(64), freshFlags(64);
        EXPECT_FALSE(BuildPartitionSpectra(taps.data(), 20, n, 3, SpectrumLayout::kHalf, fresh, freshFlags));
    }
}

}  // namespace
}  // namespace tolvar
