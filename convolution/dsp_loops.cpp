#include "convolution/dsp_loops.h"

namespace tolvar {

// SSE2 is the baseline of both targets; the scalar loops serve any other build.
#if defined(__SSE2__)
void ComplexMultiply(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    ComplexMultiplySse2(product, a, b, bins);
}
void ComplexMultiplyAccumulate(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    ComplexMultiplyAccumulateSse2(sum, a, b, bins);
}
double DotProduct(const float* a, const float* b, int count) { return DotProductSse2(a, b, count); }
#else
void ComplexMultiply(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    ComplexMultiplyScalar(product, a, b, bins);
}
void ComplexMultiplyAccumulate(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    ComplexMultiplyAccumulateScalar(sum, a, b, bins);
}
double DotProduct(const float* a, const float* b, int count) { return DotProductScalar(a, b, count); }
#endif

}  // namespace tolvar
