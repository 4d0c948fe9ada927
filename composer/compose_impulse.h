#pragma once
// The composite response of the whole equaliser for one set of parameter values.
#include "buffers/impulse_buffer.h"
#include "composer/compose_workspace.h"
#include "composer/impulse_selection.h"
#include "composer/ir_library.h"
#include "params/param_info.h"

namespace tolvar {

// Builds the composite response for the fifteen stored parameter values at
// hostRate (Hz) into `impulse`: sampleRate = hostRate, channels = 1, the taps
// in its first samples array (the second is not touched).
//
// The sections are read in order (input model, low-pass, high-pass, low shelf,
// band 1, band 2, high shelf), each active one through AddStageImpulse, and
// convolved into one response at the rate of the first file read (by direct
// sums or FFT convolution, whichever costs less; ImpulseAccumulator). That
// response is then
//   - the unit impulse (1.0, 0.0) when no file contributed;
//   - copied one to one when the rates lie within 0.0001 Hz of each other;
//   - otherwise converted with ResampleFilter, in either direction, which
//     starts it kResamplerDelay samples late when it has taps between the
//     host rate's samples (see there).
// *conversionDelay (may be null) receives that lateness in samples at hostRate,
// 0 when nothing was converted: the caller reports it as part of its latency.
//
// workspace (may be null) keeps the FFT's table from one composition to the
// next; without it each composition computes the table afresh.
//
// A file that cannot be used, its frames included, leaves only its own
// section out. Returns false, leaving `impulse` exactly as it was, when
// hostRate is not finite and positive, a buffer of the composition's own
// could not be sized, or the response does not fit the float range (files of
// absurd level whose product overflows); the previous response then stays in
// use. Files are read on the calling thread.
bool BuildCompositeImpulse(const double (&paramValues)[kParamCount], double hostRate,
                           const IrLibrary& library, ImpulseBuffer& impulse, int* conversionDelay = nullptr,
                           ComposeWorkspace* workspace = nullptr);
// What the conversion to the host's rate did to a composite.
struct CompositeInfo {
    int conversionDelay = 0;  // samples the response starts late (see above)
    bool resampled = false;   // the files' rate was converted: the delay can be kResamplerDelay for
                              //   other responses at these rates
};

// The same for the files a selection names (SelectionOf gives the selection
// of stored values), telling what the conversion did.
bool BuildCompositeImpulse(const ImpulseSelection& selection, double hostRate, const IrLibrary& library,
                           ImpulseBuffer& impulse, CompositeInfo* info = nullptr,
                           ComposeWorkspace* workspace = nullptr);

}  // namespace tolvar
