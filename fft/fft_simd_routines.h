// The transform written once over a small vector interface (`O`), compiled
// separately for SSE2, AVX2 and AVX-512. Include it only from the instruction-set
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
// O::Leaves names the operations the kernels run on: the AVX-512 passes hand
// their small transforms to the AVX2 kernels.
//
// The pieces: fft_simd_arith.h (the Ops interface and shared arithmetic),
// fft_simd_kernels.h (2 to 16 points), fft_simd_passes.h (the passes).
#pragma once

#include "fft/fft_kernels.h"
#include "fft/fft_simd_kernels.h"
#include "fft/fft_simd_passes.h"

namespace tolvar {
namespace {

// The two quarter transforms of every size are the same size, so below the top
// every transform has a partner; pairs share their twiddle loads and, in the
// kernels, the vector halves. Only the first-half chain from the top is single.

template <class O, int N>
void ForwardPair(C* a, C* b) {
    if constexpr (N <= 16) {
        if constexpr (O::Leaves::kTwoPerVector) {
            Kernels<typename O::Leaves>::template Forward<N>(a, b);
        } else {
            Kernels<typename O::Leaves>::template Forward<N>(a, a);
            Kernels<typename O::Leaves>::template Forward<N>(b, b);
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
        Kernels<typename O::Leaves>::template Forward<N>(a, a);
    } else {
        Pass<O, N, false, false>(a, nullptr);
        ForwardPair<O, N / 4>(a + N / 2, a + 3 * N / 4);
        Forward<O, N / 2>(a);
    }
}

// The same transforms with every bin multiplied by the factor at its position
// in fa (for a) or fb (for b) as the kernels store it; the kernels cover every
// position once.
template <class O, int N>
void ForwardPairTimes(C* a, C* b, const C* fa, const C* fb) {
    if constexpr (N <= 16) {
        if constexpr (O::Leaves::kTwoPerVector) {
            Kernels<typename O::Leaves>::template ForwardTimes<N>(a, b, fa, fb);
        } else {
            Kernels<typename O::Leaves>::template ForwardTimes<N>(a, a, fa, fa);
            Kernels<typename O::Leaves>::template ForwardTimes<N>(b, b, fb, fb);
        }
    } else {
        Pass<O, N, false, true>(a, b);
        ForwardPairTimes<O, N / 4>(a + N / 2, a + 3 * N / 4, fa + N / 2, fa + 3 * N / 4);
        ForwardPairTimes<O, N / 4>(b + N / 2, b + 3 * N / 4, fb + N / 2, fb + 3 * N / 4);
        ForwardPairTimes<O, N / 2>(a, b, fa, fb);
    }
}

template <class O, int N>
void ForwardTimes(C* a, const C* fa) {
    if constexpr (N <= 16) {
        Kernels<typename O::Leaves>::template ForwardTimes<N>(a, a, fa, fa);
    } else {
        Pass<O, N, false, false>(a, nullptr);
        ForwardPairTimes<O, N / 4>(a + N / 2, a + 3 * N / 4, fa + N / 2, fa + 3 * N / 4);
        ForwardTimes<O, N / 2>(a, fa);
    }
}

// The forward transform of a[0 .. N/2) followed by N/2 zeros; a[N/2 .. N) is
// not read. Below 32 points the zeros are written and the kernel runs.
template <class O, int N>
void ForwardZeroPadded(C* a) {
    if constexpr (N <= 16) {
        for (int k = N / 2; k < N; ++k) a[k] = C{0.0f, 0.0f};
        Kernels<typename O::Leaves>::template Forward<N>(a, a);
    } else {
        PaddedPass<O, N>(a);
        ForwardPair<O, N / 4>(a + N / 2, a + 3 * N / 4);
        Forward<O, N / 2>(a);
    }
}

template <class O, int N>
void InversePair(C* a, C* b) {
    if constexpr (N <= 16) {
        if constexpr (O::Leaves::kTwoPerVector) {
            Kernels<typename O::Leaves>::template Inverse<N>(a, b);
        } else {
            Kernels<typename O::Leaves>::template Inverse<N>(a, a);
            Kernels<typename O::Leaves>::template Inverse<N>(b, b);
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
        Kernels<typename O::Leaves>::template Inverse<N>(a, a);
    } else {
        Inverse<O, N / 2>(a);
        InversePair<O, N / 4>(a + N / 2, a + 3 * N / 4);
        Pass<O, N, true, false>(a, nullptr);
    }
}

// The forward transform of re[j] + i im[j] (j < N/2) followed by N/2 zeros,
// packing the two arrays in its first pass. An array off the vector grid is
// packed first and takes the usual zero-padded pass. kTimes: every bin is then
// multiplied by the factor at its position in factors.
// The paired walks need a quarter of at least two vectors; smaller transforms
// take the off-grid path.
template <class O, int N>
constexpr bool kWalkable = N > 16 && N / 4 >= 2 * O::kWidth;

template <class O, int N, bool kTimes>
void ForwardTwoReal(C* a, const float* re, const float* im, const C* factors) {
    const bool offGrid = (N >= kShiftedPassMinSize && LeadToBoundary<O>(a) != 0) || !kWalkable<O, N>;
    if (N <= 16 || offGrid) {
        for (int k = 0; k < N / 2; ++k) a[k] = C{re[k], im[k]};
    }
    if constexpr (N <= 16) {
        for (int k = N / 2; k < N; ++k) a[k] = C{0.0f, 0.0f};
        if constexpr (kTimes) {
            Kernels<typename O::Leaves>::template ForwardTimes<N>(a, a, factors, factors);
        } else {
            Kernels<typename O::Leaves>::template Forward<N>(a, a);
        }
    } else {
        if (offGrid) {
            PaddedPass<O, N>(a);
        } else if constexpr (kWalkable<O, N>) {
            constexpr int tableIndex = TwiddleTableIndex(N);
            PairedGridWalk<O, N>(kTwiddleTables[tableIndex], TwoRealWalker<O, N>{a, re, im, O::Splat(SqrtHalf())});
        }
        if constexpr (kTimes) {
            ForwardPairTimes<O, N / 4>(a + N / 2, a + 3 * N / 4, factors + N / 2, factors + 3 * N / 4);
            ForwardTimes<O, N / 2>(a, factors);
        } else {
            ForwardPair<O, N / 4>(a + N / 2, a + 3 * N / 4);
            Forward<O, N / 2>(a);
        }
    }
}

template <class O, int N>
void ForwardTwoRealPlain(C* a, const float* re, const float* im) {
    ForwardTwoReal<O, N, false>(a, re, im, nullptr);
}

template <class O, int N>
void ForwardTwoRealTimes(C* a, const float* re, const float* im, const C* factors) {
    ForwardTwoReal<O, N, true>(a, re, im, factors);
}

// re[k] = Re y[k] + reTail[k], then reTail[k] = Re y[N/2 + k], and the same for
// im, over a transformed array y.
FFT_INLINE void OverlapAddParts(const C* y, int half, float* re, float* im, float* reTail, float* imTail) {
    for (int k = 0; k < half; ++k) {
        re[k] = y[k].re + reTail[k];
        im[k] = y[k].im + imTail[k];
        reTail[k] = y[half + k].re;
        imTail[k] = y[half + k].im;
    }
}

// The inverse transform overlap-added into re and im with their tails, its
// last pass storing the results there instead of into a.
template <class O, int N>
void InverseOverlapAdd(C* a, float* re, float* im, float* reTail, float* imTail) {
    const bool offGrid = (N >= kShiftedPassMinSize && LeadToBoundary<O>(a) != 0) || !kWalkable<O, N>;
    if (offGrid) {
        Inverse<O, N>(a);
        OverlapAddParts(a, N / 2, re, im, reTail, imTail);
        return;
    }
    if constexpr (kWalkable<O, N>) {
        Inverse<O, N / 2>(a);
        InversePair<O, N / 4>(a + N / 2, a + 3 * N / 4);
        constexpr int tableIndex = TwiddleTableIndex(N);
        PairedGridWalk<O, N>(kTwiddleTables[tableIndex],
                             OverlapAddWalker<O, N>{a, re, im, reTail, imTail, O::Splat(SqrtHalf())});
    }
}

template <class O>
struct Routines {
    using Routine = void (*)(C*);
    using TwoRealRoutine = void (*)(C*, const float*, const float*);
    using TwoRealTimesRoutine = void (*)(C*, const float*, const float*, const C*);
    using OverlapAddRoutine = void (*)(C*, float*, float*, float*, float*);
    template <int... Ns>
    struct Table {
        static constexpr Routine forward[] = {Forward<O, Ns>...};
        static constexpr Routine inverse[] = {Inverse<O, Ns>...};
        static constexpr Routine forwardZeroPadded[] = {ForwardZeroPadded<O, Ns>...};
        static constexpr TwoRealRoutine forwardTwoReal[] = {ForwardTwoRealPlain<O, Ns>...};
        static constexpr TwoRealTimesRoutine forwardTwoRealTimes[] = {ForwardTwoRealTimes<O, Ns>...};
        static constexpr OverlapAddRoutine inverseOverlapAdd[] = {InverseOverlapAdd<O, Ns>...};
    };
    using All = Table<2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768>;

    static void Transform(C* data, int n, int inverse) {
        const int log2 = FftLog2OfSupportedSize(n);
        if (log2 < 0 || !data) return;
        (inverse ? All::inverse : All::forward)[log2 - 1](data);
    }

    static void TransformZeroPadded(C* data, int n) {
        const int log2 = FftLog2OfSupportedSize(n);
        if (log2 < 0 || !data) return;
        All::forwardZeroPadded[log2 - 1](data);
    }

    static void TransformTwoReal(C* data, const float* re, const float* im, int n) {
        const int log2 = FftLog2OfSupportedSize(n);
        if (log2 < 0 || !data) return;
        All::forwardTwoReal[log2 - 1](data, re, im);
    }

    static void TransformTwoRealTimes(C* data, const float* re, const float* im, const C* factors, int n) {
        const int log2 = FftLog2OfSupportedSize(n);
        if (log2 < 0 || !data || !factors) return;
        All::forwardTwoRealTimes[log2 - 1](data, re, im, factors);
    }

    static void InvertOverlapAdd(C* data, int n, float* re, float* im, float* reTail, float* imTail) {
        const int log2 = FftLog2OfSupportedSize(n);
        if (log2 < 0 || !data) return;
        All::inverseOverlapAdd[log2 - 1](data, re, im, reTail, imTail);
    }
};

}  // namespace
}  // namespace tolvar

#undef FFT_INLINE
