// The AVX2 operations of the vector transform (see fft_simd_arith.h): four
// complex values per vector. Included only from the source files compiled for
// AVX2 or wider, inside their anonymous namespace, so that each gets its own copy.
#pragma once

#include <immintrin.h>

#include "fft/fft_simd_arith.h"

namespace tolvar {
namespace {

template <bool kFma>
struct Avx2Ops {
    using V = __m256;
    static constexpr int kWidth = 4;
    static constexpr bool kTwoPerVector = true;
    using Leaves = Avx2Ops;  // the 2- to 16-point kernels run on these operations

    static V Load(const C* p) { return _mm256_loadu_ps(reinterpret_cast<const float*>(p)); }
    static void Store(C* p, V v) { _mm256_storeu_ps(reinterpret_cast<float*>(p), v); }
    static V LoadHalves(const C* lo, const C* hi) {
        const __m128 low = _mm_loadu_ps(reinterpret_cast<const float*>(lo));
        const __m128 high = _mm_loadu_ps(reinterpret_cast<const float*>(hi));
        return _mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1);
    }
    static void StoreHalves(C* lo, C* hi, V v) {
        _mm_storeu_ps(reinterpret_cast<float*>(lo), _mm256_castps256_ps128(v));
        _mm_storeu_ps(reinterpret_cast<float*>(hi), _mm256_extractf128_ps(v, 1));
    }
    // (re[k], im[k]) for k < 4 into x0 and for 4 <= k < 8 into x1.
    static void LoadInterleavedTwo(const float* re, const float* im, V& x0, V& x1) {
        const V r = _mm256_loadu_ps(re), i = _mm256_loadu_ps(im);
        const V lo = _mm256_unpacklo_ps(r, i), hi = _mm256_unpackhi_ps(r, i);
        x0 = _mm256_permute2f128_ps(lo, hi, 0x20);
        x1 = _mm256_permute2f128_ps(lo, hi, 0x31);
    }
    // The real and the imaginary parts of x0 (values 0..3) and x1 (values 4..7).
    static V RealParts(V x0, V x1) {
        return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(_mm256_shuffle_ps(x0, x1, 0x88)), 0xD8));
    }
    static V ImagParts(V x0, V x1) {
        return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(_mm256_shuffle_ps(x0, x1, 0xDD)), 0xD8));
    }
    // For the 8 values in front0, front1 and back0, back1: re[k] = front.re + reTail[k],
    // reTail[k] = back.re, and the same for im.
    static void OverlapAddTwo(V front0, V front1, V back0, V back1, float* re, float* im, float* reTail,
                              float* imTail) {
        _mm256_storeu_ps(re, _mm256_add_ps(RealParts(front0, front1), _mm256_loadu_ps(reTail)));
        _mm256_storeu_ps(im, _mm256_add_ps(ImagParts(front0, front1), _mm256_loadu_ps(imTail)));
        _mm256_storeu_ps(reTail, RealParts(back0, back1));
        _mm256_storeu_ps(imTail, ImagParts(back0, back1));
    }
    // x * f, for complex factors that differ from lane to lane.
    static V Times(V x, V f) { return CMul(x, _mm256_moveldup_ps(f), _mm256_movehdup_ps(f)); }
    // StoreTwo with every value multiplied by the factor at the same position of flo and fhi.
    static void StoreTwoTimes(C* lo, C* hi, V v0, V v1, const C* flo, const C* fhi) {
        Store(lo, Times(_mm256_permute2f128_ps(v0, v1, 0x20), Load(flo)));
        Store(hi, Times(_mm256_permute2f128_ps(v0, v1, 0x31), Load(fhi)));
    }
    static void StoreTwo(C* lo, C* hi, V v0, V v1) {
        Store(lo, _mm256_permute2f128_ps(v0, v1, 0x20));
        Store(hi, _mm256_permute2f128_ps(v0, v1, 0x31));
    }

    static V Add(V x, V y) { return _mm256_add_ps(x, y); }
    static V Sub(V x, V y) { return _mm256_sub_ps(x, y); }
    static V Mul(V x, V y) { return _mm256_mul_ps(x, y); }
    static V Splat(float f) { return _mm256_set1_ps(f); }

    // y +- s*x. Products by +-1 are exact, so a fused multiply-add rounds
    // exactly like the plain sum; without FMA the sign bits are flipped.
    static V Pattern(Signs s, float negative, float positive) {
        const float r0 = s.re0 ? negative : positive, i0 = s.im0 ? negative : positive;
        const float r1 = s.re1 ? negative : positive, i1 = s.im1 ? negative : positive;
        return _mm256_setr_ps(r0, i0, r1, i1, r0, i0, r1, i1);
    }
    static V Negate(V x, Signs s) { return _mm256_xor_ps(x, Pattern(s, -0.0f, 0.0f)); }
    static V AddSigned(V y, V x, Signs s) {
        if constexpr (kFma) return _mm256_fmadd_ps(x, Pattern(s, -1.0f, 1.0f), y);
        return Add(y, Negate(x, s));
    }
    static V SubSigned(V y, V x, Signs s) {
        if constexpr (kFma) return _mm256_fnmadd_ps(x, Pattern(s, -1.0f, 1.0f), y);
        return Sub(y, Negate(x, s));
    }
    static V AddSub(V x, V y) { return _mm256_addsub_ps(x, y); }
    static V SubAdd(V x, V y) {
        if constexpr (kFma) return _mm256_fmsubadd_ps(x, Splat(1.0f), y);  // x*1 is exact
        return Add(x, Negate(y, Signs{0, 1, 0, 1}));
    }

    static V Swap(V x) { return _mm256_permute_ps(x, _MM_SHUFFLE(2, 3, 0, 1)); }
    static V DupLo(V x) { return _mm256_castpd_ps(_mm256_movedup_pd(_mm256_castps_pd(x))); }
    static V DupHi(V x) { return _mm256_permute_ps(x, _MM_SHUFFLE(3, 2, 3, 2)); }
    static V LoHi(V x, V y) { return _mm256_blend_ps(x, y, 0xCC); }
    static V SwapHi(V x) { return _mm256_permute_ps(x, _MM_SHUFFLE(2, 3, 1, 0)); }
    static V FirstFrom(V x, V y) { return _mm256_blend_ps(y, x, 0x03); }

    // x * w = (x.re*wr - x.im*wi, x.im*wr + x.re*wi); conj(w) flips the signs.
    static V CMul(V x, V wr, V wi) {
        if constexpr (kFma) return _mm256_fmaddsub_ps(x, wr, Mul(Swap(x), wi));
        return AddSub(Mul(x, wr), Mul(Swap(x), wi));
    }
    static V CMulConj(V x, V wr, V wi) {
        if constexpr (kFma) return _mm256_fmsubadd_ps(x, wr, Mul(Swap(x), wi));
        return SubAdd(Mul(x, wr), Mul(Swap(x), wi));
    }

    static void Gather(const C* t, __m256i reIndex, __m256i imIndex, V& wr, V& wi) {
        const V x = Load(t);
        wr = _mm256_permutevar8x32_ps(x, reIndex);
        wi = _mm256_permutevar8x32_ps(x, imIndex);
    }
    // Factors for the four lanes: t[0..3].
    static void TwiddlesAt(const C* t, V& wr, V& wi) {
        const V x = Load(t);
        wr = _mm256_moveldup_ps(x);
        wi = _mm256_movehdup_ps(x);
    }
    // Lane l from t[l - 1]; lane 0 is not used.
    static void TwiddlesAfterFirst(const C* t, V& wr, V& wi) {
        Gather(t, _mm256_setr_epi32(0, 0, 0, 0, 2, 2, 4, 4), _mm256_setr_epi32(1, 1, 1, 1, 3, 3, 5, 5),
               wr, wi);
    }
    // Lane l from t[3 - l] with its parts swapped.
    static void TwiddlesMirrored(const C* t, V& wr, V& wi) {
        Gather(t, _mm256_setr_epi32(7, 7, 5, 5, 3, 3, 1, 1), _mm256_setr_epi32(6, 6, 4, 4, 2, 2, 0, 0),
               wr, wi);
    }
    // Lane l from t[4 - l] with its parts swapped; lane 0 is not used.
    static void TwiddlesMirroredAfterFirst(const C* t, V& wr, V& wi) {
        Gather(t, _mm256_setr_epi32(7, 7, 7, 7, 5, 5, 3, 3), _mm256_setr_epi32(6, 6, 6, 6, 4, 4, 2, 2),
               wr, wi);
    }
};

}  // namespace
}  // namespace tolvar
