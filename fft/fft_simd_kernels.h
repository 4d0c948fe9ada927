// Kernels for 2, 4, 8 and 16 points of the vector transform. Internal to the
// instruction-set source files (see fft_simd_routines.h).
#pragma once

#include "fft/fft_simd_arith.h"

namespace tolvar {
namespace {

// Whole transforms in registers.
//
// v[k] holds complex values 2k and 2k+1 of the transform (in each 128-bit half).

template <class O>
struct Kernels {
    using V = typename O::V;

    // (p, q) -> (p + q, p - q) in every half.
    static FFT_INLINE V Butterfly2(V x) {
        return O::AddSigned(O::DupLo(x), O::DupHi(x), Signs{0, 0, 1, 1});
    }

    static FFT_INLINE void Forward4(V& x, V& y) {
        const V sum = O::Add(x, y), diff = O::Sub(x, y);  // (a0+a2, a1+a3), (d, e)
        x = Butterfly2(sum);
        y = O::AddSigned(O::DupLo(diff), O::Swap(O::DupHi(diff)), Signs{1, 0, 0, 1});  // (d+ie, d-ie)
    }

    static FFT_INLINE void Inverse4(V& x, V& y) {
        const V a = Butterfly2(x);
        const V sd = Butterfly2(y);                                        // (s, d)
        const V t = O::SwapHi(sd);  // (s, (d.im, d.re)); with the signs: (s, -i*d)
        x = O::AddSigned(a, t, Signs{0, 0, 0, 1});
        y = O::SubSigned(a, t, Signs{0, 0, 0, 1});
    }

    static FFT_INLINE void Forward8(V& v0, V& v1, V& v2, V& v3, V h) {
        V plus, minus;
        PlusMinusI<O>(O::Sub(v0, v2), O::Sub(v1, v3), plus, minus);
        v0 = O::Add(v0, v2);
        v1 = O::Add(v1, v3);
        v2 = Butterfly2(O::LoHi(plus, MulSqrtHalf<O>(plus, h)));
        v3 = Butterfly2(O::LoHi(minus, MulSqrtHalfConj<O>(minus, h)));
        Forward4(v0, v1);
    }

    static FFT_INLINE void InverseSums(V& a0, V& a1, V& a2, V& a3, V v, V z) {
        const V s = O::Add(v, z);
        a2 = O::Sub(a0, s);
        a0 = O::Add(a0, s);
        PlusMinusI<O>(a1, O::Sub(v, z), a3, a1);
    }

    static FFT_INLINE void Inverse8(V& v0, V& v1, V& v2, V& v3, V h) {
        Inverse4(v0, v1);
        const V a2 = Butterfly2(v2), a3 = Butterfly2(v3);
        InverseSums(v0, v1, v2, v3, O::LoHi(a2, MulSqrtHalfConj<O>(a2, h)),
                    O::LoHi(a3, MulSqrtHalf<O>(a3, h)));
    }

    static FFT_INLINE void Forward16(V (&v)[8]) {
        const C w1 = kTwiddleTables[0][0];  // (cos pi/8, sin pi/8); w3 swaps its parts
        const V c = O::Splat(w1.re), s = O::Splat(w1.im), h = O::Splat(SqrtHalf());
        {  // j = 0 (factor 1) and j = 1
            V plus, minus;
            PlusMinusI<O>(O::Sub(v[0], v[4]), O::Sub(v[2], v[6]), plus, minus);
            v[0] = O::Add(v[0], v[4]);
            v[2] = O::Add(v[2], v[6]);
            v[4] = O::LoHi(plus, O::CMul(plus, c, s));
            v[6] = O::LoHi(minus, O::CMulConj(minus, c, s));
        }
        {  // j = 2 (sqrt(1/2)) and j = 3
            V plus, minus;
            PlusMinusI<O>(O::Sub(v[1], v[5]), O::Sub(v[3], v[7]), plus, minus);
            v[1] = O::Add(v[1], v[5]);
            v[3] = O::Add(v[3], v[7]);
            v[5] = O::LoHi(MulSqrtHalf<O>(plus, h), O::CMul(plus, s, c));
            v[7] = O::LoHi(MulSqrtHalfConj<O>(minus, h), O::CMulConj(minus, s, c));
        }
        Forward4(v[4], v[5]);
        Forward4(v[6], v[7]);
        Forward8(v[0], v[1], v[2], v[3], h);
    }

