#include "bench/fftw_reference_convolver.h"

#include <algorithm>
#include <cstring>

namespace tolvar::bench {
namespace {

// Plain complex loops over interleaved (re, im) floats, left to the compiler.
void Multiply(float* out, const float* x, const float* h, int bins) {
    for (int k = 0; k < 2 * bins; k += 2) {
        out[k] = x[k] * h[k] - x[k + 1] * h[k + 1];
        out[k + 1] = x[k] * h[k + 1] + x[k + 1] * h[k];
    }
}

void MultiplyAdd(float* out, const float* x, const float* h, int bins) {
    for (int k = 0; k < 2 * bins; k += 2) {
        out[k] += x[k] * h[k] - x[k + 1] * h[k + 1];
        out[k + 1] += x[k] * h[k + 1] + x[k + 1] * h[k];
    }
}

}  // namespace

FftwReferenceConvolver::Spectrum FftwReferenceConvolver::NewSpectrum(int bins) {
    auto* data = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * static_cast<std::size_t>(bins)));
    std::memset(static_cast<void*>(data), 0, sizeof(fftwf_complex) * static_cast<std::size_t>(bins));
    return Spectrum(data);
}

FftwReferenceConvolver::FftwReferenceConvolver(const std::vector<float>& taps, int size)
    : n(size), hop(size / 2), partitions(static_cast<int>((taps.size() + hop - 1) / hop)) {
    kernel = NewSpectrum(partitions * n);
    time = NewSpectrum(n);
    sum = NewSpectrum(n);
    forward = fftwf_plan_dft_1d(n, time.get(), sum.get(), FFTW_FORWARD, FFTW_MEASURE);
    backward = fftwf_plan_dft_1d(n, sum.get(), time.get(), FFTW_BACKWARD, FFTW_MEASURE);
    for (int p = 0; p < partitions; ++p) {
        std::memset(static_cast<void*>(time.get()), 0, sizeof(fftwf_complex) * static_cast<std::size_t>(n));
        for (int i = 0; i < hop && p * hop + i < static_cast<int>(taps.size()); ++i) {
            time[i][0] = taps[static_cast<std::size_t>(p * hop + i)] / static_cast<float>(n);
        }
        fftwf_execute_dft(forward, time.get(), kernel.get() + p * n);
    }
    for (Channel& channel : channels) {
        channel.ring = NewSpectrum(partitions * n);
        channel.input.assign(static_cast<std::size_t>(hop), 0.0f);
        channel.output.assign(static_cast<std::size_t>(hop), 0.0f);
        channel.tail.assign(static_cast<std::size_t>(hop), 0.0f);
    }
}

FftwReferenceConvolver::~FftwReferenceConvolver() {
    fftwf_destroy_plan(forward);
    fftwf_destroy_plan(backward);
}

void FftwReferenceConvolver::Process(const float* const* in, float* const* out, int frames) {
    for (int done = 0; done < frames;) {
        const int k = std::min(frames - done, hop - gathered);
        for (int c = 0; c < 2; ++c) {
            std::memcpy(channels[c].input.data() + gathered, in[c] + done, sizeof(float) * static_cast<std::size_t>(k));
            std::memcpy(out[c] + done, channels[c].output.data() + gathered, sizeof(float) * static_cast<std::size_t>(k));
        }
        gathered += k;
        done += k;
        if (gathered == hop) {
            for (Channel& channel : channels) RunBlock(channel);
            gathered = 0;
        }
    }
}

void FftwReferenceConvolver::RunBlock(Channel& channel) {
    channel.ringPosition = (channel.ringPosition + 1) % partitions;
    fftwf_complex* newest = channel.ring.get() + channel.ringPosition * n;
    for (int i = 0; i < hop; ++i) {
        time[i][0] = channel.input[static_cast<std::size_t>(i)];
        time[i][1] = 0.0f;
    }
    std::memset(static_cast<void*>(time.get() + hop), 0, sizeof(fftwf_complex) * static_cast<std::size_t>(n - hop));
    fftwf_execute_dft(forward, time.get(), newest);

    for (int p = 0; p < partitions; ++p) {
        const int age = (channel.ringPosition - p + partitions) % partitions;
        const float* x = &channel.ring[age * n][0];
        const float* h = &kernel[p * n][0];
        if (p == 0) {
            Multiply(&sum[0][0], x, h, n);
        } else {
            MultiplyAdd(&sum[0][0], x, h, n);
        }
    }
    fftwf_execute_dft(backward, sum.get(), time.get());
    for (int i = 0; i < hop; ++i) {
        channel.output[static_cast<std::size_t>(i)] = time[i][0] + channel.tail[static_cast<std::size_t>(i)];
        channel.tail[static_cast<std::size_t>(i)] = time[hop + i][0];
    }
}

}  // namespace tolvar::bench
