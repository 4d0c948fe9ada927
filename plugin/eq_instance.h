#pragma once
// One effect as the host sees it: the VST 2 record handed to the host, the
// fifteen parameter values, the convolution engine with its composite impulse,
// the latency bookkeeping, the instance lock and the composition worker.
#include <atomic>
#include <cstdint>

#include "abi/vst2.h"
#include "buffers/impulse_buffer.h"
#include "composer/compose_workspace.h"
#include "composer/impulse_selection.h"
#include "convolution/convolution_engine.h"
#include "params/param_info.h"
#include "plugin/composition_worker.h"
#include "plugin/impulse_shape.h"
#include "plugin/platform/instance_lock.h"

namespace tolvar {

// Latency bookkeeping. The output lags the input by exactly effect.initialDelay
// frames at every moment:
//   initialDelay = latencyHighWater + impulseDelay,
// the lag the stream builds before the engine's output (latencyHighWater:
// leading silence, and at the step out of direct form the input its delay
// still held) plus the delay built into every impulse installed since the last
// reset (impulseDelay). impulse_shape.h says how each composite is padded and
// sized so that neither part moves while audio runs, with one exception: a
// change of sample rate may need a larger conversion delay. The lag then
// rises at once, for the audio already queued too: that much silence goes out
// at the next block, and the engine drops as much of the new impulse's first
// output, which would repeat audio already heard. Both parts only grow until
// ResetProcessing.
//
// Changes reach the audio through the composition worker: a parameter or rate
// change asks it for the composite of the new values (unless they select the
// same files at the same rate), and the audio thread installs the finished
// result at the start of a block. Unless the host says that it processes in
// real time, the change completes before the call that made it returns, so the
// next block is filtered with it; in real time it is heard as soon as it is
// ready, and never later than kLatestChangeSeconds of audio after it was made.
//
// The members' order is the teardown order: C++ destroys them last first, so
// effClose (which closes the editor window before deleting the instance)
// stops the worker first, then releases the workspace and the impulse, then
// the lock, then the engine. Keep new members in line with that.
struct EqInstance {
    EqInstance() : EqInstance(nullptr) {}
    explicit EqInstance(AudioMasterCallback hostCallback);
    ~EqInstance() = default;
    EqInstance(const EqInstance&) = delete;
    EqInstance& operator=(const EqInstance&) = delete;

    int32_t delayInserted = 0;                    // lag built toward latencyHighWater since the last reset
    ConvolutionEngine engine;                     // filters the audio with the composite impulse
    std::atomic<uint32_t> editorDirtyMask{0};     // bit i: parameter i set by the host, not yet shown by the editor
    int32_t latencyHighWater = 0;                 // largest engine latency since the last reset: the lag the stream owes
    int32_t impulseDelay = 0;                     // delay every installed impulse carries since the last reset
    int32_t outputDropped = 0;                    // engine output dropped where that delay rose while audio ran
    void* editorWindow = nullptr;                 // the open editor window, null when none
    double sampleRate = 44100.0;                  // host rate, Hz; the impulse is composed for it
    AEffect effect{};                             // the record the host holds; effect.user points back here
    double paramValues[kParamCount] = {};         // host-normalised values as they arrived, not clamped
    InstanceLock lock;                            // re-entrant; guards everything above and below against the audio thread
    ImpulseBuffer impulse;                        // the composite last installed, as composed
    int composedDelay = 0;                        // its conversion delay, frames
    bool composedResampled = false;               // it was converted from the files' rate
    ImpulseShape installedShape;                  // how it was padded and sized when installed
    AudioMasterCallback audioMaster = nullptr;    // the host's callback from main; asked only for the process level
    bool running = false;                         // audio has run since the last reset
    int64_t framesProcessed = 0;                  // since construction
    ImpulseSelection requestedSelection;          // what the latest request composes ...
    double requestedRate = 0.0;                   //   ... at this rate; 0 before the first
    int64_t requestedAtFrame = 0;                 // framesProcessed when it was made
    std::atomic<uint64_t> installedGeneration{0}; // the worker's generation last installed (or found unusable)
    std::atomic<uint64_t> streamState{0};         // StreamState::Pack of the stream, for the worker
    ComposeWorkspace composeWorkspace;            // the worker's: kept between compositions
    CompositionWorker worker;                     // composes away from the audio thread; stopped first
};

// The latest a change made in real-time processing is heard: seconds of
// audio (frames processed) after it was made. Later, the audio thread waits.
constexpr double kLatestChangeSeconds = 0.020;

// The instance behind a record, or null (also for a null record).
inline EqInstance* InstanceOf(AEffect* effect) {
    return effect ? static_cast<EqInstance*>(effect->user) : nullptr;
}

// Drops all queued audio and history and sets the reported latency back to the
// base latency of the composite as composed: its engine latency plus its own
// conversion delay (the composite is installed as composed again if it was
// padded or held at another transform size). Takes the lock itself.
void ResetProcessing(EqInstance& instance);

// Recomposes from the stored values at the host's rate, reading the files
// again even when the values select the same ones, and completes the change
// unless the host processes in real time. Must be called without the lock.
void ComposeImpulse(EqInstance& instance);

// Stores a parameter value and completes the change as ComposeImpulse does,
// but only when the values now select other files. Must be called without
// the lock. For the host's setParameter and the editor's picks alike.
void ChangeParameter(EqInstance& instance, int index, double value);

// Stores the host's rate (the caller has checked it) and completes the change
// as ChangeParameter does. Must be called without the lock.
void ChangeSampleRate(EqInstance& instance, double rate);

// The start of an audio block: installs the newest finished composition,
// waiting for the pending one first unless the host processes in real time
// (realTime, asked with HostProcessesInRealTime before taking the lock) and
// the change is not yet overdue; then counts the block's frames. Caller holds
// the lock; never composes.
void BeginAudioBlock(EqInstance& instance, int32_t frames, bool realTime);

// Frames of leading lag the output builds since the last reset: the engine's
// latency, and as much silence as engine output was dropped.
inline int32_t SilenceTarget(const EqInstance& instance) {
    return instance.latencyHighWater + instance.outputDropped;
}

}  // namespace tolvar
