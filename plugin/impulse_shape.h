#pragma once
// How a composite is installed so that the stream's lag never moves while
// audio runs: the padding and transform size it needs for the stream as it is.
//
// The stream is in one of two states between resets:
// - zero latency: direct form, no silence owed; the output lags only by the
//   delay c the installed impulses carry (0, or the rate conversion's delay
//   after a reset). A composite that carries at most c and stays within the
//   direct form's length once padded to c is installed in direct form.
// - latency: FFT mode, N/2 frames of silence owed. Once audio has run, N
//   holds; a longer composite gets more partitions instead.
// Going from the first state to the second is the one step that inserts
// silence; it happens at most once between resets. Every impulse is padded to
// carry the largest delay the stream has carried since the reset, so that
// going back to an earlier setting or rate never moves the lag; and in FFT
// mode at a rate the files are converted to, every impulse carries the
// conversion's full delay (kResamplerDelay), which some responses at that rate
// need and others not, so that no setting can move the lag either.
#include <cstdint>

#include "buffers/impulse_buffer.h"
#include "convolution/prepared_impulse.h"

namespace tolvar {

// What the shape of the next impulse depends on, as the audio side last left it.
struct StreamState {
    int fftSize = 0;          // the engine's N; 0 in direct form
    bool latencyOwed = false; // the stream owes silence: the latency state
    int carriedDelay = 0;     // the delay every installed impulse carries, frames
    bool running = false;     // audio has run since the last reset

    bool operator==(const StreamState&) const = default;
    // Packed into one word, so that the worker can read it without a lock.
    uint64_t Pack() const;
    static StreamState Unpack(uint64_t word);
};

struct ImpulseShape {
    int fftSizeRequest = -1;  // the engine's request: -1 chooses by length, else N
    int leadingZeros = 0;     // zeros in front: the composite's delay plus these is carriedDelay
    int minimumTaps = 0;      // zeros behind up to this length: keeps it out of direct form
    int carriedDelay = 0;     // the delay the stream carries with this impulse installed
    int carriedInput = 0;     // on leaving direct form: input frames its delay still holds

    bool operator==(const ImpulseShape&) const = default;
    bool DirectForm() const { return minimumTaps == 0; }
};

// The shape a composite of `taps` taps needs for a stream in `state`: it
// carries `delay` frames, and `resampled` says whether it was converted from
// the files' rate.
ImpulseShape ShapeFor(const StreamState& state, int taps, int delay, bool resampled);

// Pads `composite` as `shape` says and prepares it, with room for
// historySamples of raw input. False when the heap refuses.
bool PrepareShaped(const ImpulseBuffer& composite, const ImpulseShape& shape, int historySamples,
                   PreparedImpulse& prepared);

}  // namespace tolvar
