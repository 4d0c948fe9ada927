// Entry points: table set-up, choice of the instruction set, bin order.
#include "fft/fft.h"

#include "fft/cpu_features.h"
#include "fft/fft_kernels.h"
#include "fft/twiddle_tables.h"

namespace tolvar {
namespace {

using Routine = void (*)(ComplexFloat*, int, int);

Routine RoutineFor(FftIsa isa) {
    switch (isa) {
        case FftIsa::kScalar: return FftTransformScalar;
        case FftIsa::kSse2: return FftTransformSse2;
        case FftIsa::kAvx2: return FftTransformAvx2;
        case FftIsa::kAvx2Fma: return FftTransformAvx2Fma;
    }
    return FftTransformScalar;
}

}  // namespace

void FftInitTables() {
    // A function-local static is initialised exactly once; concurrent first
    // callers wait until the tables are complete.
    static const bool tablesBuilt = (BuildTwiddleTables(), true);
    (void)tablesBuilt;
}

int FftLog2OfSupportedSize(int n) {
    if (n < 2 || n > 32768 || (n & (n - 1)) != 0) return -1;
    int log2 = 1;
    while ((1 << log2) < n) ++log2;
    return log2;
}

bool FftIsaAvailable(FftIsa isa) {
    switch (isa) {
        case FftIsa::kScalar:
        case FftIsa::kSse2: return true;
        case FftIsa::kAvx2: return CpuHasAvx2();
        case FftIsa::kAvx2Fma: return CpuHasAvx2() && CpuHasFma();
    }
    return false;
}

FftIsa FftSelectedIsa() {
    static const FftIsa selected = FftIsaAvailable(FftIsa::kAvx2Fma) ? FftIsa::kAvx2Fma : FftIsa::kSse2;
    return selected;
}

const char* FftIsaName(FftIsa isa) {
    switch (isa) {
        case FftIsa::kScalar: return "scalar";
        case FftIsa::kSse2: return "sse2";
        case FftIsa::kAvx2: return "avx2";
        case FftIsa::kAvx2Fma: return "avx2+fma";
    }
    return "?";
}

void FftTransformWith(FftIsa isa, ComplexFloat* data, int n, int inverse) {
    if (FftIsaAvailable(isa)) RoutineFor(isa)(data, n, inverse);
}

TOLVAR_FFT_ALIGN_STACK void FftTransform(ComplexFloat* data, int n, int inverse) {
    // The first transform also makes sure the tables exist, should a caller
    // ever transform before FftInitTables; later calls pay one guard check.
    static const Routine routine = (FftInitTables(), RoutineFor(FftSelectedIsa()));
    routine(data, n, inverse);
}

int FftFrequencyAt(int p, int n) {
    if (n <= 2) return p;
    if (p < n / 2) return 2 * FftFrequencyAt(p, n / 2);
    if (p < 3 * n / 4) return 4 * FftFrequencyAt(p - n / 2, n / 4) + 1;
    return (4 * FftFrequencyAt(p - 3 * n / 4, n / 4) - 1) & (n - 1);
}

}  // namespace tolvar
