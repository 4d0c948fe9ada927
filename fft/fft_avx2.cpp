// The transform with AVX2, compiled with -mavx2 -mfma and called only after a
// run-time check of the processor. Four complex values per vector; the small
// kernels run two transforms side by side, one per 128-bit half.
//
// This file must not include headers with inline functions that other files
// also use: the linker could keep this file's AVX2 copy for everybody.
#include <immintrin.h>

#include "fft/fft_kernels.h"
#include "fft/fft_simd_routines.h"

namespace tolvar {
namespace {

template <bool kFma>
struct Avx2Ops {
    using V = __m256;
    static constexpr int kWidth = 4;
    static constexpr bool kTwoPerVector = true;

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

}  // namespace tolvar
