#include "composer/impulse_merge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "tests/support/failing_heap.h"

namespace tolvar {
namespace {

// Full linear convolution, in long double.
std::vector<long double> Convolve(const std::vector<long double>& a, const std::vector<double>& b) {
    std::vector<long double> out(a.size() + b.size() - 1, 0.0L);
    for (size_t i = 0; i < a.size(); ++i)
        for (size_t j = 0; j < b.size(); ++j) out[i + j] += a[i] * b[j];
    return out;
}

std::vector<double> Contents(const HeapBuffer& buffer) {
    return std::vector<double>(buffer.As<double>(), buffer.As<double>() + buffer.Count<double>());
}

std::vector<double> RandomTaps(std::mt19937& random, int count) {
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<double> taps(count);
    for (double& t : taps) t = value(random);
    return taps;
}

TEST(DotProduct, MatchesAPlainSumForEveryLength) {
    std::mt19937 random(7);
    for (int count = 0; count <= 70; ++count) {
        const std::vector<double> a = RandomTaps(random, count), b = RandomTaps(random, count);
        long double expected = 0.0L, magnitude = 0.0L;
        for (int i = 0; i < count; ++i) {
            expected += (long double)a[i] * b[i];
            magnitude += std::fabs((long double)a[i] * b[i]);
        }
        // Reordered double sums: within count units in the last place of the magnitude.
        EXPECT_NEAR(DotProduct(a.data(), b.data(), count), (double)expected,
                    (count + 1) * 2.3e-16 * (double)magnitude)
            << count;
    }
}

TEST(MergeImpulse, ThreeAndTwoTapsGiveTheirScaledConvolution) {
    HeapBuffer accumulator(64);
    std::vector<double> first = {1.0, 2.0, 3.0};
    std::vector<double> second = {4.0, 5.0};
    ASSERT_TRUE(MergeImpulse(accumulator, first.data(), 3, 1.5));
    EXPECT_EQ(Contents(accumulator), (std::vector<double>{1.5, 3.0, 4.5}));
    ASSERT_TRUE(MergeImpulse(accumulator, second.data(), 2, 0.5));
    // (1, 2, 3) * (4, 5) = (4, 13, 22, 15), times 1.5 * 0.5; every step is exact.
    EXPECT_EQ(Contents(accumulator), (std::vector<double>{3.0, 9.75, 16.5, 11.25}));
}

TEST(MergeImpulse, RandomChainsMatchADirectConvolution) {
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> length(1, 300), merges(1, 4);
    std::uniform_real_distribution<double> scale(0.5, 2.0);
    for (int trial = 0; trial < 60; ++trial) {
        HeapBuffer accumulator(64);
        std::vector<long double> expected;
        const int count = merges(random);
        for (int m = 0; m < count; ++m) {
            // Lengths 1 and 2 are common edge cases; give them extra weight.
            const int d = trial % 7 == 0 ? 1 + m % 2 : length(random);
            std::vector<double> x = RandomTaps(random, d);
            const double s = scale(random);
            if (expected.empty()) {
                for (double v : x) expected.push_back(s * (long double)v);
            } else {
                expected = Convolve(expected, x);
                for (long double& v : expected) v *= s;
            }
            ASSERT_TRUE(MergeImpulse(accumulator, x.data(), d, s));
        }
        const std::vector<double> got = Contents(accumulator);
        ASSERT_EQ(got.size(), expected.size());
        long double peak = 0.0L;
        for (long double v : expected) peak = std::fmax(peak, std::fabs(v));
        // Each output is a few hundred products deep per merge: 1e-13 of the peak
        // is far above double rounding and far below any real fault.
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_NEAR(got[i], (double)expected[i], 1e-13 * (double)peak) << trial << " " << i;
    }
}

TEST(MergeImpulse, RefusedGrowthLeavesTheAccumulatorAlone) {
    HeapBuffer accumulator(64);
    std::vector<double> first = {1.0, -2.0, 0.5};
    ASSERT_TRUE(MergeImpulse(accumulator, first.data(), 3, 1.0));
    const void* storage = accumulator.Data();
    std::vector<double> big(100, 1.0);
    {
        auto heap = test::FailingHeap::RefusingCalls(1, 1000);
        EXPECT_FALSE(MergeImpulse(accumulator, big.data(), 100, 2.0));
    }
    EXPECT_EQ(accumulator.Data(), storage);
    EXPECT_EQ(Contents(accumulator), (std::vector<double>{1.0, -2.0, 0.5}));

    HeapBuffer empty(64);
    {
        auto heap = test::FailingHeap::RefusingCalls(1, 1000);
        EXPECT_FALSE(MergeImpulse(empty, big.data(), 100, 2.0));
    }
    EXPECT_EQ(empty.Length(), 0);
}

}  // namespace
}  // namespace tolvar
