// The double-precision FFT with SSE2, the baseline of both targets: two
// doubles per vector.
#include <emmintrin.h>

#include "fft/fft_double_isa.h"
#include "fft/fft_double_kernels.h"

namespace tolvar {
namespace {

struct Sse2Lanes {
    using V = __m128d;
    static constexpr int kWidth = 2;
    static V Load(const double* p) { return _mm_loadu_pd(p); }
    static void Store(double* p, V v) { _mm_storeu_pd(p, v); }
    static V Set(double x) { return _mm_set1_pd(x); }
    static V Reverse(V v) { return _mm_shuffle_pd(v, v, 1); }
    // x[0..3] -> even = x[0], x[2]; odd = x[1], x[3].
    static void Deinterleave(const double* x, V& even, V& odd) {
        const V a = Load(x), b = Load(x + 2);
        even = _mm_unpacklo_pd(a, b);
        odd = _mm_unpackhi_pd(a, b);
    }
    static void Interleave(V even, V odd, double* x) {
        Store(x, _mm_unpacklo_pd(even, odd));
        Store(x + 2, _mm_unpackhi_pd(even, odd));
    }
    // Two groups of four, x[0..7] -> a = x[0], x[4]; b = x[1], x[5]; ...
    static void LoadQuads(const double* x, V& a, V& b, V& c, V& d) {
        Deinterleave2(Load(x), Load(x + 4), a, b);
        Deinterleave2(Load(x + 2), Load(x + 6), c, d);
    }
    static void StoreQuads(double* x, V a, V b, V c, V d) {
        Store(x, _mm_unpacklo_pd(a, b));
        Store(x + 2, _mm_unpacklo_pd(c, d));
        Store(x + 4, _mm_unpackhi_pd(a, b));
        Store(x + 6, _mm_unpackhi_pd(c, d));
    }
    static void Deinterleave2(V lo, V hi, V& first, V& second) {
        first = _mm_unpacklo_pd(lo, hi);
        second = _mm_unpackhi_pd(lo, hi);
    }
};

using Kernels = DoubleFftKernels<Sse2Lanes>;

}  // namespace

const DoubleFftRoutines kDoubleFftSse2 = {&Kernels::Forward, &Kernels::Inverse, &Kernels::RealForward,
                                          &Kernels::RealInverse, &Kernels::Multiply};

}  // namespace tolvar
