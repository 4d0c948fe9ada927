#include "bench/fftw_reference_convolver.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace tolvar::bench {
namespace {

// sum[k] (+)= x[k] * h[k] over interleaved complex floats, four bins per step:
// (s + xr*hr - xi*hi, s + xi*hr + xr*hi) as two fused multiply-adds.
template <bool kAccumulate>
__attribute__((target("avx2,fma"))) void MultiplyAvx2(float* sum, const float* x, const float* h, int bins) {
    const __m256 negateReal = _mm256_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f);
    int k = 0;
    for (; k + 4 <= bins; k += 4) {
        const __m256 a = _mm256_loadu_ps(x + 2 * k), b = _mm256_loadu_ps(h + 2 * k);
        const __m256 start = kAccumulate ? _mm256_loadu_ps(sum + 2 * k) : _mm256_setzero_ps();
        const __m256 crossed = _mm256_xor_ps(_mm256_permute_ps(a, 0xB1), negateReal);  // (-xi, xr)
        const __m256 t = _mm256_fmadd_ps(a, _mm256_moveldup_ps(b), start);
        _mm256_storeu_ps(sum + 2 * k, _mm256_fmadd_ps(crossed, _mm256_movehdup_ps(b), t));
    }
    for (; k < bins; ++k) {
        const float re = x[2 * k] * h[2 * k] - x[2 * k + 1] * h[2 * k + 1];
        const float im = x[2 * k + 1] * h[2 * k] + x[2 * k] * h[2 * k + 1];
        sum[2 * k] = (kAccumulate ? sum[2 * k] : 0.0f) + re;
        sum[2 * k + 1] = (kAccumulate ? sum[2 * k + 1] : 0.0f) + im;
    }
}

template <bool kAccumulate>
void MultiplySse2(float* sum, const float* x, const float* h, int bins) {
    const __m128 negateReal = _mm_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f);
    int k = 0;
    for (; k + 2 <= bins; k += 2) {
        const __m128 a = _mm_loadu_ps(x + 2 * k), b = _mm_loadu_ps(h + 2 * k);
        const __m128 start = kAccumulate ? _mm_loadu_ps(sum + 2 * k) : _mm_setzero_ps();
        const __m128 bRe = _mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 2, 0, 0));
        const __m128 bIm = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 3, 1, 1));
        const __m128 crossed = _mm_xor_ps(_mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1)), negateReal);
        _mm_storeu_ps(sum + 2 * k, _mm_add_ps(start, _mm_add_ps(_mm_mul_ps(a, bRe), _mm_mul_ps(crossed, bIm))));
    }
    for (; k < bins; ++k) {
        const float re = x[2 * k] * h[2 * k] - x[2 * k + 1] * h[2 * k + 1];
        const float im = x[2 * k + 1] * h[2 * k] + x[2 * k] * h[2 * k + 1];
        sum[2 * k] = (kAccumulate ? sum[2 * k] : 0.0f) + re;
        sum[2 * k + 1] = (kAccumulate ? sum[2 * k + 1] : 0.0f) + im;
    }
}

bool HasAvx2Fma() {
    static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return available;
}

void Multiply(float* sum, const float* x, const float* h, int bins, bool accumulate) {
    if (HasAvx2Fma()) {
        (accumulate ? MultiplyAvx2<true> : MultiplyAvx2<false>)(sum, x, h, bins);
    } else {
        (accumulate ? MultiplySse2<true> : MultiplySse2<false>)(sum, x, h, bins);
    }
}

fftwf_complex* AsComplex(float* p) { return reinterpret_cast<fftwf_complex*>(p); }

// out[i] = y[i] + tail[i], then tail[i] = y[hop + i] (hop a multiple of 8).
__attribute__((target("avx2"))) void OverlapAddAvx2(float* out, float* tail, const float* y, int hop) {
    for (int i = 0; i < hop; i += 8) {
        _mm256_storeu_ps(out + i, _mm256_add_ps(_mm256_loadu_ps(y + i), _mm256_loadu_ps(tail + i)));
        _mm256_storeu_ps(tail + i, _mm256_loadu_ps(y + hop + i));
    }
}

