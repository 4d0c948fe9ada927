#include "convolution/block_delivery.h"

#include <algorithm>
#include <cstring>

#include "buffers/sample_bytes.h"

namespace tolvar {

int DeliverBlock(ConvolutionEngine& engine, const float* const* inputs, float* const* outputs, int frames,
                 int channels, OwedSilence& silence) {
    if (frames <= 0) return 0;
    engine.Add(inputs, frames, channels);
    const int owed = std::clamp(silence.target - silence.inserted, 0, frames);
    silence.inserted += owed;
    const int wanted = frames - owed;
    const int ready = std::clamp(engine.Avail(wanted), 0, wanted);
    const int lead = frames - ready;
    float* const* filtered = ready > 0 ? engine.Get() : nullptr;
    for (int c = 0; c < channels; ++c) {
        std::memset(outputs[c], 0, SampleByteSize(lead));
        if (filtered && filtered[c]) {
            std::memcpy(outputs[c] + lead, filtered[c], SampleByteSize(ready));
        } else {
            std::memset(outputs[c] + lead, 0, SampleByteSize(ready));
        }
    }
    if (ready > 0) engine.Advance(ready);
    return ready;
}

}  // namespace tolvar
