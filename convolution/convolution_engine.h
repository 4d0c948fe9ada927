#pragma once
#include "convolution/block_queue.h"
#include "convolution/heap_buffer.h"
#include "convolution/impulse_buffer.h"
#include "convolution/sample_bytes.h"
#include "convolution/sample_queue.h"
#include "fft/fft.h"

namespace tolvar {

// Filters up to two channels of 32-bit float audio with one impulse response.
//
// Two modes, chosen whenever an impulse is installed:
// - Direct form, impulses of at most 128 taps: every output sample is the dot
//   product of the taps with the latest input, computed as the input arrives.
//   Latency 0.
// - FFT mode, longer impulses: uniformly partitioned overlap-add convolution of
//   transform size N. Input is gathered in blocks of H = N/2 samples; each block
//   is transformed once, multiplied with the spectra of the impulse's P
//   partitions of H taps against the spectra of the P most recent blocks,
//   transformed back and overlap-added. Output for an input sample becomes
//   readable when its block is complete, so a caller that delays its output by
//   H samples (the latency SetImpulse returns) always finds enough to read.
//
// Channel slots: the engine serves slots 0 and 1, each with its own history,
// queues and overlap tail. Slot i uses impulse channel i when the impulse has
// two channels and channel 0 when it has one.
//
// How FFT mode spends its transforms: the input is real, so no transform
// carries a wasted imaginary half.
// - Packed slots: with a one-channel impulse and both slots in step (the
//   plug-in's case), the two slots' blocks travel as the real and imaginary
//   parts of one complex transform of N points; the impulse's spectrum is that
//   of a real signal, so its product keeps the two apart exactly. One ring of
//   packed spectra serves both slots. When both channels carry the same audio,
//   the right slot gets exactly the left slot's result.
// - Otherwise (a two-channel impulse, one active slot, or slots whose pending
//   input is not in step after a change of the channel count) each slot runs
//   real-input transforms of N points, each the price of a complex one of N/2,
//   on its own ring of half spectra.
// Both kinds of kernel spectra are prepared by SetImpulse. Packing the block,
// the product with a single partition and the overlap-add are folded into the
// transforms' own outer passes (FftForwardTwoReal, FftInverseOverlapAdd), and
// an input block that lies together in its queue is transformed where it lies.
// The packed ring and kernel take the place of the per-slot ones; the output
// is the same within float rounding.
//
// Threads: no lock of its own. SetImpulse and Reset may run on any thread and
// Add, Avail, Get and Advance on the audio thread, but the owner must make sure
// that no two calls overlap.
//
// Memory: SetImpulse allocates everything FFT mode needs (kernels, flags, the
// rings and tails of both slots, work spectrum, and room in the queues for the
// backlog of the new size), writes all of it once and runs a block of silence
// through it (when it keeps the history: the history itself, then a block of
// silence on scratch), so that the audio thread meets no fresh page and no cold
// block. Keeping the history costs it about one transform per kept block and
// slot pair in each direction.
// The audio path (Add, Avail, Get, Advance) allocates only when a queue has to
// grow beyond that room (a host block far beyond what was reserved), and queue
// storage is reused from then on; a slot coming back into use needs nothing.
// When the heap refuses a queue's growth, fewer samples become readable and the
// caller pads with silence; nothing is written out of bounds, and every Add
// stores as many frames in one slot as in the other, so the slots stay in step.
//
// Output queues are read in small pieces and filled a block at a time: they
// move their backlog to the front only when they run out of room behind it
// (SampleQueue), not on every Advance. Buffers that the transforms and the
// spectrum loops sweep start on a cache line (HeapBuffer::kVectorAlignment).
class ConvolutionEngine {
public:
    // An engine in direct form without taps: it passes audio through unchanged.
    // Builds the FFT's tables if this is the first engine of the process.
    ConvolutionEngine();
    ConvolutionEngine(const ConvolutionEngine&) = delete;
    ConvolutionEngine& operator=(const ConvolutionEngine&) = delete;

