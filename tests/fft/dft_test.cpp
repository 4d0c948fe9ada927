// The transform against a plain DFT in double, every size, both directions.
#include <gtest/gtest.h>

#include <cmath>

#include "fft/fft.h"
#include "tests/fft/fft_test_support.h"

namespace tolvar::test {
namespace {

// Largest error in any checked bin, relative to the rms of the exact spectrum,
// in dB. Float rounding over log2(n) stages measures about -130 dB at 32768
// points; a single wrong twiddle factor or a swapped part costs tens of dB.
constexpr double kMaxBinErrorDb = -115.0;

// All bins up to this size; above it a random subset (every position's bin is
// also checked by the impulse tests in bin_order_test).
constexpr int kAllBinsUpTo = 4096;
constexpr int kSampledBins = 1024;

struct Measured {
    double worstDb = -400.0;
    int worstPosition = -1;
};

// Forward: position p must hold X[order[p]] = sum_j x[j] e^(+2 pi i j order[p] / n).
Measured ForwardError(int n, std::uint32_t seed) {
    const std::vector<ComplexFloat> input = RandomSignal(n, seed);
    std::vector<ComplexFloat> output = input;
    FftTransform(output.data(), n, 0);

    const Dft dft(n);
    const std::vector<int> order = ScrambledOrder(n);
    const std::vector<ComplexDouble> x = ToDouble(input);
    const double spectrumRms = Rms(input) * std::sqrt(double(n));
    Measured measured;
    for (int p : PositionsToCheck(n, kAllBinsUpTo, kSampledBins, seed + 1)) {
        const ComplexDouble exact = dft.Bin(x, order[p], +1);
        const double error = std::abs(ComplexDouble(output[p].re, output[p].im) - exact);
        const double db = Db(error / spectrumRms);
        if (db > measured.worstDb) measured = {db, p};
    }
    return measured;
}

// Inverse: input position p holds bin order[p]; y[j] = sum_p in[p] e^(-2 pi i j order[p] / n).
Measured InverseError(int n, std::uint32_t seed) {
    const std::vector<ComplexFloat> input = RandomSignal(n, seed);
    std::vector<ComplexFloat> output = input;
    FftTransform(output.data(), n, 1);

    const Dft dft(n);
    const std::vector<int> order = ScrambledOrder(n);
    std::vector<ComplexDouble> spectrum(n);  // natural bin order
    for (int p = 0; p < n; ++p) spectrum[order[p]] = {input[p].re, input[p].im};
    const double signalRms = Rms(input) * std::sqrt(double(n));
    Measured measured;
    for (int j : PositionsToCheck(n, kAllBinsUpTo, kSampledBins, seed + 2)) {
        const ComplexDouble exact = dft.Bin(spectrum, j, -1);
        const double error = std::abs(ComplexDouble(output[j].re, output[j].im) - exact);
        const double db = Db(error / signalRms);
        if (db > measured.worstDb) measured = {db, j};
    }
    return measured;
}

TEST(FftAgainstDft, ForwardEverySize) {
    BuildTables();
    for (int n : SupportedSizes()) {
        const Measured m = ForwardError(n, 1000 + n);
        EXPECT_LE(m.worstDb, kMaxBinErrorDb) << "n=" << n << " worst position " << m.worstPosition;
        RecordProperty("forward_db_" + std::to_string(n), std::to_string(m.worstDb));
        std::printf("forward n=%5d worst bin error %7.1f dB\n", n, m.worstDb);
    }
}

TEST(FftAgainstDft, InverseEverySize) {
    BuildTables();
    for (int n : SupportedSizes()) {
        const Measured m = InverseError(n, 2000 + n);
        EXPECT_LE(m.worstDb, kMaxBinErrorDb) << "n=" << n << " worst position " << m.worstPosition;
        std::printf("inverse n=%5d worst sample error %7.1f dB\n", n, m.worstDb);
    }
}

}  // namespace
}  // namespace tolvar::test
