#pragma once
#include <fftw3.h>

#include <memory>
#include <vector>

namespace tolvar::bench {

// The yardstick for the convolution engine: a plain uniformly partitioned
// overlap-add convolver on FFTW. Complex single-precision transforms of size n
// (FFTW_MEASURE plans), hop and partition length n/2, latency n/2; one impulse
// channel applied to two audio channels, each with its own ring of input spectra
// and overlap tail. Driven block by block like the audio callback. Allocates
// nothing after construction.
class FftwReferenceConvolver {
public:
    FftwReferenceConvolver(const std::vector<float>& taps, int n);
    ~FftwReferenceConvolver();
    FftwReferenceConvolver(const FftwReferenceConvolver&) = delete;
    FftwReferenceConvolver& operator=(const FftwReferenceConvolver&) = delete;

    // Filters `frames` frames of both channels; out[c] lags in[c] by Latency().
    void Process(const float* const* in, float* const* out, int frames);
    int Latency() const { return hop; }

private:
    struct FftwFree {
        void operator()(void* p) const { fftwf_free(p); }
    };
    using Spectrum = std::unique_ptr<fftwf_complex[], FftwFree>;
    struct Channel {
        Spectrum ring;             // partitions x n bins: the latest input spectra
        int ringPosition = 0;      // newest entry
        std::vector<float> input;  // the block being gathered, hop samples
        std::vector<float> output; // the last block's output, read while the next gathers
        std::vector<float> tail;   // overlap carried into the next block
    };

    static Spectrum NewSpectrum(int bins);
    void RunBlock(Channel& channel);

    int n;
    int hop;
    int partitions;
    int gathered = 0;   // samples of the present block gathered so far
    Spectrum kernel;    // partitions x n bins, scaled by 1/n
    Spectrum time;      // n bins of time-domain scratch
    Spectrum sum;       // n bins: products summed over the partitions
    Channel channels[2];
    fftwf_plan forward;
    fftwf_plan backward;
};

}  // namespace tolvar::bench