    // Installs `impulse` (the engine copies what it needs; the impulse may change
    // or go away afterwards) and returns the latency in samples: N/2 in FFT mode,
    // 0 in direct form.
    //
    // fftSizeRequest: -1 chooses N automatically, at most 32768; a value of -16
    // or below does the same with the largest N twice its magnitude (and never
    // above 32768); a value of 0 or more is N itself and must be a supported
    // power of two, 2 to 32768. An impulse of at most 128 taps runs in direct
    // form whatever the request.
    //
    // Direct form drops all queued audio; its history starts from zeros. FFT mode
    // keeps queued input and output. What it does with the convolution's history
    // (the spectra of the latest P input blocks and the overlap tail):
    // - Same N as the FFT-mode impulse running, and a block has run since the
    //   last clearing: the history is kept and carried over to the new impulse,
    //   so that every block computed afterwards is the one an engine that had
    //   held the new impulse all along would compute, except that input older
    //   than the P_old x H samples the engine held counts as silence. The input
    //   of the latest min(P_old, P) blocks is recovered from the ring (and, for
    //   packed slots with P_old = 1, from the copy of the latest block kept for
    //   this), laid out again for the new partitions and slot packing, and the
    //   overlap tail is computed anew with the new kernels. An impulse change
    //   thus sounds like the switch of one filter for another at a block
    //   boundary, with nothing lost. The slots stay configured as they were;
    //   they run packed if the new impulse has one channel, two slots are
    //   active and their pending input is in step.
    // - Otherwise (another N, direct form before, or nothing run since the last
    //   clearing): the next Add clears the ring and tail and aligns the slots.
    //
    // Returns -1, changing nothing, when the impulse has not 1 or 2 channels, the
    // request is not a supported size, or the heap cannot supply the new kernels
    // and work areas. The previous impulse then stays installed and working, so
    // the caller must keep its latency bookkeeping as it was.
    int SetImpulse(const ImpulseBuffer& impulse, int fftSizeRequest);

    // Drops all queued audio and history and clears rings and tails. The mode,
    // the kernels and ActiveChannels() stay.
    void Reset();

    // Audio path; allocates only when a queue has to grow. Appends `frames`
    // samples of each of inputs[0 .. channels-1] to slots 0 .. channels-1 (the
    // samples are copied, so the inputs may be overwritten afterwards). channels
    // is 0, 1 or 2; inputs may be null only when frames is 0. Anything else is
    // ignored. Direct form filters here; FFT mode only queues.
    void Add(const float* const* inputs, int frames, int channels);

    // Audio path; allocates only when an output queue has to grow. Runs pending
    // FFT blocks (none in direct form), slot 0 first, until each active slot
    // has at least `wanted` samples readable or no full block of input is left,
    // then returns how many samples every active slot can deliver (possibly more
    // than wanted, since blocks come H at a time, or fewer). That is slot 0's
    // count, the slots being aligned, unless the heap refused a slot's queue its
    // growth; so Get's pointers are always good for that many samples. 0 while
    // no slot is active. A negative wanted counts as 0.
    int Avail(int wanted);

    // Audio path; allocates nothing. For each slot below ActiveChannels(), the
    // oldest readable output sample (null when there is none); other entries keep
    // their values. The pointers stay valid until the next call of any other
    // operation.
    float* const* Get();

    // Audio path; allocates nothing. Drops `count` samples (all, if fewer are
    // readable) from the output of every slot below ActiveChannels(). A negative
    // count does nothing.
    void Advance(int count);

