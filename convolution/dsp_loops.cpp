#include "convolution/dsp_loops.h"

namespace tolvar {

bool HasAvx2Fma() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();  // idempotent; needed if called before the runtime's own start-up
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

// SSE2 is the baseline of both targets; AVX2 with FMA is taken when the
// processor has it. Builds for other processors use the scalar loops.
#if defined(__SSE2__)
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
#else
void ComplexMultiply(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    ComplexMultiplyScalar(product, a, b, bins);
}
void ComplexMultiplyAccumulate(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    ComplexMultiplyAccumulateScalar(sum, a, b, bins);
}
void DirectFormFilter(float* out, const float* reversedTaps, const float* history, int taps, int frames) {
    DirectFormFilterScalar(out, reversedTaps, history, taps, frames);
}
void LoadRealBlock(ComplexFloat* block, const float* samples, int count, int bins) {
    LoadRealBlockScalar(block, samples, count, bins);
}
void OverlapAdd(float* out, float* tail, const ComplexFloat* block, int h) { OverlapAddScalar(out, tail, block, h); }
#endif

}  // namespace tolvar
