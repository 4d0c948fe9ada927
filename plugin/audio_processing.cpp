#include "plugin/audio_processing.h"

#include <algorithm>
#include <cstring>

#include "convolution/sample_bytes.h"
#include "plugin/denormal_guard.h"
#include "plugin/eq_instance.h"
#include "plugin/impulse_updates.h"

namespace tolvar {
namespace {

constexpr int kChannels = 2;

bool HasChannels(float** buffers) { return buffers && buffers[0] && buffers[1]; }

// Silence owed to the reported latency: the frames at the start of this block
// that must stay silent because the output has not yet lagged enough.
int32_t TakeOwedSilence(EqInstance& instance, int32_t frames) {
    const int32_t gap = SilenceTarget(instance) - instance.delayInserted;
    if (gap <= 0) return 0;
    const int32_t silent = std::min(gap, frames);
    instance.delayInserted += silent;
    return silent;
}

void WriteBlock(EqInstance& instance, float** outputs, int32_t frames, int32_t wanted) {
    const int32_t ready = std::clamp(instance.engine.Avail(wanted), 0, wanted);
    const int32_t lead = frames - ready;
    float* const* filtered = ready > 0 ? instance.engine.Get() : nullptr;
    for (int c = 0; c < kChannels; ++c) {
        std::memset(outputs[c], 0, SampleByteSize(lead));
        if (filtered && filtered[c]) std::memcpy(outputs[c] + lead, filtered[c], SampleByteSize(ready));
        else std::memset(outputs[c] + lead, 0, SampleByteSize(ready));
    }
    if (ready > 0) instance.engine.Advance(ready);
}

}  // namespace

void TOLVAR_VST_CALL ProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
    EqInstance* instance = InstanceOf(effect);
    if (!instance || frames <= 0 || !HasChannels(inputs) || !HasChannels(outputs)) return;
    DenormalGuard denormals;
    // The host is asked before the lock is taken, and only while a change waits.
    const bool realTime = CompositionPending(*instance) && HostProcessesInRealTime(*instance);
    ScopedInstanceLock hold(instance->lock);
    BeginAudioBlock(*instance, frames, realTime);
    // The whole input block is queued before any output is written, so the host
    // may pass the same buffers for input and output.
    instance->engine.Add(inputs, frames, kChannels);
    const int32_t wanted = frames - TakeOwedSilence(*instance, frames);
    WriteBlock(*instance, outputs, frames, wanted);
}

void TOLVAR_VST_CALL ProcessAccumulating(AEffect*, float**, float**, int32_t) {}

}  // namespace tolvar
