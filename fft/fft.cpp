// Entry points: table set-up, choice of the instruction set, bin order.
#include "fft/fft.h"

#include "fft/cpu_features.h"
#include "fft/fft_kernels.h"
#include "fft/real_passes.h"
#include "fft/real_tables.h"
#include "fft/twiddle_tables.h"

namespace tolvar {
namespace {

using Routine = void (*)(ComplexFloat*, int, int);
using PaddedRoutine = void (*)(ComplexFloat*, int);
using RealPass = void (*)(ComplexFloat*, int);
using TwoRealRoutine = void (*)(ComplexFloat*, const float*, const float*, int);
using TwoRealTimesRoutine = void (*)(ComplexFloat*, const float*, const float*, const ComplexFloat*, int);
using OverlapAddRoutine = void (*)(ComplexFloat*, int, float*, float*, float*, float*);

// The one routine per instruction set for every kind of transform.
struct Routines {
    Routine transform;
    PaddedRoutine forwardZeroPadded;
    RealPass realForwardPass;
    RealPass realInversePass;
    TwoRealRoutine forwardTwoReal;
    TwoRealTimesRoutine forwardTwoRealTimes;
    OverlapAddRoutine inverseOverlapAdd;
};

Routines RoutinesFor(FftIsa isa) {
    switch (isa) {
        case FftIsa::kScalar:
            return {FftTransformScalar, FftForwardZeroPaddedScalar, RealForwardPassScalar, RealInversePassScalar,
                    FftForwardTwoRealScalar, FftForwardTwoRealTimesScalar, FftInverseOverlapAddScalar};
        case FftIsa::kSse2:
            return {FftTransformSse2, FftForwardZeroPaddedSse2, RealForwardPassSse2, RealInversePassSse2,
                    FftForwardTwoRealSse2, FftForwardTwoRealTimesSse2, FftInverseOverlapAddSse2};
        case FftIsa::kAvx2:
            return {FftTransformAvx2, FftForwardZeroPaddedAvx2, RealForwardPassSse2, RealInversePassSse2,
                    FftForwardTwoRealAvx2, FftForwardTwoRealTimesAvx2, FftInverseOverlapAddAvx2};
        case FftIsa::kAvx2Fma:
            return {FftTransformAvx2Fma, FftForwardZeroPaddedAvx2Fma, RealForwardPassSse2, RealInversePassSse2,
                    FftForwardTwoRealAvx2Fma, FftForwardTwoRealTimesAvx2Fma, FftInverseOverlapAddAvx2Fma};
        case FftIsa::kAvx512:
            return {FftTransformAvx512, FftForwardZeroPaddedAvx512, RealForwardPassSse2, RealInversePassSse2,
                    FftForwardTwoRealAvx512, FftForwardTwoRealTimesAvx512, FftInverseOverlapAddAvx512};
    }
    return RoutinesFor(FftIsa::kScalar);
}

const Routines& Selected() {
    // The first transform also makes sure the tables exist, should a caller
    // ever transform before FftInitTables; later calls pay one guard check.
    static const Routines routines = (FftInitTables(), RoutinesFor(FftSelectedIsa()));
    return routines;
}

// n real samples as the complex transform of n/2 pairs, then the pair pass.
void RealForward(const Routines& r, ComplexFloat* data, int n, bool zeroPadded) {
    if (FftLog2OfSupportedSize(n) < 0 || !data) return;
    if (n == 2) {
        if (zeroPadded) data[0].im = 0.0f;  // the one complex value is its own transform
    } else if (zeroPadded) {
        r.forwardZeroPadded(data, n / 2);
    } else {
        r.transform(data, n / 2, 0);
    }
    r.realForwardPass(data, n);
}

void RealInverse(const Routines& r, ComplexFloat* data, int n) {
    if (FftLog2OfSupportedSize(n) < 0 || !data) return;
    r.realInversePass(data, n);
    if (n > 2) r.transform(data, n / 2, 1);
}

}  // namespace

void FftInitTables() {
    // A function-local static is initialised exactly once; concurrent first
    // callers wait until the tables are complete.
    static const bool tablesBuilt = (BuildTwiddleTables(), BuildRealTables(), true);
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
        case FftIsa::kAvx512: return CpuHasAvx2() && CpuHasFma() && CpuHasAvx512();
    }
    return false;
}

