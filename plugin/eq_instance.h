#pragma once
// One effect as the host sees it: the VST 2 record handed to the host, the
// fifteen parameter values, the convolution engine with its composite impulse,
// the latency bookkeeping and the instance lock.
#include <atomic>
#include <cstdint>

#include "abi/vst2.h"
#include "composer/compose_workspace.h"
#include "convolution/convolution_engine.h"
#include "convolution/impulse_buffer.h"
#include "params/param_info.h"
#include "plugin/platform/instance_lock.h"

namespace tolvar {

// Latency bookkeeping. The output lags the input by exactly effect.initialDelay
// frames at every moment:
//   initialDelay = latencyHighWater + impulseDelay,
// the leading silence the stream owes (latencyHighWater, which the engine's
// latency needs) plus the delay built into every impulse installed since the
// last reset (impulseDelay). Both only grow until ResetProcessing, so going
// back to an earlier setting or rate leaves the latency where the first visit
// left it: a composite whose own conversion delay is smaller than impulseDelay
// is installed padded with leading zeros up to it, so the audio in flight
// keeps its alignment and no silence is inserted.
//
// An impulse short enough for the engine's direct form drops the audio queued
// in the engine when installed. While the stream owes silence
// (latencyHighWater > 0) that audio is the lag itself, so a short composite is
// then installed padded with trailing zeros past the direct-form limit: the
// engine keeps running in FFT mode at a size the stream already pays for, and
// nothing is dropped. Direct form is used when no silence is owed: after a
// reset (ResetProcessing installs the composite as composed) and until the
// first longer impulse.
//
// While audio runs through the engine in FFT mode (delayInserted > 0) its
// transform size N stays: a composite that the engine would run at a smaller
// N is installed at the running one, and a longer one may raise it (and so
// latencyHighWater, which inserts the silence it adds). At an unchanged N the
// engine keeps its convolution's history across the change, so the output
// switches from one filter to the other at a block boundary and no audio is
// lost. ResetProcessing lets the composite run at its own size again.
//
// The members' order is the teardown order: C++ destroys them last first, so
// effClose (which closes the editor window before deleting the instance)
// releases the compose workspace and the impulse, then the lock, then the
// engine. Keep new members in line with that.
struct EqInstance {
    EqInstance();
    ~EqInstance() = default;
    EqInstance(const EqInstance&) = delete;
    EqInstance& operator=(const EqInstance&) = delete;

    int32_t delayInserted = 0;                    // leading silence emitted toward latencyHighWater since the last reset
    ConvolutionEngine engine;                     // filters the audio with the composite impulse
    std::atomic<uint32_t> editorDirtyMask{0};     // bit i: parameter i set by the host, not yet shown by the editor
    int32_t latencyHighWater = 0;                 // largest engine latency since the last reset: the silence the stream owes
    int32_t impulseDelay = 0;                     // delay every installed impulse carries: the largest conversion delay since the last reset
    int32_t composedDelay = 0;                    // conversion delay of `impulse` as composed
    bool installedAsComposed = true;              // the engine holds `impulse` itself: not padded, not kept out of direct
                                                  //   form, not held at a larger transform size
    void* editorWindow = nullptr;                 // the open editor window, null when none
    double sampleRate = 44100.0;                  // host rate, Hz; the impulse is composed for it
    AEffect effect{};                             // the record the host holds; effect.user points back here
    double paramValues[kParamCount] = {};         // host-normalised values as they arrived, not clamped
    InstanceLock lock;                            // re-entrant; guards everything above against the audio thread
    ImpulseBuffer impulse;                        // the composite response last installed, as composed
    ComposeWorkspace composeWorkspace;            // kept between compositions: the FFT's twiddle table
};

// The instance behind a record, or null (also for a null record).
inline EqInstance* InstanceOf(AEffect* effect) {
    return effect ? static_cast<EqInstance*>(effect->user) : nullptr;
}

// Drops all queued audio and history and sets the reported latency back to the
// base latency of the composite as composed: its engine latency plus its own
// conversion delay (the composite is installed as composed again if it was
// padded or held at a larger transform size). Takes the lock itself.
void ResetProcessing(EqInstance& instance);

// Rebuilds the composite impulse from the stored values at the host's rate,
// installs it (padded as the latency bookkeeping above says) and raises the
// reported latency when the engine needs more or the composite carries a
// larger conversion delay than any since the last reset. When the composition
// or the engine cannot get memory, the previous impulse stays installed and
// nothing changes. Takes the lock itself.
void ComposeImpulse(EqInstance& instance);

// The latency rule for an impulse just installed whose engine latency is
// engineLatency and which carries carriedDelay (at least impulseDelay): both
// parts only grow, and initialDelay is their sum.
void ApplyLatencyRule(EqInstance& instance, int engineLatency, int carriedDelay);

// Frames of leading silence the output owes in all since the last reset.
inline int32_t SilenceTarget(const EqInstance& instance) { return instance.latencyHighWater; }

}  // namespace tolvar
