#include "convolution/impulse_partitions.h"

#include <algorithm>
#include <cmath>

#include "fft/fft.h"

namespace tolvar {
namespace {

// The largest raw magnitude among count taps.
float Peak(const float* taps, int count) {
    float peak = 0.0f;
    for (int i = 0; i < count; ++i) peak = std::max(peak, std::fabs(taps[i]));
    return peak;
}

// The partition's transform from its count scaled taps (count <= n/2); the
// zero padding is implied by the transforms, which do not read it.
void TransformPartition(ComplexFloat* partition, const float* taps, int count, int n, float scale,
                        SpectrumLayout layout) {
    const int h = n / 2;
    if (layout == SpectrumLayout::kFull) {
        for (int i = 0; i < h; ++i) partition[i] = {i < count ? taps[i] * scale : 0.0f, 0.0f};
        FftForwardZeroPadded(partition, n);
    } else {
        auto* samples = reinterpret_cast<float*>(partition);
        for (int i = 0; i < h; ++i) samples[i] = i < count ? taps[i] * scale : 0.0f;
        FftRealForwardZeroPadded(partition, n);
    }
}

}  // namespace

bool BuildPartitionSpectra(const float* taps, int tapCount, int n, int partitions, SpectrumLayout layout,
                           HeapBuffer& spectra, HeapBuffer& flags) {
    const int bins = SpectrumBins(layout, n);
    const long long bytes = static_cast<long long>(partitions) * bins * static_cast<long long>(sizeof(ComplexFloat));
    if (partitions <= 0 || bins <= 0 || bytes > 0x7FFFFFFF - 4096) return false;
    auto* spectrum = static_cast<ComplexFloat*>(spectra.Resize(static_cast<int>(bytes), true));
    auto* used = static_cast<unsigned char*>(flags.Resize(partitions, true));
    if (!spectrum || !used) return false;

    const int h = n / 2;
    const float scale = 1.0f / static_cast<float>(n);
    for (int j = 0; j < partitions; ++j) {
        const long long first = static_cast<long long>(j) * h;
        const int count = static_cast<int>(std::clamp<long long>(tapCount - first, 0, h));
        const float* partitionTaps = count > 0 ? taps + first : nullptr;
        used[j] = Peak(partitionTaps, count) > kSilenceThreshold ? 1 : 0;
        if (used[j]) TransformPartition(spectrum + static_cast<long long>(j) * bins, partitionTaps, count, n, scale, layout);
    }
    return true;
}

}  // namespace tolvar