// The same for two channels interleaved in y (left, right, left, ...).
__attribute__((target("avx2"))) void OverlapAddStereoAvx2(float* left, float* right, float* leftTail, float* rightTail,
                                                          const float* y, int hop) {
    const __m256i parts = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    for (int i = 0; i < hop; i += 4) {
        const __m256 front = _mm256_permutevar8x32_ps(_mm256_loadu_ps(y + 2 * i), parts);
        const __m256 back = _mm256_permutevar8x32_ps(_mm256_loadu_ps(y + 2 * (hop + i)), parts);
        _mm_storeu_ps(left + i, _mm_add_ps(_mm256_castps256_ps128(front), _mm_loadu_ps(leftTail + i)));
        _mm_storeu_ps(right + i, _mm_add_ps(_mm256_extractf128_ps(front, 1), _mm_loadu_ps(rightTail + i)));
        _mm_storeu_ps(leftTail + i, _mm256_castps256_ps128(back));
        _mm_storeu_ps(rightTail + i, _mm256_extractf128_ps(back, 1));
    }
}

// packed[2i] = left[i], packed[2i + 1] = right[i] (hop a multiple of 8).
__attribute__((target("avx2"))) void InterleaveAvx2(float* packed, const float* left, const float* right, int hop) {
    for (int i = 0; i < hop; i += 8) {
        const __m256 l = _mm256_loadu_ps(left + i), r = _mm256_loadu_ps(right + i);
        const __m256 lo = _mm256_unpacklo_ps(l, r), hi = _mm256_unpackhi_ps(l, r);
        _mm256_storeu_ps(packed + 2 * i, _mm256_permute2f128_ps(lo, hi, 0x20));
        _mm256_storeu_ps(packed + 2 * i + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
    }
}

// Plain loops for the other cases, left to the compiler's vectoriser.
void OverlapAdd(float* __restrict out, float* __restrict tail, const float* __restrict y, int hop) {
    if (HasAvx2Fma() && hop % 8 == 0) return OverlapAddAvx2(out, tail, y, hop);
    for (int i = 0; i < hop; ++i) {
        out[i] = y[i] + tail[i];
        tail[i] = y[hop + i];
    }
}

void OverlapAddStereo(float* __restrict left, float* __restrict right, float* __restrict leftTail,
                      float* __restrict rightTail, const float* __restrict y, int hop) {
    if (HasAvx2Fma() && hop % 8 == 0) return OverlapAddStereoAvx2(left, right, leftTail, rightTail, y, hop);
    for (int i = 0; i < hop; ++i) {
        left[i] = y[2 * i] + leftTail[i];
        right[i] = y[2 * i + 1] + rightTail[i];
        leftTail[i] = y[2 * (hop + i)];
        rightTail[i] = y[2 * (hop + i) + 1];
    }
}

void Interleave(float* __restrict packed, const float* __restrict left, const float* __restrict right, int hop) {
    if (HasAvx2Fma() && hop % 8 == 0) return InterleaveAvx2(packed, left, right, hop);
    for (int i = 0; i < hop; ++i) {
        packed[2 * i] = left[i];
        packed[2 * i + 1] = right[i];
    }
}

}  // namespace

FftwConvolver::Floats FftwConvolver::NewFloats(std::size_t count) {
    auto* data = static_cast<float*>(fftwf_malloc(sizeof(float) * count));
    std::memset(data, 0, sizeof(float) * count);
    return Floats(data);
}

FftwConvolver::FftwConvolver(int size, int taps)
    : n(size), hop(size / 2), partitions((taps + size / 2 - 1) / (size / 2)) {
    for (int c = 0; c < 2; ++c) {
        input[c] = NewFloats(static_cast<std::size_t>(n));  // the second half stays zero
        output[c] = NewFloats(static_cast<std::size_t>(hop));
        tail[c] = NewFloats(static_cast<std::size_t>(hop));
    }
}

FftwConvolver::~FftwConvolver() = default;

void FftwConvolver::Process(const float* const* in, float* const* out, int frames) {
    for (int done = 0; done < frames;) {
        const int k = std::min(frames - done, hop - gathered);
        for (int c = 0; c < 2; ++c) {
            std::memcpy(input[c].get() + gathered, in[c] + done, sizeof(float) * static_cast<std::size_t>(k));
            std::memcpy(out[c] + done, output[c].get() + gathered, sizeof(float) * static_cast<std::size_t>(k));
        }
        gathered += k;
        done += k;
        if (gathered == hop) {
            ringPosition = (ringPosition + 1) % partitions;
            RunBlock();
            gathered = 0;
        }
    }
}

