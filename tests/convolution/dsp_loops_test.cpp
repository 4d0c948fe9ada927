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
        EXPECT_TRUE(SameBits(scalar, dispatched) || HasAvx2Fma());
        if (HasAvx2Fma()) {
            auto avx2 = RandomBins(bins, 3);
            ComplexMultiplyAvx2(avx2.data(), a.data(), b.data(), bins);
            EXPECT_TRUE(SameBits(avx2, dispatched));
            for (int k = 0; k < bins; ++k) {
                const double scale = std::abs(Exact(a[k])) * std::abs(Exact(b[k]));
                EXPECT_NEAR(avx2[k].re, scalar[k].re, kFloatBound * scale * 2) << k;
                EXPECT_NEAR(avx2[k].im, scalar[k].im, kFloatBound * scale * 2) << k;
            }
            EXPECT_EQ(std::memcmp(&avx2[bins], &sse2[bins], sizeof(ComplexFloat)), 0);
        }
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
        EXPECT_TRUE(SameBits(scalar, dispatched) || HasAvx2Fma());
        if (HasAvx2Fma()) {
            auto avx2 = start;
            ComplexMultiplyAccumulateAvx2(avx2.data(), a.data(), b.data(), bins);
            EXPECT_TRUE(SameBits(avx2, dispatched));
            for (int k = 0; k < bins; ++k) {
                const double scale = std::abs(Exact(start[k])) + std::abs(Exact(a[k]) * Exact(b[k]));
                EXPECT_NEAR(avx2[k].re, scalar[k].re, kFloatBound * scale * 2) << k;
                EXPECT_NEAR(avx2[k].im, scalar[k].im, kFloatBound * scale * 2) << k;
            }
            EXPECT_EQ(std::memcmp(&avx2[bins], &start[bins], sizeof(ComplexFloat)), 0);
        }
        for (int k = 0; k < bins; ++k) {
            const std::complex<double> exact = Exact(start[k]) + Exact(a[k]) * Exact(b[k]);
            const double scale = std::abs(Exact(start[k])) + std::abs(Exact(a[k]) * Exact(b[k]));
            EXPECT_NEAR(scalar[k].re, exact.real(), kFloatBound * scale * 2) << k;
            EXPECT_NEAR(scalar[k].im, exact.imag(), kFloatBound * scale * 2) << k;
        }
        EXPECT_EQ(std::memcmp(&sse2[bins], &start[bins], sizeof(ComplexFloat)), 0);
    }
}

// Every version sums each output's products in the order of the taps, in
// double, so all of them give the same bits; the scalar one is also held to an
// extended-precision sum.
TEST(DspLoops, DirectFormVersionsAgreeBitForBit) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int taps : {1, 2, 3, 7, 16, 100, 127, 128, 129, 512, 600}) {
        for (int frames : {0, 1, 5, 15, 16, 17, 33, 255, 256, 257, 600}) {
            SCOPED_TRACE(::testing::Message() << taps << " taps, " << frames << " frames");
            std::vector<float> h(static_cast<std::size_t>(taps)), x(static_cast<std::size_t>(taps + frames));
            for (float& v : h) v = value(random);
            for (float& v : x) v = value(random);
            std::vector<float> scalar(static_cast<std::size_t>(frames) + 1, 7.0f), sse2 = scalar, avx2 = scalar,
                dispatched = scalar;
            DirectFormFilterScalar(scalar.data(), h.data(), x.data(), taps, frames);
            DirectFormFilterSse2(sse2.data(), h.data(), x.data(), taps, frames);
            DirectFormFilter(dispatched.data(), h.data(), x.data(), taps, frames);
            EXPECT_EQ(scalar, sse2);
            EXPECT_EQ(scalar, dispatched);
            if (HasAvx2Fma()) {
                DirectFormFilterAvx2(avx2.data(), h.data(), x.data(), taps, frames);
                EXPECT_EQ(scalar, avx2);
            }
            EXPECT_EQ(scalar[static_cast<std::size_t>(frames)], 7.0f);  // nothing written past the end
            for (int j = 0; j < frames; ++j) {
                long double exact = 0.0L, magnitude = 0.0L;
                for (int i = 0; i < taps; ++i) {
                    exact += static_cast<long double>(h[static_cast<std::size_t>(i)]) * x[static_cast<std::size_t>(j + 1 + i)];
                    magnitude += std::fabs(static_cast<long double>(h[static_cast<std::size_t>(i)]) * x[static_cast<std::size_t>(j + 1 + i)]);
                }
                // One rounding to float, plus the double additions.
                const double bound = std::ldexp(std::fabs(static_cast<double>(exact)), -24) +
                                     static_cast<double>(magnitude) * taps * 1.12e-16;
                ASSERT_NEAR(scalar[static_cast<std::size_t>(j)], static_cast<double>(exact), bound) << j;
            }
        }
    }
    const float h[] = {0.5f, -1.0f, 2.0f};  // reversed taps
    const float x[] = {9.0f, 1.0f, 2.0f, 3.0f, 4.0f};  // x[0] is never read
    float out[2];
    DirectFormFilter(out, h, x, 3, 2);
    EXPECT_EQ(out[0], 0.5f * 1 - 1.0f * 2 + 2.0f * 3);
    EXPECT_EQ(out[1], 0.5f * 2 - 1.0f * 3 + 2.0f * 4);
}

