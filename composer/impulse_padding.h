#pragma once
// The same response, later and longer: how an installed impulse is made to
// carry a given delay and to stay out of the engine's direct form.
#include "buffers/impulse_buffer.h"

namespace tolvar {

// Writes into `padded` (replacing its first samples array; sampleRate and
// channels copied) `leadingZeros` zeros, then the taps of `source`'s first
// channel, then zeros up to `minimumTaps` taps in all. Returns false, leaving
// `padded` alone, when a count is negative or the buffer cannot be sized.
bool PadImpulse(const ImpulseBuffer& source, int leadingZeros, int minimumTaps, ImpulseBuffer& padded);

}  // namespace tolvar