    static FFT_INLINE void Inverse16(V (&v)[8]) {
        const C w1 = kTwiddleTables[0][0];
        const V c = O::Splat(w1.re), s = O::Splat(w1.im), h = O::Splat(SqrtHalf());
        Inverse8(v[0], v[1], v[2], v[3], h);
        Inverse4(v[4], v[5]);
        Inverse4(v[6], v[7]);
        InverseSums(v[0], v[2], v[4], v[6], O::LoHi(v[4], O::CMulConj(v[4], c, s)),
                    O::LoHi(v[6], O::CMul(v[6], c, s)));
        InverseSums(v[1], v[3], v[5], v[7],
                    O::LoHi(MulSqrtHalfConj<O>(v[5], h), O::CMulConj(v[5], s, c)),
                    O::LoHi(MulSqrtHalf<O>(v[7], h), O::CMul(v[7], s, c)));
    }

    // Transforms of n points at a and at b (b == a: the same one twice over, for
    // a lone transform; harmless, as all loads precede all stores).
    template <int kVectors>
    static FFT_INLINE void Load(V (&v)[kVectors], const C* a, const C* b) {
#pragma GCC unroll 8
        for (int k = 0; k < kVectors; ++k) v[k] = O::LoadHalves(a + 2 * k, b + 2 * k);
    }
    // Whole vectors where possible: two stores of four complex values take
    // half the store slots of four stores of two.
    template <int kVectors>
    static FFT_INLINE void Store(const V (&v)[kVectors], C* a, C* b) {
        if constexpr (kVectors == 1) {
            O::StoreHalves(a, b, v[0]);
        } else {
#pragma GCC unroll 8
            for (int k = 0; k < kVectors; k += 2) O::StoreTwo(a + 2 * k, b + 2 * k, v[k], v[k + 1]);
        }
    }

    // The same, each value multiplied first by the factor at its position in
    // fa (for a) or fb (for b).
    template <int kVectors>
    static FFT_INLINE void StoreTimes(const V (&v)[kVectors], C* a, C* b, const C* fa, const C* fb) {
        if constexpr (kVectors == 1) {
            O::StoreHalves(a, b, O::Times(v[0], O::LoadHalves(fa, fb)));
        } else {
#pragma GCC unroll 8
            for (int k = 0; k < kVectors; k += 2) {
                O::StoreTwoTimes(a + 2 * k, b + 2 * k, v[k], v[k + 1], fa + 2 * k, fb + 2 * k);
            }
        }
    }

    template <int N>
    static FFT_INLINE void ForwardInRegisters(V (&v)[N / 2]) {
        if constexpr (N == 2) v[0] = Butterfly2(v[0]);
        if constexpr (N == 4) Forward4(v[0], v[1]);
        if constexpr (N == 8) Forward8(v[0], v[1], v[2], v[3], O::Splat(SqrtHalf()));
        if constexpr (N == 16) Forward16(v);
    }

    template <int N>
    static void Forward(C* a, C* b) {
        V v[N / 2];
        Load(v, a, b);
        ForwardInRegisters<N>(v);
        Store(v, a, b);
    }

    // The forward transforms, each bin multiplied by the factor at its position.
    template <int N>
    static void ForwardTimes(C* a, C* b, const C* fa, const C* fb) {
        V v[N / 2];
        Load(v, a, b);
        ForwardInRegisters<N>(v);
        StoreTimes(v, a, b, fa, fb);
    }

    template <int N>
    static void Inverse(C* a, C* b) {
        V v[N / 2];
        Load(v, a, b);
        if constexpr (N == 2) v[0] = Butterfly2(v[0]);
        if constexpr (N == 4) Inverse4(v[0], v[1]);
        if constexpr (N == 8) Inverse8(v[0], v[1], v[2], v[3], O::Splat(SqrtHalf()));
        if constexpr (N == 16) Inverse16(v);
        Store(v, a, b);
    }
};

}  // namespace
}  // namespace tolvar
