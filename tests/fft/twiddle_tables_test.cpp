// The twelve twiddle tables: their sizes, their values, built once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "fft/fft.h"
#include "fft/twiddle_tables.h"
#include "tests/fft/fft_test_support.h"

namespace tolvar::test {
namespace {

struct TableSize {
    int n;
    int entries;
};

// Quarter tables up to 512 points, eighth tables from 1024 on.
constexpr TableSize kTableSizes[] = {
    {16, 3},     {32, 7},     {64, 15},    {128, 31},    {256, 63},    {512, 127},
    {1024, 127}, {2048, 255}, {4096, 511}, {8192, 1023}, {16384, 2047}, {32768, 4095},
};

std::vector<ComplexFloat> Snapshot() {
    std::vector<ComplexFloat> all;
    for (const TableSize& t : kTableSizes) {
        const ComplexFloat* table = TwiddleTable(t.n);
        all.insert(all.end(), table, table + t.entries);
    }
    return all;
}

// Half a unit in the last place of a float near |x| (x != 0).
double HalfUlp(double x) { return std::ldexp(1.0, std::ilogb(x) - 24); }

TEST(FftTwiddleTables, SizesAndLookup) {
    for (const TableSize& t : kTableSizes) {
        EXPECT_EQ(TwiddleTableEntries(t.n), t.entries) << "n=" << t.n;
        EXPECT_NE(TwiddleTable(t.n), nullptr) << "n=" << t.n;
    }
    for (int n : {0, 2, 4, 8, 24, 65536}) EXPECT_EQ(TwiddleTable(n), nullptr) << "n=" << n;
}

TEST(FftTwiddleTables, SixteenPointTable) {
    BuildTables();
    const ComplexFloat* t = TwiddleTable(16);
    const float expected[3][2] = {{0.9238795f, 0.3826834f}, {0.7071068f, 0.7071068f}, {0.3826834f, 0.9238795f}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(t[i].re, expected[i][0], 1e-7) << "entry " << i;
        EXPECT_NEAR(t[i].im, expected[i][1], 1e-7) << "entry " << i;
    }
}

// Entry j-1 is (cos, sin) of 2 pi j / n rounded to float: within half an ulp.
TEST(FftTwiddleTables, EveryEntryIsTheRoundedRootOfUnity) {
    BuildTables();
    for (const TableSize& t : kTableSizes) {
        const ComplexFloat* table = TwiddleTable(t.n);
        for (int j = 1; j <= t.entries; ++j) {
            const double angle = 2.0 * std::numbers::pi * j / t.n;
            const double c = std::cos(angle), s = std::sin(angle);
            ASSERT_LE(std::abs(table[j - 1].re - c), HalfUlp(c) * 1.000001) << "n=" << t.n << " j=" << j;
            ASSERT_LE(std::abs(table[j - 1].im - s), HalfUlp(s) * 1.000001) << "n=" << t.n << " j=" << j;
        }
    }
}

TEST(FftTwiddleTables, LaterInitCallsChangeNothing) {
    BuildTables();
    const std::vector<ComplexFloat> first = Snapshot();
    FftInitTables();
    FftInitTables();
    const std::vector<ComplexFloat> after = Snapshot();
    ASSERT_EQ(first.size(), after.size());
    EXPECT_EQ(std::memcmp(first.data(), after.data(), first.size() * sizeof(ComplexFloat)), 0);

    // A later call returns at once: it does not even rebuild a changed entry.
    ComplexFloat* last = kTwiddleTables[kTwiddleTableCount - 1] + TwiddleTableEntries(32768) - 1;
    const ComplexFloat saved = *last;
    *last = {2.0f, 2.0f};
    FftInitTables();
    EXPECT_EQ(last->re, 2.0f);
    *last = saved;
}

}  // namespace
}  // namespace tolvar::test
