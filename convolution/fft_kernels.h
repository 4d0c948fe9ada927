#pragma once
// The partition spectra of one impulse at one transform size: what FFT mode
// multiplies the spectra of the input blocks with. Built off the audio thread.
#include "buffers/heap_buffer.h"
#include "buffers/impulse_buffer.h"

namespace tolvar {

struct FftKernels {
    FftKernels();
    FftKernels(const FftKernels&) = delete;
    FftKernels& operator=(const FftKernels&) = delete;

    // Cuts every channel of `impulse` into P = ceil(L / H) partitions of H = n/2
    // taps and transforms them: half spectra for real-input blocks, and for a
    // one-channel impulse also full spectra for packed stereo blocks. n must be
    // a supported transform size and the impulse 1 or 2 channels of at least one
    // tap. False, with the contents undefined, when the heap refuses.
    bool Build(const ImpulseBuffer& impulse, int n);
    void Swap(FftKernels& other);
    void Release();

    // Whether partition p of impulse channel c is multiplied (false outside the ranges).
    bool Used(int c, int p) const;

    int n = 0;           // N, the transform size
    int partitions = 0;  // P, partitions of H = N/2 taps
    int channels = 1;    // impulse channels, 1 or 2
    int length = 0;      // L, taps of the longest channel
    HeapBuffer half[2];  // per impulse channel: P half spectra of N/2 values, scaled by 1/N
    HeapBuffer full;     // one-channel impulse: P full spectra of N bins, scaled by 1/N (packed slots)
    HeapBuffer used[2];  // per impulse channel: P bytes, 1 = multiplied, 0 = silent, skipped
};

}  // namespace tolvar
