#include "plugin/eq_instance.h"

#include <algorithm>

#include "composer/compose_impulse.h"
#include "composer/impulse_padding.h"
#include "convolution/fft_size.h"
#include "plugin/audio_processing.h"
#include "plugin/dispatcher.h"
#include "plugin/editor_host.h"
#include "plugin/ir_file_opener.h"
#include "plugin/ir_library_path.h"
#include "plugin/parameter_callbacks.h"

namespace tolvar {
namespace {

constexpr int32_t kUniqueId = FourCharCode("tlvr");
constexpr int32_t kVersion = 1100;

void FillEffectRecord(EqInstance& instance) {
    AEffect& effect = instance.effect;
    effect = AEffect{};
    effect.magic = kEffectMagic;
    effect.dispatcher = &Dispatch;
    effect.process = &ProcessAccumulating;
    effect.setParameter = &SetParameter;
    effect.getParameter = &GetParameter;
    effect.numPrograms = 1;
    effect.numParams = kParamCount;
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.flags = kEffFlagsCanReplacing | (EditorAvailable() ? kEffFlagsHasEditor : 0);
    effect.user = &instance;
    effect.uniqueID = kUniqueId;
    effect.version = kVersion;
    effect.processReplacing = &ProcessReplacing;
}

}  // namespace

EqInstance::EqInstance() {
    for (int i = 0; i < kParamCount; ++i) paramValues[i] = NormalizedFromValue(i, kParamTable[i].defaultValue);
    FillEffectRecord(*this);
    ComposeImpulse(*this);
    ResetProcessing(*this);
}

void ResetProcessing(EqInstance& instance) {
    ScopedInstanceLock hold(instance.lock);
    // With nothing in flight any more, the composite can run as composed:
    // without padding, at its own transform size, and in direct form if it is
    // short enough.
    if (!instance.installedAsComposed && instance.engine.SetImpulse(instance.impulse, -1) >= 0) {
        instance.installedAsComposed = true;
        instance.impulseDelay = instance.composedDelay;
    }
    instance.engine.Reset();
    instance.delayInserted = 0;
    instance.latencyHighWater = instance.engine.FftSize() / 2;
    instance.effect.initialDelay = instance.latencyHighWater + instance.impulseDelay;
}

void ApplyLatencyRule(EqInstance& instance, int engineLatency, int carriedDelay) {
    instance.latencyHighWater = std::max(instance.latencyHighWater, engineLatency);
    instance.impulseDelay = std::max(instance.impulseDelay, carriedDelay);
    instance.effect.initialDelay =
        std::max(instance.effect.initialDelay, instance.latencyHighWater + instance.impulseDelay);
}

namespace {

// The transform size to ask the engine for: while audio runs through the
// engine in FFT mode (some of the owed silence has gone out since the last
// reset), the running size whenever the engine would choose a smaller one, so
// that it keeps its history across the change; otherwise the engine's own
// choice (which may raise N, and so the latency, for a longer impulse).
int FftSizeRequest(const EqInstance& instance, const ImpulseBuffer& impulse) {
    const int running = instance.engine.FftSize();
    if (running == 0 || instance.delayInserted == 0) return -1;
    int taps = 0;
    for (int c = 0; c < impulse.channels; ++c) taps = std::max(taps, impulse.TapCount(c));
    if (taps <= kMaxDirectTaps || ChooseFftSize(taps, -1) >= running) return -1;
    return running;
}

// Installs `composed` (its own conversion delay `delay`) as the bookkeeping
// in eq_instance.h says, then takes it as the instance's impulse. Nothing
// changes when a buffer or the engine is refused.
void InstallImpulse(EqInstance& instance, ImpulseBuffer& composed, int delay) {
    const int carried = std::max(instance.impulseDelay, delay);
    const int leadingZeros = carried - delay;
    const int minimumTaps = instance.latencyHighWater > 0 ? kMaxDirectTaps + 1 : 0;
    ImpulseBuffer padded;
    const bool pad = leadingZeros > 0 || composed.TapCount(0) < minimumTaps;
    if (pad && !PadImpulse(composed, leadingZeros, minimumTaps, padded)) return;
    const ImpulseBuffer& installed = pad ? padded : composed;
    const int request = FftSizeRequest(instance, installed);
    const int latency = instance.engine.SetImpulse(installed, request);
    if (latency < 0) return;
    ApplyLatencyRule(instance, latency, carried);
    instance.composedDelay = delay;
    instance.installedAsComposed = !pad && request < 0;
    instance.impulse.sampleRate = composed.sampleRate;
    instance.impulse.channels = composed.channels;
    instance.impulse.samples[0].SwapStorage(composed.samples[0]);
}

}  // namespace

void ComposeImpulse(EqInstance& instance) {
    ScopedInstanceLock hold(instance.lock);
    const IrLibrary library{IrLibraryPath(), IrFileOpener()};
    ImpulseBuffer composed;
    int delay = 0;
    if (!BuildCompositeImpulse(instance.paramValues, instance.sampleRate, library, composed, &delay,
                               &instance.composeWorkspace))
        return;
    InstallImpulse(instance, composed, delay);
}

}  // namespace tolvar
