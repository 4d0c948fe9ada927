// SSE2 versions of the engine's inner loops. SSE2 is the instruction-set
// baseline of both targets (x86-64, and i686 built with -msse2), so these run
// wherever AVX2 is missing; the scalar versions stay as the reference the
// tests hold these to.
#include "convolution/dsp_loops.h"

#include <emmintrin.h>

#include "convolution/direct_form_chunk.h"

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

// Outputs computed together: as many independent sums as cover the adder's
// latency, held in named registers (an array of them would be kept in memory).
// i686 has 8 vector registers, x86-64 16.
#if defined(__x86_64__)
constexpr int kDirectBlock = 16;

// Outputs first..first+15, each summed over the taps in order.
void FilterBlockSse2(float* out, const direct_form::Chunk& chunk, int first, int taps) {
    __m128d s0 = _mm_setzero_pd(), s1 = s0, s2 = s0, s3 = s0, s4 = s0, s5 = s0, s6 = s0, s7 = s0;
    const double* x = chunk.history + first;
    for (int i = 0; i < taps; ++i, ++x) {
        const __m128d h = _mm_set1_pd(chunk.taps[i]);
        direct_form::HideFromLoadReuse(x);
        s0 = _mm_add_pd(s0, _mm_mul_pd(h, _mm_loadu_pd(x)));
        s1 = _mm_add_pd(s1, _mm_mul_pd(h, _mm_loadu_pd(x + 2)));
        s2 = _mm_add_pd(s2, _mm_mul_pd(h, _mm_loadu_pd(x + 4)));
        s3 = _mm_add_pd(s3, _mm_mul_pd(h, _mm_loadu_pd(x + 6)));
        s4 = _mm_add_pd(s4, _mm_mul_pd(h, _mm_loadu_pd(x + 8)));
        s5 = _mm_add_pd(s5, _mm_mul_pd(h, _mm_loadu_pd(x + 10)));
        s6 = _mm_add_pd(s6, _mm_mul_pd(h, _mm_loadu_pd(x + 12)));
        s7 = _mm_add_pd(s7, _mm_mul_pd(h, _mm_loadu_pd(x + 14)));
    }
    const __m128d sums[] = {s0, s1, s2, s3, s4, s5, s6, s7};
    for (int v = 0; v < 8; v += 2) {
        _mm_storeu_ps(out + 2 * v, _mm_movelh_ps(_mm_cvtpd_ps(sums[v]), _mm_cvtpd_ps(sums[v + 1])));
    }
}
#else
constexpr int kDirectBlock = 8;

void FilterBlockSse2(float* out, const direct_form::Chunk& chunk, int first, int taps) {
    __m128d s0 = _mm_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
    const double* x = chunk.history + first;
    for (int i = 0; i < taps; ++i, ++x) {
        const __m128d h = _mm_set1_pd(chunk.taps[i]);
        direct_form::HideFromLoadReuse(x);
        s0 = _mm_add_pd(s0, _mm_mul_pd(h, _mm_loadu_pd(x)));
        s1 = _mm_add_pd(s1, _mm_mul_pd(h, _mm_loadu_pd(x + 2)));
        s2 = _mm_add_pd(s2, _mm_mul_pd(h, _mm_loadu_pd(x + 4)));
        s3 = _mm_add_pd(s3, _mm_mul_pd(h, _mm_loadu_pd(x + 6)));
    }
    _mm_storeu_ps(out, _mm_movelh_ps(_mm_cvtpd_ps(s0), _mm_cvtpd_ps(s1)));
    _mm_storeu_ps(out + 4, _mm_movelh_ps(_mm_cvtpd_ps(s2), _mm_cvtpd_ps(s3)));
}
#endif

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

void DirectFormFilterSse2(float* out, const float* reversedTaps, const float* history, int taps, int frames) {
    if (taps <= 0 || taps > kMaxFastDirectTaps) {
        DirectFormFilterScalar(out, reversedTaps, history, taps, frames);
        return;
    }
    direct_form::FilterInChunks<kDirectBlock>(out, reversedTaps, history, taps, frames, FilterBlockSse2);
}

void OverlapAddRealSse2(float* out, float* tail, const float* block, int h) {
    int n = 0;
    for (; n + 4 <= h; n += 4) {
        _mm_storeu_ps(out + n, _mm_add_ps(_mm_loadu_ps(block + n), _mm_loadu_ps(tail + n)));
        _mm_storeu_ps(tail + n, _mm_loadu_ps(block + h + n));
    }
    for (; n < h; ++n) {
        out[n] = block[n] + tail[n];
        tail[n] = block[h + n];
    }
}

}  // namespace tolvar

