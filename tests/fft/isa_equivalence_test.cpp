// Every implementation computes what the recursion computes: the scalar
// routines bit for bit against the literal recursion, the vector versions
// against the scalar routines (bit for bit without FMA, within rounding with).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fft/fft.h"
#include "fft/fft_kernels.h"
#include "tests/fft/fft_test_support.h"
#include "tests/fft/recursive_reference.h"

namespace tolvar::test {
namespace {

// A fused multiply-add rounds once where the scalar code rounds twice; over
// log2(32768) stages the difference measures below -140 dB of the output rms.
constexpr double kFmaMaxDifferenceDb = -115.0;

constexpr FftIsa kVectorIsas[] = {FftIsa::kSse2, FftIsa::kAvx2, FftIsa::kAvx2Fma, FftIsa::kAvx512};

// Index of the first value whose bits differ, or -1.
int FirstDifference(const std::vector<ComplexFloat>& a, const std::vector<ComplexFloat>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(ComplexFloat)) != 0) return static_cast<int>(i);
    }
    return -1;
}

double DifferenceDb(const std::vector<ComplexFloat>& a, const std::vector<ComplexFloat>& b) {
    double worst = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        worst = std::max(worst, std::hypot(double(a[i].re) - b[i].re, double(a[i].im) - b[i].im));
    }
    return Db(worst / Rms(b));
}

// Runs one implementation on data placed `offsetFloats` floats past a 64-byte
// boundary, so that arrays aligned to 4, 8, 16 and 64 bytes, and every start
// within a 32-byte vector, are all exercised.
std::vector<ComplexFloat> Transformed(FftIsa isa, const std::vector<ComplexFloat>& input, int inverse,
                              int offsetFloats) {
    const int n = static_cast<int>(input.size());
    std::vector<float> storage(2 * n + 32);
    const auto base = reinterpret_cast<std::uintptr_t>(storage.data());
    float* aligned = storage.data() + ((64 - base % 64) % 64) / sizeof(float);
    auto* data = reinterpret_cast<ComplexFloat*>(aligned + offsetFloats);
    std::memcpy(data, input.data(), n * sizeof(ComplexFloat));
    FftTransformWith(isa, data, n, inverse);
    return {data, data + n};
}

TEST(FftImplementations, ScalarEqualsRecursionBitForBit) {
    BuildTables();
    for (int n : SupportedSizes()) {
        for (int inverse : {0, 1}) {
            const std::vector<ComplexFloat> input = RandomSignal(n, 3000 + n + inverse);
            std::vector<ComplexFloat> expected = input;
            (inverse ? RecursiveInverse : RecursiveForward)(expected.data(), n);
            const std::vector<ComplexFloat> actual = Transformed(FftIsa::kScalar, input, inverse, 0);
            EXPECT_EQ(FirstDifference(actual, expected), -1) << "n=" << n << " inverse=" << inverse;
        }
    }
}

TEST(FftImplementations, VectorVersionsEqualScalar) {
    BuildTables();
    for (FftIsa isa : kVectorIsas) {
        if (!FftIsaAvailable(isa)) {
            std::printf("%s: not available on this processor, not checked\n", FftIsaName(isa));
            continue;
        }
        double worstDb = -400.0;
        for (int n : SupportedSizes()) {
            for (int inverse : {0, 1}) {
                const std::vector<ComplexFloat> input = RandomSignal(n, 4000 + n + inverse);
                const std::vector<ComplexFloat> expected = Transformed(FftIsa::kScalar, input, inverse, 0);
                for (int offset : {0, 1, 2, 4, 6}) {
                    const std::vector<ComplexFloat> actual = Transformed(isa, input, inverse, offset);
                    if (isa == FftIsa::kAvx2Fma || isa == FftIsa::kAvx512) {
                        const double db = DifferenceDb(actual, expected);
                        worstDb = std::max(worstDb, db);
                        EXPECT_LE(db, kFmaMaxDifferenceDb)
                            << FftIsaName(isa) << " n=" << n << " inverse=" << inverse;
                    } else {
                        EXPECT_EQ(FirstDifference(actual, expected), -1)
                            << FftIsaName(isa) << " n=" << n << " inverse=" << inverse
                            << " offset=" << offset;
                    }
                }
            }
        }
        if (isa == FftIsa::kAvx2Fma || isa == FftIsa::kAvx512) {
            std::printf("%s: largest difference %.1f dB\n", FftIsaName(isa), worstDb);
        }
    }
}

TEST(FftImplementations, FftTransformUsesTheSelectedVersion) {
    BuildTables();
    std::printf("selected: %s\n", FftIsaName(FftSelectedIsa()));
    for (int n : SupportedSizes()) {
        for (int inverse : {0, 1}) {
            const std::vector<ComplexFloat> input = RandomSignal(n, 5000 + n + inverse);
            std::vector<ComplexFloat> actual = input;
            FftTransform(actual.data(), n, inverse);
            const std::vector<ComplexFloat> expected = Transformed(FftSelectedIsa(), input, inverse, 0);
            EXPECT_EQ(FirstDifference(actual, expected), -1) << "n=" << n << " inverse=" << inverse;
        }
    }
}

TEST(FftImplementations, EveryVersionLeavesUnsupportedSizesUntouched) {
    BuildTables();
    const std::vector<ComplexFloat> original = RandomSignal(65536 + 8, 6000);
    for (FftIsa isa : {FftIsa::kScalar, FftIsa::kSse2, FftIsa::kAvx2, FftIsa::kAvx2Fma, FftIsa::kAvx512}) {
        if (!FftIsaAvailable(isa)) continue;
        for (int n : {0, 1, 3, 6, 12, 100, 1000, 32767, 32769, 65536, -2, -16, -32768}) {
            for (int inverse : {0, 1, 7}) {
                std::vector<ComplexFloat> data = original;
                FftTransformWith(isa, data.data(), n, inverse);
                EXPECT_EQ(FirstDifference(data, original), -1) << FftIsaName(isa) << " n=" << n;
            }
        }
    }
}

}  // namespace
}  // namespace tolvar::test
