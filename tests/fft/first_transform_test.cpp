// A transform made before any FftInitTables still finds complete tables.
// Its own executable, so that nothing has built the tables before.
#include <gtest/gtest.h>

#include <vector>

#include "fft/fft.h"
#include "fft/twiddle_tables.h"
#include "tests/fft/fft_test_support.h"

namespace tolvar::test {
namespace {

TEST(FftFirstTransform, BuildsTheTablesWhenNobodyDidBefore) {
    ASSERT_EQ(TwiddleTable(32768)[TwiddleTableEntries(32768) - 1].re, 0.0f)
        << "the tables were built before this test";
    const int n = 32768;
    std::vector<ComplexFloat> data(n, ComplexFloat{0, 0});
    data[1] = {1, 0};
    FftTransform(data.data(), n, 0);
    EXPECT_LE(WorstRootError(data.data(), n), 2e-6);
}

}  // namespace
}  // namespace tolvar::test
