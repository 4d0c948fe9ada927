// The transform with SSE2, the baseline of both targets: two complex values per
// vector, no fused multiply-add, bit-identical to the scalar reference.
#include <emmintrin.h>

#include "fft/fft_kernels.h"
#include "fft/fft_simd_routines.h"

namespace tolvar {
namespace {

struct Sse2Ops {
    using V = __m128;
    static constexpr int kWidth = 2;
    static constexpr bool kTwoPerVector = false;
    using Leaves = Sse2Ops;

    static V Load(const C* p) { return _mm_loadu_ps(reinterpret_cast<const float*>(p)); }
    static void Store(C* p, V v) { _mm_storeu_ps(reinterpret_cast<float*>(p), v); }
    static V LoadHalves(const C* lo, const C*) { return Load(lo); }
    static void StoreHalves(C* lo, C*, V v) { Store(lo, v); }
    // (re[k], im[k]) for k < 2 into x0 and for 2 <= k < 4 into x1.
    static void LoadInterleavedTwo(const float* re, const float* im, V& x0, V& x1) {
        const V r = _mm_loadu_ps(re), i = _mm_loadu_ps(im);
        x0 = _mm_unpacklo_ps(r, i);
        x1 = _mm_unpackhi_ps(r, i);
    }
    // For the 4 values in front0, front1 and back0, back1: re[k] = front.re + reTail[k],
    // reTail[k] = back.re, and the same for im.
    static void OverlapAddTwo(V front0, V front1, V back0, V back1, float* re, float* im, float* reTail,
                              float* imTail) {
        _mm_storeu_ps(re, _mm_add_ps(_mm_shuffle_ps(front0, front1, 0x88), _mm_loadu_ps(reTail)));
        _mm_storeu_ps(im, _mm_add_ps(_mm_shuffle_ps(front0, front1, 0xDD), _mm_loadu_ps(imTail)));
        _mm_storeu_ps(reTail, _mm_shuffle_ps(back0, back1, 0x88));
        _mm_storeu_ps(imTail, _mm_shuffle_ps(back0, back1, 0xDD));
    }
    // x * f, for complex factors that differ from lane to lane.
    static V Times(V x, V f) {
        return CMul(x, _mm_shuffle_ps(f, f, _MM_SHUFFLE(2, 2, 0, 0)), _mm_shuffle_ps(f, f, _MM_SHUFFLE(3, 3, 1, 1)));
    }
    // StoreTwo with every value multiplied by the factor at the same position of flo.
    static void StoreTwoTimes(C* lo, C*, V v0, V v1, const C* flo, const C*) {
        Store(lo, Times(v0, Load(flo)));
        Store(lo + 2, Times(v1, Load(flo + 2)));
    }
    static void StoreTwo(C* lo, C*, V v0, V v1) {
        Store(lo, v0);
        Store(lo + 2, v1);
    }

    static V Add(V x, V y) { return _mm_add_ps(x, y); }
    static V Sub(V x, V y) { return _mm_sub_ps(x, y); }
    static V Mul(V x, V y) { return _mm_mul_ps(x, y); }
    static V Splat(float f) { return _mm_set1_ps(f); }

    // Negation by flipping sign bits, which is exact.
    static V SignBits(Signs s) {
        return _mm_setr_ps(s.re0 ? -0.0f : 0.0f, s.im0 ? -0.0f : 0.0f, s.re1 ? -0.0f : 0.0f,
                           s.im1 ? -0.0f : 0.0f);
    }
    static V Negate(V x, Signs s) { return _mm_xor_ps(x, SignBits(s)); }
    static V AddSigned(V y, V x, Signs s) { return Add(y, Negate(x, s)); }
    static V SubSigned(V y, V x, Signs s) { return Sub(y, Negate(x, s)); }
    static V AddSub(V x, V y) { return Add(x, Negate(y, Signs{1, 0, 1, 0})); }
    static V SubAdd(V x, V y) { return Add(x, Negate(y, Signs{0, 1, 0, 1})); }

    static V Swap(V x) { return _mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 3, 0, 1)); }
    static V DupLo(V x) { return _mm_movelh_ps(x, x); }
    static V DupHi(V x) { return _mm_movehl_ps(x, x); }
    static V LoHi(V x, V y) { return _mm_shuffle_ps(x, y, _MM_SHUFFLE(3, 2, 1, 0)); }
    static V SwapHi(V x) { return _mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 3, 1, 0)); }
    static V FirstFrom(V x, V y) { return LoHi(x, y); }

    // x * w = (x.re*wr - x.im*wi, x.im*wr + x.re*wi); conj(w) flips the signs.
    static V CMul(V x, V wr, V wi) {
        return AddSub(Mul(x, wr), Mul(Swap(x), wi));
    }
    static V CMulConj(V x, V wr, V wi) {
        return SubAdd(Mul(x, wr), Mul(Swap(x), wi));
    }

    // Factors for the two lanes: t[0], t[1].
    static void TwiddlesAt(const C* t, V& wr, V& wi) {
        const V x = Load(t);
        wr = _mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 2, 0, 0));
        wi = _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 1, 1));
    }
    // Lane 1 from t[0]; lane 0 is not used.
    static void TwiddlesAfterFirst(const C* t, V& wr, V& wi) {
        const V x = Load(t);
        wr = _mm_shuffle_ps(x, x, _MM_SHUFFLE(0, 0, 0, 0));
        wi = _mm_shuffle_ps(x, x, _MM_SHUFFLE(1, 1, 1, 1));
    }
    // Lanes 0 and 1 from t[1] and t[0] with their parts swapped.
    static void TwiddlesMirrored(const C* t, V& wr, V& wi) {
        const V x = Load(t);
        wr = _mm_shuffle_ps(x, x, _MM_SHUFFLE(1, 1, 3, 3));
        wi = _mm_shuffle_ps(x, x, _MM_SHUFFLE(0, 0, 2, 2));
    }
    // Lane 1 from t[1] with its parts swapped; lane 0 is not used.
    static void TwiddlesMirroredAfterFirst(const C* t, V& wr, V& wi) {
        const V x = Load(t);
        wr = _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3));
        wi = _mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 2, 2, 2));
    }
};

}  // namespace

void FftTransformSse2(ComplexFloat* data, int n, int inverse) {
    Routines<Sse2Ops>::Transform(data, n, inverse);
}

void FftForwardZeroPaddedSse2(ComplexFloat* data, int n) { Routines<Sse2Ops>::TransformZeroPadded(data, n); }

void FftForwardTwoRealSse2(ComplexFloat* data, const float* re, const float* im, int n) {
    Routines<Sse2Ops>::TransformTwoReal(data, re, im, n);
}

void FftForwardTwoRealTimesSse2(ComplexFloat* data, const float* re, const float* im, const ComplexFloat* factors,
                                int n) {
    Routines<Sse2Ops>::TransformTwoRealTimes(data, re, im, factors, n);
}

void FftInverseOverlapAddSse2(ComplexFloat* data, int n, float* re, float* im, float* reTail, float* imTail) {
    Routines<Sse2Ops>::InvertOverlapAdd(data, n, re, im, reTail, imTail);
}

}  // namespace tolvar
