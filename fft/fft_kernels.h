#pragma once
#include "fft/fft.h"

namespace tolvar {

// The transform in each instruction set, for tests and benchmarks. FftTransform
// picks one of them automatically; everything else should call FftTransform.
//
// Every entry point has FftTransform's contract: in place, unscaled, scrambled
// bin order, any unsupported n leaves data untouched, the tables must be built.
// The vector versions use unaligned loads, so data needs only float alignment.
//
// kScalar is the reference. kSse2 and kAvx2 perform the same float operations
// in the same order and so give bit-identical results to it; kAvx2Fma and
// kAvx512 fuse the complex twiddle products and agree to within rounding.
enum class FftIsa {
    kScalar,
    kSse2,
    kAvx2,     // AVX2 without fused multiply-add; exists to check the AVX2 data flow
    kAvx2Fma,  // what FftTransform uses on processors that have AVX2 and FMA
    kAvx512,   // AVX-512 passes, AVX2+FMA kernels: preferred where the processor has AVX-512F
};

void FftTransformScalar(ComplexFloat* data, int n, int inverse);
void FftTransformSse2(ComplexFloat* data, int n, int inverse);
// Only on processors for which FftIsaAvailable(kAvx2) / (kAvx2Fma) / (kAvx512) is true.
void FftTransformAvx2(ComplexFloat* data, int n, int inverse);
void FftTransformAvx2Fma(ComplexFloat* data, int n, int inverse);
void FftTransformAvx512(ComplexFloat* data, int n, int inverse);

void FftForwardZeroPaddedScalar(ComplexFloat* data, int n);
void FftForwardZeroPaddedSse2(ComplexFloat* data, int n);
void FftForwardZeroPaddedAvx2(ComplexFloat* data, int n);
void FftForwardZeroPaddedAvx2Fma(ComplexFloat* data, int n);
void FftForwardZeroPaddedAvx512(ComplexFloat* data, int n);
void FftForwardTwoRealScalar(ComplexFloat* data, const float* re, const float* im, int n);
void FftForwardTwoRealSse2(ComplexFloat* data, const float* re, const float* im, int n);
void FftForwardTwoRealAvx2(ComplexFloat* data, const float* re, const float* im, int n);
void FftForwardTwoRealAvx2Fma(ComplexFloat* data, const float* re, const float* im, int n);
void FftForwardTwoRealAvx512(ComplexFloat* data, const float* re, const float* im, int n);
void FftForwardTwoRealTimesScalar(ComplexFloat* data, const float* re, const float* im, const ComplexFloat* factors,
                                  int n);
void FftForwardTwoRealTimesSse2(ComplexFloat* data, const float* re, const float* im, const ComplexFloat* factors,
                                int n);
void FftForwardTwoRealTimesAvx2(ComplexFloat* data, const float* re, const float* im, const ComplexFloat* factors,
                                int n);
void FftForwardTwoRealTimesAvx2Fma(ComplexFloat* data, const float* re, const float* im, const ComplexFloat* factors,
                                   int n);
void FftForwardTwoRealTimesAvx512(ComplexFloat* data, const float* re, const float* im, const ComplexFloat* factors,
                                  int n);
void FftInverseOverlapAddScalar(ComplexFloat* data, int n, float* re, float* im, float* reTail, float* imTail);
void FftInverseOverlapAddSse2(ComplexFloat* data, int n, float* re, float* im, float* reTail, float* imTail);
void FftInverseOverlapAddAvx2(ComplexFloat* data, int n, float* re, float* im, float* reTail, float* imTail);
void FftInverseOverlapAddAvx2Fma(ComplexFloat* data, int n, float* re, float* im, float* reTail, float* imTail);
void FftInverseOverlapAddAvx512(ComplexFloat* data, int n, float* re, float* im, float* reTail, float* imTail);

// Whether this processor (and its operating system) can run the given version.
bool FftIsaAvailable(FftIsa isa);

// The version FftTransform uses on this processor.
FftIsa FftSelectedIsa();

// Runs the given version; does nothing when it is not available here. The
// real transforms of the vector versions combine their bins with SSE2.
void FftTransformWith(FftIsa isa, ComplexFloat* data, int n, int inverse);
void FftForwardZeroPaddedWith(FftIsa isa, ComplexFloat* data, int n);
void FftRealForwardWith(FftIsa isa, ComplexFloat* data, int n, bool zeroPadded);
void FftRealInverseWith(FftIsa isa, ComplexFloat* data, int n);
void FftForwardTwoRealWith(FftIsa isa, ComplexFloat* data, const float* re, const float* im, int n);
void FftForwardTwoRealTimesWith(FftIsa isa, ComplexFloat* data, const float* re, const float* im,
                                const ComplexFloat* factors, int n);
void FftInverseOverlapAddWith(FftIsa isa, ComplexFloat* data, int n, float* re, float* im, float* reTail,
                              float* imTail);

// Short name for reports: "scalar", "sse2", "avx2", "avx2+fma", "avx512".
const char* FftIsaName(FftIsa isa);

// log2(n) for n = 2, 4, ..., 32768, otherwise -1.
int FftLog2OfSupportedSize(int n);

}  // namespace tolvar
