#include "convolution/convolution_engine.h"

#include <algorithm>

#include "buffers/sample_bytes.h"
#include "convolution/fft_size.h"
#include "fft/fft.h"

namespace tolvar {
namespace {

// Frames of room kept in the queues beyond a block, for the host's own blocks.
constexpr int kCallbackRoom = 4096;

}  // namespace

ConvolutionEngine::ConvolutionEngine()
    : impulseChannels(1),
      impulseLength(0),
      fftSize(0),
      activeChannels(0),
      directTaps{HeapBuffer(64, HeapBuffer::kVectorAlignment), HeapBuffer(64, HeapBuffer::kVectorAlignment)},
      outputToSkip{0, 0},
      outputPointers{nullptr, nullptr} {
    FftInitTables();
}

int ConvolutionEngine::SetImpulse(const ImpulseBuffer& impulse, int fftSizeRequest) {
    PreparedImpulse prepared;
    if (!PrepareImpulse(impulse, fftSizeRequest, 0, prepared)) return -1;
    const int latency = Install(prepared);
    prepared.Release();  // the old storage goes first: giving it back may flush address translations
    WarmUp();
    return latency;
}

void ConvolutionEngine::WarmUp() {
    if (fftSize == 0) return;
    // After an install that starts afresh, two slots of a one-channel impulse will most likely run packed.
    const bool reconfiguring = activeChannels < 0;
    fft.WarmUp(reconfiguring ? 2 : activeChannels, reconfiguring ? impulseChannels == 1 : fft.Packed());
}

int ConvolutionEngine::Install(PreparedImpulse& prepared, int carriedInput, int skipOutput) {
    if (prepared.fftSize < 0) return -1;
    const int latency =
        prepared.fftSize == 0 ? InstallDirectForm(prepared) : InstallFftMode(prepared, carriedInput, skipOutput);
    prepared.fftSize = -1;  // what it holds now is the replaced storage
    return latency;
}

// Room in the queues for what the audio path will put in them after an
// impulse change, written once so that its pages are in memory. The queues
// simply grow later if the heap refuses now.
void ConvolutionEngine::ReserveQueueRoom(int historySamples, int blockSamples) {
    for (int slot = 0; slot < 2; ++slot) {
        const int inFlight = PendingInput(slot) + ReadableOutput(slot);
        if (blockSamples > 0) {
            // What is in flight now stays in flight (the latency only grows),
            // plus two blocks and a callback's worth; and one whole block more
            // for the input, whose writes run a block ahead of its reads.
            const int room = inFlight + 2 * blockSamples + kCallbackRoom;
            inputBlockQueues[slot].Reserve(SampleBytes(room) + BlockQueue::kBlockCapacity);
            outputQueues[slot].Reserve(room);
        } else {
            historyQueues[slot].Reserve(historySamples + kCallbackRoom);
            outputQueues[slot].Reserve(kCallbackRoom);
        }
    }
}

void ConvolutionEngine::Reset() {
    for (int slot = 0; slot < 2; ++slot) {
        outputToSkip[slot] = 0;
        inputBlockQueues[slot].Recycle();
        historyQueues[slot].Clear();
        outputQueues[slot].Clear();
    }
    // Both slots are empty, hence in step.
    if (fftSize > 0) fft.Reconfigure(activeChannels == 2 && impulseChannels == 1);
}

void ConvolutionEngine::Add(const float* const* inputs, int frames, int channels) {
    if (channels < 0 || channels > 2 || frames < 0 || frames > kMaxSamplesInInt) return;
    if (frames > 0) {
        if (channels > 0 && !inputs) return;
        for (int c = 0; c < channels; ++c) {
            if (!inputs[c]) return;
        }
    }
    if (fftSize == 0) {
        AddDirect(inputs, frames, channels);
    } else {
        AddFft(inputs, frames, channels);
    }
}

int ConvolutionEngine::Avail(int wanted) {
    if (fftSize > 0) RunPendingBlocks(std::max(wanted, 0));
    // The caller copies this many samples from every slot's Get pointer, so it
    // is what all active slots hold: slot 0's count while the slots are aligned,
    // less when the heap refused one of them its growth.
    if (activeChannels <= 0) return 0;
    int ready = outputQueues[0].Readable();
    for (int slot = 1; slot < activeChannels; ++slot) ready = std::min(ready, outputQueues[slot].Readable());
    return ready;
}

float* const* ConvolutionEngine::Get() {
    for (int slot = 0; slot < activeChannels; ++slot) outputPointers[slot] = outputQueues[slot].Front();
    return outputPointers;
}

void ConvolutionEngine::Advance(int count) {
    if (count <= 0) return;
    for (int slot = 0; slot < activeChannels; ++slot) outputQueues[slot].Consume(count);
}

int ConvolutionEngine::DirectTapCount(int c) const {
    if (fftSize != 0 || c < 0 || c >= impulseChannels) return 0;
    return directTaps[c].Count<float>();
}

}  // namespace tolvar
