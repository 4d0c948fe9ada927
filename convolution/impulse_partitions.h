#pragma once
#include "convolution/heap_buffer.h"

namespace tolvar {

// Taps whose magnitude stays at or below this are treated as silence: a
// partition holding only such taps is never multiplied.
constexpr double kSilenceThreshold = 1e-14;

// Cuts taps[0..tapCount) into `partitions` partitions of H = n/2 taps (the last
// ones shorter or empty) and leaves in `spectra` one spectrum of n complex
// values per partition, partition j at complex index j x n, and in `flags` one
// byte per partition: 1 when any raw tap of it exceeds kSilenceThreshold (its
// spectrum is then the forward FFT of its zero-padded taps times 1/n), 0 when
// it is silent (its spectrum is then left untransformed and must not be read).
// The 1/n factor, exact in float for a power of two, replaces any scaling after
// the inverse transform. Resizes both buffers (allowShrink on). Returns false,
// with the buffers' contents undefined, when either cannot be allocated.
// FftInitTables must have run.
bool BuildPartitionSpectra(const float* taps, int tapCount, int n, int partitions, HeapBuffer& spectra,
                           HeapBuffer& flags);

}  // namespace tolvar
