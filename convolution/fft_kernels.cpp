#include "convolution/fft_kernels.h"

#include <algorithm>
#include <utility>

#include "convolution/fft_size.h"
#include "convolution/impulse_partitions.h"

namespace tolvar {

FftKernels::FftKernels()
    : half{HeapBuffer(64, HeapBuffer::kVectorAlignment), HeapBuffer(64, HeapBuffer::kVectorAlignment)},
      full(64, HeapBuffer::kVectorAlignment),
      used{HeapBuffer(64), HeapBuffer(64)} {}

bool FftKernels::Build(const ImpulseBuffer& impulse, int size) {
    if (impulse.channels < 1 || impulse.channels > 2 || !IsSupportedFftSize(size)) return false;
    int taps = 0;
    for (int c = 0; c < impulse.channels; ++c) taps = std::max(taps, impulse.TapCount(c));
    const long long p = PartitionsFor(taps, size);
    if (p <= 0 || p * size > 0x7FFFFFFF / 8) return false;
    HeapBuffer fullFlags(64);
    for (int c = 0; c < impulse.channels; ++c) {
        if (!BuildPartitionSpectra(impulse.Taps(c), impulse.TapCount(c), size, static_cast<int>(p),
                                   SpectrumLayout::kHalf, half[c], used[c])) {
            return false;
        }
    }
    if (impulse.channels == 1) {
        if (!BuildPartitionSpectra(impulse.Taps(0), impulse.TapCount(0), size, static_cast<int>(p),
                                   SpectrumLayout::kFull, full, fullFlags)) {
            return false;
        }
    } else {
        full.Release();
    }
    for (int c = impulse.channels; c < 2; ++c) half[c].Release(), used[c].Release();
    n = size;
    partitions = static_cast<int>(p);
    channels = impulse.channels;
    length = taps;
    return true;
}

void FftKernels::Swap(FftKernels& other) {
    for (int c = 0; c < 2; ++c) {
        half[c].SwapStorage(other.half[c]);
        used[c].SwapStorage(other.used[c]);
    }
    full.SwapStorage(other.full);
    std::swap(n, other.n);
    std::swap(partitions, other.partitions);
    std::swap(channels, other.channels);
    std::swap(length, other.length);
}

void FftKernels::Release() {
    for (int c = 0; c < 2; ++c) half[c].Release(), used[c].Release();
    full.Release();
    n = partitions = length = 0;
    channels = 1;
}

bool FftKernels::Used(int c, int p) const {
    if (c < 0 || c >= channels || p < 0 || p >= used[c].Length()) return false;
    return used[c].As<unsigned char>()[p] != 0;
}

}  // namespace tolvar