    // Read-only views for tests and the owner; slot is 0 or 1.
    int ImpulseChannels() const { return impulseChannels; }
    int FftSize() const { return fftSize; }
    int ImpulseLength() const { return impulseLength; }
    // Channels of the last Add; -1 after a SetImpulse that did not keep the
    // history, until the next Add.
    int ActiveChannels() const { return activeChannels; }
    // P, the partition count; 0 in direct form.
    int PartitionCount() const { return partitionCount; }
    // Whether partition p of impulse channel c is multiplied (false outside the ranges).
    bool PartitionUsed(int c, int p) const;
    // Taps of impulse channel c in direct form.
    int DirectTapCount(int c) const;
    int RingPosition(int slot) const { return ringPositions[slot & 1]; }
    // FFT mode: whether the two slots run packed into one complex transform.
    bool PackedSlots() const { return fftSize > 0 && packedSlots; }
    // Input samples of a slot waiting for a full block (FFT mode).
    int PendingInput(int slot) const { return SamplesInBytes(inputBlockQueues[slot & 1].Pending()); }
    // Output samples of a slot ready to be taken.
    int ReadableOutput(int slot) const { return outputQueues[slot & 1].Readable(); }

private:
    int InstallDirectForm(const ImpulseBuffer& impulse, int length);
    int InstallFftMode(const ImpulseBuffer& impulse, int length, int n);
    void ReserveQueueRoom(int historySamples, int blockSamples);
    void WarmUpBlock(bool packed, int slots);
    void WarmUpDirectForm();
    void AddDirect(const float* const* inputs, int frames, int channels);
    void FilterDirect(int slot, const float* input, int frames);
    void AddFft(const float* const* inputs, int frames, int channels);
    void ReconfigureSlots(int channels);
    void ClearHistory();
    void RunPendingBlocks(int wanted);
    bool RunPackedBlock();
    const float* TakeInputBlock(int slot, float* scratch, bool copy);
    void DropInputBlock(int slot, const float* block, const float* scratch);
    bool RunSlotBlock(int slot);
    bool AccumulatePartitions(int slot, ComplexFloat* work, bool packed);
    int RingStride(int slot) const;
    bool KeepsLatestBlock() const { return packedSlots && partitionCount == 1; }
    bool CanKeepHistory(int n) const;
    void RecoverInputBlocks(float* blocks, int count, ComplexFloat* scratch) const;
    void RestoreHistory(float* blocks, int count);
    int IdenticalBlocksIn(const float* blocks, int count) const;
    int ImpulseChannelOf(int slot) const { return impulseChannels == 2 ? slot : 0; }

    int impulseChannels;             // channels of the installed impulse, 1 or 2
    HeapBuffer kernels[2];           // per impulse channel: taps reversed (direct), or P half
                                     //   spectra of N/2 values scaled by 1/N (FFT)
    HeapBuffer packedKernel;         // FFT, one-channel impulse: P full spectra of N bins, scaled
                                     //   by 1/N, for packed slots
    HeapBuffer partitionFlags[2];    // per impulse channel: P bytes, 1 = used, 0 = silent, skipped
    int fftSize;                     // N, the transform size; 0 in direct form
    int impulseLength;               // L, taps of the longest impulse channel
    int partitionCount;              // P, partitions of H taps; 0 in direct form
    int activeChannels;              // channels of the last Add; -1: the next Add reconfigures
    SampleQueue outputQueues[2];     // per slot: filtered samples waiting to be taken
    SampleQueue historyQueues[2];    // per slot, direct form: the last T input samples
    BlockQueue inputBlockQueues[2];  // per slot, FFT mode: input waiting for a full block
    int ringPositions[2];            // per slot: index of the newest input spectrum, 0..P-1
    HeapBuffer spectrumRings[2];     // per slot: the P latest half spectra of N/2 values; packed
                                     //   slots share ring 0, P full spectra of N bins
    HeapBuffer overlapTails[2];      // per slot: H samples carried into the next block
    HeapBuffer latestBlock;          // packed slots with P = 1: the newest input block of both slots,
                                     //   H samples each; the ring holds its product, not its spectrum
    HeapBuffer workSpectrum;         // N bins: one block's summed products, shared by the slots;
                                     //   then N bins of scratch for SetImpulse's warm-up
    bool packedSlots;                // FFT mode: both slots run as one complex transform
    bool historyCleared;             // FFT mode: rings and tails are zero, no block has run since
    int identicalBlocks;             // packed slots: latest blocks in a row with the same input
                                     //   in both slots (zero history counts), at most P + 1
    float* outputPointers[2];        // filled by Get
};

}  // namespace tolvar
