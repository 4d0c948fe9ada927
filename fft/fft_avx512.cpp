// The transform with AVX-512 Foundation, compiled with -mavx512f (with -mavx2
// -mfma for the small kernels; it uses no instruction beyond Foundation, which
// is all the run-time check asks of the processor and the operating system)
// and called only after that check. The butterfly passes take eight complex
// values per vector, twice the work of an AVX2 instruction; the 2- to 16-point
// kernels are the AVX2+FMA ones, which already fill their registers with two
// transforms side by side.
//
// This file must not include headers with inline functions that other files
// also use: the linker could keep this file's AVX-512 copy for everybody.
// GCC 12's own 512-bit intrinsics trip its -Wuninitialized (their "undefined"
// pass-through operand initialises itself; GCC bug 105593, fixed in GCC 13).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#else
#include <immintrin.h>
#endif

#include "fft/fft_avx2_ops.h"
#include "fft/fft_kernels.h"
#include "fft/fft_simd_routines.h"

namespace tolvar {
namespace {

struct Avx512Ops {
    using V = __m512;
    static constexpr int kWidth = 8;
    using Leaves = Avx2Ops<true>;

    static V Load(const C* p) { return _mm512_loadu_ps(p); }
    static void Store(C* p, V v) { _mm512_storeu_ps(p, v); }
    static V Add(V x, V y) { return _mm512_add_ps(x, y); }
    static V Sub(V x, V y) { return _mm512_sub_ps(x, y); }
    static V Mul(V x, V y) { return _mm512_mul_ps(x, y); }
    static V Splat(float f) { return _mm512_set1_ps(f); }

    // There is no 512-bit addsub; x*1 is exact, so the fused forms round like it.
    static V AddSub(V x, V y) { return _mm512_fmaddsub_ps(x, Splat(1.0f), y); }
    static V SubAdd(V x, V y) { return _mm512_fmsubadd_ps(x, Splat(1.0f), y); }
    static V Swap(V x) { return _mm512_permute_ps(x, _MM_SHUFFLE(2, 3, 0, 1)); }
    static V FirstFrom(V x, V y) { return _mm512_mask_blend_ps(0x0003, y, x); }

    static V CMul(V x, V wr, V wi) { return _mm512_fmaddsub_ps(x, wr, Mul(Swap(x), wi)); }
    static V CMulConj(V x, V wr, V wi) { return _mm512_fmsubadd_ps(x, wr, Mul(Swap(x), wi)); }

    // Factors for the eight lanes: t[0..7].
    static void TwiddlesAt(const C* t, V& wr, V& wi) {
        const V x = Load(t);
        wr = _mm512_moveldup_ps(x);
        wi = _mm512_movehdup_ps(x);
    }
    // Lane l from t[l - 1]; lane 0 is not used. Reads only t[0..6]: the
    // 32-point table has no more.
    static void TwiddlesAfterFirst(const C* t, V& wr, V& wi) {
        const V x = _mm512_maskz_loadu_ps(0x3FFF, t);
        wr = _mm512_permutexvar_ps(_mm512_setr_epi32(0, 0, 0, 0, 2, 2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12), x);
        wi = _mm512_permutexvar_ps(_mm512_setr_epi32(1, 1, 1, 1, 3, 3, 5, 5, 7, 7, 9, 9, 11, 11, 13, 13), x);
    }
    // Lane l from t[7 - l] with its parts swapped.
    static void TwiddlesMirrored(const C* t, V& wr, V& wi) {
        const V x = Load(t);
        wr = _mm512_permutexvar_ps(_mm512_setr_epi32(15, 15, 13, 13, 11, 11, 9, 9, 7, 7, 5, 5, 3, 3, 1, 1), x);
        wi = _mm512_permutexvar_ps(_mm512_setr_epi32(14, 14, 12, 12, 10, 10, 8, 8, 6, 6, 4, 4, 2, 2, 0, 0), x);
    }
    // Lane l from t[8 - l] with its parts swapped; lane 0 is not used.
    static void TwiddlesMirroredAfterFirst(const C* t, V& wr, V& wi) {
        const V x = Load(t);
        wr = _mm512_permutexvar_ps(_mm512_setr_epi32(15, 15, 15, 15, 13, 13, 11, 11, 9, 9, 7, 7, 5, 5, 3, 3), x);
        wi = _mm512_permutexvar_ps(_mm512_setr_epi32(14, 14, 14, 14, 12, 12, 10, 10, 8, 8, 6, 6, 4, 4, 2, 2), x);
    }

    // (re[k], im[k]) for k < 8 into x0 and for 8 <= k < 16 into x1.
    static void LoadInterleavedTwo(const float* re, const float* im, V& x0, V& x1) {
        const V r = _mm512_loadu_ps(re), i = _mm512_loadu_ps(im);
        x0 = _mm512_permutex2var_ps(
            r, _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23), i);
        x1 = _mm512_permutex2var_ps(
            r, _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31), i);
    }
    // The real and the imaginary parts of x0 (values 0..7) and x1 (values 8..15).
    static V RealParts(V x0, V x1) {
        return _mm512_permutex2var_ps(
            x0, _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30), x1);
    }
    static V ImagParts(V x0, V x1) {
        return _mm512_permutex2var_ps(
            x0, _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31), x1);
    }
    // For the 16 values in front0, front1 and back0, back1: re[k] = front.re + reTail[k],
    // reTail[k] = back.re, and the same for im.
    static void OverlapAddTwo(V front0, V front1, V back0, V back1, float* re, float* im, float* reTail,
                              float* imTail) {
        _mm512_storeu_ps(re, _mm512_add_ps(RealParts(front0, front1), _mm512_loadu_ps(reTail)));
        _mm512_storeu_ps(im, _mm512_add_ps(ImagParts(front0, front1), _mm512_loadu_ps(imTail)));
        _mm512_storeu_ps(reTail, RealParts(back0, back1));
        _mm512_storeu_ps(imTail, ImagParts(back0, back1));
    }
};

}  // namespace

void FftTransformAvx512(ComplexFloat* data, int n, int inverse) { Routines<Avx512Ops>::Transform(data, n, inverse); }

void FftForwardZeroPaddedAvx512(ComplexFloat* data, int n) { Routines<Avx512Ops>::TransformZeroPadded(data, n); }

void FftForwardTwoRealAvx512(ComplexFloat* data, const float* re, const float* im, int n) {
    Routines<Avx512Ops>::TransformTwoReal(data, re, im, n);
}

void FftForwardTwoRealTimesAvx512(ComplexFloat* data, const float* re, const float* im,
                                  const ComplexFloat* factors, int n) {
    Routines<Avx512Ops>::TransformTwoRealTimes(data, re, im, factors, n);
}

void FftInverseOverlapAddAvx512(ComplexFloat* data, int n, float* re, float* im, float* reTail, float* imTail) {
    Routines<Avx512Ops>::InvertOverlapAdd(data, n, re, im, reTail, imTail);
}

}  // namespace tolvar
