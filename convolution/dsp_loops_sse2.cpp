// SSE2 versions of the engine's inner loops. SSE2 is the instruction-set
// baseline of both targets (x86-64, and i686 built with -msse2), so these are
// the ones in use; the scalar versions stay for other processors and as the
// reference the tests hold these to.
#include "convolution/dsp_loops.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace tolvar {
namespace {

// Two complex products at once, rounded exactly as the scalar loop rounds them:
// (ar*br + -(ai*bi), ai*br + ar*bi).
inline __m128 MultiplyTwoBins(__m128 a, __m128 b) {
    const __m128 negateReal = _mm_set_ps(0.0f, -0.0f, 0.0f, -0.0f);  // lanes 0 and 2
    const __m128 bRe = _mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 2, 0, 0));
    const __m128 bIm = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 3, 1, 1));
    const __m128 aSwapped = _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1));
    const __m128 cross = _mm_xor_ps(_mm_mul_ps(aSwapped, bIm), negateReal);
    return _mm_add_ps(_mm_mul_ps(a, bRe), cross);
}

inline __m128 Load(const ComplexFloat* p) { return _mm_loadu_ps(&p->re); }
inline void Store(ComplexFloat* p, __m128 v) { _mm_storeu_ps(&p->re, v); }

}  // namespace

void ComplexMultiplySse2(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    int k = 0;
    for (; k + 4 <= bins; k += 4) {
        const __m128 p0 = MultiplyTwoBins(Load(a + k), Load(b + k));
        const __m128 p1 = MultiplyTwoBins(Load(a + k + 2), Load(b + k + 2));
        Store(product + k, p0);
        Store(product + k + 2, p1);
    }
    for (; k + 2 <= bins; k += 2) Store(product + k, MultiplyTwoBins(Load(a + k), Load(b + k)));
    if (k < bins) ComplexMultiplyScalar(product + k, a + k, b + k, bins - k);
}

void ComplexMultiplyAccumulateSse2(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    int k = 0;
    for (; k + 4 <= bins; k += 4) {
        const __m128 p0 = MultiplyTwoBins(Load(a + k), Load(b + k));
        const __m128 p1 = MultiplyTwoBins(Load(a + k + 2), Load(b + k + 2));
        Store(sum + k, _mm_add_ps(Load(sum + k), p0));
        Store(sum + k + 2, _mm_add_ps(Load(sum + k + 2), p1));
    }
    for (; k + 2 <= bins; k += 2) {
        Store(sum + k, _mm_add_ps(Load(sum + k), MultiplyTwoBins(Load(a + k), Load(b + k))));
    }
    if (k < bins) ComplexMultiplyAccumulateScalar(sum + k, a + k, b + k, bins - k);
}

double DotProductSse2(const float* a, const float* b, int count) {
    __m128d low = _mm_setzero_pd(), high = _mm_setzero_pd();
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128 x = _mm_loadu_ps(a + i), y = _mm_loadu_ps(b + i);
        low = _mm_add_pd(low, _mm_mul_pd(_mm_cvtps_pd(x), _mm_cvtps_pd(y)));
        high = _mm_add_pd(high, _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(x, x)), _mm_cvtps_pd(_mm_movehl_ps(y, y))));
    }
    const __m128d both = _mm_add_pd(low, high);
    double sum = _mm_cvtsd_f64(_mm_add_sd(both, _mm_unpackhi_pd(both, both)));
    return sum + DotProductScalar(a + i, b + i, count - i);
}

}  // namespace tolvar

#else
namespace tolvar {
// Without SSE2 the "SSE2" names run the scalar loops, so the tests still link.
void ComplexMultiplySse2(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    ComplexMultiplyScalar(product, a, b, bins);
}
void ComplexMultiplyAccumulateSse2(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    ComplexMultiplyAccumulateScalar(sum, a, b, bins);
}
double DotProductSse2(const float* a, const float* b, int count) { return DotProductScalar(a, b, count); }
}  // namespace tolvar
#endif
