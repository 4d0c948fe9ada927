#include "convolution/prepared_impulse.h"

#include <algorithm>

#include "buffers/sample_bytes.h"
#include "convolution/fft_size.h"

namespace tolvar {
namespace {

bool PrepareDirectForm(const ImpulseBuffer& impulse, PreparedImpulse& prepared) {
    for (int c = 0; c < impulse.channels; ++c) {
        const int taps = impulse.TapCount(c);
        if (taps == 0) continue;
        auto* kernel = static_cast<float*>(prepared.directTaps[c].Resize(SampleBytes(taps), true));
        if (!kernel) return false;
        std::reverse_copy(impulse.Taps(c), impulse.Taps(c) + taps, kernel);
    }
    return true;
}

}  // namespace

PreparedImpulse::PreparedImpulse()
    : directTaps{HeapBuffer(64, HeapBuffer::kVectorAlignment), HeapBuffer(64, HeapBuffer::kVectorAlignment)} {}

void PreparedImpulse::Release() {
    for (HeapBuffer& taps : directTaps) taps.Release();
    kernels.Release();
    storage.Release();
    fftSize = -1;
}

bool PrepareImpulse(const ImpulseBuffer& impulse, int fftSizeRequest, int historySamples,
                    PreparedImpulse& prepared) {
    prepared.Release();
    if (impulse.channels < 1 || impulse.channels > 2) return false;
    if (fftSizeRequest >= 0 && !IsSupportedFftSize(fftSizeRequest)) return false;
    int length = 0;
    for (int c = 0; c < impulse.channels; ++c) length = std::max(length, impulse.TapCount(c));

    bool built = false;
    int size = 0;
    if (length <= kMaxDirectTaps) {
        built = PrepareDirectForm(impulse, prepared);
    } else {
        size = ChooseFftSize(length, fftSizeRequest);
        const long long historyBlocks = (std::max(historySamples, 0) + size / 2 - 1LL) / (size / 2);
        built = size > 0 && prepared.kernels.Build(impulse, size) &&
                prepared.storage.Allocate(size, prepared.kernels.partitions, impulse.channels == 1,
                                          static_cast<int>(std::min<long long>(historyBlocks, 1 << 20)));
    }
    if (!built) {
        prepared.Release();
        return false;
    }
    prepared.fftSize = size;
    prepared.channels = impulse.channels;
    prepared.length = length;
    return true;
}

}  // namespace tolvar
