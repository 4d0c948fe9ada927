#pragma once
// Merging one impulse response into the running composite.
#include "buffers/heap_buffer.h"

namespace tolvar {

// The dot product sum(a[i] * b[i]) for i in [0, count), in double. Kept as
// eight running sums so the compiler can use packed SIMD; the order of the
// additions therefore differs from a plain loop by a few units in the last place.
double DotProduct(const double* a, const double* b, int count);

// Merges the response x[0..count-1] (count >= 1), times `scale`, into
// `accumulator`, a buffer of doubles:
//   - empty accumulator: it becomes scale * x;
//   - A doubles already: it becomes the full linear convolution of its old
//     contents with x, times scale, A + count - 1 doubles, computed in place
//     from the top down with each sum formed in double and scaled once.
// `x` is working storage: its contents are unspecified afterwards. It must not
// alias the accumulator. Returns false, with the accumulator unchanged, when it cannot
// be sized.
bool MergeImpulse(HeapBuffer& accumulator, double* x, int count, double scale);

}  // namespace tolvar
