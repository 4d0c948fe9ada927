// FFT mode: carrying the convolution's history from one impulse to the next of
// the same transform size, so that an impulse change loses no audio.
//
// Kept blocks travel in the time domain, two slots of H samples per block,
// newest first: block a of slot s at blocks + (2a + s) x H. That way they can be
// laid out again for any partition count and either slot packing.
#include <algorithm>
#include <cstring>

#include "convolution/convolution_engine.h"
#include "convolution/sample_bytes.h"
#include "fft/fft.h"

namespace tolvar {
namespace {

float* KeptBlock(float* blocks, int age, int slot, int h) {
    return blocks + (2LL * age + slot) * h;
}

}  // namespace

// The running FFT-mode impulse has the same N and a block has run since the
// last clearing, with the slots configured: there is something to keep.
bool ConvolutionEngine::CanKeepHistory(int n) const {
    return fftSize == n && fftSize > 0 && !historyCleared && activeChannels > 0;
}

// Rebuilds the input of the latest `count` blocks (count <= P) of the active
// slots from the running configuration; inactive slots' blocks stay as they
// are (zeros). scratch holds N complex values and is overwritten.
void ConvolutionEngine::RecoverInputBlocks(float* blocks, int count, ComplexFloat* scratch) const {
    const int n = fftSize;
    const int h = n / 2;
    const float scale = 1.0f / static_cast<float>(n);  // the transforms leave n x x
    if (KeepsLatestBlock()) {
        std::memcpy(blocks, latestBlock.As<float>(), SampleByteSize(n));  // both slots' block, as laid out here
        return;
    }
    for (int age = 0; age < count; ++age) {
        for (int slot = 0; slot < activeChannels; ++slot) {
            if (packedSlots && slot == 1) break;  // slot 0's ring holds both
            const int stride = RingStride(slot);
            const int position = (ringPositions[slot] - age + partitionCount) % partitionCount;
            const ComplexFloat* entry = spectrumRings[slot].As<ComplexFloat>() + static_cast<long long>(position) * stride;
            std::memcpy(scratch, entry, sizeof(ComplexFloat) * static_cast<std::size_t>(stride));
            float* out = KeptBlock(blocks, age, slot, h);
            if (packedSlots) {
                FftTransform(scratch, n, 1);
                float* right = KeptBlock(blocks, age, 1, h);
                for (int j = 0; j < h; ++j) {
                    out[j] = scratch[j].re * scale;
                    right[j] = scratch[j].im * scale;
                }
                // Blocks the same in both slots come back the same bits, as
                // the identical-block count promises.
                if (age < identicalBlocks) std::memcpy(right, out, SampleByteSize(h));
            } else {
                FftRealInverse(scratch, n);
                const auto* samples = reinterpret_cast<const float*>(scratch);
                for (int j = 0; j < h; ++j) out[j] = samples[j] * scale;
            }
        }
    }
}

// Latest blocks in a row the same in both slots; all of them (and the
// silence before) count as P + 1.
int ConvolutionEngine::IdenticalBlocksIn(const float* blocks, int count) const {
    const int h = fftSize / 2;
    int same = 0;
    while (same < count && std::memcmp(blocks + 2LL * same * h, blocks + (2LL * same + 1) * h, SampleByteSize(h)) == 0) {
        ++same;
    }
    return same == count ? partitionCount + 1 : same;
}

// Lays the kept blocks into the freshly zeroed rings of the new impulse (the
// newest at position 0, as ringPositions says) and computes the overlap tails
// those blocks leave with the new kernels: the second half of the inverse
// transform of their products, exactly what the last block would have left.
// The slots keep their configuration; only the packing may change.
void ConvolutionEngine::RestoreHistory(float* blocks, int count) {
    const int n = fftSize;
    const int h = n / 2;
    packedSlots = activeChannels == 2 && impulseChannels == 1 &&
                  inputBlockQueues[0].Pending() == inputBlockQueues[1].Pending();
    historyCleared = false;
    ComplexFloat* work = workSpectrum.As<ComplexFloat>();
    auto entryAt = [&](int slot, int age) {
        const int position = (partitionCount - age) % partitionCount;
        return spectrumRings[slot].As<ComplexFloat>() + static_cast<long long>(position) * RingStride(slot);
    };

    if (!packedSlots) {
        for (int slot = 0; slot < activeChannels; ++slot) {
            for (int age = 0; age < count; ++age) {
                ComplexFloat* entry = entryAt(slot, age);
                std::memcpy(entry, KeptBlock(blocks, age, slot, h), SampleByteSize(h));
                FftRealForwardZeroPadded(entry, n);
            }
            if (AccumulatePartitions(slot, work, false)) {
                FftRealInverse(work, n);
                std::memcpy(overlapTails[slot].As<float>(), reinterpret_cast<const float*>(work) + h, SampleByteSize(h));
            }
        }
        return;
    }

    identicalBlocks = IdenticalBlocksIn(blocks, count);
    if (KeepsLatestBlock()) std::memcpy(latestBlock.As<float>(), blocks, SampleByteSize(n));
    for (int age = 0; age < count; ++age) {
        FftForwardTwoReal(entryAt(0, age), KeptBlock(blocks, age, 0, h), KeptBlock(blocks, age, 1, h), n);
    }
    float* tails[2] = {overlapTails[0].As<float>(), overlapTails[1].As<float>()};  // zeros
    if (AccumulatePartitions(0, work, true)) {
        // The first halves would be the block's output: they land in the kept
        // blocks, which have served.
        FftInverseOverlapAdd(work, n, blocks, blocks + h, tails[0], tails[1]);
    }
    if (identicalBlocks > partitionCount) std::memcpy(tails[1], tails[0], SampleByteSize(h));
}

}  // namespace tolvar
