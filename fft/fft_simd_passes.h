// Butterfly passes for 32 points and more of the vector transform. Internal to
// the instruction-set source files (see fft_simd_routines.h).
#pragma once

#include "fft/fft_simd_arith.h"

namespace tolvar {
namespace {

enum class FirstLane { kTable, kOne, kSqrtHalf };  // factor of complex 0 of the vector

// The four outputs of one vector of butterflies, for quarters 0..3.
template <class O>
using Quarters = typename O::V[4];

// The forward butterflies' last two quarters: plus times w and minus times
// conj(w), with the first lane's factor as kFirst says.
template <class O, FirstLane kFirst>
FFT_INLINE void TwiddledQuarters(typename O::V plus, typename O::V minus, typename O::V wr, typename O::V wi,
                                 typename O::V h, Quarters<O>& out) {
    typename O::V p = O::CMul(plus, wr, wi), m = O::CMulConj(minus, wr, wi);
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

// The forward butterflies when a2 = a3 = 0 (the second half of a zero-padded
// input): the first two quarters stay as they are.
template <class O, FirstLane kFirst>
FFT_INLINE void PaddedButterflies(typename O::V a0, typename O::V a1, typename O::V wr, typename O::V wi,
                                  typename O::V h, Quarters<O>& out) {
    using V = typename O::V;
    V plus, minus;
    PlusMinusI<O>(a0, a1, plus, minus);
    out[0] = a0;
    out[1] = a1;
    TwiddledQuarters<O, kFirst>(plus, minus, wr, wi, h, out);
}

// kPadded: the second half of the array is zero and is not read (a2 = a3 = 0).
template <class O, int N, FirstLane kFirst, bool kPadded = false>
FFT_INLINE void ForwardButterflies(const C* a, typename O::V wr, typename O::V wi, typename O::V h,
                                   Quarters<O>& out) {
    using V = typename O::V;
    constexpr int q = N / 4;
    if constexpr (kPadded) {
        PaddedButterflies<O, kFirst>(O::Load(a), O::Load(a + q), wr, wi, h, out);
        return;
    }
    V plus, minus;
    const V a0 = O::Load(a), a1 = O::Load(a + q), a2 = O::Load(a + 2 * q), a3 = O::Load(a + 3 * q);
    PlusMinusI<O>(O::Sub(a0, a2), O::Sub(a1, a3), plus, minus);
    out[0] = O::Add(a0, a2);
    out[1] = O::Add(a1, a3);
    TwiddledQuarters<O, kFirst>(plus, minus, wr, wi, h, out);
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
template <class O, int N, bool kInverse, bool kPair, FirstLane kFirst, bool kPadded = false>
FFT_INLINE void Compute(const C* a, const C* b, int j, typename O::V wr, typename O::V wi, typename O::V h,
                        Quarters<O> (&out)[2]) {
    if constexpr (kInverse) {
        InverseButterflies<O, N, kFirst>(a + j, wr, wi, h, out[0]);
        if constexpr (kPair) InverseButterflies<O, N, kFirst>(b + j, wr, wi, h, out[1]);
    } else {
        ForwardButterflies<O, N, kFirst, kPadded>(a + j, wr, wi, h, out[0]);
        if constexpr (kPair) ForwardButterflies<O, N, kFirst, kPadded>(b + j, wr, wi, h, out[1]);
    }
}

template <class O, int N, bool kPair>
FFT_INLINE void Store(C* a, C* b, int j, const Quarters<O> (&out)[2]) {
    StoreQuarters<O, N>(a + j, out[0]);
    if constexpr (kPair) StoreQuarters<O, N>(b + j, out[1]);
}

template <class O, int N, bool kInverse, bool kPair, FirstLane kFirst, bool kPadded = false>
FFT_INLINE void Butterflies(C* a, C* b, int j, typename O::V wr, typename O::V wi, typename O::V h) {
    Quarters<O> out[2];
    Compute<O, N, kInverse, kPair, kFirst, kPadded>(a, b, j, wr, wi, h, out);
    Store<O, N, kPair>(a, b, j, out);
}

// Full-table pass (N <= 512) or mirrored-table pass (N >= 1024) over a, and
// over b too for a pair, in vectors of W consecutive j from j = 0. kPadded: a
// forward pass over an array whose second half is zero and not read.
template <class O, int N, bool kInverse, bool kPair, bool kPadded = false>
FFT_INLINE void GridPass(C* a, C* b, const C* table, typename O::V h) {
    using V = typename O::V;
    constexpr int W = O::kWidth, q = N / 4;
    V wr, wi;
    O::TwiddlesAfterFirst(table, wr, wi);
    Butterflies<O, N, kInverse, kPair, FirstLane::kOne, kPadded>(a, b, 0, wr, wi, h);
    if constexpr (N <= 512) {
        for (int j = W; j < q; j += W) {
            O::TwiddlesAt(table + j - 1, wr, wi);
            Butterflies<O, N, kInverse, kPair, FirstLane::kTable, kPadded>(a, b, j, wr, wi, h);
        }
    } else {
        for (int j = W; j < N / 8; j += W) {
            O::TwiddlesAt(table + j - 1, wr, wi);
            Butterflies<O, N, kInverse, kPair, FirstLane::kTable, kPadded>(a, b, j, wr, wi, h);
        }
        O::TwiddlesMirroredAfterFirst(table + N / 8 - W - 1, wr, wi);
        Butterflies<O, N, kInverse, kPair, FirstLane::kSqrtHalf, kPadded>(a, b, N / 8, wr, wi, h);
        for (int j = N / 8 + W; j < q; j += W) {
            O::TwiddlesMirrored(table + q - j - W, wr, wi);
            Butterflies<O, N, kInverse, kPair, FirstLane::kTable, kPadded>(a, b, j, wr, wi, h);
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

// Walks the j of a full-table (N <= 512) or mirrored-table pass two vectors at
// a time: walker.Step<kFirst>(j, wr0, wi0, wr1, wi1) for j = 0, 2W, 4W, ... up
// to N/4, with the factors of the vectors at j and j + W (kFirst is the first
// lane's case at j; the vector at j + W always takes the table's). N/4 must be a
// multiple of 2W.
template <class O, int N, class Walker>
FFT_INLINE void PairedGridWalk(const C* table, const Walker& walker) {
    using V = typename O::V;
    constexpr int W = O::kWidth, q = N / 4;
    static_assert(q % (2 * W) == 0);
    V wr0, wi0, wr1, wi1;
    O::TwiddlesAfterFirst(table, wr0, wi0);
    O::TwiddlesAt(table + W - 1, wr1, wi1);
    walker.template Step<FirstLane::kOne>(0, wr0, wi0, wr1, wi1);
    if constexpr (N <= 512) {
        for (int j = 2 * W; j < q; j += 2 * W) {
            O::TwiddlesAt(table + j - 1, wr0, wi0);
            O::TwiddlesAt(table + j + W - 1, wr1, wi1);
            walker.template Step<FirstLane::kTable>(j, wr0, wi0, wr1, wi1);
        }
    } else {
        for (int j = 2 * W; j < N / 8; j += 2 * W) {
            O::TwiddlesAt(table + j - 1, wr0, wi0);
            O::TwiddlesAt(table + j + W - 1, wr1, wi1);
            walker.template Step<FirstLane::kTable>(j, wr0, wi0, wr1, wi1);
        }
        O::TwiddlesMirroredAfterFirst(table + N / 8 - W - 1, wr0, wi0);
        O::TwiddlesMirrored(table + q - N / 8 - 2 * W, wr1, wi1);
        walker.template Step<FirstLane::kSqrtHalf>(N / 8, wr0, wi0, wr1, wi1);
        for (int j = N / 8 + 2 * W; j < q; j += 2 * W) {
            O::TwiddlesMirrored(table + q - j - W, wr0, wi0);
            O::TwiddlesMirrored(table + q - j - 2 * W, wr1, wi1);
            walker.template Step<FirstLane::kTable>(j, wr0, wi0, wr1, wi1);
        }
    }
}

// The first forward pass of a zero-padded transform whose first half is
// re[j] + i im[j]: the two arrays are packed as they are loaded, two vectors
// at a time.
template <class O, int N>
struct TwoRealWalker {
    using V = typename O::V;
    C* a;
    const float* re;
    const float* im;
    V h;
    template <FirstLane kFirst>
    FFT_INLINE void Step(int j, V wr0, V wi0, V wr1, V wi1) const {
        constexpr int q = N / 4, W = O::kWidth;
        V a0[2], a1[2];
        O::LoadInterleavedTwo(re + j, im + j, a0[0], a0[1]);
        O::LoadInterleavedTwo(re + j + q, im + j + q, a1[0], a1[1]);
        Quarters<O> first, second;
        PaddedButterflies<O, kFirst>(a0[0], a1[0], wr0, wi0, h, first);
        PaddedButterflies<O, FirstLane::kTable>(a0[1], a1[1], wr1, wi1, h, second);
        StoreQuarters<O, N>(a + j, first);
        StoreQuarters<O, N>(a + j + W, second);
    }
};

// The last inverse pass, overlap-adding its results instead of storing them:
// y[j] and y[j + N/4] go out with the tails added, y[N/2 + j] and y[N/2 + j + N/4]
// become the tails. Two vectors at a time, so that every output is a whole vector.
template <class O, int N>
struct OverlapAddWalker {
    using V = typename O::V;
    const C* a;
    float* re;
    float* im;
    float* reTail;
    float* imTail;
    V h;
    template <FirstLane kFirst>
    FFT_INLINE void Step(int j, V wr0, V wi0, V wr1, V wi1) const {
        constexpr int q = N / 4, W = O::kWidth;
        Quarters<O> first, second;
        InverseButterflies<O, N, kFirst>(a + j, wr0, wi0, h, first);
        InverseButterflies<O, N, FirstLane::kTable>(a + j + W, wr1, wi1, h, second);
        O::OverlapAddTwo(first[0], second[0], first[2], second[2], re + j, im + j, reTail + j, imTail + j);
        O::OverlapAddTwo(first[1], second[1], first[3], second[3], re + j + q, im + j + q, reTail + j + q,
                         imTail + j + q);
    }
};

// The first forward pass over an array whose second half is zero and not read.
// An array off the vector grid takes the usual pass after its zeros are written.
template <class O, int N>
void PaddedPass(C* a) {
    constexpr int tableIndex = TwiddleTableIndex(N);
    if constexpr (N >= kShiftedPassMinSize) {
        if (LeadToBoundary<O>(a) != 0) {
            for (int k = N / 2; k < N; ++k) a[k] = C{0.0f, 0.0f};
            Pass<O, N, false, false>(a, nullptr);
            return;
        }
    }
    GridPass<O, N, false, false, true>(a, nullptr, kTwiddleTables[tableIndex], O::Splat(SqrtHalf()));
}
}  // namespace
}  // namespace tolvar
