#include "convolution/dsp_loops.h"

namespace tolvar {

void ComplexMultiplyScalar(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    for (int k = 0; k < bins; ++k) {
        const ComplexFloat x = a[k], y = b[k];
        product[k] = {x.re * y.re - x.im * y.im, x.im * y.re + x.re * y.im};
    }
}

void ComplexMultiplyAccumulateScalar(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins) {
    for (int k = 0; k < bins; ++k) {
        const ComplexFloat x = a[k], y = b[k];
        sum[k].re += x.re * y.re - x.im * y.im;
        sum[k].im += x.im * y.re + x.re * y.im;
    }
}

double DotProductScalar(const float* a, const float* b, int count) {
    double sum = 0.0;
    for (int i = 0; i < count; ++i) sum += static_cast<double>(a[i]) * static_cast<double>(b[i]);
    return sum;
}

void LoadRealBlock(ComplexFloat* block, const float* samples, int count, int bins) {
    int n = 0;
    for (; n < count; ++n) block[n] = {samples[n], 0.0f};
    for (; n < bins; ++n) block[n] = {0.0f, 0.0f};
}

void OverlapAdd(float* out, float* tail, const ComplexFloat* block, int h) {
    for (int n = 0; n < h; ++n) {
        out[n] = block[n].re + tail[n];
        tail[n] = block[h + n].re;
    }
}

}  // namespace tolvar
