#include "convolution/dsp_loops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

namespace tolvar {
namespace {

std::vector<ComplexFloat> RandomBins(int bins, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    std::vector<ComplexFloat> v(static_cast<std::size_t>(bins) + 1);  // never empty
    for (ComplexFloat& c : v) c = {value(random), value(random)};
    return v;
}

bool SameBits(const std::vector<ComplexFloat>& a, const std::vector<ComplexFloat>& b) {
    return std::memcmp(a.data(), b.data(), a.size() * sizeof(ComplexFloat)) == 0;
}

std::complex<double> Exact(ComplexFloat c) { return {c.re, c.im}; }

// Single-precision rounding of a product and one addition: a few units of
// 2^-24 relative to the magnitudes involved.
constexpr double kFloatBound = 4.0 * 5.96e-8;

const int kBinCounts[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 510, 512, 1024};

TEST(DspLoops, ComplexMultiplySse2EqualsScalarBitForBit) {
    for (int bins : kBinCounts) {
        SCOPED_TRACE(bins);
        const auto a = RandomBins(bins, 1), b = RandomBins(bins, 2);
        auto scalar = RandomBins(bins, 3), sse2 = scalar, dispatched = scalar;
        ComplexMultiplyScalar(scalar.data(), a.data(), b.data(), bins);
        ComplexMultiplySse2(sse2.data(), a.data(), b.data(), bins);
        ComplexMultiply(dispatched.data(), a.data(), b.data(), bins);
        EXPECT_TRUE(SameBits(scalar, sse2));
        EXPECT_TRUE(SameBits(scalar, dispatched));
        for (int k = 0; k < bins; ++k) {
            const std::complex<double> exact = Exact(a[k]) * Exact(b[k]);
            EXPECT_NEAR(scalar[k].re, exact.real(), kFloatBound * std::abs(exact) * 2) << k;
            EXPECT_NEAR(scalar[k].im, exact.imag(), kFloatBound * std::abs(exact) * 2) << k;
        }
        // The guard entry past the end is untouched.
        EXPECT_EQ(std::memcmp(&sse2[bins], &RandomBins(bins, 3)[bins], sizeof(ComplexFloat)), 0);

        // In place: the product may be one of the factors.
        auto inPlace = a;
        ComplexMultiplySse2(inPlace.data(), inPlace.data(), b.data(), bins);
        for (int k = 0; k < bins; ++k) {
            EXPECT_EQ(inPlace[k].re, scalar[k].re);
            EXPECT_EQ(inPlace[k].im, scalar[k].im);
        }
    }
}

TEST(DspLoops, ComplexMultiplyAccumulateSse2EqualsScalarBitForBit) {
    for (int bins : kBinCounts) {
        SCOPED_TRACE(bins);
        const auto a = RandomBins(bins, 4), b = RandomBins(bins, 5), start = RandomBins(bins, 6);
        auto scalar = start, sse2 = start, dispatched = start;
        ComplexMultiplyAccumulateScalar(scalar.data(), a.data(), b.data(), bins);
        ComplexMultiplyAccumulateSse2(sse2.data(), a.data(), b.data(), bins);
        ComplexMultiplyAccumulate(dispatched.data(), a.data(), b.data(), bins);
        EXPECT_TRUE(SameBits(scalar, sse2));
        EXPECT_TRUE(SameBits(scalar, dispatched));
        for (int k = 0; k < bins; ++k) {
            const std::complex<double> exact = Exact(start[k]) + Exact(a[k]) * Exact(b[k]);
            const double scale = std::abs(Exact(start[k])) + std::abs(Exact(a[k]) * Exact(b[k]));
            EXPECT_NEAR(scalar[k].re, exact.real(), kFloatBound * scale * 2) << k;
            EXPECT_NEAR(scalar[k].im, exact.imag(), kFloatBound * scale * 2) << k;
        }
        EXPECT_EQ(std::memcmp(&sse2[bins], &start[bins], sizeof(ComplexFloat)), 0);
    }
}

TEST(DspLoops, DotProductVersionsAgreeWithAnExtendedPrecisionSum) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int count : {0, 1, 3, 4, 5, 7, 8, 127, 128, 129, 1000}) {
        SCOPED_TRACE(count);
        std::vector<float> a(static_cast<std::size_t>(count) + 1), b(a.size());
        for (float& x : a) x = value(random);
        for (float& x : b) x = value(random);
        long double exact = 0.0L, magnitude = 0.0L;
        for (int i = 0; i < count; ++i) {
            exact += static_cast<long double>(a[i]) * b[i];
            magnitude += std::fabs(static_cast<long double>(a[i]) * b[i]);
        }
        // Products are exact in double; only the count additions round.
        const double bound = static_cast<double>(magnitude) * count * 1.12e-16 + 1e-300;
        EXPECT_NEAR(DotProductScalar(a.data(), b.data(), count), static_cast<double>(exact), bound);
        EXPECT_NEAR(DotProductSse2(a.data(), b.data(), count), static_cast<double>(exact), bound);
        EXPECT_NEAR(DotProduct(a.data(), b.data(), count), static_cast<double>(exact), bound);
    }
    const float a[] = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f}, b[] = {0.5f, -1.0f, 2.0f, 0.25f, 2.0f};
    EXPECT_EQ(DotProductSse2(a, b, 5), 0.5 - 2.0 + 6.0 + 1.0 + 10.0);
}

TEST(DspLoops, LoadRealBlockAndOverlapAdd) {
    std::vector<ComplexFloat> block(6, {9.0f, 9.0f});
    const float samples[] = {1.0f, 2.0f, 3.0f};
    LoadRealBlock(block.data(), samples, 3, 6);
    const float expected[6][2] = {{1, 0}, {2, 0}, {3, 0}, {0, 0}, {0, 0}, {0, 0}};
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(block[n].re, expected[n][0]);
        EXPECT_EQ(block[n].im, expected[n][1]);
    }

    const ComplexFloat transformed[4] = {{1, 9}, {2, 9}, {3, 9}, {4, 9}};
    float tail[2] = {10, 20}, out[2] = {0, 0};
    OverlapAdd(out, tail, transformed, 2);
    EXPECT_EQ(out[0], 11.0f);
    EXPECT_EQ(out[1], 22.0f);
    EXPECT_EQ(tail[0], 3.0f);
    EXPECT_EQ(tail[1], 4.0f);
}

}  // namespace
}  // namespace tolvar
