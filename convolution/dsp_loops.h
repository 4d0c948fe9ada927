#pragma once
#include "fft/fft.h"

namespace tolvar {

// The engine's inner loops, as free functions over raw pointers and a count.
// Each has a portable scalar version and an SSE2 version (SSE2 is the baseline
// of every target); the plain name calls the fastest one built in. Pointers need
// no particular alignment. Spectra are in the FFT's bin order, whatever it is:
// these loops only work bin by bin.

// product[k] = a[k] * b[k] (complex) for k < bins. product may be a or b
// itself, but must not overlap them partly. Two bins per step: bins should be
// even; an odd last bin is still handled.
void ComplexMultiply(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins);
void ComplexMultiplyScalar(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins);
void ComplexMultiplySse2(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins);

// sum[k] += a[k] * b[k] (complex) for k < bins. sum must not overlap a or b.
// The scalar and SSE2 versions round identically: the product is formed as
// (ar*br - ai*bi, ai*br + ar*bi) in float and then added.
void ComplexMultiplyAccumulate(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins);
void ComplexMultiplyAccumulateScalar(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins);
void ComplexMultiplyAccumulateSse2(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins);

// Sum over i < count of a[i] * b[i], products and sum in double. The products
// of two floats are exact in double; the versions differ only in the order of
// the additions.
double DotProduct(const float* a, const float* b, int count);
double DotProductScalar(const float* a, const float* b, int count);
double DotProductSse2(const float* a, const float* b, int count);

// block[n] = (samples[n], 0) for n < count and 0 for count <= n < bins.
// block must not overlap samples.
void LoadRealBlock(ComplexFloat* block, const float* samples, int count, int bins);

// Overlap-add of one inverse-transformed block of 2h bins:
// out[n] = re(block[n]) + tail[n], then tail[n] = re(block[h + n]), for n < h.
// Imaginary parts are ignored. out must not overlap tail or block.
void OverlapAdd(float* out, float* tail, const ComplexFloat* block, int h);

}  // namespace tolvar
