// The real-transform passes with SSE2, the baseline of both targets: two pairs
// per step, bit-identical to the scalar reference. The partners of two
// neighbouring positions are neighbours too, in either order, so they are
// loaded and stored as two halves.
#include <emmintrin.h>

#include "fft/real_passes.h"
#include "fft/real_tables.h"

namespace tolvar {
namespace {

using C = ComplexFloat;

inline __m128 Load(const C* p) { return _mm_loadu_ps(&p->re); }
inline void Store(C* p, __m128 v) { _mm_storeu_ps(&p->re, v); }
inline __m128 LoadHalves(const C* lo, const C* hi) {
    return _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(lo)),
                        reinterpret_cast<const __m64*>(hi));
}
inline void StoreHalves(C* lo, C* hi, __m128 v) {
    _mm_storel_pi(reinterpret_cast<__m64*>(lo), v);
    _mm_storeh_pi(reinterpret_cast<__m64*>(hi), v);
}

inline __m128 Swap(__m128 x) { return _mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 3, 0, 1)); }
inline __m128 ImSign() { return _mm_setr_ps(0.0f, -0.0f, 0.0f, -0.0f); }
inline __m128 ReSign() { return _mm_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f); }

// w d and conj(w) d for the two factors in w.
inline __m128 MulW(__m128 d, __m128 w) {
    const __m128 wr = _mm_shuffle_ps(w, w, _MM_SHUFFLE(2, 2, 0, 0));
    const __m128 wi = _mm_shuffle_ps(w, w, _MM_SHUFFLE(3, 3, 1, 1));
    return _mm_add_ps(_mm_mul_ps(d, wr), _mm_xor_ps(_mm_mul_ps(Swap(d), wi), ReSign()));
}
inline __m128 MulConjW(__m128 d, __m128 w) {
    const __m128 wr = _mm_shuffle_ps(w, w, _MM_SHUFFLE(2, 2, 0, 0));
    const __m128 wi = _mm_shuffle_ps(w, w, _MM_SHUFFLE(3, 3, 1, 1));
    return _mm_add_ps(_mm_mul_ps(d, wr), _mm_xor_ps(_mm_mul_ps(Swap(d), wi), ImSign()));
}

// Two pairs: p holds the bins k, q the bins m - k in the same lanes.
inline void ForwardPairs(__m128& p, __m128& q, __m128 w) {
    const __m128 conjQ = _mm_xor_ps(q, ImSign());
    const __m128 s = _mm_add_ps(p, conjQ), d = _mm_sub_ps(p, conjQ);
    const __m128 swappedT = Swap(MulW(d, w));  // (t.im, t.re)
    const __m128 half = _mm_set1_ps(0.5f);
    p = _mm_mul_ps(half, _mm_add_ps(s, _mm_xor_ps(swappedT, ImSign())));
    q = _mm_xor_ps(_mm_mul_ps(half, _mm_add_ps(s, _mm_xor_ps(swappedT, ReSign()))), ImSign());
}

inline void InversePairs(__m128& p, __m128& q, __m128 w) {
    const __m128 conjQ = _mm_xor_ps(q, ImSign());
    const __m128 s = _mm_add_ps(p, conjQ), d = _mm_sub_ps(p, conjQ);
    const __m128 swappedT = Swap(MulConjW(d, w));
    p = _mm_add_ps(s, _mm_xor_ps(swappedT, ReSign()));
    q = _mm_xor_ps(_mm_add_ps(s, _mm_xor_ps(swappedT, ImSign())), ImSign());
}

template <bool kInverse>
void PairPasses(C* data, int m) {
    if (m >= 4) {  // the one pair of the 4-point level, in the low halves
        __m128 p = LoadHalves(data + 2, data + 2), q = LoadHalves(data + 3, data + 3);
        const __m128 w = LoadHalves(kRealTwiddles + 1, kRealTwiddles + 1);
        if constexpr (kInverse) {
            InversePairs(p, q, w);
        } else {
            ForwardPairs(p, q, w);
        }
        _mm_storel_pi(reinterpret_cast<__m64*>(data + 2), p);
        _mm_storel_pi(reinterpret_cast<__m64*>(data + 3), q);
    }
    for (int quarter = 2; 4 * quarter <= m; quarter *= 2) {
        for (int i = quarter; i < 2 * quarter; i += 2) {
            C* lo = data + kRealPartners[i];
            C* hi = data + kRealPartners[i + 1];
            __m128 p = Load(data + i + quarter), q = LoadHalves(lo, hi);
            if constexpr (kInverse) {
                InversePairs(p, q, Load(kRealTwiddles + i));
            } else {
                ForwardPairs(p, q, Load(kRealTwiddles + i));
            }
            Store(data + i + quarter, p);
            StoreHalves(lo, hi, q);
        }
    }
}

}  // namespace

void RealForwardPassSse2(ComplexFloat* data, int n) {
    const C z0 = data[0];
    data[0] = {z0.re + z0.im, z0.re - z0.im};
    PairPasses<false>(data, n / 2);
}

void RealInversePassSse2(ComplexFloat* data, int n) {
    const int m = n / 2;
    const C x0 = data[0];
    data[0] = {x0.re + x0.im, x0.re - x0.im};
    if (m >= 2) data[1] = {2.0f * data[1].re, 2.0f * data[1].im};
    PairPasses<true>(data, m);
}

}  // namespace tolvar
