#pragma once
// The full linear convolution of several responses by one double-precision
// FFT of each, for responses too long for direct sums.
#include "buffers/heap_buffer.h"
#include "composer/compose_workspace.h"

namespace tolvar {

// Real transform size (a power of two) that holds a convolution of
// `resultLength` samples, or 0 when that exceeds what a buffer can hold.
int FftConvolutionSize(long long resultLength);

// scale times the full linear convolution of responses[0..count-1] (count >=
// 1, lengths[i] >= 1 doubles each): sum of lengths - (count - 1) doubles,
// written into `result` (resized; it must not hold a response). Each response
// is transformed once at FftConvolutionSize of that length, the spectra
// multiplied, and the product transformed back once: equal to the direct sums
// within about 1e-15 of the result's peak. The transforms work in the
// workspace's buffers. Returns false when a buffer cannot be sized; `result`
// then keeps its contents. The responses are only read.
bool ConvolveByFft(const double* const* responses, const int* lengths, int count, double scale,
                   HeapBuffer& result, ComposeWorkspace& workspace);

}  // namespace tolvar
