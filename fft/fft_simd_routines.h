// The transform written once over a small vector interface (`O`), compiled
// separately for SSE2 and for AVX2. Include it only from the instruction-set
// source files: everything here has internal linkage, so each of them gets its
// own copy built with its own compiler flags.
//
// The operations, their operands and their order are those of the scalar
// reference, so that without fused multiply-add every result is bit-identical.
//
// A vector holds W = O::kWidth complex values. The passes (32 points and more)
// process W consecutive j at a time, from a vector boundary where the array
// does not start on one (from 128 points). The small kernels (2 to 16 points)
// keep a whole transform in registers, two complex values per 128-bit half;
// the AVX2 version runs two independent transforms at once, one in each half.
//
// Ops interface (all static):
//   V, kWidth, kTwoPerVector
//   Load/Store(ptr), LoadHalves/StoreHalves(lo, hi)  (kernels: one transform per half)
//   StoreTwo(lo, hi, v0, v1)    lo[0..3] from the low halves of v0, v1; hi from the high
//   Add Sub Mul Splat
//   AddSigned/SubSigned(y, x, Signs)              y + s*x and y - s*x, s = +-1 per
//                                                float (pattern per 128-bit half)
//   AddSub(x, y)  (x.re - y.re, x.im + y.im);  SubAdd(x, y)  (x.re + y.re, x.im - y.im)
//   Swap      (re, im) -> (im, re) in every complex value
//   DupLo/DupHi, LoHi(x, y), SwapHi              per 128-bit half
//   FirstFrom(x, y)                              complex 0 of x, the rest of y
//   CMul/CMulConj(x, wr, wi)                     x * w and x * conj(w)
//   TwiddlesAt / TwiddlesAfterFirst / TwiddlesMirrored / TwiddlesMirroredAfterFirst
#pragma once

#include "fft/twiddle_tables.h"

namespace tolvar {
namespace {

using C = ComplexFloat;

#define FFT_INLINE inline __attribute__((always_inline))

// Which floats of a 128-bit half a signed operation negates (re0, im0, re1, im1).
struct Signs {
    bool re0, im0, re1, im1;
};

// d + i*e and d - i*e: i*e = (-e.im, e.re).
template <class O>
FFT_INLINE void PlusMinusI(typename O::V d, typename O::V e, typename O::V& plus, typename O::V& minus) {
    const typename O::V swapped = O::Swap(e);
    plus = O::AddSub(d, swapped);
    minus = O::SubAdd(d, swapped);
}

// Products by (h, h) and (h, -h): sqrt(1/2) * (re -+ im), one multiplication per part.
template <class O>
FFT_INLINE typename O::V MulSqrtHalf(typename O::V x, typename O::V h) {
    return O::Mul(O::AddSub(x, O::Swap(x)), h);
}

template <class O>
FFT_INLINE typename O::V MulSqrtHalfConj(typename O::V x, typename O::V h) {
    return O::Mul(O::SubAdd(x, O::Swap(x)), h);
}

FFT_INLINE float SqrtHalf() { return kTwiddleTables[0][1].re; }

// ---- Kernels for 2, 4, 8 and 16 points, whole transforms in registers ----
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

