// FFT mode's side of the engine: installing, queueing the input, and feeding
// whole blocks of it to the convolver.
#include <algorithm>
#include <cstring>

#include "buffers/sample_bytes.h"
#include "convolution/convolution_engine.h"

namespace tolvar {

int ConvolutionEngine::InstallFftMode(PreparedImpulse& prepared, int carriedInput, int skipOutput) {
    const int n = prepared.fftSize;
    const bool keepHistory = fftSize == n && !fft.HistoryCleared() && activeChannels > 0;
    if (fftSize == 0) CarryDirectInput(carriedInput);
    impulseChannels = prepared.channels;
    impulseLength = prepared.length;
    if (keepHistory) {
        fft.Switch(prepared.kernels, prepared.storage, activeChannels, SlotsInStep());
    } else {
        fft.Begin(prepared.kernels, prepared.storage);
        activeChannels = -1;  // the next Add clears the history and aligns the slots
    }
    for (int c = 0; c < 2; ++c) directTaps[c].SwapStorage(prepared.directTaps[c]);
    for (int slot = 0; slot < 2; ++slot) outputToSkip[slot] = std::max(skipOutput, 0);
    fftSize = n;
    // At the N already running the queues hold their room from the install
    // that brought it: writing it over again would cost the audio thread, on
    // which installs happen, as much as several blocks.
    if (!keepHistory) ReserveQueueRoom(0, n / 2);
    return n / 2;
}

// Queues the latest `samples` input samples that direct form holds as its
// history (zeros before the first input) as pending FFT-mode input.
void ConvolutionEngine::CarryDirectInput(int samples) {
    for (int slot = 0; slot < activeChannels; ++slot) {
        SampleQueue& history = historyQueues[slot];
        const int carried = std::clamp(samples, 0, history.Readable());
        inputBlockQueues[slot].Recycle();
        if (carried > 0) inputBlockQueues[slot].Write(history.Front() + history.Readable() - carried, SampleBytes(carried));
    }
}

// Whether the active slots can run packed: a one-channel impulse, two slots,
// the same input pending in both.
bool ConvolutionEngine::SlotsInStep() const {
    return activeChannels == 2 && impulseChannels == 1 &&
           inputBlockQueues[0].Pending() == inputBlockQueues[1].Pending();
}

void ConvolutionEngine::AddFft(const float* const* inputs, int frames, int channels) {
    if (activeChannels != channels) ReconfigureSlots(channels);
    if (frames == 0) return;  // inputs may be null then
    int stored[2] = {0, 0};
    for (int slot = 0; slot < channels; ++slot) {
        const int before = inputBlockQueues[slot].Pending();
        inputBlockQueues[slot].Write(inputs[slot], SampleBytes(frames));
        stored[slot] = inputBlockQueues[slot].Pending() - before;
    }
    // A write the heap cut short in one slot is cut as short in the other, so
    // that the slots stay in step.
    if (channels == 2 && stored[0] != stored[1]) {
        const int fuller = stored[0] > stored[1] ? 0 : 1;
        inputBlockQueues[fuller].DropNewest(stored[fuller] - stored[1 - fuller]);
    }
}

// Runs on the first Add after an install that did not keep the history, or
// when the channel count changes. Queued input and output of the slots in use
// are kept; the history starts from silence. A slot with fewer samples in
// flight than a slot visited before it gets the difference as leading zeros in
// its output, so the slots stay aligned with each other. Slots whose pending
// input is in step run packed from here on. Allocates nothing beyond those
// zeros: the convolver's storage serves both slots from the install on.
void ConvolutionEngine::ReconfigureSlots(int channels) {
    activeChannels = channels;
    int mostInFlight = 0;  // bytes
    for (int slot = 0; slot < 2; ++slot) {
        const int inFlight = inputBlockQueues[slot].Pending() + SampleBytes(outputQueues[slot].Readable());
        mostInFlight = std::max(mostInFlight, inFlight);
        if (slot >= channels) {  // retired
            inputBlockQueues[slot].Recycle();
            outputQueues[slot].Clear();
        } else if (inFlight < mostInFlight) {
            outputQueues[slot].AppendZeros(SamplesInBytes(mostInFlight - inFlight));
        }
    }
    fft.Reconfigure(SlotsInStep());
}

void ConvolutionEngine::RunPendingBlocks(int wanted) {
    const int hopBytes = SampleBytes(fftSize / 2);
    if (fft.Packed() && activeChannels == 2) {
        while (inputBlockQueues[0].Pending() >= hopBytes && inputBlockQueues[1].Pending() >= hopBytes &&
               (outputQueues[0].Readable() < wanted || outputQueues[1].Readable() < wanted)) {
            if (!RunPackedBlock()) break;
        }
        return;
    }
    for (int slot = 0; slot < activeChannels; ++slot) {
        while (inputBlockQueues[slot].Pending() >= hopBytes && outputQueues[slot].Readable() < wanted) {
            if (!RunSlotBlock(slot)) break;
        }
    }
}

bool ConvolutionEngine::RunPackedBlock() {
    const int h = fftSize / 2;
    float* left = outputQueues[0].Extend(h);
    if (!left) return false;  // the input stays queued for a later try
    float* right = outputQueues[1].Extend(h);
    if (!right) {
        outputQueues[0].DropNewest(h);
        return false;
    }
    bool inPlace[2];
    const float* input[2] = {TakeInputBlock(0, inPlace[0]), TakeInputBlock(1, inPlace[1])};
    fft.RunPackedBlock(input[0], input[1], left, right);
    for (int slot = 0; slot < 2; ++slot) DropInputBlock(slot, inPlace[slot]);
    SkipOutput(0, left, h);
    SkipOutput(1, right, h);
    return true;
}

bool ConvolutionEngine::RunSlotBlock(int slot) {
    float* out = outputQueues[slot].Extend(fftSize / 2);
    if (!out) return false;  // the input stays queued for a later try
    bool inPlace = false;
    const float* input = TakeInputBlock(slot, inPlace);
    fft.RunSlotBlock(slot, input, out);
    DropInputBlock(slot, inPlace);
    SkipOutput(slot, out, fftSize / 2);
    return true;
}

// Drops what is left to skip from the front of a block just computed, the
// newest h samples of the slot's output.
void ConvolutionEngine::SkipOutput(int slot, float* block, int h) {
    const int skipped = std::min(outputToSkip[slot], h);
    if (skipped <= 0) return;
    std::memmove(block, block + skipped, SampleByteSize(h - skipped));
    outputQueues[slot].DropNewest(skipped);
    outputToSkip[slot] -= skipped;
}

// The slot's next H input samples: in place in the input queue when they lie
// together in one of its blocks, otherwise read (and consumed) straight into
// the place the convolver keeps them.
const float* ConvolutionEngine::TakeInputBlock(int slot, bool& inPlace) {
    const int bytes = SampleBytes(fftSize / 2);
    int together = 0;
    const void* front = inputBlockQueues[slot].Contiguous(&together);
    inPlace = front && together >= bytes;
    if (inPlace) return static_cast<const float*>(front);
    float* kept = fft.NextRecentBlock(slot);
    inputBlockQueues[slot].Read(kept, bytes);
    return kept;
}

// Consumes a block that TakeInputBlock left in place.
void ConvolutionEngine::DropInputBlock(int slot, bool inPlace) {
    if (inPlace) inputBlockQueues[slot].Read(nullptr, SampleBytes(fftSize / 2));
}

}  // namespace tolvar
