#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "buffers/impulse_buffer.h"
#include "convolution/convolution_engine.h"
#include "tests/support/signals.h"

namespace tolvar::test {

using Signal = std::vector<float>;

// Noise under an exponential decay that falls to about 5 % at the last tap, so
// that every partition of a long impulse carries signal.
Signal DecayingImpulse(int taps, std::uint32_t seed);

// An ImpulseBuffer holding one or two channels of taps.
void FillImpulse(ImpulseBuffer& impulse, const Signal& channel0);
void FillImpulse(ImpulseBuffer& impulse, const Signal& channel0, const Signal& channel1);

// Sample t of h convolved with x, summed in double; x is zero outside its range.
double Convolved(const Signal& h, const Signal& x, long t);

// Drives an engine exactly as the audio callback does: Add the block, owe the
// latency as leading silence, Avail(wanted), copy what Get shows behind the
// silence, Advance. Also records every sample the engine delivered, per slot.
class CallbackDriver {
public:
    CallbackDriver(ConvolutionEngine& driven, int latency) : engine(driven), initialDelay(latency) {}

    // Only grows, as the owner's bookkeeping does while audio runs.
    void RaiseLatency(int latency);
    // Processes one block of n frames of both channels; returns the frames the engine supplied.
    int Process(const float* in0, const float* in1, float* out0, float* out1, int n);
    // Processes x0/x1 from `from` to `to` in blocks whose sizes come from nextSize,
    // appending the output to out0/out1.
    void Run(const Signal& x0, const Signal& x1, long from, long to, const std::function<int()>& nextSize,
             Signal& out0, Signal& out1);

    int InitialDelay() const { return initialDelay; }
    long SilentFrames() const { return silentFrames; }  // leading silence emitted, owed or not
    const Signal& Delivered(int slot) const { return delivered[slot]; }

private:
    ConvolutionEngine& engine;
    int initialDelay;
    int delayInserted = 0;
    long silentFrames = 0;
    Signal delivered[2];
};

// Block sizes for the callback: 0, 1, odd sizes, typical sizes and sizes above
// `large` (pass the FFT size), in a fixed pseudo-random order.
std::function<int()> RandomBlockSizes(std::uint32_t seed, int large);

}  // namespace tolvar::test
