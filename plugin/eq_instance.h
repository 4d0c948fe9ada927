#pragma once
// One effect as the host sees it: the VST 2 record handed to the host, the
// fifteen parameter values, the convolution engine with its composite impulse,
// the latency bookkeeping and the instance lock.
#include <atomic>
#include <cstdint>

#include "convolution/convolution_engine.h"
#include "convolution/impulse_buffer.h"
#include "params/param_info.h"
#include "plugin/platform/instance_lock.h"
#include "abi/vst2.h"

namespace tolvar {

struct EqInstance {
    EqInstance();
    ~EqInstance() = default;
    EqInstance(const EqInstance&) = delete;
    EqInstance& operator=(const EqInstance&) = delete;

    int32_t delayInserted = 0;                    // leading silence emitted toward initialDelay since the last reset
    ConvolutionEngine engine;                     // filters the audio with the composite impulse
    std::atomic<uint32_t> editorDirtyMask{0};     // bit i: parameter i set by the host, not yet shown by the editor
    int32_t latencyHighWater = 0;                 // largest latency (engine plus impulseDelay) since the last reset
    int32_t impulseDelay = 0;                     // delay the rate conversion built into the installed impulse
    void* editorWindow = nullptr;                 // the open editor window, null when none
    double sampleRate = 44100.0;                  // host rate, Hz; the impulse is composed for it
    AEffect effect{};                             // the record the host holds; effect.user points back here
    double paramValues[kParamCount] = {};         // host-normalised values as they arrived, not clamped
    InstanceLock lock;                            // re-entrant; guards everything above against the audio thread
    ImpulseBuffer impulse;                        // the composite response the engine was last given
};

// The instance behind a record, or null (also for a null record).
inline EqInstance* InstanceOf(AEffect* effect) {
    return effect ? static_cast<EqInstance*>(effect->user) : nullptr;
}

// Drops all queued audio and history and sets the reported latency back to the
// base latency: the engine's plus the delay built into the impulse. Takes the
// lock itself.
void ResetProcessing(EqInstance& instance);

// Rebuilds the composite impulse from the stored values at the host's rate,
// installs it and raises the reported latency when the engine needs more.
// When the composition or the engine cannot get memory, the previous impulse
// stays installed. Takes the lock itself.
void ComposeImpulse(EqInstance& instance);

// The latency rule for a newly installed impulse: the engine's latency plus the
// delay built into the impulse is what the output lags by. The reported latency
// only grows between resets, and never falls below the silence already emitted
// plus the impulse's own delay, so it always tells the true lag.
void ApplyLatencyRule(EqInstance& instance, int engineLatency, int impulseDelay);

// Frames of leading silence the output needs in all since the last reset: the
// reported latency less what the impulse itself delays.
inline int32_t SilenceTarget(const EqInstance& instance) {
    return instance.effect.initialDelay - instance.impulseDelay;
}

}  // namespace tolvar
