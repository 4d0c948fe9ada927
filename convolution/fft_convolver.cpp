#include "convolution/fft_convolver.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "buffers/sample_bytes.h"
#include "convolution/dsp_loops.h"

namespace tolvar {
namespace {

constexpr int kAligned = HeapBuffer::kVectorAlignment;

bool ResizeZeroed(HeapBuffer& buffer, long long bytes) {
    if (bytes <= 0 || bytes > INT_MAX - 2 * 4096) return false;
    void* data = buffer.Resize(static_cast<int>(bytes), true);
    if (!data) return false;
    std::memset(data, 0, static_cast<std::size_t>(bytes));
    return true;
}

}  // namespace

FftConvolver::Storage::Storage()
    : rings{HeapBuffer(64, kAligned), HeapBuffer(64, kAligned)},
      tails{HeapBuffer(64, kAligned), HeapBuffer(64, kAligned)},
      recent{HeapBuffer(64, kAligned), HeapBuffer(64, kAligned)},
      work(64, kAligned) {}

bool FftConvolver::Storage::Allocate(int n, int partitions, bool oneChannel, int keepBlocks) {
    const long long h = n / 2;
    const long long r = std::max(partitions, keepBlocks);
    const long long fullBytes = static_cast<long long>(partitions) * n * static_cast<long long>(sizeof(ComplexFloat));
    // Every buffer is written once here, so that the audio thread never meets a fresh page.
    if (!ResizeZeroed(rings[0], oneChannel ? fullBytes : fullBytes / 2) || !ResizeZeroed(rings[1], fullBytes / 2) ||
        !ResizeZeroed(tails[0], SampleBytes(static_cast<int>(h))) ||
        !ResizeZeroed(tails[1], SampleBytes(static_cast<int>(h))) ||
        !ResizeZeroed(recent[0], r * h * kSampleBytes) || !ResizeZeroed(recent[1], r * h * kSampleBytes) ||
        !ResizeZeroed(work, 2LL * n * static_cast<long long>(sizeof(ComplexFloat)))) {
        return false;
    }
    historyBlocks = static_cast<int>(r);
    return true;
}

void FftConvolver::Storage::Swap(Storage& other) {
    for (int slot = 0; slot < 2; ++slot) {
        rings[slot].SwapStorage(other.rings[slot]);
        tails[slot].SwapStorage(other.tails[slot]);
        recent[slot].SwapStorage(other.recent[slot]);
    }
    work.SwapStorage(other.work);
    std::swap(historyBlocks, other.historyBlocks);
}

void FftConvolver::Storage::Release() {
    for (int slot = 0; slot < 2; ++slot) {
        rings[slot].Release();
        tails[slot].Release();
        recent[slot].Release();
    }
    work.Release();
    historyBlocks = 0;
}

const float* FftConvolver::RecentBlock(int slot, int age) const {
    const int r = storage.historyBlocks;
    const int position = ((recentPositions[slot] - age) % r + r) % r;
    return storage.recent[slot].As<float>() + static_cast<long long>(position) * (kernels.n / 2);
}

float* FftConvolver::NextRecentBlock(int slot) const {
    const int position = (recentPositions[slot] + 1) % storage.historyBlocks;
    return storage.recent[slot].As<float>() + static_cast<long long>(position) * (kernels.n / 2);
}

void FftConvolver::KeepRecent(int slot, const float* input) {
    recentPositions[slot] = (recentPositions[slot] + 1) % storage.historyBlocks;
    recentDepth[slot] = std::min(recentDepth[slot] + 1, storage.historyBlocks);
    float* block = storage.recent[slot].As<float>() + static_cast<long long>(recentPositions[slot]) * (kernels.n / 2);
    if (block != input) std::memcpy(block, input, SampleByteSize(kernels.n / 2));
}

ComplexFloat* FftConvolver::RingEntry(int slot, int position) const {
    return storage.rings[slot].As<ComplexFloat>() + static_cast<long long>(position) * RingStride(slot);
}

// One block of H input samples of both slots: the left samples as real parts
// and the right ones as imaginary parts of one complex block, transformed
// into the shared ring, multiplied with the impulse's full spectra (those of a
// real signal, which keep the parts apart), transformed back and overlap-added.
void FftConvolver::RunPackedBlock(const float* left, const float* right, float* leftOut, float* rightOut) {
    const int n = kernels.n;
    const int h = n / 2;
    const int partitions = kernels.partitions;
    KeepRecent(0, left);
    KeepRecent(1, right);
    const float* x0 = RecentBlock(0, 0);
    const float* x1 = RecentBlock(1, 0);
    const bool identical = std::memcmp(x0, x1, SampleByteSize(h)) == 0;
    identicalBlocks = identical ? std::min(identicalBlocks + 1, storage.historyBlocks + 1) : 0;
    historyCleared = false;

    const int position = (ringPositions[0] + 1) % partitions;
    ringPositions[0] = ringPositions[1] = position;
    ComplexFloat* block = RingEntry(0, position);
    ComplexFloat* work = storage.work.As<ComplexFloat>();
    float* leftTail = storage.tails[0].As<float>();
    float* rightTail = storage.tails[1].As<float>();
    bool any = true;
    if (Fused()) {
        // No later block reads this spectrum (the raw block is kept instead):
        // the product takes its place, formed as the transform stores it.
        FftForwardTwoRealTimes(block, x0, x1, kernels.full.As<ComplexFloat>(), n);
        FftInverseOverlapAdd(block, n, leftOut, rightOut, leftTail, rightTail);
    } else {
        FftForwardTwoReal(block, x0, x1, n);
        any = AccumulatePartitions(0, work, true);
        if (any) FftInverseOverlapAdd(work, n, leftOut, rightOut, leftTail, rightTail);
    }
    if (!any) {
        // Every partition is silent: the products are zero, so is their transform.
        std::memcpy(leftOut, leftTail, SampleByteSize(h));
        std::memcpy(rightOut, rightTail, SampleByteSize(h));
        std::memset(leftTail, 0, SampleByteSize(h));
        std::memset(rightTail, 0, SampleByteSize(h));
    }
    // Everything this block's output depends on (the last P + 1 blocks) was the
    // same in both channels: the right channel gets exactly the left result,
    // as it would from a transform of its own, instead of one that differs in
    // its rounding.
    if (identicalBlocks > partitions) {
        std::memcpy(rightOut, leftOut, SampleByteSize(h));
        std::memcpy(rightTail, leftTail, SampleByteSize(h));
    }
}

// One block of H input samples of one slot as real-input transforms: into the
// slot's ring as a half spectrum, multiplied with the half spectra of its
// impulse channel, transformed back and overlap-added.
void FftConvolver::RunSlotBlock(int slot, const float* input, float* output) {
    const int n = kernels.n;
    const int h = n / 2;
    KeepRecent(slot, input);
    ringPositions[slot] = (ringPositions[slot] + 1) % kernels.partitions;
    ComplexFloat* block = RingEntry(slot, ringPositions[slot]);
    std::memcpy(block, RecentBlock(slot, 0), SampleByteSize(h));
    FftRealForwardZeroPadded(block, n);
    historyCleared = false;
    identicalBlocks = 0;  // counted for packed slots only

    ComplexFloat* work = storage.work.As<ComplexFloat>();
    float* tail = storage.tails[slot].As<float>();
    if (AccumulatePartitions(slot, work, false)) {
        FftRealInverse(work, n);
        OverlapAddReal(output, tail, reinterpret_cast<const float*>(work), h);
    } else {
        std::memcpy(output, tail, SampleByteSize(h));
        std::memset(tail, 0, SampleByteSize(h));
    }
}

// work = sum over used partitions p of (input spectrum p blocks old) x (partition p),
// full spectra for packed slots (slot 0's ring), half spectra otherwise.
// Returns false, leaving work untouched, when no partition is used.
bool FftConvolver::AccumulatePartitions(int slot, ComplexFloat* work, bool packedRing) const {
    const int partitions = kernels.partitions;
    const int channel = ImpulseChannelOf(slot);
    const int stride = packedRing ? kernels.n : kernels.n / 2;
    const auto* used = kernels.used[channel].As<unsigned char>();
    const ComplexFloat* kernel = (packedRing ? kernels.full : kernels.half[channel]).As<ComplexFloat>();
    const ComplexFloat* ring = storage.rings[slot].As<ComplexFloat>();
    bool any = false;
    for (int p = 0; p < partitions; ++p) {
        if (!used[p]) continue;
        int age = ringPositions[slot] - p;
        if (age < 0) age += partitions;
        const ComplexFloat* input = ring + static_cast<long long>(age) * stride;
        const ComplexFloat* partition = kernel + static_cast<long long>(p) * stride;
        if (packedRing) {
            (any ? ComplexMultiplyAccumulate : ComplexMultiply)(work, input, partition, stride);
        } else {
            (any ? HalfSpectrumMultiplyAccumulate : HalfSpectrumMultiply)(work, input, partition, stride);
        }
        any = true;
    }
    return any;
}

}  // namespace tolvar
