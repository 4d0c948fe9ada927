// Direct form: impulses of at most 128 taps, filtered sample by sample as the
// input arrives, with no latency.
#include "convolution/convolution_engine.h"

#include "convolution/dsp_loops.h"

namespace tolvar {

void ConvolutionEngine::AddDirect(const float* const* inputs, int frames, int channels) {
    activeChannels = channels;
    for (int slot = 0; slot < channels; ++slot) {
        if (frames == 0) continue;
        if (kernels[ImpulseChannelOf(slot)].Count<float>() == 0) {
            outputQueues[slot].Append(inputs[slot], frames);  // no taps: pass through
        } else {
            FilterDirect(slot, inputs[slot], frames);
        }
    }
}

// out[j] = sum over m < T of h[m] * x[j - m], reaching back into the history for
// j - m < 0. The kernel holds h reversed, so with the history's T samples in
// front of the new input the sum runs forward over both arrays.
void ConvolutionEngine::FilterDirect(int slot, const float* input, int frames) {
    const HeapBuffer& kernel = kernels[ImpulseChannelOf(slot)];
    const int taps = kernel.Count<float>();
    SampleQueue& history = historyQueues[slot];
    if (history.Readable() < taps && !history.AppendZeros(taps - history.Readable())) return;
    if (!history.Append(input, frames)) return;  // input lost; the history stays whole

    const float* x = history.Front() + (history.Readable() - frames - taps);
    float* out = outputQueues[slot].Extend(frames);
    if (out) DirectFormFilter(out, kernel.As<float>(), x, taps, frames);
    history.Consume(history.Readable() - taps);  // keep exactly the last T samples
}

}  // namespace tolvar
