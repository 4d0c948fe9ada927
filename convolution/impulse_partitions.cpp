#include "convolution/impulse_partitions.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "fft/fft.h"

namespace tolvar {
namespace {

// Fills one partition with count scaled taps and zeros; returns the peak raw magnitude.
float FillPartition(ComplexFloat* partition, const float* taps, int count, int n, float scale) {
    float peak = 0.0f;
    for (int i = 0; i < count; ++i) {
        peak = std::max(peak, std::fabs(taps[i]));
        partition[i] = {taps[i] * scale, 0.0f};
    }
    std::memset(static_cast<void*>(partition + count), 0, sizeof(ComplexFloat) * static_cast<std::size_t>(n - count));
    return peak;
}

}  // namespace

bool BuildPartitionSpectra(const float* taps, int tapCount, int n, int partitions, HeapBuffer& spectra,
                           HeapBuffer& flags) {
    const long long bytes = static_cast<long long>(partitions) * n * static_cast<long long>(sizeof(ComplexFloat));
    if (partitions <= 0 || bytes > 0x7FFFFFFF) return false;
    auto* spectrum = static_cast<ComplexFloat*>(spectra.Resize(static_cast<int>(bytes), true));
    auto* used = static_cast<unsigned char*>(flags.Resize(partitions, true));
    if (!spectrum || !used) return false;

    const int h = n / 2;
    const float scale = 1.0f / static_cast<float>(n);
    for (int j = 0; j < partitions; ++j) {
        const long long first = static_cast<long long>(j) * h;
        const int count = static_cast<int>(std::clamp<long long>(tapCount - first, 0, h));
        ComplexFloat* partition = spectrum + static_cast<long long>(j) * n;
        const float peak = FillPartition(partition, count > 0 ? taps + first : nullptr, count, n, scale);
        used[j] = peak > kSilenceThreshold ? 1 : 0;
        if (used[j]) FftTransform(partition, n, 0);
    }
    return true;
}

}  // namespace tolvar