FftIsa FftSelectedIsa() {
    static const FftIsa selected = FftIsaAvailable(FftIsa::kAvx512)    ? FftIsa::kAvx512
                                   : FftIsaAvailable(FftIsa::kAvx2Fma) ? FftIsa::kAvx2Fma
                                                                       : FftIsa::kSse2;
    return selected;
}

const char* FftIsaName(FftIsa isa) {
    switch (isa) {
        case FftIsa::kScalar: return "scalar";
        case FftIsa::kSse2: return "sse2";
        case FftIsa::kAvx2: return "avx2";
        case FftIsa::kAvx2Fma: return "avx2+fma";
        case FftIsa::kAvx512: return "avx512";
    }
    return "?";
}

void FftTransformWith(FftIsa isa, ComplexFloat* data, int n, int inverse) {
    if (FftIsaAvailable(isa)) RoutinesFor(isa).transform(data, n, inverse);
}

void FftForwardZeroPaddedWith(FftIsa isa, ComplexFloat* data, int n) {
    if (FftIsaAvailable(isa)) RoutinesFor(isa).forwardZeroPadded(data, n);
}

void FftRealForwardWith(FftIsa isa, ComplexFloat* data, int n, bool zeroPadded) {
    if (FftIsaAvailable(isa)) RealForward(RoutinesFor(isa), data, n, zeroPadded);
}

void FftRealInverseWith(FftIsa isa, ComplexFloat* data, int n) {
    if (FftIsaAvailable(isa)) RealInverse(RoutinesFor(isa), data, n);
}

void FftForwardTwoRealWith(FftIsa isa, ComplexFloat* data, const float* re, const float* im, int n) {
    if (FftIsaAvailable(isa)) RoutinesFor(isa).forwardTwoReal(data, re, im, n);
}

void FftForwardTwoRealTimesWith(FftIsa isa, ComplexFloat* data, const float* re, const float* im,
                                const ComplexFloat* factors, int n) {
    if (FftIsaAvailable(isa)) RoutinesFor(isa).forwardTwoRealTimes(data, re, im, factors, n);
}

void FftInverseOverlapAddWith(FftIsa isa, ComplexFloat* data, int n, float* re, float* im, float* reTail,
                              float* imTail) {
    if (FftIsaAvailable(isa)) RoutinesFor(isa).inverseOverlapAdd(data, n, re, im, reTail, imTail);
}

TOLVAR_FFT_ALIGN_STACK void FftTransform(ComplexFloat* data, int n, int inverse) {
    Selected().transform(data, n, inverse);
}

TOLVAR_FFT_ALIGN_STACK void FftForwardZeroPadded(ComplexFloat* data, int n) {
    Selected().forwardZeroPadded(data, n);
}

TOLVAR_FFT_ALIGN_STACK void FftRealForward(ComplexFloat* data, int n) { RealForward(Selected(), data, n, false); }

TOLVAR_FFT_ALIGN_STACK void FftRealForwardZeroPadded(ComplexFloat* data, int n) {
    RealForward(Selected(), data, n, true);
}

TOLVAR_FFT_ALIGN_STACK void FftRealInverse(ComplexFloat* data, int n) { RealInverse(Selected(), data, n); }

TOLVAR_FFT_ALIGN_STACK void FftForwardTwoReal(ComplexFloat* data, const float* re, const float* im, int n) {
    Selected().forwardTwoReal(data, re, im, n);
}

TOLVAR_FFT_ALIGN_STACK void FftForwardTwoRealTimes(ComplexFloat* data, const float* re, const float* im,
                                                   const ComplexFloat* factors, int n) {
    Selected().forwardTwoRealTimes(data, re, im, factors, n);
}

TOLVAR_FFT_ALIGN_STACK void FftInverseOverlapAdd(ComplexFloat* data, int n, float* re, float* im, float* reTail,
                                                 float* imTail) {
    Selected().inverseOverlapAdd(data, n, re, im, reTail, imTail);
}

int FftFrequencyAt(int p, int n) {
    if (n <= 2) return p;
    if (p < n / 2) return 2 * FftFrequencyAt(p, n / 2);
    if (p < 3 * n / 4) return 4 * FftFrequencyAt(p - n / 2, n / 4) + 1;
    return (4 * FftFrequencyAt(p - 3 * n / 4, n / 4) - 1) & (n - 1);
}

}  // namespace tolvar
