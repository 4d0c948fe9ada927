// FFT mode: starting from silence, and switching to new kernels of the same
// transform size from the raw input history, so that an impulse change loses
// no audio and sounds like the switch of one filter for another at a block
// boundary.
#include <algorithm>
#include <cstring>

#include "buffers/sample_bytes.h"
#include "convolution/fft_convolver.h"

namespace tolvar {
namespace {

void ZeroContents(HeapBuffer& buffer) {
    if (buffer.Data()) std::memset(buffer.Data(), 0, static_cast<std::size_t>(buffer.Length()));
}

}  // namespace

void FftConvolver::Begin(FftKernels& newKernels, Storage& newStorage) {
    kernels.Swap(newKernels);
    storage.Swap(newStorage);
    ringPositions[0] = ringPositions[1] = 0;
    recentPositions[0] = recentPositions[1] = 0;
    recentDepth[0] = recentDepth[1] = 0;
    packed = false;
    historyCleared = true;
    identicalBlocks = storage.historyBlocks + 1;
}

// The transforms' outputs, and the tails they are given, go to the scratch
// past the work spectrum; the ring is written only where the next block
// overwrites it whole anyway (a fused convolver's one entry).
void FftConvolver::WarmUp(int slots, bool packedPath) {
    const int n = kernels.n;
    const int h = n / 2;
    if (n == 0) return;
    ComplexFloat* work = storage.work.As<ComplexFloat>();
    float* zeros[2] = {reinterpret_cast<float*>(work + n), reinterpret_cast<float*>(work + n) + h};  // then tails
    float* outputs[2] = {zeros[1] + h, zeros[1] + 2 * h};
    std::memset(zeros[0], 0, SampleByteSize(2 * h));
    if (packedPath && kernels.channels == 1) {
        auto* entry = storage.rings[0].As<ComplexFloat>();  // the next block writes it whole when fused
        if (kernels.partitions == 1 && kernels.Used(0, 0)) {
            FftForwardTwoRealTimes(entry, zeros[0], zeros[1], kernels.full.As<ComplexFloat>(), n);
            FftInverseOverlapAdd(entry, n, outputs[0], outputs[1], zeros[0], zeros[1]);
            return;
        }
        FftForwardTwoReal(work, zeros[0], zeros[1], n);
        if (AccumulatePartitions(0, work, true)) FftInverseOverlapAdd(work, n, outputs[0], outputs[1], zeros[0], zeros[1]);
        return;
    }
    for (int slot = 0; slot < slots; ++slot) {
        std::memset(work, 0, SampleByteSize(h));
        FftRealForwardZeroPadded(work, n);
        if (AccumulatePartitions(slot, work, false)) FftRealInverse(work, n);
    }
}

void FftConvolver::ClearHistory() {
    for (int slot = 0; slot < 2; ++slot) {
        ZeroContents(storage.rings[slot]);
        ZeroContents(storage.tails[slot]);
        ZeroContents(storage.recent[slot]);
        ringPositions[slot] = recentPositions[slot] = recentDepth[slot] = 0;
    }
    historyCleared = true;
    identicalBlocks = storage.historyBlocks + 1;
}

void FftConvolver::Reconfigure(bool packedSlots) {
    if (!historyCleared) ClearHistory();
    ringPositions[0] = ringPositions[1] = 0;
    packed = packedSlots;
}

void FftConvolver::Switch(FftKernels& newKernels, Storage& newStorage, int slots, bool packedSlots) {
    const int oldPartitions = kernels.partitions;
    const bool oldPacked = packed;
    const bool oldFused = Fused();
    kernels.Swap(newKernels);
    packed = packedSlots;

    // A longer history than the one held: the held blocks move over, newest
    // last as before; the older part of the new history is silence.
    if (newStorage.historyBlocks > storage.historyBlocks) {
        const int h = kernels.n / 2;
        for (int slot = 0; slot < 2; ++slot) {
            float* into = newStorage.recent[slot].As<float>();
            for (int age = recentDepth[slot] - 1; age >= 0; --age) {
                std::memcpy(into + static_cast<long long>(recentDepth[slot] - 1 - age) * h, RecentBlock(slot, age),
                            SampleByteSize(h));
            }
            recentPositions[slot] = std::max(recentDepth[slot] - 1, 0);
            if (recentDepth[slot] == 0) recentPositions[slot] = newStorage.historyBlocks - 1;
        }
        for (int slot = 0; slot < 2; ++slot) newStorage.recent[slot].SwapStorage(storage.recent[slot]);
        std::swap(newStorage.historyBlocks, storage.historyBlocks);
    }
    // The spectra stay where the new kernels read them the same way: the
    // same partition count, the same packing, and spectra (not products) in
    // the ring.
    if (kernels.partitions != oldPartitions || packed != oldPacked || oldFused) {
        for (int slot = 0; slot < 2; ++slot) newStorage.rings[slot].SwapStorage(storage.rings[slot]);
        RebuildRings(slots);
    }
    if (newStorage.work.Length() > storage.work.Length()) storage.work.SwapStorage(newStorage.work);
    RecomputeTails(slots);
}

// The rings' spectra of the latest P blocks, from the raw history, newest at
// position 0; the rings are the zeroed ones of the new storage. A fused
// convolver needs none: its one entry is written whole by the next block.
void FftConvolver::RebuildRings(int slots) {
    const int n = kernels.n;
    const int h = n / 2;
    const int partitions = kernels.partitions;
    auto positionOf = [&](int age) { return (partitions - age) % partitions; };
    ringPositions[0] = ringPositions[1] = 0;
    if (packed) {
        if (Fused()) return;
        const int depth = std::min(recentDepth[0], partitions);
        for (int age = 0; age < depth; ++age) {
            FftForwardTwoReal(RingEntry(0, positionOf(age)), RecentBlock(0, age), RecentBlock(1, age), n);
        }
        // Latest blocks in a row the same in both slots; the silence before the
        // history counts as the same.
        int same = 0;
        while (same < recentDepth[0] &&
               std::memcmp(RecentBlock(0, same), RecentBlock(1, same), SampleByteSize(h)) == 0) {
            ++same;
        }
        identicalBlocks = same == recentDepth[0] ? storage.historyBlocks + 1 : same;
        return;
    }
    for (int slot = 0; slot < slots; ++slot) {
        const int depth = std::min(recentDepth[slot], partitions);
        for (int age = 0; age < depth; ++age) {
            ComplexFloat* entry = RingEntry(slot, positionOf(age));
            std::memcpy(entry, RecentBlock(slot, age), SampleByteSize(h));
            FftRealForwardZeroPadded(entry, n);
        }
    }
}

// The overlap tails that the latest block leaves with the current kernels:
// the second half of the inverse transform of its products, exactly what the
// last block would have left had these kernels been in place.
void FftConvolver::RecomputeTails(int slots) {
    const int n = kernels.n;
    const int h = n / 2;
    ComplexFloat* work = storage.work.As<ComplexFloat>();
    for (int slot = 0; slot < 2; ++slot) ZeroContents(storage.tails[slot]);
    if (historyCleared) return;
    if (packed) {
        float* tails[2] = {storage.tails[0].As<float>(), storage.tails[1].As<float>()};
        // The first halves would be the block's output: scratch past the work spectrum takes them.
        auto* discarded = reinterpret_cast<float*>(work + n);
        bool any = true;
        if (Fused()) {
            FftForwardTwoRealTimes(work, RecentBlock(0, 0), RecentBlock(1, 0), kernels.full.As<ComplexFloat>(), n);
        } else {
            any = AccumulatePartitions(0, work, true);
        }
        if (any) FftInverseOverlapAdd(work, n, discarded, discarded + h, tails[0], tails[1]);
        if (identicalBlocks > kernels.partitions) std::memcpy(tails[1], tails[0], SampleByteSize(h));
        return;
    }
    for (int slot = 0; slot < slots; ++slot) {
        if (!AccumulatePartitions(slot, work, false)) continue;
        FftRealInverse(work, n);
        std::memcpy(storage.tails[slot].As<float>(), reinterpret_cast<const float*>(work) + h, SampleByteSize(h));
    }
}

}  // namespace tolvar
