#pragma once
// An impulse made ready for the convolution engine off the audio thread.
#include "buffers/heap_buffer.h"
#include "buffers/impulse_buffer.h"
#include "convolution/fft_convolver.h"
#include "convolution/fft_kernels.h"

namespace tolvar {

// What PrepareImpulse builds and ConvolutionEngine::Install takes. After the
// install it holds the storage the engine gave up, to be released (by its
// destructor or Release) away from the audio thread.
struct PreparedImpulse {
    PreparedImpulse();
    PreparedImpulse(const PreparedImpulse&) = delete;
    PreparedImpulse& operator=(const PreparedImpulse&) = delete;

    void Release();

    int fftSize = -1;         // N; 0 for direct form; -1 when nothing is prepared
    int channels = 1;         // impulse channels, 1 or 2
    int length = 0;           // taps of the longest channel
    HeapBuffer directTaps[2]; // direct form: per impulse channel, the taps reversed
    FftKernels kernels;       // FFT mode: the partition spectra
    FftConvolver::Storage storage;  // FFT mode: rings, tails, raw history and work spectrum, zeroed
};

// Builds everything `impulse` needs at the transform size the request gives
// (see ConvolutionEngine::SetImpulse), with room for at least historySamples
// samples of raw input history in FFT mode. Reads no engine; allocates. False,
// leaving `prepared` with nothing prepared, when the impulse has not 1 or 2
// channels, the request is not a supported size, or the heap refuses.
bool PrepareImpulse(const ImpulseBuffer& impulse, int fftSizeRequest, int historySamples,
                    PreparedImpulse& prepared);

}  // namespace tolvar
