#include "convolution/dsp_loops.h"

#include "fft/cpu_features.h"

namespace tolvar {

bool HasAvx2Fma() {
    static const bool available = CpuHasAvx2() && CpuHasFma();
    return available;
}

// SSE2 is the baseline of both targets; AVX2 with FMA is taken when the
// processor has it.
void ComplexMultiply(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    if (HasAvx2Fma()) {
        ComplexMultiplyAvx2(product, a, b, bins);
    } else {
        ComplexMultiplySse2(product, a, b, bins);
    }
}
void ComplexMultiplyAccumulate(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    if (HasAvx2Fma()) {
        ComplexMultiplyAccumulateAvx2(sum, a, b, bins);
    } else {
        ComplexMultiplyAccumulateSse2(sum, a, b, bins);
    }
}
void DirectFormFilter(float* out, const float* reversedTaps, const float* history, int taps, int frames) {
    if (HasAvx2Fma()) {
        DirectFormFilterAvx2(out, reversedTaps, history, taps, frames);
    } else {
        DirectFormFilterSse2(out, reversedTaps, history, taps, frames);
    }
}
void LoadRealBlock(ComplexFloat* block, const float* samples, int count, int bins) {
    LoadRealBlockSse2(block, samples, count, bins);
}
void OverlapAdd(float* out, float* tail, const ComplexFloat* block, int h) { OverlapAddSse2(out, tail, block, h); }

}  // namespace tolvar
