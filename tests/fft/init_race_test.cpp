// Two threads make the first FftInitTables calls of the process at the same
// moment; both must return with complete tables. Its own executable, so that
// nothing has built the tables before.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

#include "fft/fft.h"
#include "fft/twiddle_tables.h"

namespace tolvar::test {
namespace {

// True when every entry of every table is its root of unity, to float rounding.
bool TablesComplete() {
    for (int n = 16; n <= 32768; n *= 2) {
        const ComplexFloat* table = TwiddleTable(n);
        for (int j = 1; j <= TwiddleTableEntries(n); ++j) {
            const double angle = 2.0 * std::numbers::pi * j / n;
            if (std::abs(table[j - 1].re - std::cos(angle)) > 1e-7) return false;
            if (std::abs(table[j - 1].im - std::sin(angle)) > 1e-7) return false;
        }
    }
    return true;
}

// A transform that needs the last-built table: forward of an impulse at 1.
bool LargestTransformCorrect() {
    const int n = 32768;
    std::vector<ComplexFloat> data(n, ComplexFloat{0, 0});
    data[1] = {1, 0};
    FftTransform(data.data(), n, 0);
    for (int p = 0; p < n; ++p) {
        const double angle = 2.0 * std::numbers::pi * FftFrequencyAt(p, n) / n;
        if (std::hypot(data[p].re - std::cos(angle), data[p].im - std::sin(angle)) > 2e-6) return false;
    }
    return true;
}

TEST(FftInitTables, ConcurrentFirstCallsBothSeeCompleteTables) {
    ASSERT_EQ(TwiddleTable(32768)[TwiddleTableEntries(32768) - 1].re, 0.0f)
        << "the tables were built before this test";
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    bool complete[2] = {false, false};
    bool transformed[2] = {false, false};
    auto caller = [&](int index) {
        ready.fetch_add(1);
        while (!go.load()) {
        }
        FftInitTables();
        complete[index] = TablesComplete();
        transformed[index] = LargestTransformCorrect();
    };
    std::thread first(caller, 0), second(caller, 1);
    while (ready.load() < 2) {
    }
    go.store(true);
    first.join();
    second.join();
    EXPECT_TRUE(complete[0] && complete[1]);
    EXPECT_TRUE(transformed[0] && transformed[1]);
}

}  // namespace
}  // namespace tolvar::test
