#pragma once
#include "buffers/heap_buffer.h"
#include "buffers/impulse_buffer.h"
#include "buffers/sample_bytes.h"
#include "convolution/block_queue.h"
#include "convolution/fft_convolver.h"
#include "convolution/prepared_impulse.h"
#include "convolution/sample_queue.h"

namespace tolvar {

// Filters up to two channels of 32-bit float audio with one impulse response.
//
// Two modes, chosen whenever an impulse is installed:
// - Direct form, impulses of at most 128 taps: every output sample is the dot
//   product of the taps with the latest input, computed as the input arrives.
//   Latency 0.
// - FFT mode, longer impulses: uniformly partitioned overlap-add convolution of
//   transform size N in blocks of H = N/2 (FftConvolver). Output for an input
//   sample becomes readable when its block is complete, so a caller that delays
//   its output by H samples (the latency Install returns) always finds enough
//   to read.
//
// Channel slots: the engine serves slots 0 and 1, each with its own queues.
// Slot i uses impulse channel i when the impulse has two channels and channel 0
// when it has one. With a one-channel impulse and both slots in step (the
// plug-in's case) FFT mode runs the slots packed into one complex transform.
//
// Threads: no lock of its own. PrepareImpulse runs on any thread; Install,
// Reset and the audio path (Add, Avail, Get, Advance) belong to the owner,
// who makes sure that no two of them overlap.
//
// Memory: PrepareImpulse allocates and writes everything the new impulse
// needs. Install allocates only queue room for a longer backlog (the first
// install at a transform size). The audio path allocates only when a queue has
// to grow beyond that room; when the heap refuses, fewer samples become
// readable and the caller pads with silence; nothing is written out of bounds,
// and the slots stay in step.
class ConvolutionEngine {
public:
    // An engine in direct form without taps: it passes audio through unchanged.
    // Builds the FFT's tables if this is the first engine of the process.
    ConvolutionEngine();
    ConvolutionEngine(const ConvolutionEngine&) = delete;
    ConvolutionEngine& operator=(const ConvolutionEngine&) = delete;

    // PrepareImpulse (no history beyond the impulse's own length), Install and
    // WarmUp in one step, for owners that install away from the audio thread.
    // Returns the latency, or -1, changing nothing, when the preparation fails.
    //
    // fftSizeRequest: -1 chooses N automatically, at most 32768; a value of -16
    // or below does the same with the largest N twice its magnitude (and never
    // above 32768); a value of 0 or more is N itself and must be a supported
    // power of two, 2 to 32768. An impulse of at most 128 taps runs in direct
    // form whatever the request.
    int SetImpulse(const ImpulseBuffer& impulse, int fftSizeRequest);

    // Installs what PrepareImpulse made ready and returns the latency in
    // samples: N/2 in FFT mode, 0 in direct form (-1, changing nothing, when
    // nothing was prepared). The storage the engine gives up goes into
    // `prepared`. Allocates only queue room (ReserveQueueRoom).
    //
    // Direct form drops all queued audio and starts its history from zeros.
    // FFT mode keeps queued input and output. At the N already running, with a
    // block run since the last clearing, it also keeps the convolution's
    // history: every block from here on is the one an engine that had held the
    // new impulse all along would compute (input older than the raw history
    // the engine holds counts as silence), so a change sounds like the switch
    // of one filter for another at a block boundary and a longer impulse simply
    // gets more partitions. Costs one inverse transform and P spectrum products
    // per slot pair, plus a forward transform per partition when P or the slot
    // packing changes (fft_convolver_history.cpp). Otherwise the next Add
    // starts the history from silence.
    //
    // carriedInput: when FFT mode takes over from direct form, the last
    // carriedInput samples of each slot's input (at most the direct form's
    // length) are queued again as FFT mode's first input: the audio that the
    // direct form's impulse still delayed is filtered anew rather than lost.
    // skipOutput: in FFT mode, the first skipOutput output samples that the
    // new impulse computes are dropped: where it carries that much more delay
    // than the impulse it replaces, they repeat audio already delivered.
    int Install(PreparedImpulse& prepared, int carriedInput = 0, int skipOutput = 0);

    // Runs a block of silence down the path the next block takes, changing
    // nothing that is heard, so that the first block after an install meets
    // warm caches. Costs about one block; FFT mode only.
    void WarmUp();

    // Drops all queued audio and history. The mode, the kernels and
    // ActiveChannels() stay.
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
    // than wanted, since blocks come H at a time, or fewer). 0 while no slot is
    // active. A negative wanted counts as 0.
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
    // Channels of the last Add; -1 after an install that did not keep the
    // history, until the next Add.
    int ActiveChannels() const { return activeChannels; }
    // P, the partition count; 0 in direct form.
    int PartitionCount() const { return fftSize > 0 ? fft.Partitions() : 0; }
    // Whether partition p of impulse channel c is multiplied (false outside the ranges).
    bool PartitionUsed(int c, int p) const { return fftSize > 0 && fft.Kernels().Used(c, p); }
    // Taps of impulse channel c in direct form.
    int DirectTapCount(int c) const;
    int RingPosition(int slot) const { return fft.RingPosition(slot); }
    // FFT mode: whether the two slots run packed into one complex transform.
    bool PackedSlots() const { return fftSize > 0 && fft.Packed(); }
    // Input samples of a slot waiting for a full block (FFT mode).
    int PendingInput(int slot) const { return SamplesInBytes(inputBlockQueues[slot & 1].Pending()); }
    // Output samples of a slot ready to be taken.
    int ReadableOutput(int slot) const { return outputQueues[slot & 1].Readable(); }

private:
    int InstallDirectForm(PreparedImpulse& prepared);
    int InstallFftMode(PreparedImpulse& prepared, int carriedInput, int skipOutput);
    void SkipOutput(int slot, float* block, int h);
    void CarryDirectInput(int samples);
    void ReserveQueueRoom(int historySamples, int blockSamples);
    void WarmUpDirectForm();
    void AddDirect(const float* const* inputs, int frames, int channels);
    void FilterDirect(int slot, const float* input, int frames);
    void AddFft(const float* const* inputs, int frames, int channels);
    void ReconfigureSlots(int channels);
    bool SlotsInStep() const;
    void RunPendingBlocks(int wanted);
    bool RunPackedBlock();
    bool RunSlotBlock(int slot);
    const float* TakeInputBlock(int slot, bool& inPlace);
    void DropInputBlock(int slot, bool inPlace);
    int ImpulseChannelOf(int slot) const { return impulseChannels == 2 ? slot : 0; }

    int impulseChannels;             // channels of the installed impulse, 1 or 2
    int impulseLength;               // L, taps of the longest impulse channel
    int fftSize;                     // N, the transform size; 0 in direct form
    int activeChannels;              // channels of the last Add; -1: the next Add reconfigures
    HeapBuffer directTaps[2];        // direct form, per impulse channel: the taps reversed
    FftConvolver fft;                // FFT mode's kernels, spectra, tails and history
    SampleQueue outputQueues[2];     // per slot: filtered samples waiting to be taken
    SampleQueue historyQueues[2];    // per slot, direct form: the last T input samples
    BlockQueue inputBlockQueues[2];  // per slot, FFT mode: input waiting for a full block
    int outputToSkip[2];             // per slot, FFT mode: samples of the next output still to drop
    float* outputPointers[2];        // filled by Get
};

}  // namespace tolvar
