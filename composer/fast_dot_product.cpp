#include "composer/fast_dot_product.h"

#include "composer/impulse_merge.h"
#include "fft/cpu_features.h"

namespace tolvar {

TOLVAR_FFT_ALIGN_STACK double FastDotProduct(const double* a, const double* b, int count) {
    static const auto chosen = CpuHasAvx2() && CpuHasFma() ? &DotProductAvx2Fma : &DotProduct;
    return chosen(a, b, count);
}

TOLVAR_FFT_ALIGN_STACK void FastDotProducts4(const double* row, const double* b, long stride, int count,
                                             double (&out)[4]) {
    static const bool wide = CpuHasAvx2() && CpuHasFma();
    if (wide) {
        DotProducts4Avx2Fma(row, b, stride, count, out);
        return;
    }
    for (int j = 0; j < 4; ++j) out[j] = DotProduct(row, b + j * stride, count);
}

}  // namespace tolvar
