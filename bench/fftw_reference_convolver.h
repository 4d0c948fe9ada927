#pragma once
#include <fftw3.h>

#include <memory>
#include <vector>

namespace tolvar::bench {

// The yardsticks for the convolution engine: uniformly partitioned overlap-add
// convolvers on FFTW 3 (single precision, FFTW_MEASURE plans), written as a
// careful engineer would write one. Transform size n, hop and partition length
// n/2, latency n/2; one impulse channel applied to two audio channels. Each
// block's input is gathered into a time buffer whose zero half is never
// rewritten, transformed out of place into a ring of input spectra, multiplied
// with the impulse's partition spectra, transformed back out of place and
// overlap-added. The products, the packing and the overlap-add are vectorised
// loops (AVX2, with FMA for the products, where the processor has them; the
// compiler's otherwise), with the same arithmetic as the engine's. Driven block
// by block like the audio callback; nothing is allocated after construction.
class FftwConvolver {
public:
    virtual ~FftwConvolver();
    FftwConvolver(const FftwConvolver&) = delete;
    FftwConvolver& operator=(const FftwConvolver&) = delete;

    // Filters `frames` frames of both channels; out[c] lags in[c] by Latency().
    void Process(const float* const* in, float* const* out, int frames);
    int Latency() const { return hop; }

protected:
    FftwConvolver(int n, int taps);
    virtual void RunBlock() = 0;

    struct FftwFree {
        void operator()(void* p) const { fftwf_free(p); }
    };
    using Floats = std::unique_ptr<float[], FftwFree>;
    static Floats NewFloats(std::size_t count);  // zeroed, aligned for FFTW

    int n;
    int hop;
    int partitions;
    int ringPosition = 0;      // newest entry of the ring(s)
    Floats input[2];           // per channel: the block being gathered, hop samples, then hop zeros
    Floats output[2];          // the last block's output, read while the next gathers
    Floats tail[2];            // overlap carried into the next block
    int gathered = 0;          // samples of the present block gathered so far
};

// Each channel through its own real-input transforms (r2c and c2r): n/2 + 1
// bins per spectrum.
class FftwRealConvolver final : public FftwConvolver {
public:
    FftwRealConvolver(const std::vector<float>& taps, int n);
    ~FftwRealConvolver() override;

private:
    void RunBlock() override;

    int bins;                  // n/2 + 1
    int stride;                // complex values per spectrum, bins rounded up to whole cache lines
    Floats kernel;             // partitions spectra, scaled by 1/n
    Floats ring[2];            // per channel: partitions input spectra
    Floats sum;                // one spectrum: products summed over the partitions
    Floats result;             // n samples out of the inverse transform
    fftwf_plan forward;
    fftwf_plan backward;
};

// Both channels packed into one complex transform, left in the real parts and
// right in the imaginary parts; the impulse's spectrum is that of a real
// signal, so the products keep them apart. n bins per spectrum.
class FftwPackedStereoConvolver final : public FftwConvolver {
public:
    FftwPackedStereoConvolver(const std::vector<float>& taps, int n);
    ~FftwPackedStereoConvolver() override;

private:
    void RunBlock() override;

    Floats kernel;             // partitions spectra of n bins, scaled by 1/n
    Floats ring;               // partitions packed input spectra
    Floats time;               // n complex values; the second half stays zero
    Floats sum;                // n bins: products summed over the partitions
    Floats result;             // n complex values out of the inverse transform
    fftwf_plan forward;
    fftwf_plan backward;
};

}  // namespace tolvar::bench
