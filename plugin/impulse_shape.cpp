#include "plugin/impulse_shape.h"

#include <algorithm>

#include "composer/filter_resampler.h"
#include "composer/impulse_padding.h"
#include "convolution/fft_size.h"

namespace tolvar {

uint64_t StreamState::Pack() const {
    return static_cast<uint64_t>(static_cast<uint32_t>(fftSize)) | static_cast<uint64_t>(carriedDelay & 0xFFFF) << 32 |
           static_cast<uint64_t>(latencyOwed) << 48 | static_cast<uint64_t>(running) << 49;
}

StreamState StreamState::Unpack(uint64_t word) {
    StreamState state;
    state.fftSize = static_cast<int>(word & 0xFFFFFFFFu);
    state.carriedDelay = static_cast<int>((word >> 32) & 0xFFFF);
    state.latencyOwed = (word >> 48) & 1;
    state.running = (word >> 49) & 1;
    return state;
}

ImpulseShape ShapeFor(const StreamState& state, int taps, int delay, bool resampled) {
    ImpulseShape shape;
    shape.carriedDelay = std::max(state.carriedDelay, delay);
    shape.leadingZeros = shape.carriedDelay - delay;
    if (state.fftSize == 0 && !state.latencyOwed) {
        // Zero latency. Before any audio the carried delay may still rise;
        // afterwards that would repeat audio, so a composite carrying more
        // takes the step into FFT mode.
        const bool fits = (delay <= state.carriedDelay || !state.running) && taps + shape.leadingZeros <= kMaxDirectTaps;
        if (fits) return shape;
        shape.carriedInput = state.running ? state.carriedDelay : 0;
    } else if (state.running) {
        shape.fftSizeRequest = state.fftSize;
    }
    if (resampled) shape.carriedDelay = std::max(shape.carriedDelay, kResamplerDelay);
    shape.leadingZeros = shape.carriedDelay - delay;
    shape.minimumTaps = kMaxDirectTaps + 1;
    return shape;
}

bool PrepareShaped(const ImpulseBuffer& composite, const ImpulseShape& shape, int historySamples,
                   PreparedImpulse& prepared) {
    const bool pad = shape.leadingZeros > 0 || composite.TapCount(0) < shape.minimumTaps;
    if (!pad) return PrepareImpulse(composite, shape.fftSizeRequest, historySamples, prepared);
    ImpulseBuffer padded;
    return PadImpulse(composite, shape.leadingZeros, shape.minimumTaps, padded) &&
           PrepareImpulse(padded, shape.fftSizeRequest, historySamples, prepared);
}

}  // namespace tolvar
