#include "plugin/eq_instance.h"

#include "params/plugin_identity.h"
#include "plugin/audio_processing.h"
#include "plugin/dispatcher.h"
#include "plugin/editor_host.h"
#include "plugin/impulse_updates.h"
#include "plugin/parameter_callbacks.h"

namespace tolvar {
namespace {

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

EqInstance::EqInstance(AudioMasterCallback hostCallback)
    : audioMaster(hostCallback), worker(&ComposeOnWorker, this) {
    for (int i = 0; i < kParamCount; ++i) paramValues[i] = NormalizedFromValue(i, kParamTable[i].defaultValue);
    FillEffectRecord(*this);
    PublishStreamState(*this);
    worker.Start();
    // The first composite is complete before the host sees the instance.
    {
        ScopedInstanceLock hold(lock);
        RequestComposition(*this, true);
    }
    FinishComposition(*this);
    ResetProcessing(*this);
}

void ResetProcessing(EqInstance& instance) {
    ScopedInstanceLock hold(instance.lock);
    // With nothing in flight any more, the composite can run as composed:
    // without padding, at its own transform size, and in direct form if it is
    // short enough.
    const ImpulseShape own =
        ShapeFor(StreamState{}, instance.impulse.TapCount(0), instance.composedDelay, instance.composedResampled);
    if (!(own == instance.installedShape)) {
        PreparedImpulse prepared;
        if (PrepareShaped(instance.impulse, own, HistorySamples(instance.sampleRate), prepared) &&
            instance.engine.Install(prepared) >= 0) {
            instance.installedShape = own;
            instance.engine.WarmUp();
        }
    }
    instance.engine.Reset();
    instance.delayInserted = 0;
    instance.outputDropped = 0;
    instance.running = false;
    instance.latencyHighWater = instance.engine.FftSize() / 2;
    instance.impulseDelay = instance.installedShape.carriedDelay;
    instance.effect.initialDelay = instance.latencyHighWater + instance.impulseDelay;
    PublishStreamState(instance);
}

}  // namespace tolvar
