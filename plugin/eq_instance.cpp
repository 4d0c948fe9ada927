#include "plugin/eq_instance.h"

#include <algorithm>

#include "composer/compose_impulse.h"
#include "plugin/audio_processing.h"
#include "plugin/dispatcher.h"
#include "plugin/host_services/host_api.h"
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
    effect.flags = kEffFlagsCanReplacing;
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
    instance.engine.Reset();
    instance.delayInserted = 0;
    instance.latencyHighWater = instance.engine.FftSize() / 2 + instance.impulseDelay;
    instance.effect.initialDelay = instance.latencyHighWater;
}

void ApplyLatencyRule(EqInstance& instance, int engineLatency, int impulseDelay) {
    instance.latencyHighWater = std::max(instance.latencyHighWater, engineLatency + impulseDelay);
    instance.effect.initialDelay = std::max(
        {instance.effect.initialDelay, instance.latencyHighWater, instance.delayInserted + impulseDelay});
    instance.impulseDelay = impulseDelay;
}

void ComposeImpulse(EqInstance& instance) {
    ScopedInstanceLock hold(instance.lock);
    const IrLibrary library{IrLibraryPath(), ProcessHostApi().pcmSourceCreateFromFile};
    int conversionDelay = 0;
    if (!BuildCompositeImpulse(instance.paramValues, instance.sampleRate, library, instance.impulse, &conversionDelay))
        return;
    const int latency = instance.engine.SetImpulse(instance.impulse, -1);
    if (latency >= 0) ApplyLatencyRule(instance, latency, conversionDelay);
}

}  // namespace tolvar
