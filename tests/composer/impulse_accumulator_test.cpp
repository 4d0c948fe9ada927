// The accumulator's merge, by FFT where that is cheaper, against the direct
// merge rule's sums (MergeImpulse, one response after another).
#include "composer/impulse_accumulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "composer/impulse_merge.h"

namespace tolvar {
namespace {

std::vector<double> Decaying(int count, std::mt19937& random) {
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<double> x(count);
    double gain = 1.0;
    for (double& v : x) v = value(random) * (gain *= 0.999);
    return x;
}

TEST(ImpulseAccumulator, MergesLikeTheDirectSumsWithinATrillionthOfThePeak) {
    const int lengthSets[][7] = {
        {1, 1, 1, 1},                     // the defaults' flat sections
        {3000, 1, 1, 1},                  // one long section among flat ones
        {2500, 3000, 2},                  // two long ones and a short one
        {1200, 700, 5, 3000, 40, 900, 1},  // all seven
        {64, 64, 64, 64, 64, 64, 64},
    };
    double worst = 0.0;
    for (const auto& lengths : lengthSets) {
        std::mt19937 random(lengths[0]);
        ImpulseAccumulator accumulator;
        HeapBuffer reference(64);
        for (int length : lengths) {
            if (length == 0) continue;
            std::vector<double> x = Decaying(length, random);
            const double scale = 1.0 + length % 3 * 0.25;
            HeapBuffer loaded(64);
            std::copy(x.begin(), x.end(), static_cast<double*>(loaded.Resize(length * 8, true)));
            ASSERT_TRUE(accumulator.Add(loaded, length, scale));
            EXPECT_EQ(loaded.Data(), nullptr);  // its storage moved into the accumulator
            ASSERT_TRUE(MergeImpulse(reference, x.data(), length, scale));
        }
        HeapBuffer merged(64);
        ComposeWorkspace workspace;
        ASSERT_TRUE(accumulator.Merge(merged, workspace));
        ASSERT_EQ(merged.Count<double>(), reference.Count<double>());
        double peak = 0.0, error = 0.0;
        for (int i = 0; i < reference.Count<double>(); ++i) {
            peak = std::fmax(peak, std::fabs(reference.As<double>()[i]));
            error = std::fmax(error, std::fabs(merged.As<double>()[i] - reference.As<double>()[i]));
        }
        EXPECT_LE(error, 1e-12 * peak) << lengths[0];
        worst = std::fmax(worst, error / peak);
        EXPECT_EQ(accumulator.Count(), 0);
    }
    std::printf("worst difference from the direct sums: %.1e of the peak\n", worst);
}

TEST(ImpulseAccumulator, TakesNothingItCannotHold) {
    ImpulseAccumulator accumulator;
    HeapBuffer loaded(64);
    loaded.Resize(3 * 8, true);
    EXPECT_FALSE(accumulator.Add(loaded, 4, 1.0));  // more than the buffer holds
    EXPECT_FALSE(accumulator.Add(loaded, 0, 1.0));
    EXPECT_NE(loaded.Data(), nullptr);
    for (int i = 0; i < ImpulseAccumulator::kCapacity; ++i) {
        HeapBuffer one(64);
        static_cast<double*>(one.Resize(8, true))[0] = 2.0;
        ASSERT_TRUE(accumulator.Add(one, 1, 1.0));
    }
    EXPECT_FALSE(accumulator.Add(loaded, 3, 1.0));
    HeapBuffer merged(64);
    ComposeWorkspace workspace;
    ASSERT_TRUE(accumulator.Merge(merged, workspace));
    ASSERT_EQ(merged.Count<double>(), 1);
    EXPECT_EQ(merged.As<double>()[0], 128.0);
}

}  // namespace
}  // namespace tolvar
