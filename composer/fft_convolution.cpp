#include "composer/fft_convolution.h"

#include <climits>

#include "fft/fft_double.h"

namespace tolvar {
namespace {

constexpr long long kMaxDoubles = (INT_MAX - 64) / int{sizeof(double)};

// Sized without giving back capacity: the workspace's buffers are reused.
double* Doubles(HeapBuffer& buffer, long long count) {
    return static_cast<double*>(buffer.Resize(static_cast<int>(count) * int{sizeof(double)}, false));
}

}  // namespace

int FftConvolutionSize(long long resultLength) {
    long long n = 2;
    while (n < resultLength) n *= 2;
    return n <= 2LL * (1LL << kDoubleFftMaxLog2) && n <= kMaxDoubles ? static_cast<int>(n) : 0;
}

bool ConvolveByFft(const double* const* responses, const int* lengths, int count, double scale,
                   HeapBuffer& result, ComposeWorkspace& workspace) {
    long long total = 1;
    for (int i = 0; i < count; ++i) total += lengths[i] - 1LL;
    const int n = FftConvolutionSize(total);
    if (count < 1 || n == 0) return false;
    const int m = n / 2;

    const double* table = nullptr;
    if (!workspace.FftTable(m, &table)) return false;
    double* spectrum = Doubles(workspace.spectrum, n);
    double* work = count > 1 ? Doubles(workspace.work, n) : nullptr;
    if (!spectrum || (count > 1 && !work) || !Doubles(result, total)) return false;

    RealFftForward(responses[0], lengths[0], spectrum, n, table);
    for (int i = 1; i < count; ++i) {
        RealFftForward(responses[i], lengths[i], work, n, table);
        RealSpectrumMultiply(spectrum, work, n);
    }
    // The inverse returns m times the signal.
    RealFftInverse(spectrum, n, result.As<double>(), static_cast<int>(total), scale / m, table);
    return true;
}

}  // namespace tolvar
