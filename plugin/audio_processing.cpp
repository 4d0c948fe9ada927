#include "plugin/audio_processing.h"

#include "convolution/block_delivery.h"
#include "plugin/denormal_guard.h"
#include "plugin/eq_instance.h"
#include "plugin/impulse_updates.h"

namespace tolvar {
namespace {

constexpr int kChannels = 2;

bool HasChannels(float** buffers) { return buffers && buffers[0] && buffers[1]; }

}  // namespace

void TOLVAR_VST_CALL ProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
    EqInstance* instance = InstanceOf(effect);
    if (!instance || frames <= 0 || !HasChannels(inputs) || !HasChannels(outputs)) return;
    DenormalGuard denormals;
    // The host is asked before the lock is taken, and only while a change
    // waits; one that arrives meanwhile is left to its caller, who waits for it
    // unless the host processes in real time.
    const bool realTime = !CompositionPending(*instance) || HostProcessesInRealTime(*instance);
    ScopedInstanceLock hold(instance->lock);
    BeginAudioBlock(*instance, frames, realTime);
    OwedSilence silence{SilenceTarget(*instance), instance->delayInserted};
    DeliverBlock(instance->engine, inputs, outputs, frames, kChannels, silence);
    instance->delayInserted = silence.inserted;
}

void TOLVAR_VST_CALL ProcessAccumulating(AEffect*, float**, float**, int32_t) {}

}  // namespace tolvar
