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

// Position 0 holds two real bins; it is computed aside first, since the
// product may be one of the factors.
void HalfSpectrumMultiply(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    if (bins <= 0) return;
    const ComplexFloat first = {a[0].re * b[0].re, a[0].im * b[0].im};
    ComplexMultiply(product, a, b, bins);
    product[0] = first;
}
void HalfSpectrumMultiplyAccumulate(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    if (bins <= 0) return;
    const ComplexFloat first = {sum[0].re + a[0].re * b[0].re, sum[0].im + a[0].im * b[0].im};
    ComplexMultiplyAccumulate(sum, a, b, bins);
    sum[0] = first;
}

void OverlapAddReal(float* out, float* tail, const float* block, int h) { OverlapAddRealSse2(out, tail, block, h); }

}  // namespace tolvar
