#pragma once
// What one instance's compositions keep from one to the next: the twiddle
// table of the double-precision FFT and the resampler's coefficients for the
// last rate pair, which cost far more to compute than to keep, and the
// working buffers, which a fresh allocation would have to fault in page by
// page each time. Nothing a composition reads from the IR library is kept:
// the buffers' contents are unspecified between compositions.
#include "buffers/heap_buffer.h"
#include "composer/filter_resampler.h"

namespace tolvar {

class ComposeWorkspace {
public:
    // The table for real transforms of up to 2m points (fft/fft_double.h),
    // grown when needed; false when the heap refuses the growth (the table
    // held so far stays). For m < 4 no table is needed and *table may be null.
    bool FftTable(int m, const double** table);

    // Frees whatever an unusually long composition grew past what is kept
    // between compositions, so an instance does not hold it for good.
    void Trim();

    // Sizes kept between compositions: real transforms of up to 131072
    // points, whose table takes 2 MiB and each buffer of them 1 MiB.
    static constexpr int kRetainedComplexSize = 65536;
    static constexpr int kRetainedBufferBytes = 2 * kRetainedComplexSize * int{sizeof(double)};

    ResamplerCache resampler;  // the rate conversion's table for the last rate pair, and its buffer
    HeapBuffer spectrum{4096};  // doubles: the FFT convolution's running product
    HeapBuffer work{4096};      // doubles: one response's spectrum
    HeapBuffer merged{4096};    // doubles: the composition's merged response

private:
    HeapBuffer table{4096};  // doubles; filled for complex size tableSize
    int tableSize = 0;
};

}  // namespace tolvar