    template <int N>
    static void Forward(C* a, C* b) {
        V v[N / 2];
        Load(v, a, b);
        if constexpr (N == 2) v[0] = Butterfly2(v[0]);
        if constexpr (N == 4) Forward4(v[0], v[1]);
        if constexpr (N == 8) Forward8(v[0], v[1], v[2], v[3], O::Splat(SqrtHalf()));
        if constexpr (N == 16) Forward16(v);
        Store(v, a, b);
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

// ---- Passes for 32 points and more ----

enum class FirstLane { kTable, kOne, kSqrtHalf };  // factor of complex 0 of the vector

// The four outputs of one vector of butterflies, for quarters 0..3.
template <class O>
using Quarters = typename O::V[4];

template <class O, int N, FirstLane kFirst>
FFT_INLINE void ForwardButterflies(const C* a, typename O::V wr, typename O::V wi, typename O::V h,
                                   Quarters<O>& out) {
    using V = typename O::V;
    constexpr int q = N / 4;
    const V a0 = O::Load(a), a1 = O::Load(a + q), a2 = O::Load(a + 2 * q), a3 = O::Load(a + 3 * q);
    V plus, minus;
    PlusMinusI<O>(O::Sub(a0, a2), O::Sub(a1, a3), plus, minus);
    out[0] = O::Add(a0, a2);
    out[1] = O::Add(a1, a3);
    V p = O::CMul(plus, wr, wi), m = O::CMulConj(minus, wr, wi);
    if constexpr (kFirst == FirstLane::kOne) {
        p = O::FirstFrom(plus, p);
        m = O::FirstFrom(minus, m);
    } else if constexpr (kFirst == FirstLane::kSqrtHalf) {
        p = O::FirstFrom(MulSqrtHalf<O>(plus, h), p);
        m = O::FirstFrom(MulSqrtHalfConj<O>(minus, h), m);
    }
    out[2] = p;
    out[3] = m;
}

template <class O, int N, FirstLane kFirst>
FFT_INLINE void InverseButterflies(const C* a, typename O::V wr, typename O::V wi, typename O::V h,
                                   Quarters<O>& out) {
    using V = typename O::V;
    constexpr int q = N / 4;
    const V a0 = O::Load(a), a1 = O::Load(a + q), a2 = O::Load(a + 2 * q), a3 = O::Load(a + 3 * q);
    V v = O::CMulConj(a2, wr, wi), z = O::CMul(a3, wr, wi);
    if constexpr (kFirst == FirstLane::kOne) {
        v = O::FirstFrom(a2, v);
        z = O::FirstFrom(a3, z);
    } else if constexpr (kFirst == FirstLane::kSqrtHalf) {
        v = O::FirstFrom(MulSqrtHalfConj<O>(a2, h), v);
        z = O::FirstFrom(MulSqrtHalf<O>(a3, h), z);
    }
    const V s = O::Add(v, z);
    out[0] = O::Add(a0, s);
    out[2] = O::Sub(a0, s);
    PlusMinusI<O>(a1, O::Sub(v, z), out[3], out[1]);  // a1 + i*d, a1 - i*d
}

template <class O, int N>
FFT_INLINE void StoreQuarters(C* a, const Quarters<O>& out) {
    O::Store(a, out[0]);
    O::Store(a + N / 4, out[1]);
    O::Store(a + N / 2, out[2]);
    O::Store(a + 3 * N / 4, out[3]);
}

// The butterflies at j for one transform, or for two (a and b) sharing the
// factors; the results go to out[0] (a) and out[1] (b).
template <class O, int N, bool kInverse, bool kPair, FirstLane kFirst>
FFT_INLINE void Compute(const C* a, const C* b, int j, typename O::V wr, typename O::V wi, typename O::V h,
                        Quarters<O> (&out)[2]) {
    if constexpr (kInverse) {
        InverseButterflies<O, N, kFirst>(a + j, wr, wi, h, out[0]);
        if constexpr (kPair) InverseButterflies<O, N, kFirst>(b + j, wr, wi, h, out[1]);
    } else {
        ForwardButterflies<O, N, kFirst>(a + j, wr, wi, h, out[0]);
        if constexpr (kPair) ForwardButterflies<O, N, kFirst>(b + j, wr, wi, h, out[1]);
    }
}

template <class O, int N, bool kPair>
FFT_INLINE void Store(C* a, C* b, int j, const Quarters<O> (&out)[2]) {
    StoreQuarters<O, N>(a + j, out[0]);
    if constexpr (kPair) StoreQuarters<O, N>(b + j, out[1]);
}

template <class O, int N, bool kInverse, bool kPair, FirstLane kFirst>
FFT_INLINE void Butterflies(C* a, C* b, int j, typename O::V wr, typename O::V wi, typename O::V h) {
    Quarters<O> out[2];
    Compute<O, N, kInverse, kPair, kFirst>(a, b, j, wr, wi, h, out);
    Store<O, N, kPair>(a, b, j, out);
}

// Full-table pass (N <= 512) or mirrored-table pass (N >= 1024) over a, and
// over b too for a pair, in vectors of W consecutive j from j = 0.
template <class O, int N, bool kInverse, bool kPair>
FFT_INLINE void GridPass(C* a, C* b, const C* table, typename O::V h) {
    using V = typename O::V;
    constexpr int W = O::kWidth, q = N / 4;
    V wr, wi;
    O::TwiddlesAfterFirst(table, wr, wi);
    Butterflies<O, N, kInverse, kPair, FirstLane::kOne>(a, b, 0, wr, wi, h);
    if constexpr (N <= 512) {
        for (int j = W; j < q; j += W) {
            O::TwiddlesAt(table + j - 1, wr, wi);
            Butterflies<O, N, kInverse, kPair, FirstLane::kTable>(a, b, j, wr, wi, h);
        }
    } else {
        for (int j = W; j < N / 8; j += W) {
            O::TwiddlesAt(table + j - 1, wr, wi);
            Butterflies<O, N, kInverse, kPair, FirstLane::kTable>(a, b, j, wr, wi, h);
        }
        O::TwiddlesMirroredAfterFirst(table + N / 8 - W - 1, wr, wi);
        Butterflies<O, N, kInverse, kPair, FirstLane::kSqrtHalf>(a, b, N / 8, wr, wi, h);
        for (int j = N / 8 + W; j < q; j += W) {
            O::TwiddlesMirrored(table + q - j - W, wr, wi);
            Butterflies<O, N, kInverse, kPair, FirstLane::kTable>(a, b, j, wr, wi, h);
        }
    }
}

// The same pass when the array does not start on a vector boundary: the
// vectors start at j = lead, lead + W, ..., the first j on a boundary, so
// that no load or store straddles two cache lines (such accesses cost twice
// and the passes are bound by their stores). The vectors the boundaries cut
// (at j = 0 and q - W, and around the sqrt(1/2) at N/8) are done on the usual
// grid, before the others and stored after them; where the two overlap they
// compute the same values with the same operations.
template <class O, int N, bool kInverse, bool kPair>
FFT_INLINE void ShiftedPass(C* a, C* b, const C* table, typename O::V h, int lead) {
    using V = typename O::V;
    constexpr int W = O::kWidth, q = N / 4;
    V wr, wi;
    Quarters<O> first[2], last[2], belowEighth[2], atEighth[2];
    O::TwiddlesAfterFirst(table, wr, wi);
    Compute<O, N, kInverse, kPair, FirstLane::kOne>(a, b, 0, wr, wi, h, first);
    if constexpr (N <= 512) {
        O::TwiddlesAt(table + q - W - 1, wr, wi);
        Compute<O, N, kInverse, kPair, FirstLane::kTable>(a, b, q - W, wr, wi, h, last);
        for (int j = lead; j < q - W; j += W) {
            O::TwiddlesAt(table + j - 1, wr, wi);
            Butterflies<O, N, kInverse, kPair, FirstLane::kTable>(a, b, j, wr, wi, h);
        }
    } else {
        O::TwiddlesMirrored(table, wr, wi);
        Compute<O, N, kInverse, kPair, FirstLane::kTable>(a, b, q - W, wr, wi, h, last);
        O::TwiddlesAt(table + N / 8 - W - 1, wr, wi);
        Compute<O, N, kInverse, kPair, FirstLane::kTable>(a, b, N / 8 - W, wr, wi, h, belowEighth);
        O::TwiddlesMirroredAfterFirst(table + N / 8 - W - 1, wr, wi);
        Compute<O, N, kInverse, kPair, FirstLane::kSqrtHalf>(a, b, N / 8, wr, wi, h, atEighth);
        for (int j = lead; j < N / 8 - W; j += W) {
            O::TwiddlesAt(table + j - 1, wr, wi);
            Butterflies<O, N, kInverse, kPair, FirstLane::kTable>(a, b, j, wr, wi, h);
        }
        for (int j = N / 8 + lead; j < q - W; j += W) {
            O::TwiddlesMirrored(table + q - j - W, wr, wi);
            Butterflies<O, N, kInverse, kPair, FirstLane::kTable>(a, b, j, wr, wi, h);
        }
        Store<O, N, kPair>(a, b, N / 8 - W, belowEighth);
        Store<O, N, kPair>(a, b, N / 8, atEighth);
    }
    Store<O, N, kPair>(a, b, 0, first);
    Store<O, N, kPair>(a, b, q - W, last);
}

// Complex values from a to the next vector boundary (0 when a is on one, or
// when it is not even 8-byte aligned and no boundary can be reached).
template <class O>
FFT_INLINE int LeadToBoundary(const C* a) {
    constexpr unsigned kBytes = O::kWidth * sizeof(C);
    const auto address = static_cast<unsigned>(reinterpret_cast<__UINTPTR_TYPE__>(a));
    if (address % sizeof(C) != 0) return 0;
    return static_cast<int>((kBytes - address % kBytes) % kBytes / sizeof(C));
}

// Below this size the cut vectors cost more than the aligned ones save.
constexpr int kShiftedPassMinSize = 128;

template <class O, int N, bool kInverse, bool kPair>
void Pass(C* a, C* b) {
    constexpr int tableIndex = TwiddleTableIndex(N);  // evaluated here, never called
    const C* table = kTwiddleTables[tableIndex];
    const typename O::V h = O::Splat(SqrtHalf());
    if constexpr (N >= kShiftedPassMinSize) {
        // Pairs are N/4 or more apart, a multiple of the vector size: the same lead.
        const int lead = LeadToBoundary<O>(a);
        if (lead != 0) {
            ShiftedPass<O, N, kInverse, kPair>(a, b, table, h, lead);
            return;
        }
    }
    GridPass<O, N, kInverse, kPair>(a, b, table, h);
}

// ---- Recursion ----
//
// The two quarter transforms of every size are the same size, so below the top
// every transform has a partner; pairs share their twiddle loads and, in the
// kernels, the vector halves. Only the first-half chain from the top is single.

template <class O, int N>
void ForwardPair(C* a, C* b) {
    if constexpr (N <= 16) {
        if constexpr (O::kTwoPerVector) {
            Kernels<O>::template Forward<N>(a, b);
        } else {
            Kernels<O>::template Forward<N>(a, a);
            Kernels<O>::template Forward<N>(b, b);
        }
    } else {
        Pass<O, N, false, true>(a, b);
        ForwardPair<O, N / 4>(a + N / 2, a + 3 * N / 4);
        ForwardPair<O, N / 4>(b + N / 2, b + 3 * N / 4);
        ForwardPair<O, N / 2>(a, b);
    }
}

template <class O, int N>
void Forward(C* a) {
    if constexpr (N <= 16) {
        Kernels<O>::template Forward<N>(a, a);
    } else {
        Pass<O, N, false, false>(a, nullptr);
        ForwardPair<O, N / 4>(a + N / 2, a + 3 * N / 4);
        Forward<O, N / 2>(a);
    }
}

template <class O, int N>
void InversePair(C* a, C* b) {
    if constexpr (N <= 16) {
        if constexpr (O::kTwoPerVector) {
            Kernels<O>::template Inverse<N>(a, b);
        } else {
            Kernels<O>::template Inverse<N>(a, a);
            Kernels<O>::template Inverse<N>(b, b);
        }
    } else {
        InversePair<O, N / 2>(a, b);
        InversePair<O, N / 4>(a + N / 2, a + 3 * N / 4);
        InversePair<O, N / 4>(b + N / 2, b + 3 * N / 4);
        Pass<O, N, true, true>(a, b);
    }
}

template <class O, int N>
void Inverse(C* a) {
    if constexpr (N <= 16) {
        Kernels<O>::template Inverse<N>(a, a);
    } else {
        Inverse<O, N / 2>(a);
        InversePair<O, N / 4>(a + N / 2, a + 3 * N / 4);
        Pass<O, N, true, false>(a, nullptr);
    }
}

template <class O>
struct Routines {
    using Routine = void (*)(C*);
    template <int... Ns>
    struct Table {
        static constexpr Routine forward[] = {Forward<O, Ns>...};
        static constexpr Routine inverse[] = {Inverse<O, Ns>...};
    };
    using All = Table<2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768>;

    static void Transform(C* data, int n, int inverse) {
        const int log2 = FftLog2OfSupportedSize(n);
        if (log2 < 0 || !data) return;
        (inverse ? All::inverse : All::forward)[log2 - 1](data);
    }
};

#undef FFT_INLINE

}  // namespace
}  // namespace tolvar
