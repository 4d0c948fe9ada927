#pragma once
#include "buffers/heap_buffer.h"

namespace tolvar {

// Taps whose magnitude stays at or below this are treated as silence: a
// partition holding only such taps is never multiplied.
constexpr double kSilenceThreshold = 1e-14;

// How a partition's spectrum is kept.
enum class SpectrumLayout {
    kFull,  // n complex bins: FftForwardZeroPadded of (tap, 0) pairs, for complex input blocks
    kHalf,  // n/2 values: FftRealForwardZeroPadded of the taps, for real input blocks
};

// Complex values per partition in a layout.
constexpr int SpectrumBins(SpectrumLayout layout, int n) { return layout == SpectrumLayout::kFull ? n : n / 2; }

// Cuts taps[0..tapCount) into `partitions` partitions of H = n/2 taps (the last
// ones shorter or empty) and leaves in `spectra` one spectrum per partition,
// SpectrumBins(layout, n) complex values each, partition j at complex index
// j x SpectrumBins(layout, n), in the FFT's bin order; and in `flags` one byte
// per partition: 1 when any raw tap of it exceeds kSilenceThreshold (its
// spectrum is then the transform of its zero-padded taps times 1/n), 0 when it
// is silent (its spectrum is then left unwritten and must not be read). The
// 1/n factor, exact in float for a power of two, replaces any scaling after the
// inverse transform. Resizes both buffers (allowShrink on). Returns false, with
// the buffers' contents undefined, when either cannot be allocated.
// FftInitTables must have run.
bool BuildPartitionSpectra(const float* taps, int tapCount, int n, int partitions, SpectrumLayout layout,
                           HeapBuffer& spectra, HeapBuffer& flags);

}  // namespace tolvar
