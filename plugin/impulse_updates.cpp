#include "plugin/impulse_updates.h"

#include <algorithm>
#include <cmath>

#include "composer/compose_impulse.h"
#include "plugin/eq_instance.h"
#include "plugin/ir_file_opener.h"
#include "plugin/ir_library_path.h"

namespace tolvar {
namespace {

// The library's longest composites reach about 0.7 s; a second covers them.
constexpr double kHistorySeconds = 1.0;

StreamState CurrentState(const EqInstance& instance) {
    StreamState state;
    state.fftSize = instance.engine.FftSize();
    state.latencyOwed = instance.latencyHighWater > 0;
    state.carriedDelay = instance.impulseDelay;
    state.running = instance.running;
    return state;
}

// Both parts of the latency only grow; the input that direct form's delay
// still held when FFT mode took over counts as lag already built.
void ApplyLatencyRule(EqInstance& instance, int engineLatency, const ImpulseShape& shape, int skipped) {
    instance.latencyHighWater = std::max(instance.latencyHighWater, engineLatency);
    instance.impulseDelay = std::max(instance.impulseDelay, shape.carriedDelay);
    instance.delayInserted += shape.carriedInput;
    instance.outputDropped += skipped;
    instance.effect.initialDelay =
        std::max(instance.effect.initialDelay, instance.latencyHighWater + instance.impulseDelay);
}

void SwapImpulse(ImpulseBuffer& a, ImpulseBuffer& b) {
    std::swap(a.sampleRate, b.sampleRate);
    std::swap(a.channels, b.channels);
    for (int c = 0; c < 2; ++c) a.samples[c].SwapStorage(b.samples[c]);
}

// False when the stream has moved on since the worker prepared the result
// (it was shaped for another state): nothing is installed then.
bool InstallResult(EqInstance& instance, CompositionResult& result) {
    const ImpulseShape shape =
        ShapeFor(CurrentState(instance), result.composite.TapCount(0), result.composedDelay, result.resampled);
    if (!(shape == result.shape)) return false;
    // In FFT mode with audio running, only a rate change raises the carried delay.
    const bool fftRunning = instance.engine.FftSize() > 0 && instance.running && !shape.DirectForm();
    const int skipped = fftRunning ? shape.carriedDelay - instance.impulseDelay : 0;
    const int latency = instance.engine.Install(result.prepared, shape.carriedInput, skipped);
    if (latency < 0) return true;
    ApplyLatencyRule(instance, latency, shape, skipped);
    // The replaced composite leaves with the result, to be freed by the worker.
    SwapImpulse(instance.impulse, result.composite);
    instance.composedDelay = result.composedDelay;
    instance.composedResampled = result.resampled;
    instance.installedShape = shape;
    PublishStreamState(instance);
    return true;
}

bool Overdue(const EqInstance& instance) {
    return static_cast<double>(instance.framesProcessed - instance.requestedAtFrame) >=
           kLatestChangeSeconds * instance.sampleRate;
}

}  // namespace

int HistorySamples(double rate) {
    const double samples = std::ceil(rate * kHistorySeconds);
    return samples > 0.0 && samples < 1 << 24 ? static_cast<int>(samples) : 1 << 24;
}

void ComposeOnWorker(void* context, const CompositionRequest& request, CompositionResult& result) {
    EqInstance& instance = *static_cast<EqInstance*>(context);
    const IrLibrary library{IrLibraryPath(), IrFileOpener()};
    CompositeInfo info;
    if (!BuildCompositeImpulse(request.selection, request.sampleRate, library, result.composite, &info,
                               &instance.composeWorkspace)) {
        return;
    }
    result.composedDelay = info.conversionDelay;
    result.resampled = info.resampled;
    const StreamState state = StreamState::Unpack(instance.streamState.load(std::memory_order_acquire));
    result.shape = ShapeFor(state, result.composite.TapCount(0), info.conversionDelay, info.resampled);
    result.usable = PrepareShaped(result.composite, result.shape, HistorySamples(request.sampleRate), result.prepared);
}

void PublishStreamState(EqInstance& instance) {
    instance.streamState.store(CurrentState(instance).Pack(), std::memory_order_release);
}

bool RequestComposition(EqInstance& instance, bool force) {
    const ImpulseSelection selection = SelectionOf(instance.paramValues);
    if (!force && instance.requestedRate == instance.sampleRate && selection == instance.requestedSelection) {
        return false;
    }
    instance.requestedSelection = selection;
    instance.requestedRate = instance.sampleRate;
    instance.requestedAtFrame = instance.framesProcessed;
    CompositionRequest request;
    request.selection = selection;
    request.sampleRate = instance.sampleRate;
    instance.worker.Request(request);
    return true;
}

bool CompositionPending(const EqInstance& instance) {
    return instance.worker.Requested() > instance.installedGeneration.load(std::memory_order_acquire);
}

void InstallReadyComposition(EqInstance& instance) {
    // What has completed is read before the result is taken: the worker
    // publishes a result before it counts it as complete, so nothing complete
    // can be missed, and a generation that left no result counts as handled.
    uint64_t handled = std::max(instance.installedGeneration.load(std::memory_order_relaxed),
                                instance.worker.Completed());
    if (CompositionResult* result = instance.worker.TakeReady()) {
        // A response for a rate the host has left would move every frequency:
        // the one for the new rate is on its way.
        const bool current = result->sampleRate == instance.sampleRate;
        if (result->generation > instance.installedGeneration.load(std::memory_order_relaxed) && result->usable &&
            current && !InstallResult(instance, *result)) {
            // Shaped for a stream that has moved on since: composed again for this one.
            RequestComposition(instance, true);
        }
        handled = std::max(handled, result->generation);
        instance.worker.Retire(result);
    }
    instance.installedGeneration.store(handled, std::memory_order_release);
}

void FinishComposition(EqInstance& instance) {
    for (;;) {
        instance.worker.WaitFor(instance.worker.Requested());
        const ScopedInstanceLock hold(instance.lock);
        InstallReadyComposition(instance);
        if (!CompositionPending(instance)) return;
    }
}

bool HostProcessesInRealTime(EqInstance& instance) {
    if (!instance.audioMaster) return false;
    return instance.audioMaster(&instance.effect, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f) ==
           kVstProcessLevelRealtime;
}

void ComposeImpulse(EqInstance& instance) {
    {
        const ScopedInstanceLock hold(instance.lock);
        RequestComposition(instance, true);
    }
    if (!HostProcessesInRealTime(instance)) FinishComposition(instance);
}

void ChangeParameter(EqInstance& instance, int index, double value) {
    bool asked = false;
    {
        const ScopedInstanceLock hold(instance.lock);
        instance.paramValues[index] = value;
        asked = RequestComposition(instance, false);
    }
    if (asked && !HostProcessesInRealTime(instance)) FinishComposition(instance);
}

void ChangeSampleRate(EqInstance& instance, double rate) {
    bool asked = false;
    {
        const ScopedInstanceLock hold(instance.lock);
        instance.sampleRate = rate;
        asked = RequestComposition(instance, false);
    }
    if (asked && !HostProcessesInRealTime(instance)) FinishComposition(instance);
}

void BeginAudioBlock(EqInstance& instance, int32_t frames, bool realTime) {
    while (CompositionPending(instance)) {
        const bool wait = !realTime || Overdue(instance);
        if (wait) instance.worker.WaitFor(instance.worker.Requested());
        InstallReadyComposition(instance);
        if (!wait) break;
    }
    instance.framesProcessed += frames;
    if (!instance.running && frames > 0) {
        instance.running = true;
        PublishStreamState(instance);
    }
}

}  // namespace tolvar
