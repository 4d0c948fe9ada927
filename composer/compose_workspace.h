#pragma once
// What one instance's compositions keep from one to the next: the twiddle
// table of the double-precision FFT, which costs far more to compute than to
// keep. Nothing a composition reads from the IR library is kept.
#include "convolution/heap_buffer.h"

namespace tolvar {

class ComposeWorkspace {
public:
    // The table for real transforms of up to 2m points (fft/fft_double.h),
    // grown when needed; false when the heap refuses the growth (the table
    // held so far stays). For m < 4 no table is needed and *table may be null.
    bool FftTable(int m, const double** table);

    // Frees a table grown past kRetainedComplexSize by an unusually long
    // composition, so an instance does not hold it for good.
    void Trim();

    // Complex size up to which the table stays between compositions: real
    // transforms of 131072 points, 2 MiB.
    static constexpr int kRetainedComplexSize = 65536;

private:
    HeapBuffer table{4096};  // doubles; filled for complex size tableSize
    int tableSize = 0;
};

}  // namespace tolvar
