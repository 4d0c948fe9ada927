// The scrambled bin order and the sign convention, position by position.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "fft/fft.h"
#include "tests/fft/fft_test_support.h"

namespace tolvar::test {
namespace {

// A unit impulse gives exact roots of unity up to the float rounding of the
// twiddle products: about 2e-7 at 32768 points.
constexpr double kRootTolerance = 2e-6;

std::vector<int> FrequenciesOf(int n) {
    std::vector<int> bins(n);
    for (int p = 0; p < n; ++p) bins[p] = FftFrequencyAt(p, n);
    return bins;
}

TEST(FftBinOrder, SmallSizesMatchHandTables) {
    EXPECT_EQ(FrequenciesOf(2), (std::vector<int>{0, 1}));
    EXPECT_EQ(FrequenciesOf(4), (std::vector<int>{0, 2, 1, 3}));
    EXPECT_EQ(FrequenciesOf(8), (std::vector<int>{0, 4, 2, 6, 1, 5, 7, 3}));
    EXPECT_EQ(FrequenciesOf(16),
              (std::vector<int>{0, 8, 4, 12, 2, 10, 14, 6, 1, 9, 5, 13, 15, 7, 3, 11}));
}

TEST(FftBinOrder, EverySizeIsAPermutationBuiltFromItsQuarters) {
    for (int n : SupportedSizes()) {
        const std::vector<int> bins = FrequenciesOf(n);
        EXPECT_EQ(bins, ScrambledOrder(n)) << "n=" << n;
        std::vector<int> seen(n, 0);
        for (int bin : bins) {
            ASSERT_TRUE(bin >= 0 && bin < n) << "n=" << n;
            ++seen[bin];
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), n) << "n=" << n;
        EXPECT_EQ(bins[0], 0);
        EXPECT_EQ(bins[1], n / 2);
    }
}

// Forward of an impulse at 1: position p holds e^(+2 pi i f / n), f = FftFrequencyAt(p, n).
// This fixes the sign and checks the bin of every position of every size.
TEST(FftBinOrder, ImpulseAtOneGivesTheRootOfEachPositionsBin) {
    BuildTables();
    for (int n : SupportedSizes()) {
        std::vector<ComplexFloat> data(n, ComplexFloat{0, 0});
        data[1] = {1, 0};
        FftTransform(data.data(), n, 0);
        EXPECT_LE(WorstRootError(data.data(), n), kRootTolerance) << "n=" << n;
    }
}

// Inverse of a single bin placed at position p: y[j] = e^(-2 pi i f j / n).
// All positions up to 1024 points; above, the first and last quarter-blocks
// and the boundaries between the three parts of the array.
TEST(FftBinOrder, InverseReadsEachPositionAsItsBin) {
    BuildTables();
    for (int n : SupportedSizes()) {
        std::vector<int> positions;
        for (int p = 0; p < n; ++p) {
            const bool edge = p < 8 || p >= n - 8 || std::abs(p - n / 2) < 4 || std::abs(p - 3 * n / 4) < 4;
            if (n <= 1024 || edge) positions.push_back(p);
        }
        const Dft dft(n);
        for (int p : positions) {
            std::vector<ComplexFloat> data(n, ComplexFloat{0, 0});
            data[p] = {1, 0};
            FftTransform(data.data(), n, 1);
            const int f = FftFrequencyAt(p, n);
            double worst = 0.0;
            for (int j = 0; j < n; ++j) {
                const ComplexDouble exact = dft.Root(static_cast<long long>(f) * j, -1);
                worst = std::max(worst, std::abs(ComplexDouble(data[j].re, data[j].im) - exact));
            }
            ASSERT_LE(worst, kRootTolerance) << "n=" << n << " position " << p;
        }
    }
}

TEST(FftBinOrder, ImpulseAtZeroAndConstantInputAreExact) {
    BuildTables();
    const ComplexFloat v = {0.75f, -0.5f};
    for (int n : SupportedSizes()) {
        std::vector<ComplexFloat> impulse(n, ComplexFloat{0, 0});
        impulse[0] = {1, 0};
        FftTransform(impulse.data(), n, 0);
        for (int p = 0; p < n; ++p) {
            ASSERT_TRUE(impulse[p].re == 1.0f && impulse[p].im == 0.0f) << "n=" << n << " p=" << p;
        }

        std::vector<ComplexFloat> constant(n, v);
        FftTransform(constant.data(), n, 0);
        EXPECT_TRUE(constant[0].re == n * v.re && constant[0].im == n * v.im) << "n=" << n;
        for (int p = 1; p < n; ++p) {
            ASSERT_TRUE(constant[p].re == 0.0f && constant[p].im == 0.0f) << "n=" << n << " p=" << p;
        }

        // The inverse of bin 0 alone is that value at every sample.
        std::vector<ComplexFloat> dc(n, ComplexFloat{0, 0});
        dc[0] = v;
        FftTransform(dc.data(), n, 1);
        for (int j = 0; j < n; ++j) {
            ASSERT_TRUE(dc[j].re == v.re && dc[j].im == v.im) << "n=" << n << " j=" << j;
        }
    }
}

}  // namespace
}  // namespace tolvar::test
