#include "composer/impulse_padding.h"

#include <algorithm>
#include <climits>

#include "buffers/sample_bytes.h"

namespace tolvar {

bool PadImpulse(const ImpulseBuffer& source, int leadingZeros, int minimumTaps, ImpulseBuffer& padded) {
    const int taps = source.TapCount(0);
    if (leadingZeros < 0 || minimumTaps < 0 || taps > kMaxSamplesInInt - leadingZeros) return false;
    const int total = std::max(leadingZeros + taps, minimumTaps);
    HeapBuffer storage(64);
    float* out = static_cast<float*>(storage.Resize(SampleBytes(total), true));
    if (!out && total > 0) return false;
    if (total > 0) {
        std::fill(out, out + total, 0.0f);
        std::copy(source.Taps(0), source.Taps(0) + taps, out + leadingZeros);
    }
    padded.sampleRate = source.sampleRate;
    padded.channels = source.channels;
    padded.samples[0].SwapStorage(storage);
    return true;
}

}  // namespace tolvar
