#pragma once
// The resampler's weights for an exact rate ratio, one row per output residue,
// so that each output is one dot product.
#include <cstdint>

#include "buffers/heap_buffer.h"
#include "composer/rate_ratio.h"
#include "composer/resampler_kernel.h"

namespace tolvar {

class PolyphaseTable {
public:
    // Whether a table serves this ratio for a response of `count` taps: whole
    // rates whose ratio has both terms up to 2048, a response at least as long
    // as the table's period, and not a whole upsampling factor (whose taps all
    // land on output samples and need no weights).
    static bool Suits(const RateRatio& r, int count);

    // Makes the table for r (which Suits); nothing to do when it already
    // holds it. False when a buffer cannot be sized; the table is then empty.
    bool Prepare(const RateRatio& r);

    // Outputs first .. first + outputs - 1 (any integers) of the response
    // h[0..count-1] into out[0 .. outputs-1]. Output n = rho + t * up takes
    // the taps firstTap[rho] + t * down + i, i < window, with the weights of
    // row rho; the rows are taken in turn, four outputs of a row at a time.
    void Fill(const double* h, int count, std::int64_t first, int outputs, double* out) const;

private:
    double Clipped(const double* row, const double* h, int count, std::int64_t tap0) const;
    bool FillPhases(const ResamplerKernel& kernel);
    void FillRow(std::int64_t rho, double* row, const double* phases) const;

    std::int64_t up = 0, down = 0;                // the ratio held; 0 while empty
    int window = 0;                               // taps per output
    HeapBuffer phaseWeights{64};  // down rows of kResamplerKernelTaps: the kernel at frac = phase / down
    HeapBuffer rows{64};          // up rows of `window` doubles
    HeapBuffer firstTaps{64};     // up int64 values
};

}  // namespace tolvar
