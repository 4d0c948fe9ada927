// The two- and four-point formulas, and sizes the transform refuses.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "fft/fft.h"
#include "tests/fft/fft_test_support.h"

namespace tolvar::test {
namespace {

using C = ComplexFloat;

// Small integers keep every sum exact, so the formulas hold exactly.
std::vector<C> IntegerSignal(int n, std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> value(-100, 100);
    std::vector<C> x(n);
    for (C& c : x) c = {float(value(generator)), float(value(generator))};
    return x;
}

C Add(C a, C b) { return {a.re + b.re, a.im + b.im}; }
C Sub(C a, C b) { return {a.re - b.re, a.im - b.im}; }
C TimesI(C a) { return {-a.im, a.re}; }

void ExpectEqual(const C& actual, const C& expected, const char* what) {
    EXPECT_EQ(actual.re, expected.re) << what;
    EXPECT_EQ(actual.im, expected.im) << what;
}

TEST(FftSmallSizes, TwoPointsIsTheButterflyBothWays) {
    BuildTables();
    for (int inverse : {0, 1}) {
        for (std::uint32_t seed = 0; seed < 20; ++seed) {
            const std::vector<C> x = IntegerSignal(2, seed);
            std::vector<C> y = x;
            FftTransform(y.data(), 2, inverse);
            ExpectEqual(y[0], Add(x[0], x[1]), "a0 + a1");
            ExpectEqual(y[1], Sub(x[0], x[1]), "a0 - a1");
        }
    }
}

TEST(FftSmallSizes, FourPointFormulas) {
    BuildTables();
    for (std::uint32_t seed = 0; seed < 20; ++seed) {
        const std::vector<C> x = IntegerSignal(4, seed);
        std::vector<C> y = x;
        FftTransform(y.data(), 4, 0);
        // Positions hold bins 0, 2, 1, 3.
        ExpectEqual(y[0], Add(Add(x[0], x[1]), Add(x[2], x[3])), "X0");
        ExpectEqual(y[1], Add(Sub(x[0], x[1]), Sub(x[2], x[3])), "X2");
        ExpectEqual(y[2], Add(Sub(x[0], x[2]), TimesI(Sub(x[1], x[3]))), "X1");
        ExpectEqual(y[3], Sub(Sub(x[0], x[2]), TimesI(Sub(x[1], x[3]))), "X3");

        // Inverse: y[j] = sum_k X[k] e^(-2 pi i jk/4), input positions holding bins 0, 2, 1, 3.
        const C X0 = x[0], X2 = x[1], X1 = x[2], X3 = x[3];
        std::vector<C> z = x;
        FftTransform(z.data(), 4, 1);
        ExpectEqual(z[0], Add(Add(X0, X2), Add(X1, X3)), "y0");
        ExpectEqual(z[2], Sub(Add(X0, X2), Add(X1, X3)), "y2");
        ExpectEqual(z[1], Sub(Sub(X0, X2), TimesI(Sub(X1, X3))), "y1");
        ExpectEqual(z[3], Add(Sub(X0, X2), TimesI(Sub(X1, X3))), "y3");
    }
}

TEST(FftSmallSizes, UnsupportedSizesLeaveTheArrayUntouched) {
    BuildTables();
    const std::vector<C> original = RandomSignal(65536 + 16, 77);
    for (int n : {0, 1, 3, 5, 6, 24, 48, 1000, 32767, 32769, 49152, 65536, 131072, -1, -2, -4,
                  -32768, INT_MIN, INT_MAX}) {
        for (int inverse : {0, 1, -1}) {
            std::vector<C> data = original;
            FftTransform(data.data(), n, inverse);
            EXPECT_EQ(std::memcmp(data.data(), original.data(), data.size() * sizeof(C)), 0)
                << "n=" << n << " inverse=" << inverse;
        }
    }
}

TEST(FftSmallSizes, AnyNonZeroInverseSelectsTheInverse) {
    BuildTables();
    const std::vector<C> x = RandomSignal(64, 78);
    std::vector<C> expected = x;
    FftTransform(expected.data(), 64, 1);
    for (int inverse : {-1, 2, INT_MIN}) {
        std::vector<C> data = x;
        FftTransform(data.data(), 64, inverse);
        EXPECT_EQ(std::memcmp(data.data(), expected.data(), data.size() * sizeof(C)), 0);
    }
}

}  // namespace
}  // namespace tolvar::test
