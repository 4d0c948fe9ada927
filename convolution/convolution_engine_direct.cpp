// Direct form: impulses of at most 128 taps, filtered sample by sample as the
// input arrives, with no latency.
#include "convolution/convolution_engine.h"

#include "convolution/dsp_loops.h"
#include "convolution/fft_size.h"

namespace tolvar {

int ConvolutionEngine::InstallDirectForm(PreparedImpulse& prepared) {
    for (int c = 0; c < 2; ++c) directTaps[c].SwapStorage(prepared.directTaps[c]);
    // FFT mode's kernels and storage go back with the prepared impulse.
    fft.Begin(prepared.kernels, prepared.storage);
    impulseChannels = prepared.channels;
    impulseLength = prepared.length;
    activeChannels = -1;
    fftSize = 0;
    for (int slot = 0; slot < 2; ++slot) {
        outputToSkip[slot] = 0;
        inputBlockQueues[slot].Recycle();
        historyQueues[slot].Clear();
        outputQueues[slot].Clear();
    }
    ReserveQueueRoom(impulseLength, 0);
    WarmUpDirectForm();
    return 0;
}

// A block of silence through the whole direct path, undone afterwards, brings
// the new taps, the queues and the code into the caches, which the first
// callback after leaving FFT mode paid for otherwise.
void ConvolutionEngine::WarmUpDirectForm() {
    static const float kZeros[kMaxDirectTaps] = {};
    const float* const silence[2] = {kZeros, kZeros};
    AddDirect(silence, kMaxDirectTaps, 2);
    for (int slot = 0; slot < 2; ++slot) {
        historyQueues[slot].Clear();
        outputQueues[slot].Clear();
    }
    activeChannels = -1;
}

void ConvolutionEngine::AddDirect(const float* const* inputs, int frames, int channels) {
    activeChannels = channels;
    for (int slot = 0; slot < channels; ++slot) {
        if (frames == 0) continue;
        if (directTaps[ImpulseChannelOf(slot)].Count<float>() == 0) {
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
    const HeapBuffer& kernel = directTaps[ImpulseChannelOf(slot)];
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
