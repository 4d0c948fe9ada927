// The real-input transforms and the zero-padded forward transform: against a
// plain DFT in double, and every instruction set against the scalar reference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fft/fft.h"
#include "fft/fft_kernels.h"
#include "tests/fft/fft_test_support.h"

namespace tolvar::test {
namespace {

// As for the complex transform (dft_test): float rounding over log2(n) stages
// stays far below this; a wrong factor or partner costs tens of dB.
constexpr double kMaxErrorDb = -115.0;
constexpr double kFmaMaxDifferenceDb = -115.0;
constexpr int kAllBinsUpTo = 1024;
constexpr int kSampledBins = 256;

// n real samples in [-1, 1), the second half zero when padded.
std::vector<ComplexFloat> RealSignal(int n, std::uint32_t seed, bool padded) {
    std::vector<ComplexFloat> x = RandomSignal(n / 2 > 0 ? n / 2 : 1, seed);
    if (padded) {
        auto* samples = reinterpret_cast<float*>(x.data());
        for (int j = n / 2; j < n; ++j) samples[j] = 0.0f;
    }
    return x;
}

// The half-spectrum position p of n real samples holds this bin (position 0: bins 0 and n/2).
int HalfSpectrumBin(int p, int n) { return n == 2 ? 0 : FftFrequencyAt(p, n / 2); }

TEST(FftRealTransforms, ForwardAgainstDftEverySize) {
    BuildTables();
    for (int n : SupportedSizes()) {
        for (bool padded : {false, true}) {
            const std::vector<ComplexFloat> input = RealSignal(n, 100 + n, padded);
            std::vector<ComplexFloat> output = input;
            if (padded) {
                // Whatever lies in the second half is not read.
                auto* samples = reinterpret_cast<float*>(output.data());
                for (int j = n / 2; j < n; ++j) samples[j] = 1e30f;
                FftRealForwardZeroPadded(output.data(), n);
            } else {
                FftRealForward(output.data(), n);
            }
            const auto* samples = reinterpret_cast<const float*>(input.data());
            std::vector<ComplexDouble> x(n);
            double energy = 0.0;
            for (int j = 0; j < n; ++j) {
                x[j] = samples[j];
                energy += double(samples[j]) * samples[j];
            }
            const Dft dft(n);
            const double spectrumRms = std::sqrt(energy);
            double worst = -400.0;
            for (int p : PositionsToCheck(n / 2, kAllBinsUpTo, kSampledBins, n)) {
                const ComplexDouble exact = dft.Bin(x, HalfSpectrumBin(p, n), +1);
                ComplexDouble actual(output[p].re, output[p].im);
                double error = std::abs(actual - exact);
                if (p == 0) error = std::hypot(output[0].re - exact.real(), output[0].im - dft.Bin(x, n / 2, +1).real());
                worst = std::max(worst, Db(error / spectrumRms));
            }
            EXPECT_LE(worst, kMaxErrorDb) << "n=" << n << " padded=" << padded;
        }
    }
}

TEST(FftRealTransforms, InverseAgainstDftEverySize) {
    BuildTables();
    for (int n : SupportedSizes()) {
        // A half spectrum with real values at bins 0 and n/2, and the full
        // Hermitian spectrum it stands for.
        const std::vector<ComplexFloat> input = RandomSignal(n / 2, 200 + n);
        std::vector<ComplexDouble> spectrum(n);
        for (int p = 0; p < n / 2; ++p) {
            const int k = HalfSpectrumBin(p, n);
            spectrum[k] = {input[p].re, input[p].im};
            spectrum[(n - k) % n] = std::conj(spectrum[k]);
        }
        spectrum[0] = input[0].re;
        spectrum[n / 2] = input[0].im;
        std::vector<ComplexFloat> output = input;
        FftRealInverse(output.data(), n);
        const auto* samples = reinterpret_cast<const float*>(output.data());
        const Dft dft(n);
        const double signalRms = Rms(input) * std::sqrt(2.0 * n);
        double worst = -400.0;
        for (int j : PositionsToCheck(n, kAllBinsUpTo, kSampledBins, n + 1)) {
            const ComplexDouble exact = dft.Bin(spectrum, j, -1);
            worst = std::max(worst, Db(std::hypot(samples[j] - exact.real(), exact.imag()) / signalRms));
        }
        EXPECT_LE(worst, kMaxErrorDb) << "n=" << n;
    }
}

// The zero-padded forward transform computes what the full one computes on
// the padded input, and leaves nothing of the second half behind.
TEST(FftRealTransforms, ZeroPaddedForwardEqualsTheFullTransform) {
    BuildTables();
    for (int n : SupportedSizes()) {
        std::vector<ComplexFloat> full = RandomSignal(n, 300 + n);
        for (int p = n / 2; p < n; ++p) full[p] = {0.0f, 0.0f};
        std::vector<ComplexFloat> padded = full;
        for (int p = n / 2; p < n; ++p) padded[p] = {7.0f, -7.0f};
        FftTransform(full.data(), n, 0);
        FftForwardZeroPadded(padded.data(), n);
        for (int p = 0; p < n; ++p) {
            ASSERT_EQ(padded[p].re, full[p].re) << "n=" << n << " p=" << p;
            ASSERT_EQ(padded[p].im, full[p].im) << "n=" << n << " p=" << p;
        }
    }
}

double DifferenceDb(const std::vector<ComplexFloat>& a, const std::vector<ComplexFloat>& b) {
    double worst = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        worst = std::max(worst, std::hypot(double(a[i].re) - b[i].re, double(a[i].im) - b[i].im));
    }
    return Db(worst / Rms(b));
}

// The fused transforms of packed stereo blocks give exactly what packing and
// the zero-padded transform, or the inverse and the overlap-add, give apart,
// with every instruction set and on and off the vector grid.
TEST(FftRealTransforms, FusedStereoTransformsEqualTheirParts) {
    BuildTables();
    for (FftIsa isa : {FftIsa::kScalar, FftIsa::kSse2, FftIsa::kAvx2, FftIsa::kAvx2Fma, FftIsa::kAvx512}) {
        if (!FftIsaAvailable(isa)) continue;
        for (int n : SupportedSizes()) {
            for (int offset : {0, 2}) {
                const std::vector<ComplexFloat> source = RandomSignal(n, 500 + n);
                const auto* floats = reinterpret_cast<const float*>(source.data());
                std::vector<ComplexFloat> storage(n + 8, {9.0f, 9.0f});
                ComplexFloat* fused = storage.data() + offset;
                FftForwardTwoRealWith(isa, fused, floats, floats + n / 2, n);
                std::vector<ComplexFloat> parts(n);
                for (int k = 0; k < n / 2; ++k) parts[k] = {floats[k], floats[n / 2 + k]};
                FftForwardZeroPaddedWith(isa, parts.data(), n);
                ASSERT_EQ(std::memcmp(fused, parts.data(), n * sizeof(ComplexFloat)), 0)
                    << FftIsaName(isa) << " forward n=" << n << " offset " << offset;

                // With the product by a second spectrum folded into the last stage.
                const std::vector<ComplexFloat> factors = RandomSignal(n, 600 + n);
                FftForwardTwoRealTimesWith(isa, fused, floats, floats + n / 2, factors.data(), n);
                for (int k = 0; k < n; ++k) {
                    const ComplexFloat x = parts[k], w = factors[k];
                    parts[k] = {x.re * w.re - x.im * w.im, x.re * w.im + x.im * w.re};
                }
                if (isa == FftIsa::kAvx2Fma || isa == FftIsa::kAvx512) {
                    const std::vector<ComplexFloat> product(fused, fused + n);
                    EXPECT_LE(DifferenceDb(product, parts), kFmaMaxDifferenceDb) << "n=" << n;
                } else {
                    ASSERT_EQ(std::memcmp(fused, parts.data(), n * sizeof(ComplexFloat)), 0)
                        << FftIsaName(isa) << " forward times n=" << n << " offset " << offset;
                }

                std::vector<float> outs[2][4];  // re, im, reTail, imTail: fused and apart
                for (auto& set : outs) {
                    for (int a = 0; a < 4; ++a) set[a].assign(floats + a * (n / 4), floats + a * (n / 4) + n / 2);
                }
                std::memcpy(fused, source.data(), n * sizeof(ComplexFloat));
                FftInverseOverlapAddWith(isa, fused, n, outs[0][0].data(), outs[0][1].data(), outs[0][2].data(),
                                         outs[0][3].data());
                std::vector<ComplexFloat> y = source;
                FftTransformWith(isa, y.data(), n, 1);
                for (int k = 0; k < n / 2; ++k) {
                    outs[1][0][k] = y[k].re + outs[1][2][k];
                    outs[1][1][k] = y[k].im + outs[1][3][k];
                    outs[1][2][k] = y[n / 2 + k].re;
                    outs[1][3][k] = y[n / 2 + k].im;
                }
                for (int a = 0; a < 4; ++a) {
                    ASSERT_EQ(outs[0][a], outs[1][a]) << FftIsaName(isa) << " inverse n=" << n << " array " << a;
                }
            }
        }
    }
}

// Runs one kind of transform with one instruction set on data placed
// offsetFloats floats past a 64-byte boundary.
enum class Kind { kZeroPadded, kRealForward, kRealForwardZeroPadded, kRealInverse };

std::vector<ComplexFloat> Transformed(Kind kind, FftIsa isa, const std::vector<ComplexFloat>& input, int n, int offsetFloats) {
    std::vector<float> storage(2 * input.size() + 32);
    const auto base = reinterpret_cast<std::uintptr_t>(storage.data());
    auto* data = reinterpret_cast<ComplexFloat*>(storage.data() + ((64 - base % 64) % 64) / sizeof(float) + offsetFloats);
    std::memcpy(data, input.data(), input.size() * sizeof(ComplexFloat));
    switch (kind) {
        case Kind::kZeroPadded: FftForwardZeroPaddedWith(isa, data, n); break;
        case Kind::kRealForward: FftRealForwardWith(isa, data, n, false); break;
        case Kind::kRealForwardZeroPadded: FftRealForwardWith(isa, data, n, true); break;
        case Kind::kRealInverse: FftRealInverseWith(isa, data, n); break;
    }
    return {data, data + input.size()};
}

TEST(FftRealTransforms, VectorVersionsEqualScalar) {
    BuildTables();
    for (FftIsa isa : {FftIsa::kSse2, FftIsa::kAvx2, FftIsa::kAvx2Fma, FftIsa::kAvx512}) {
        if (!FftIsaAvailable(isa)) continue;
        for (Kind kind : {Kind::kZeroPadded, Kind::kRealForward, Kind::kRealForwardZeroPadded, Kind::kRealInverse}) {
            for (int n : SupportedSizes()) {
                const int values = kind == Kind::kZeroPadded ? n : (n / 2 > 0 ? n / 2 : 1);
                const std::vector<ComplexFloat> input = RandomSignal(values, 400 + n);
                const std::vector<ComplexFloat> expected = Transformed(kind, FftIsa::kScalar, input, n, 0);
                for (int offset : {0, 2, 6}) {
                    const std::vector<ComplexFloat> actual = Transformed(kind, isa, input, n, offset);
                    if (isa == FftIsa::kAvx2Fma || isa == FftIsa::kAvx512) {
                        EXPECT_LE(DifferenceDb(actual, expected), kFmaMaxDifferenceDb) << "n=" << n;
                    } else {
                        EXPECT_EQ(std::memcmp(actual.data(), expected.data(), values * sizeof(ComplexFloat)), 0)
                            << FftIsaName(isa) << " kind " << static_cast<int>(kind) << " n=" << n << " offset " << offset;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace tolvar::test