FftwRealConvolver::FftwRealConvolver(const std::vector<float>& taps, int size)
    : FftwConvolver(size, static_cast<int>(taps.size())), bins(size / 2 + 1), stride((size / 2 + 1 + 7) / 8 * 8) {
    const std::size_t spectrum = 2 * static_cast<std::size_t>(stride);
    kernel = NewFloats(spectrum * static_cast<std::size_t>(partitions));
    for (Floats& r : ring) r = NewFloats(spectrum * static_cast<std::size_t>(partitions));
    Floats time = NewFloats(static_cast<std::size_t>(n));
    sum = NewFloats(spectrum);
    result = NewFloats(static_cast<std::size_t>(n));
    forward = fftwf_plan_dft_r2c_1d(n, time.get(), AsComplex(sum.get()), FFTW_MEASURE);
    backward = fftwf_plan_dft_c2r_1d(n, AsComplex(sum.get()), result.get(), FFTW_MEASURE);
    std::memset(time.get(), 0, sizeof(float) * static_cast<std::size_t>(n));  // planning may have written it
    for (int p = 0; p < partitions; ++p) {
        for (int i = 0; i < hop; ++i) {
            const std::size_t t = static_cast<std::size_t>(p * hop + i);
            time[static_cast<std::size_t>(i)] = t < taps.size() ? taps[t] / static_cast<float>(n) : 0.0f;
        }
        fftwf_execute_dft_r2c(forward, time.get(), AsComplex(kernel.get() + spectrum * static_cast<std::size_t>(p)));
    }
}

FftwRealConvolver::~FftwRealConvolver() {
    fftwf_destroy_plan(forward);
    fftwf_destroy_plan(backward);
}

void FftwRealConvolver::RunBlock() {
    const std::size_t spectrum = 2 * static_cast<std::size_t>(stride);
    for (int c = 0; c < 2; ++c) {
        float* ringBase = ring[c].get();
        fftwf_execute_dft_r2c(forward, input[c].get(),
                              AsComplex(ringBase + spectrum * static_cast<std::size_t>(ringPosition)));
        for (int p = 0; p < partitions; ++p) {
            const int age = (ringPosition - p + partitions) % partitions;
            Multiply(sum.get(), ringBase + spectrum * static_cast<std::size_t>(age),
                     kernel.get() + spectrum * static_cast<std::size_t>(p), bins, p > 0);
        }
        fftwf_execute_dft_c2r(backward, AsComplex(sum.get()), result.get());
        OverlapAdd(output[c].get(), tail[c].get(), result.get(), hop);
    }
}

FftwPackedStereoConvolver::FftwPackedStereoConvolver(const std::vector<float>& taps, int size)
    : FftwConvolver(size, static_cast<int>(taps.size())) {
    const std::size_t spectrum = 2 * static_cast<std::size_t>(n);
    kernel = NewFloats(spectrum * static_cast<std::size_t>(partitions));
    ring = NewFloats(spectrum * static_cast<std::size_t>(partitions));
    time = NewFloats(spectrum);
    sum = NewFloats(spectrum);
    result = NewFloats(spectrum);
    forward = fftwf_plan_dft_1d(n, AsComplex(time.get()), AsComplex(sum.get()), FFTW_FORWARD, FFTW_MEASURE);
    backward = fftwf_plan_dft_1d(n, AsComplex(sum.get()), AsComplex(result.get()), FFTW_BACKWARD, FFTW_MEASURE);
    std::memset(time.get(), 0, sizeof(float) * spectrum);
    for (int p = 0; p < partitions; ++p) {
        for (int i = 0; i < hop; ++i) {
            const std::size_t t = static_cast<std::size_t>(p * hop + i);
            time[2 * static_cast<std::size_t>(i)] = t < taps.size() ? taps[t] / static_cast<float>(n) : 0.0f;
        }
        fftwf_execute_dft(forward, AsComplex(time.get()), AsComplex(kernel.get() + spectrum * static_cast<std::size_t>(p)));
    }
    std::memset(time.get(), 0, sizeof(float) * spectrum);
}

FftwPackedStereoConvolver::~FftwPackedStereoConvolver() {
    fftwf_destroy_plan(forward);
    fftwf_destroy_plan(backward);
}

void FftwPackedStereoConvolver::RunBlock() {
    const std::size_t spectrum = 2 * static_cast<std::size_t>(n);
    float* packed = time.get();
    Interleave(packed, input[0].get(), input[1].get(), hop);
    fftwf_execute_dft(forward, AsComplex(packed), AsComplex(ring.get() + spectrum * static_cast<std::size_t>(ringPosition)));
    for (int p = 0; p < partitions; ++p) {
        const int age = (ringPosition - p + partitions) % partitions;
        Multiply(sum.get(), ring.get() + spectrum * static_cast<std::size_t>(age),
                 kernel.get() + spectrum * static_cast<std::size_t>(p), n, p > 0);
    }
    fftwf_execute_dft(backward, AsComplex(sum.get()), AsComplex(result.get()));
    OverlapAddStereo(output[0].get(), output[1].get(), tail[0].get(), tail[1].get(), result.get(), hop);
}

}  // namespace tolvar::bench
