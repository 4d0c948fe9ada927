// AVX2 + FMA versions of the hottest loops, compiled for those instructions
// function by function and called only after a run-time check of the processor
// (HasAvx2Fma); the baseline of the build stays SSE2.
#include "convolution/dsp_loops.h"

#include <immintrin.h>

#include "convolution/direct_form_chunk.h"

#define TOLVAR_AVX2 __attribute__((target("avx2,fma")))

namespace tolvar {
namespace {

TOLVAR_AVX2 inline __m256 Load(const ComplexFloat* p) { return _mm256_loadu_ps(&p->re); }
TOLVAR_AVX2 inline void Store(ComplexFloat* p, __m256 v) { _mm256_storeu_ps(&p->re, v); }

// sum + a * b for four bins: (sr + ar*br - ai*bi, si + ai*br + ar*bi) with
// two fused multiply-adds.
TOLVAR_AVX2 inline __m256 MultiplyAddFourBins(__m256 sum, __m256 a, __m256 b) {
    const __m256 negateReal = _mm256_set_ps(0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f);
    const __m256 bRe = _mm256_moveldup_ps(b);
    const __m256 bIm = _mm256_movehdup_ps(b);
    const __m256 crossed = _mm256_xor_ps(_mm256_permute_ps(a, _MM_SHUFFLE(2, 3, 0, 1)), negateReal);  // (-ai, ar)
    return _mm256_fmadd_ps(crossed, bIm, _mm256_fmadd_ps(a, bRe, sum));
}

// Outputs computed together: as many independent sums as cover the latency of
// the fused multiply-add, held in named registers (an array of them would be
// kept in memory). i686 has half the vector registers of x86-64.
#if defined(__x86_64__)
constexpr int kDirectBlock = 32;

// Outputs first..first+31. A product of two floats is exact in double, so the
// fused multiply-add rounds exactly as a multiply and an add would.
TOLVAR_AVX2 void FilterBlockAvx2(float* out, const direct_form::Chunk& chunk, int first, int taps) {
    __m256d s0 = _mm256_setzero_pd(), s1 = s0, s2 = s0, s3 = s0, s4 = s0, s5 = s0, s6 = s0, s7 = s0;
    const double* x = chunk.history + first;
    for (int i = 0; i < taps; ++i, ++x) {
        const __m256d h = _mm256_broadcast_sd(chunk.taps + i);
        direct_form::HideFromLoadReuse(x);
        s0 = _mm256_fmadd_pd(h, _mm256_loadu_pd(x), s0);
        s1 = _mm256_fmadd_pd(h, _mm256_loadu_pd(x + 4), s1);
        s2 = _mm256_fmadd_pd(h, _mm256_loadu_pd(x + 8), s2);
        s3 = _mm256_fmadd_pd(h, _mm256_loadu_pd(x + 12), s3);
        s4 = _mm256_fmadd_pd(h, _mm256_loadu_pd(x + 16), s4);
        s5 = _mm256_fmadd_pd(h, _mm256_loadu_pd(x + 20), s5);
        s6 = _mm256_fmadd_pd(h, _mm256_loadu_pd(x + 24), s6);
        s7 = _mm256_fmadd_pd(h, _mm256_loadu_pd(x + 28), s7);
    }
    const __m256d sums[] = {s0, s1, s2, s3, s4, s5, s6, s7};
    for (int v = 0; v < 8; ++v) _mm_storeu_ps(out + 4 * v, _mm256_cvtpd_ps(sums[v]));
}
#else
constexpr int kDirectBlock = 16;

TOLVAR_AVX2 void FilterBlockAvx2(float* out, const direct_form::Chunk& chunk, int first, int taps) {
    __m256d s0 = _mm256_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
    const double* x = chunk.history + first;
    for (int i = 0; i < taps; ++i, ++x) {
        const __m256d h = _mm256_broadcast_sd(chunk.taps + i);
        direct_form::HideFromLoadReuse(x);
        s0 = _mm256_fmadd_pd(h, _mm256_loadu_pd(x), s0);
        s1 = _mm256_fmadd_pd(h, _mm256_loadu_pd(x + 4), s1);
        s2 = _mm256_fmadd_pd(h, _mm256_loadu_pd(x + 8), s2);
        s3 = _mm256_fmadd_pd(h, _mm256_loadu_pd(x + 12), s3);
    }
    const __m256d sums[] = {s0, s1, s2, s3};
    for (int v = 0; v < 4; ++v) _mm_storeu_ps(out + 4 * v, _mm256_cvtpd_ps(sums[v]));
}
#endif

}  // namespace

TOLVAR_AVX2 void ComplexMultiplyAvx2(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    const __m256 zero = _mm256_setzero_ps();
    int k = 0;
    for (; k + 8 <= bins; k += 8) {
        Store(product + k, MultiplyAddFourBins(zero, Load(a + k), Load(b + k)));
        Store(product + k + 4, MultiplyAddFourBins(zero, Load(a + k + 4), Load(b + k + 4)));
    }
    ComplexMultiplySse2(product + k, a + k, b + k, bins - k);
}

TOLVAR_AVX2 void ComplexMultiplyAccumulateAvx2(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b,
                                               int bins) {
    int k = 0;
    for (; k + 8 <= bins; k += 8) {
        Store(sum + k, MultiplyAddFourBins(Load(sum + k), Load(a + k), Load(b + k)));
        Store(sum + k + 4, MultiplyAddFourBins(Load(sum + k + 4), Load(a + k + 4), Load(b + k + 4)));
    }
    ComplexMultiplyAccumulateSse2(sum + k, a + k, b + k, bins - k);
}

void DirectFormFilterAvx2(float* out, const float* reversedTaps, const float* history, int taps, int frames) {
    if (taps <= 0 || taps > kMaxFastDirectTaps) {
        DirectFormFilterScalar(out, reversedTaps, history, taps, frames);
        return;
    }
    direct_form::FilterInChunks<kDirectBlock>(out, reversedTaps, history, taps, frames, FilterBlockAvx2);
}

}  // namespace tolvar

