#include "composer/compose_workspace.h"

#include <initializer_list>

#include "fft/fft_double.h"

namespace tolvar {

bool ComposeWorkspace::FftTable(int m, const double** out) {
    *out = nullptr;
    if (!IsDoubleFftSize(m)) return false;
    if (m > tableSize && DoubleFftTableDoubles(m) > 0) {
        // Resize keeps the filled part, which serves the larger size unchanged.
        void* grown = table.Resize(DoubleFftTableDoubles(m) * int{sizeof(double)}, false);
        if (!grown) return false;
        DoubleFftFillTable(static_cast<double*>(grown), tableSize, m);
        tableSize = m;
    }
    *out = table.As<double>();
    return true;
}

void ComposeWorkspace::Trim() {
    if (tableSize > kRetainedComplexSize) {
        table.Release();
        tableSize = 0;
    }
    for (HeapBuffer* buffer : {&spectrum, &work, &merged, &resampler.work}) {
        if (buffer->Capacity() > kRetainedBufferBytes + buffer->Granularity()) buffer->Release();
    }
}

}  // namespace tolvar
