// The double-precision FFT with AVX2, compiled with -mavx2 and called only
// after a run-time check of the processor: four doubles per vector.
//
// This file must not include headers with inline functions that other files
// also use: the linker could keep this file's AVX2 copy for everybody.
#include <immintrin.h>

#include "fft/fft_double_isa.h"
#include "fft/fft_double_kernels.h"

namespace tolvar {
namespace {

struct Avx2Lanes {
    using V = __m256d;
    static constexpr int kWidth = 4;
    static V Load(const double* p) { return _mm256_loadu_pd(p); }
    static void Store(double* p, V v) { _mm256_storeu_pd(p, v); }
    static V Set(double x) { return _mm256_set1_pd(x); }
    static V Reverse(V v) { return _mm256_permute4x64_pd(v, 0x1B); }
    // x[0..7] -> even = x[0], x[2], x[4], x[6]; odd = x[1], x[3], x[5], x[7].
    static void Deinterleave(const double* x, V& even, V& odd) {
        const V a = Load(x), b = Load(x + 4);
        // Within each 128-bit half: (a0, b0, a2, b2) and (a1, b1, a3, b3).
        even = _mm256_permute4x64_pd(_mm256_unpacklo_pd(a, b), 0xD8);
        odd = _mm256_permute4x64_pd(_mm256_unpackhi_pd(a, b), 0xD8);
    }
    static void Interleave(V even, V odd, double* x) {
        const V e = _mm256_permute4x64_pd(even, 0xD8), o = _mm256_permute4x64_pd(odd, 0xD8);
        Store(x, _mm256_unpacklo_pd(e, o));
        Store(x + 4, _mm256_unpackhi_pd(e, o));
    }
    // Four groups of four, x[0..15], transposed: a = x[0], x[4], x[8], x[12]; ...
    static void LoadQuads(const double* x, V& a, V& b, V& c, V& d) {
        Transpose(Load(x), Load(x + 4), Load(x + 8), Load(x + 12), a, b, c, d);
    }
    static void StoreQuads(double* x, V a, V b, V c, V d) {
        V r0, r1, r2, r3;
        Transpose(a, b, c, d, r0, r1, r2, r3);
        Store(x, r0);
        Store(x + 4, r1);
        Store(x + 8, r2);
        Store(x + 12, r3);
    }
    static void Transpose(V r0, V r1, V r2, V r3, V& c0, V& c1, V& c2, V& c3) {
        const V t0 = _mm256_unpacklo_pd(r0, r1), t1 = _mm256_unpackhi_pd(r0, r1);
        const V t2 = _mm256_unpacklo_pd(r2, r3), t3 = _mm256_unpackhi_pd(r2, r3);
        c0 = _mm256_permute2f128_pd(t0, t2, 0x20);
        c1 = _mm256_permute2f128_pd(t1, t3, 0x20);
        c2 = _mm256_permute2f128_pd(t0, t2, 0x31);
        c3 = _mm256_permute2f128_pd(t1, t3, 0x31);
    }
};

using Kernels = DoubleFftKernels<Avx2Lanes>;

}  // namespace

const DoubleFftRoutines kDoubleFftAvx2 = {&Kernels::Forward, &Kernels::Inverse, &Kernels::RealForward,
                                          &Kernels::RealInverse, &Kernels::Multiply};

}  // namespace tolvar
