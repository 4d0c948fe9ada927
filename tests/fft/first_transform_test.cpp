// A transform made before any FftInitTables still finds complete tables.
// Its own executable, so that nothing has built the tables before.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "fft/fft.h"
#include "fft/twiddle_tables.h"

namespace tolvar::test {
namespace {

TEST(FftFirstTransform, BuildsTheTablesWhenNobodyDidBefore) {
    ASSERT_EQ(TwiddleTable(32768)[TwiddleTableEntries(32768) - 1].re, 0.0f)
        << "the tables were built before this test";
    const int n = 32768;
    std::vector<ComplexFloat> data(n, ComplexFloat{0, 0});
    data[1] = {1, 0};
    FftTransform(data.data(), n, 0);
    double worst = 0.0;
    for (int p = 0; p < n; ++p) {
        const double angle = 2.0 * std::numbers::pi * FftFrequencyAt(p, n) / n;
        worst = std::max(worst, std::hypot(data[p].re - std::cos(angle), data[p].im - std::sin(angle)));
    }
    EXPECT_LE(worst, 2e-6);
}

}  // namespace
}  // namespace tolvar::test