TEST(DspLoops, RealOverlapAdd) {
    const float block[4] = {1, 2, 3, 4};
    float tail[2] = {10, 20}, out[2];
    OverlapAddReal(out, tail, block, 2);
    EXPECT_EQ(out[0], 11.0f);
    EXPECT_EQ(out[1], 22.0f);
    EXPECT_EQ(tail[0], 3.0f);
    EXPECT_EQ(tail[1], 4.0f);
    for (int h : {1, 3, 4, 5, 8, 13, 256}) {
        SCOPED_TRACE(h);
        const auto bins = RandomBins(2 * h, 11);
        const auto* floats = reinterpret_cast<const float*>(bins.data());
        std::vector<float> outA(static_cast<std::size_t>(h)), outB = outA, tailA(floats + 2 * h, floats + 3 * h),
                                                                 tailB = tailA;
        OverlapAddRealScalar(outA.data(), tailA.data(), floats, h);
        OverlapAddRealSse2(outB.data(), tailB.data(), floats, h);
        EXPECT_EQ(outA, outB);
        EXPECT_EQ(tailA, tailB);
    }
}

// Position 0 of a half spectrum holds two real bins, multiplied separately;
// every other position is an ordinary complex product.
TEST(DspLoops, HalfSpectrumProductsTreatPositionZeroAsTwoRealBins) {
    for (int bins : {1, 2, 5, 512}) {
        SCOPED_TRACE(bins);
        const auto a = RandomBins(bins, 21), b = RandomBins(bins, 22), start = RandomBins(bins, 23);
        auto product = start, sum = start, complexProduct = start;
        HalfSpectrumMultiply(product.data(), a.data(), b.data(), bins);
        HalfSpectrumMultiplyAccumulate(sum.data(), a.data(), b.data(), bins);
        ComplexMultiply(complexProduct.data(), a.data(), b.data(), bins);
        EXPECT_EQ(product[0].re, a[0].re * b[0].re);
        EXPECT_EQ(product[0].im, a[0].im * b[0].im);
        EXPECT_EQ(sum[0].re, start[0].re + a[0].re * b[0].re);
        EXPECT_EQ(sum[0].im, start[0].im + a[0].im * b[0].im);
        for (int k = 1; k < bins; ++k) {
            EXPECT_EQ(product[k].re, complexProduct[k].re);
            EXPECT_EQ(product[k].im, complexProduct[k].im);
            EXPECT_NEAR(sum[k].re, start[k].re + complexProduct[k].re, 1e-6);
        }
        EXPECT_EQ(std::memcmp(&product[bins], &start[bins], sizeof(ComplexFloat)), 0);
    }
}

}  // namespace
}  // namespace tolvar
