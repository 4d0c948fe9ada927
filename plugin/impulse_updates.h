#pragma once
// How a change of the composite travels: asked of the composition worker,
// composed and prepared there, and installed between audio blocks with the
// latency bookkeeping of eq_instance.h.
#include <cstdint>

#include "plugin/composition_worker.h"

namespace tolvar {

struct EqInstance;

// Raw input history the engine keeps, in samples at `rate`: enough for the
// library's longest composites, so that a change to a longer response hears
// all of the input it reaches back to.
int HistorySamples(double rate);

// The worker's job: composes the request's files at its rate and prepares the
// composite for the stream as the instance last published it.
void ComposeOnWorker(void* instance, const CompositionRequest& request, CompositionResult& result);

// Tells the worker what the stream's state is now. Caller holds the lock.
void PublishStreamState(EqInstance& instance);

// Asks the worker for the composite of the stored values at the host's rate;
// unless `force`, only when they select other files or another rate than the
// latest request. Returns whether it asked. Caller holds the lock.
bool RequestComposition(EqInstance& instance, bool force);

// Whether a composition was asked for and is not yet installed.
bool CompositionPending(const EqInstance& instance);

// Installs the newest finished composition, if any. Caller holds the lock.
// Allocates nothing but, at the step out of direct form, queue room.
void InstallReadyComposition(EqInstance& instance);

// Waits for every composition asked for so far and installs the last. Must be
// called without the lock; not on the real-time audio thread.
void FinishComposition(EqInstance& instance);

// Whether the host says that it processes in real time now (its answer to
// audioMasterGetCurrentProcessLevel is 2). Call without the lock.
bool HostProcessesInRealTime(EqInstance& instance);

}  // namespace tolvar
