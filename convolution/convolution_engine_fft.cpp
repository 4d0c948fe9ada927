// FFT mode: uniformly partitioned overlap-add convolution in blocks of H = N/2,
// either both slots packed into one complex transform or each slot on its own
// real-input transforms.
#include <algorithm>
#include <cstring>

#include "convolution/convolution_engine.h"
#include "convolution/dsp_loops.h"
#include "convolution/sample_bytes.h"
#include "fft/fft.h"

namespace tolvar {

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

// Runs on the first Add after an FFT-mode SetImpulse, or when the channel count
// changes. Queued input and output of the slots in use are kept; their ring and
// tail start from silence. A slot with fewer samples in flight than a slot
// visited before it gets the difference as leading zeros in its output, so the
// slots stay aligned with each other. Slots whose pending input is in step run
// packed from here on. Allocates nothing beyond those zeros: the rings and
// tails of both slots exist from SetImpulse on.
void ConvolutionEngine::ReconfigureSlots(int channels) {
    activeChannels = channels;
    int mostInFlight = 0;  // bytes
    for (int slot = 0; slot < 2; ++slot) {
        ringPositions[slot] = 0;
        const int inFlight = inputBlockQueues[slot].Pending() + SampleBytes(outputQueues[slot].Readable());
        mostInFlight = std::max(mostInFlight, inFlight);
        if (slot >= channels) {  // retired
            inputBlockQueues[slot].Recycle();
            outputQueues[slot].Clear();
        } else if (inFlight < mostInFlight) {
            outputQueues[slot].AppendZeros(SamplesInBytes(mostInFlight - inFlight));
        }
    }
    packedSlots = channels == 2 && impulseChannels == 1 &&
                  inputBlockQueues[0].Pending() == inputBlockQueues[1].Pending();
    if (!historyCleared) ClearHistory();
    identicalBlocks = partitionCount + 1;
}

// Complex values per ring entry of a slot.
int ConvolutionEngine::RingStride(int slot) const {
    return packedSlots && slot == 0 ? fftSize : fftSize / 2;
}

void ConvolutionEngine::RunPendingBlocks(int wanted) {
    const int hopBytes = SampleBytes(fftSize / 2);
    if (packedSlots && activeChannels == 2) {
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

// One block of H input samples of both slots: the left samples as real parts
// and the right ones as imaginary parts of one complex block, transformed
// into the shared ring, multiplied with the impulse's full spectra (those of a
// real signal, which keep the parts apart), transformed back and overlap-added.
bool ConvolutionEngine::RunPackedBlock() {
    const int n = fftSize;
    const int h = n / 2;
    const int partitions = partitionCount;
    float* left = outputQueues[0].Extend(h);
    if (!left) return false;  // the input stays queued for a later try
    float* right = outputQueues[1].Extend(h);
    if (!right) {
        outputQueues[0].DropNewest(h);
        return false;
    }

    const int position = (ringPositions[0] + 1) % partitions;
    ringPositions[0] = ringPositions[1] = position;
    ComplexFloat* block = spectrumRings[0].As<ComplexFloat>() + static_cast<long long>(position) * n;
    ComplexFloat* work = workSpectrum.As<ComplexFloat>();
    auto* scratch = reinterpret_cast<float*>(work);  // the work spectrum is free until the products
    // With one partition the ring keeps the block's product, so the block itself
    // is kept for a later impulse change; otherwise it may be read in place.
    const bool keep = KeepsLatestBlock();
    float* copies = keep ? latestBlock.As<float>() : scratch;
    const float* input[2];
    for (int slot = 0; slot < 2; ++slot) input[slot] = TakeInputBlock(slot, copies + slot * h, keep);
    const bool identical = std::memcmp(input[0], input[1], SampleByteSize(h)) == 0;
    identicalBlocks = identical ? std::min(identicalBlocks + 1, partitions + 1) : 0;
    historyCleared = false;

    float* leftTail = overlapTails[0].As<float>();
    float* rightTail = overlapTails[1].As<float>();
    bool any = true;
    if (partitions == 1 && partitionFlags[0].As<unsigned char>()[0]) {
        // No later block reads this spectrum: the product takes its place, formed
        // as the transform stores it.
        FftForwardTwoRealTimes(block, input[0], input[1], packedKernel.As<ComplexFloat>(), n);
        FftInverseOverlapAdd(block, n, left, right, leftTail, rightTail);
    } else {
        FftForwardTwoReal(block, input[0], input[1], n);
        any = AccumulatePartitions(0, work, true);
        if (any) FftInverseOverlapAdd(work, n, left, right, leftTail, rightTail);
    }
    for (int slot = 0; slot < 2; ++slot) DropInputBlock(slot, input[slot], copies + slot * h);
    if (!any) {
        // Every partition is silent: the products are zero, so is their transform.
        std::memcpy(left, leftTail, SampleByteSize(h));
        std::memcpy(right, rightTail, SampleByteSize(h));
        std::memset(leftTail, 0, SampleByteSize(h));
        std::memset(rightTail, 0, SampleByteSize(h));
    }
    // Everything this block's output depends on (the last P + 1 blocks) was the
    // same in both channels: the right channel gets exactly the left result,
    // as it would from a transform of its own, instead of one that differs in
    // its rounding.
    if (identicalBlocks > partitions) {
        std::memcpy(right, left, SampleByteSize(h));
        std::memcpy(rightTail, leftTail, SampleByteSize(h));
    }
    return true;
}

// The slot's next H input samples: in place in the input queue when they lie
// together in one of its blocks and no copy is asked for, otherwise copied to
// scratch (and consumed).
const float* ConvolutionEngine::TakeInputBlock(int slot, float* scratch, bool copy) {
    const int bytes = SampleBytes(fftSize / 2);
    int together = 0;
    const void* front = copy ? nullptr : inputBlockQueues[slot].Contiguous(&together);
    if (front && together >= bytes) return static_cast<const float*>(front);
    inputBlockQueues[slot].Read(scratch, bytes);
    return scratch;
}

// Consumes a block that TakeInputBlock left in place.
void ConvolutionEngine::DropInputBlock(int slot, const float* block, const float* scratch) {
    if (block != scratch) inputBlockQueues[slot].Read(nullptr, SampleBytes(fftSize / 2));
}

// One block of H input samples of one slot as real-input transforms: into the
// slot's ring as a half spectrum, multiplied with the half spectra of its
// impulse channel, transformed back and overlap-added.
bool ConvolutionEngine::RunSlotBlock(int slot) {
    const int n = fftSize;
    const int h = n / 2;
    float* out = outputQueues[slot].Extend(h);
    if (!out) return false;  // the input stays queued for a later try

    ringPositions[slot] = (ringPositions[slot] + 1) % partitionCount;
    ComplexFloat* block =
        spectrumRings[slot].As<ComplexFloat>() + static_cast<long long>(ringPositions[slot]) * RingStride(slot);
    inputBlockQueues[slot].Read(reinterpret_cast<float*>(block), SampleBytes(h));
    FftRealForwardZeroPadded(block, n);
    historyCleared = false;

    ComplexFloat* work = workSpectrum.As<ComplexFloat>();
    float* tail = overlapTails[slot].As<float>();
    if (AccumulatePartitions(slot, work, false)) {
        FftRealInverse(work, n);
        OverlapAddReal(out, tail, reinterpret_cast<const float*>(work), h);
    } else {
        std::memcpy(out, tail, SampleByteSize(h));
        std::memset(tail, 0, SampleByteSize(h));
    }
    return true;
}

// work = sum over used partitions p of (input spectrum p blocks old) x (partition p),
// full spectra for packed slots (slot 0's ring), half spectra otherwise.
// Returns false, leaving work untouched, when no partition is used.
bool ConvolutionEngine::AccumulatePartitions(int slot, ComplexFloat* work, bool packed) {
    const int partitions = partitionCount;
    const int channel = ImpulseChannelOf(slot);
    const int stride = packed ? fftSize : fftSize / 2;
    const auto* used = partitionFlags[channel].As<unsigned char>();
    const ComplexFloat* kernel = (packed ? packedKernel : kernels[channel]).As<ComplexFloat>();
    const ComplexFloat* ring = spectrumRings[slot].As<ComplexFloat>();
    bool any = false;
    for (int p = 0; p < partitions; ++p) {
        if (!used[p]) continue;
        int age = ringPositions[slot] - p;
        if (age < 0) age += partitions;
        const ComplexFloat* input = ring + static_cast<long long>(age) * stride;
        const ComplexFloat* partition = kernel + static_cast<long long>(p) * stride;
        if (packed) {
            (any ? ComplexMultiplyAccumulate : ComplexMultiply)(work, input, partition, stride);
        } else {
            (any ? HalfSpectrumMultiplyAccumulate : HalfSpectrumMultiply)(work, input, partition, stride);
        }
        any = true;
    }
    return any;
}

}  // namespace tolvar
