#pragma once
// Shared by the SIMD direct-form loops (dsp_loops_*.cpp only): the taps and a
// chunk of history converted to double once, so that the inner loops only load,
// multiply and add.
#include <emmintrin.h>

#include <algorithm>

#include "convolution/dsp_loops.h"

namespace tolvar::direct_form {

constexpr int kChunk = 256;  // outputs per chunk

struct Chunk {
    double taps[kMaxFastDirectTaps];
    double history[kMaxFastDirectTaps + kChunk];  // history[j + i] feeds output j with tap i
};

// The block loops load overlapping windows (each iteration's window is the last
// one moved by one sample). Left alone, GCC carries loads from one iteration to
// the next, runs out of vector registers and spills the sums to the stack on
// every tap; hiding where the pointer comes from keeps every load fresh.
inline void HideFromLoadReuse(const double*& x) {
#if defined(__GNUC__)
    asm("" : "+r"(x));
#endif
}

// Four at a time: at small blocks the conversions cost a good part of the
// filter itself, and the compiler leaves a plain loop scalar here.
inline void ToDouble(double* to, const float* from, int count) {
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128 four = _mm_loadu_ps(from + i);
        _mm_storeu_pd(to + i, _mm_cvtps_pd(four));
        _mm_storeu_pd(to + i + 2, _mm_cvtps_pd(_mm_movehl_ps(four, four)));
    }
    for (; i < count; ++i) to[i] = static_cast<double>(from[i]);
}

// Outputs from..count-1 of a chunk, one at a time, in the same order of sums
// as the vector loops.
inline void FilterRest(float* out, const Chunk& chunk, int taps, int from, int count) {
    for (int j = from; j < count; ++j) {
        double sum = 0.0;
        for (int i = 0; i < taps; ++i) sum += chunk.taps[i] * chunk.history[j + i];
        out[j] = static_cast<float>(sum);
    }
}

// Runs blockFilter(out, chunk, j, taps) over every whole block of `block`
// outputs of every chunk and FilterRest over what is left of each chunk.
template <int block, typename BlockFilter>
void FilterInChunks(float* out, const float* reversedTaps, const float* history, int taps, int frames,
                    BlockFilter blockFilter) {
    Chunk chunk;
    ToDouble(chunk.taps, reversedTaps, taps);
    for (int start = 0; start < frames; start += kChunk) {
        const int count = std::min(kChunk, frames - start);
        ToDouble(chunk.history, history + start + 1, count + taps - 1);
        int j = 0;
        for (; j + block <= count; j += block) blockFilter(out + start + j, chunk, j, taps);
        FilterRest(out + start, chunk, taps, j, count);
    }
}

}  // namespace tolvar::direct_form
