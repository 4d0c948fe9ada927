#pragma once
// FFT mode of the convolution engine: uniformly partitioned overlap-add
// convolution of transform size N in blocks of H = N/2 samples.
//
// Each input block is transformed once, multiplied with the spectra of the
// impulse's P partitions against the spectra of the P latest blocks, transformed
// back and overlap-added; the first half of the result is the block's output,
// the second half the tail carried into the next block.
//
// Two ways to run, chosen by the engine:
// - packed slots (a one-channel impulse, both slots in step): the two slots'
//   blocks are the real and imaginary parts of one complex block, one ring of
//   full spectra; with one partition the product is formed as the forward
//   transform stores it (FftForwardTwoRealTimes).
// - per slot: real-input transforms into a ring of half spectra per slot.
//
// Besides the spectra, the convolver keeps the raw input of the latest R >= P
// blocks of each slot (the history). A new impulse of the same N is switched
// in from that history: the output from the next block on is what a convolver
// that held the new impulse all along would give, for input within the
// history. So a longer response (more partitions) needs no new transform size
// and inserts no silence.
//
// Threads: none of its own. Storage and kernels are built off the audio thread
// (FftKernels::Build, Storage::Allocate) and handed in; Begin, Switch and the
// block operations allocate nothing.
#include "buffers/heap_buffer.h"
#include "convolution/fft_kernels.h"
#include "fft/fft.h"

namespace tolvar {

class FftConvolver {
public:
    // The convolver's working memory for one transform size, partition count
    // and history, zeroed.
    struct Storage {
        Storage();
        Storage(const Storage&) = delete;
        Storage& operator=(const Storage&) = delete;

        // historyBlocks: blocks of raw input to keep at least (R = max(P, it)).
        // False when the heap refuses; what was allocated stays.
        bool Allocate(int n, int partitions, bool oneChannel, int historyBlocks);
        void Swap(Storage& other);
        void Release();

        HeapBuffer rings[2];   // per slot: P half spectra of N/2 values; a one-channel impulse's
                               //   ring 0 holds P full spectra of N bins for packed slots
        HeapBuffer tails[2];   // per slot: H samples carried into the next block
        HeapBuffer recent[2];  // per slot: the raw input of the latest R blocks, H samples each
        HeapBuffer work;       // 2N bins: one block's summed products, then scratch
        int historyBlocks = 0; // R
    };

    FftConvolver() = default;
    FftConvolver(const FftConvolver&) = delete;
    FftConvolver& operator=(const FftConvolver&) = delete;

    // Takes `kernels` and `storage` (their previous contents go back in them)
    // and starts from silence.
    void Begin(FftKernels& kernels, Storage& storage);
    // Takes new kernels of the same N and keeps the history: every block from
    // here on is computed as if the new impulse had been installed before the
    // history began (input older than the history counts as silence). The
    // storage is used where the partition count or the slot packing changes;
    // whatever is replaced goes back into `kernels` and `storage`. Costs one
    // inverse transform and P products per slot pair, plus a forward transform
    // per partition when P or the packing changes. `slots`: the active slots;
    // `packed`: whether they run packed from here on.
    void Switch(FftKernels& kernels, Storage& storage, int slots, bool packed);

    // Runs a block of silence down the path the next block takes (its
    // transforms, the products of every partition, the overlap-add) on
    // scratch, changing nothing that is heard: the kernels, spectra and code
    // the next block streams through are then in the caches. packedPath: warm
    // the packed slots' path (when they will run packed), else each slot's.
    void WarmUp(int slots, bool packedPath);

    // Drops the history: rings, tails and raw input become silence.
    void ClearHistory();
    // Drops the history and decides how the slots run from here on.
    void Reconfigure(bool packed);

    // One block: H samples of each slot's input in, H samples of output out.
    // The inputs may lie anywhere but in the convolver's own storage.
    void RunPackedBlock(const float* left, const float* right, float* leftOut, float* rightOut);
    void RunSlotBlock(int slot, const float* input, float* output);

    // Where the slot's next input block will be kept: an input block read
    // straight into it is not copied again.
    float* NextRecentBlock(int slot) const;

    const FftKernels& Kernels() const { return kernels; }
    int Size() const { return kernels.n; }
    int Partitions() const { return kernels.partitions; }
    bool Packed() const { return packed; }
    bool HistoryCleared() const { return historyCleared; }
    int RingPosition(int slot) const { return ringPositions[slot & 1]; }
    int HistoryBlocks() const { return storage.historyBlocks; }

private:
    const float* RecentBlock(int slot, int age) const;
    void KeepRecent(int slot, const float* input);
    bool AccumulatePartitions(int slot, ComplexFloat* work, bool packedRing) const;
    bool Fused() const { return packed && kernels.partitions == 1 && kernels.Used(0, 0); }
    int RingStride(int slot) const { return packed && slot == 0 ? kernels.n : kernels.n / 2; }
    ComplexFloat* RingEntry(int slot, int position) const;
    int ImpulseChannelOf(int slot) const { return kernels.channels == 2 ? slot : 0; }
    void RebuildRings(int slots);
    void RecomputeTails(int slots);

    FftKernels kernels;           // the impulse's partition spectra at N
    Storage storage;              // rings, tails, raw history, work spectrum
    int ringPositions[2] = {0, 0};   // per slot: index of the newest spectrum, 0..P-1
    int recentPositions[2] = {0, 0}; // per slot: index of the newest raw block, 0..R-1
    int recentDepth[2] = {0, 0};     // per slot: raw blocks held since the history was cleared, at most R
    bool packed = false;          // both slots run as one complex transform
    bool historyCleared = true;   // rings, tails and raw input are silence, no block has run since
    int identicalBlocks = 1;      // latest blocks in a row the same in both slots (silence counts),
                                  //   at most R + 1
};

}  // namespace tolvar
