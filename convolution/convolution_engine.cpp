#include "convolution/convolution_engine.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "convolution/fft_size.h"
#include "convolution/dsp_loops.h"
#include "convolution/impulse_partitions.h"
#include "convolution/sample_bytes.h"
#include "fft/fft.h"

namespace tolvar {
namespace {

constexpr int kAligned = HeapBuffer::kVectorAlignment;

// Frames of room kept in the queues beyond a block, for the host's own blocks.
constexpr int kCallbackRoom = 4096;

// Resizes to exactly `bytes` and writes zeros to all of it.
bool ResizeZeroed(HeapBuffer& buffer, long long bytes) {
    if (bytes <= 0 || bytes > INT_MAX - 2 * 4096) return false;
    void* data = buffer.Resize(static_cast<int>(bytes), true);
    if (!data) return false;
    std::memset(data, 0, static_cast<std::size_t>(bytes));
    return true;
}

void ZeroContents(HeapBuffer& buffer) {
    if (buffer.Data()) std::memset(buffer.Data(), 0, static_cast<std::size_t>(buffer.Length()));
}

}  // namespace

ConvolutionEngine::ConvolutionEngine()
    : impulseChannels(1),
      kernels{HeapBuffer(64, kAligned), HeapBuffer(64, kAligned)},
      packedKernel(64, kAligned),
      partitionFlags{HeapBuffer(64), HeapBuffer(64)},
      fftSize(0),
      impulseLength(0),
      partitionCount(0),
      activeChannels(0),
      ringPositions{0, 0},
      spectrumRings{HeapBuffer(64, kAligned), HeapBuffer(64, kAligned)},
      overlapTails{HeapBuffer(64, kAligned), HeapBuffer(64, kAligned)},
      latestBlock(64, kAligned),
      workSpectrum(64, kAligned),
      packedSlots(false),
      historyCleared(true),
      identicalBlocks(0),
      outputPointers{nullptr, nullptr} {
    FftInitTables();
}

int ConvolutionEngine::SetImpulse(const ImpulseBuffer& impulse, int fftSizeRequest) {
    if (impulse.channels < 1 || impulse.channels > 2) return -1;
    if (fftSizeRequest >= 0 && !IsSupportedFftSize(fftSizeRequest)) return -1;
    int length = 0;
    for (int c = 0; c < impulse.channels; ++c) length = std::max(length, impulse.TapCount(c));
    if (length <= kMaxDirectTaps) return InstallDirectForm(impulse, length);
    return InstallFftMode(impulse, length, ChooseFftSize(length, fftSizeRequest));
}

// Runs one block of silence down the path the next block takes (its
// transforms, the products of every partition, the overlap-add), as the last
// thing SetImpulse does, so that the code and the spectra the first block on
// the audio thread streams through are what the caches and the address
// translations hold. Without it, that block paid for bringing them back: up to
// twice a steady block's cost for long impulses, and a tenth more after a
// change that keeps the history. Leaves the engine as it was: the outputs and
// tails go to the scratch past the work spectrum, and the next block's ring
// entry is used only where nothing reads it again (one partition: it holds a
// product the next block overwrites whole) or where it is zero and stays zero
// (history cleared).
void ConvolutionEngine::WarmUpBlock(bool packed, int slots) {
    const int n = fftSize;
    const int h = n / 2;
    ComplexFloat* work = workSpectrum.As<ComplexFloat>();
    float* zeros[2] = {reinterpret_cast<float*>(work + n), reinterpret_cast<float*>(work + n) + h};  // then tails
    float* outputs[2] = {zeros[1] + h, zeros[1] + 2 * h};
    std::memset(zeros[0], 0, SampleByteSize(2 * h));
    const int next = (ringPositions[0] + 1) % partitionCount;
    if (packed) {
        ComplexFloat* entry = spectrumRings[0].As<ComplexFloat>() + static_cast<long long>(next) * n;
        if (partitionCount == 1 && partitionFlags[0].As<unsigned char>()[0]) {
            const float* latest = latestBlock.As<float>();  // zeros when the history was cleared
            FftForwardTwoRealTimes(entry, latest, latest + h, packedKernel.As<ComplexFloat>(), n);
            FftInverseOverlapAdd(entry, n, outputs[0], outputs[1], zeros[0], zeros[1]);
            return;
        }
        FftForwardTwoReal(historyCleared ? entry : work, zeros[0], zeros[1], n);
        if (AccumulatePartitions(0, work, true)) {
            FftInverseOverlapAdd(work, n, outputs[0], outputs[1], zeros[0], zeros[1]);
        }
        return;
    }
    for (int slot = 0; slot < slots; ++slot) {
        ComplexFloat* entry = spectrumRings[slot].As<ComplexFloat>() + static_cast<long long>(next) * (n / 2);
        ComplexFloat* into = historyCleared ? entry : work;
        std::memset(into, 0, SampleByteSize(h));
        FftRealForwardZeroPadded(into, n);
        if (AccumulatePartitions(slot, work, false)) {
            FftRealInverse(work, n);
            OverlapAddReal(outputs[0], zeros[0], reinterpret_cast<const float*>(work), h);
        }
    }
}

int ConvolutionEngine::InstallDirectForm(const ImpulseBuffer& impulse, int length) {
    HeapBuffer reversed[2] = {HeapBuffer(64, kAligned), HeapBuffer(64, kAligned)};
    for (int c = 0; c < impulse.channels; ++c) {
        const int taps = impulse.TapCount(c);
        if (taps == 0) continue;
        auto* kernel = static_cast<float*>(reversed[c].Resize(SampleBytes(taps), true));
        if (!kernel) return -1;
        std::reverse_copy(impulse.Taps(c), impulse.Taps(c) + taps, kernel);
    }
    // Every allocation succeeded: from here on nothing can fail.
    for (int c = 0; c < 2; ++c) {
        kernels[c].SwapStorage(reversed[c]);
        partitionFlags[c].Release();
    }
    packedKernel.Release();
    latestBlock.Release();
    impulseChannels = impulse.channels;
    impulseLength = length;
    partitionCount = 0;
    activeChannels = -1;
    fftSize = 0;
    for (int slot = 0; slot < 2; ++slot) {
        inputBlockQueues[slot].Recycle();
        historyQueues[slot].Clear();
        outputQueues[slot].Clear();
    }
    ReserveQueueRoom(length, 0);
    WarmUpDirectForm();
    return 0;
}

// The direct form's counterpart of WarmUpBlock: a block of silence through
// the whole direct path, undone afterwards, brings the new taps, the queues
// and the code into the caches, which the first callback after leaving FFT
// mode paid for otherwise.
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

int ConvolutionEngine::InstallFftMode(const ImpulseBuffer& impulse, int length, int n) {
    const long long partitions = PartitionsFor(length, n);
    const long long fullBytes = partitions * n * static_cast<long long>(sizeof(ComplexFloat));
    if (n <= 0 || partitions <= 0 || fullBytes > INT_MAX - 2 * 4096) return -1;
    const int p = static_cast<int>(partitions);
    const bool oneChannel = impulse.channels == 1;

    // Build everything aside; the installed impulse keeps working if any of it
    // fails. Every buffer is written once here, so that the audio thread never
    // meets a fresh page.
    HeapBuffer spectra[2] = {HeapBuffer(64, kAligned), HeapBuffer(64, kAligned)};
    HeapBuffer flags[2] = {HeapBuffer(64), HeapBuffer(64)};
    HeapBuffer packed(64, kAligned);
    for (int c = 0; c < impulse.channels; ++c) {
        if (!BuildPartitionSpectra(impulse.Taps(c), impulse.TapCount(c), n, p, SpectrumLayout::kHalf, spectra[c],
                                   flags[c])) {
            return -1;
        }
    }
    HeapBuffer packedFlags(64);
    if (oneChannel && !BuildPartitionSpectra(impulse.Taps(0), impulse.TapCount(0), n, p, SpectrumLayout::kFull,
                                             packed, packedFlags)) {
        return -1;
    }
    HeapBuffer rings[2] = {HeapBuffer(64, kAligned), HeapBuffer(64, kAligned)};
    HeapBuffer tails[2] = {HeapBuffer(64, kAligned), HeapBuffer(64, kAligned)};
    HeapBuffer work(64, kAligned);
    HeapBuffer latest(64, kAligned);  // only packed slots with P = 1 use it
    if (!ResizeZeroed(rings[0], oneChannel ? fullBytes : fullBytes / 2) || !ResizeZeroed(rings[1], fullBytes / 2) ||
        !ResizeZeroed(tails[0], SampleBytes(n / 2)) || !ResizeZeroed(tails[1], SampleBytes(n / 2)) ||
        !ResizeZeroed(work, 2 * n * static_cast<long long>(sizeof(ComplexFloat))) ||
        (oneChannel && p == 1 && !ResizeZeroed(latest, SampleBytes(n)))) {
        return -1;
    }
    // The input of the latest blocks, two slots of H samples per block, newest
    // first, recovered before the old ring goes.
    const int keptBlocks = CanKeepHistory(n) ? std::min(partitionCount, p) : 0;
    HeapBuffer kept(64, kAligned);
    if (keptBlocks > 0) {
        if (!ResizeZeroed(kept, static_cast<long long>(keptBlocks) * SampleBytes(n))) return -1;
        RecoverInputBlocks(kept.As<float>(), keptBlocks, work.As<ComplexFloat>());
    }

    // Every allocation succeeded: from here on nothing can fail.
    for (int i = 0; i < 2; ++i) {
        kernels[i].SwapStorage(spectra[i]);
        partitionFlags[i].SwapStorage(flags[i]);
        spectrumRings[i].SwapStorage(rings[i]);
        overlapTails[i].SwapStorage(tails[i]);
    }
    packedKernel.SwapStorage(packed);
    workSpectrum.SwapStorage(work);
    latestBlock.SwapStorage(latest);
    impulseChannels = impulse.channels;
    impulseLength = length;
    partitionCount = p;
    fftSize = n;
    ringPositions[0] = ringPositions[1] = 0;
    // The old impulse's storage goes before the warm-up, so that the warm-up is
    // the last to touch memory: giving large blocks back to the system may
    // flush the process's address translations.
    for (HeapBuffer* old : {&spectra[0], &spectra[1], &flags[0], &flags[1], &packed, &packedFlags, &rings[0],
                            &rings[1], &tails[0], &tails[1], &work, &latest}) {
        old->Release();
    }
    if (keptBlocks > 0) {
        RestoreHistory(kept.As<float>(), keptBlocks);
        kept.Release();
        ReserveQueueRoom(0, n / 2);
        WarmUpBlock(packedSlots, activeChannels);
    } else {
        activeChannels = -1;
        packedSlots = false;  // decided by the next Add
        historyCleared = true;
        ReserveQueueRoom(0, n / 2);
        WarmUpBlock(impulseChannels == 1, 2);  // both slots will most likely run packed
    }
    return n / 2;
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
        ringPositions[slot] = 0;
        inputBlockQueues[slot].Recycle();
        historyQueues[slot].Clear();
        outputQueues[slot].Clear();
    }
    ClearHistory();
    // Both slots are empty, hence in step.
    packedSlots = activeChannels == 2 && impulseChannels == 1;
}

void ConvolutionEngine::ClearHistory() {
    for (int slot = 0; slot < 2; ++slot) {
        ZeroContents(spectrumRings[slot]);
        ZeroContents(overlapTails[slot]);
    }
    ZeroContents(latestBlock);
    historyCleared = true;
    identicalBlocks = partitionCount + 1;
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

bool ConvolutionEngine::PartitionUsed(int c, int p) const {
    if (c < 0 || c >= impulseChannels || p < 0 || p >= partitionFlags[c].Length()) return false;
    return partitionFlags[c].As<unsigned char>()[p] != 0;
}

int ConvolutionEngine::DirectTapCount(int c) const {
    if (fftSize != 0 || c < 0 || c >= impulseChannels) return 0;
    return kernels[c].Count<float>();
}

}  // namespace tolvar
