// The transform with AVX2, compiled with -mavx2 -mfma and called only after a
// run-time check of the processor. Four complex values per vector; the small
// kernels run two transforms side by side, one per 128-bit half.
//
// This file must not include headers with inline functions that other files
// also use: the linker could keep this file's AVX2 copy for everybody.
#include <immintrin.h>

#include "fft/fft_avx2_ops.h"
#include "fft/fft_kernels.h"
#include "fft/fft_simd_routines.h"

namespace tolvar {

void FftTransformAvx2(ComplexFloat* data, int n, int inverse) {
    Routines<Avx2Ops<false>>::Transform(data, n, inverse);
}

void FftTransformAvx2Fma(ComplexFloat* data, int n, int inverse) {
    Routines<Avx2Ops<true>>::Transform(data, n, inverse);
}

void FftForwardZeroPaddedAvx2(ComplexFloat* data, int n) { Routines<Avx2Ops<false>>::TransformZeroPadded(data, n); }

void FftForwardZeroPaddedAvx2Fma(ComplexFloat* data, int n) {
    Routines<Avx2Ops<true>>::TransformZeroPadded(data, n);
}

void FftForwardTwoRealAvx2(ComplexFloat* data, const float* re, const float* im, int n) {
    Routines<Avx2Ops<false>>::TransformTwoReal(data, re, im, n);
}

void FftForwardTwoRealAvx2Fma(ComplexFloat* data, const float* re, const float* im, int n) {
    Routines<Avx2Ops<true>>::TransformTwoReal(data, re, im, n);
}

void FftForwardTwoRealTimesAvx2(ComplexFloat* data, const float* re, const float* im, const ComplexFloat* factors,
                                int n) {
    Routines<Avx2Ops<false>>::TransformTwoRealTimes(data, re, im, factors, n);
}

void FftForwardTwoRealTimesAvx2Fma(ComplexFloat* data, const float* re, const float* im, const ComplexFloat* factors,
                                   int n) {
    Routines<Avx2Ops<true>>::TransformTwoRealTimes(data, re, im, factors, n);
}

void FftInverseOverlapAddAvx2(ComplexFloat* data, int n, float* re, float* im, float* reTail, float* imTail) {
    Routines<Avx2Ops<false>>::InvertOverlapAdd(data, n, re, im, reTail, imTail);
}

void FftInverseOverlapAddAvx2Fma(ComplexFloat* data, int n, float* re, float* im, float* reTail, float* imTail) {
    Routines<Avx2Ops<true>>::InvertOverlapAdd(data, n, re, im, reTail, imTail);
}

}  // namespace tolvar
