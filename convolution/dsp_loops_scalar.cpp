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

void DirectFormFilterScalar(float* out, const float* reversedTaps, const float* history, int taps, int frames) {
    for (int j = 0; j < frames; ++j) {
        const float* x = history + j + 1;
        double sum = 0.0;
        for (int i = 0; i < taps; ++i) sum += static_cast<double>(reversedTaps[i]) * static_cast<double>(x[i]);
        out[j] = static_cast<float>(sum);
    }
}

void OverlapAddRealScalar(float* out, float* tail, const float* block, int h) {
    for (int n = 0; n < h; ++n) {
        out[n] = block[n] + tail[n];
        tail[n] = block[h + n];
    }
}

}  // namespace tolvar
