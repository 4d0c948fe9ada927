// Compiled with -mavx2 -mfma and called only after a run-time check of the
// processor. This file must not include headers with inline functions that
// other files also use: the linker could keep this file's copy for everybody.
#include <immintrin.h>

#include "composer/fast_dot_product.h"

namespace tolvar {
namespace {

double HorizontalSum(__m256d v) {
    const __m128d half = _mm_add_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1));
    return _mm_cvtsd_f64(_mm_add_sd(half, _mm_unpackhi_pd(half, half)));
}

}  // namespace

double DotProductAvx2Fma(const double* a, const double* b, int count) {
    // Four independent vector sums hide the latency of the fused multiply-add.
    __m256d s0 = _mm256_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        s0 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i), _mm256_loadu_pd(b + i), s0);
        s1 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i + 4), _mm256_loadu_pd(b + i + 4), s1);
        s2 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i + 8), _mm256_loadu_pd(b + i + 8), s2);
        s3 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i + 12), _mm256_loadu_pd(b + i + 12), s3);
    }
    for (; i + 4 <= count; i += 4) s0 = _mm256_fmadd_pd(_mm256_loadu_pd(a + i), _mm256_loadu_pd(b + i), s0);
    double total = HorizontalSum(_mm256_add_pd(_mm256_add_pd(s0, s1), _mm256_add_pd(s2, s3)));
    for (; i < count; ++i) total += a[i] * b[i];
    return total;
}


void DotProducts4Avx2Fma(const double* row, const double* b, long stride, int count, double (&out)[4]) {
    const double* b1 = b + stride;
    const double* b2 = b1 + stride;
    const double* b3 = b2 + stride;
    // Two running sums per output, eight in all, hide the latency of the
    // fused multiply-add; the row is loaded once for the four outputs.
    __m256d s0 = _mm256_setzero_pd(), s1 = s0, s2 = s0, s3 = s0, t0 = s0, t1 = s0, t2 = s0, t3 = s0;
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256d c = _mm256_loadu_pd(row + i), d = _mm256_loadu_pd(row + i + 4);
        s0 = _mm256_fmadd_pd(c, _mm256_loadu_pd(b + i), s0);
        s1 = _mm256_fmadd_pd(c, _mm256_loadu_pd(b1 + i), s1);
        s2 = _mm256_fmadd_pd(c, _mm256_loadu_pd(b2 + i), s2);
        s3 = _mm256_fmadd_pd(c, _mm256_loadu_pd(b3 + i), s3);
        t0 = _mm256_fmadd_pd(d, _mm256_loadu_pd(b + i + 4), t0);
        t1 = _mm256_fmadd_pd(d, _mm256_loadu_pd(b1 + i + 4), t1);
        t2 = _mm256_fmadd_pd(d, _mm256_loadu_pd(b2 + i + 4), t2);
        t3 = _mm256_fmadd_pd(d, _mm256_loadu_pd(b3 + i + 4), t3);
    }
    for (; i + 4 <= count; i += 4) {
        const __m256d c = _mm256_loadu_pd(row + i);
        s0 = _mm256_fmadd_pd(c, _mm256_loadu_pd(b + i), s0);
        s1 = _mm256_fmadd_pd(c, _mm256_loadu_pd(b1 + i), s1);
        s2 = _mm256_fmadd_pd(c, _mm256_loadu_pd(b2 + i), s2);
        s3 = _mm256_fmadd_pd(c, _mm256_loadu_pd(b3 + i), s3);
    }
    out[0] = HorizontalSum(_mm256_add_pd(s0, t0));
    out[1] = HorizontalSum(_mm256_add_pd(s1, t1));
    out[2] = HorizontalSum(_mm256_add_pd(s2, t2));
    out[3] = HorizontalSum(_mm256_add_pd(s3, t3));
    for (; i < count; ++i) {
        out[0] += row[i] * b[i];
        out[1] += row[i] * b1[i];
        out[2] += row[i] * b2[i];
        out[3] += row[i] * b3[i];
    }
}

}  // namespace tolvar
