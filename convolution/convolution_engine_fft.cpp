// FFT mode: uniformly partitioned overlap-add convolution in blocks of H = N/2.
#include <algorithm>
#include <cstring>

#include "convolution/convolution_engine.h"
#include "convolution/dsp_loops.h"
#include "convolution/sample_bytes.h"
#include "fft/fft.h"

namespace tolvar {
namespace {

// Resizes to exactly `bytes` and zeroes them. A buffer that cannot be given that
// size is released instead, so that it never looks usable at the wrong size.
void ResizeZeroed(HeapBuffer& buffer, int bytes) {
    void* data = buffer.Resize(bytes, true);
    if (bytes > 0 && (!data || buffer.Length() != bytes)) {
        buffer.Release();
        return;
    }
    if (data) std::memset(data, 0, static_cast<std::size_t>(bytes));
}

}  // namespace

void ConvolutionEngine::AddFft(const float* const* inputs, int frames, int channels) {
    if (activeChannels != channels) ReconfigureSlots(channels);
    if (frames == 0) return;  // inputs may be null then
    for (int slot = 0; slot < channels; ++slot) {
        if (SlotReady(slot)) inputBlockQueues[slot].Write(inputs[slot], SampleBytes(frames));
    }
}

// Runs on the first Add after an FFT-mode SetImpulse, or when the channel count
// changes. Queued input and output of the slots in use are kept; their ring and
// tail start from silence. A slot with fewer samples in flight than a slot
// visited before it gets the difference as leading zeros in its output, so the
// slots stay aligned with each other.
void ConvolutionEngine::ReconfigureSlots(int channels) {
    activeChannels = channels;
    const int n = fftSize;
    const int spectrumBytes = PartitionCount() * n * static_cast<int>(sizeof(ComplexFloat));
    int mostInFlight = 0;  // bytes
    for (int slot = 0; slot < 2; ++slot) {
        ringPositions[slot] = 0;
        const int inFlight = inputBlockQueues[slot].Pending() + SampleBytes(outputQueues[slot].Readable());
        mostInFlight = std::max(mostInFlight, inFlight);
        const bool retired = slot >= channels;
        if (retired) {
            inputBlockQueues[slot].Recycle();
            outputQueues[slot].Clear();
        } else if (inFlight < mostInFlight) {
            outputQueues[slot].AppendZeros(SamplesInBytes(mostInFlight - inFlight));
        }
        ResizeZeroed(spectrumRings[slot], retired ? 0 : spectrumBytes);
        ResizeZeroed(overlapTails[slot], retired ? 0 : SampleBytes(n / 2));
    }
}

// A slot takes part only with its ring and tail at exactly the present sizes.
bool ConvolutionEngine::SlotReady(int slot) const {
    const int spectrumBytes = PartitionCount() * fftSize * static_cast<int>(sizeof(ComplexFloat));
    return fftSize > 0 && spectrumRings[slot].Data() && spectrumRings[slot].Length() == spectrumBytes &&
           overlapTails[slot].Data() && overlapTails[slot].Length() == SampleBytes(fftSize / 2);
}

void ConvolutionEngine::RunPendingBlocks(int wanted) {
    const int n = fftSize;
    const int hopBytes = SampleBytes(n / 2);
    if (!workSpectrum.Resize(n * static_cast<int>(sizeof(ComplexFloat)), true)) return;
    if (workSpectrum.Length() != n * static_cast<int>(sizeof(ComplexFloat))) return;
    for (int slot = 0; slot < activeChannels; ++slot) {
        if (!SlotReady(slot)) continue;
        while (inputBlockQueues[slot].Pending() >= hopBytes && outputQueues[slot].Readable() < wanted) {
            if (!RunBlock(slot)) break;
        }
    }
}

// One block of H input samples: transform it into the ring, sum its products
// with the partitions, transform back and overlap-add H samples of output.
bool ConvolutionEngine::RunBlock(int slot) {
    const int n = fftSize;
    const int h = n / 2;
    float* out = outputQueues[slot].Extend(h);
    if (!out) return false;  // the input stays queued for a later try

    ringPositions[slot] = (ringPositions[slot] + 1) % PartitionCount();
    ComplexFloat* block = spectrumRings[slot].As<ComplexFloat>() + ringPositions[slot] * n;
    ComplexFloat* work = workSpectrum.As<ComplexFloat>();
    auto* samples = reinterpret_cast<float*>(work);  // the work spectrum is free until the products
    inputBlockQueues[slot].Read(samples, SampleBytes(h));
    LoadRealBlock(block, samples, h, n);
    FftTransform(block, n, 0);

    float* tail = overlapTails[slot].As<float>();
    if (AccumulatePartitions(slot, work)) {
        FftTransform(work, n, 1);
        OverlapAdd(out, tail, work, h);
    } else {
        // Every partition is silent: the products are zero, so is their transform.
        std::memcpy(out, tail, SampleByteSize(h));
        std::memset(tail, 0, SampleByteSize(h));
    }
    return true;
}

// work = sum over used partitions p of (input spectrum p blocks old) x (partition p).
// Returns false, leaving work untouched, when no partition is used.
bool ConvolutionEngine::AccumulatePartitions(int slot, ComplexFloat* work) {
    const int n = fftSize;
    const int partitions = PartitionCount();
    const int channel = ImpulseChannelOf(slot);
    const auto* used = partitionFlags[channel].As<unsigned char>();
    const ComplexFloat* kernel = kernels[channel].As<ComplexFloat>();
    const ComplexFloat* ring = spectrumRings[slot].As<ComplexFloat>();
    bool any = false;
    for (int p = 0; p < partitions; ++p) {
        if (!used[p]) continue;
        int age = ringPositions[slot] - p;
        if (age < 0) age += partitions;
        const ComplexFloat* input = ring + age * n;
        if (any) {
            ComplexMultiplyAccumulate(work, input, kernel + p * n, n);
        } else {
            ComplexMultiply(work, input, kernel + p * n, n);
            any = true;
        }
    }
    return any;
}

}  // namespace tolvar
