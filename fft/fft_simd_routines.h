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

// The forward transform of a[0 .. N/2) followed by N/2 zeros; a[N/2 .. N) is
// not read. Below 32 points the zeros are written and the kernel runs.
template <class O, int N>
void ForwardZeroPadded(C* a) {
    if constexpr (N <= 16) {
        for (int k = N / 2; k < N; ++k) a[k] = C{0.0f, 0.0f};
        Kernels<O>::template Forward<N>(a, a);
    } else {
        PaddedPass<O, N>(a);
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
        static constexpr Routine forwardZeroPadded[] = {ForwardZeroPadded<O, Ns>...};
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
};

}  // namespace
}  // namespace tolvar

#undef FFT_INLINE
