#pragma once
#include "fft/fft.h"

namespace tolvar {

// The engine's inner loops, as free functions over raw pointers and a count.
// Each has a portable scalar version and an SSE2 version (SSE2 is the baseline
// of every target), some an AVX2 version; the plain name calls the fastest one
// the processor runs. Pointers need no particular alignment. Spectra may be in
// any bin order (the FFT's is scrambled): these loops work bin by bin. All of
// them are safe to call from any thread and allocate nothing.

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

// Direct-form filtering of one block of output:
//   out[j] = sum over i < taps of reversedTaps[i] * history[j + 1 + i], j < frames,
// where history holds the taps samples before the block followed by its frames
// samples. Products (exact in double) are summed in double in the order of i and
// each sum is rounded once to float, so every version gives identical results.
// The SSE2 and AVX2 versions take up to kMaxFastDirectTaps taps and hand longer
// kernels to the scalar one. out must not overlap the inputs.
constexpr int kMaxFastDirectTaps = 512;
void DirectFormFilter(float* out, const float* reversedTaps, const float* history, int taps, int frames);
void DirectFormFilterScalar(float* out, const float* reversedTaps, const float* history, int taps, int frames);
void DirectFormFilterSse2(float* out, const float* reversedTaps, const float* history, int taps, int frames);

// AVX2 with FMA, for processors that have them (checked at run time by the plain
// names above; call these directly only when HasAvx2Fma() is true). The complex
// loops use fused multiply-adds and so round slightly differently from the
// scalar ones; the direct-form filter rounds identically (its products are exact).
bool HasAvx2Fma();
void ComplexMultiplyAvx2(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins);
void ComplexMultiplyAccumulateAvx2(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins);
void DirectFormFilterAvx2(float* out, const float* reversedTaps, const float* history, int taps, int frames);

// The same for half spectra of real signals (FftRealForward's layout), whose
// position 0 holds two real bins: there the parts multiply separately,
// (a.re * b.re, a.im * b.im); every other position is a complex product.
void HalfSpectrumMultiply(ComplexFloat* product, const ComplexFloat* a, const ComplexFloat* b, int bins);
void HalfSpectrumMultiplyAccumulate(ComplexFloat* sum, const ComplexFloat* a, const ComplexFloat* b, int bins);

// Overlap-add of 2h real samples: out[n] = block[n] + tail[n], then
// tail[n] = block[h + n], for n < h. out must not overlap tail or block.
void OverlapAddReal(float* out, float* tail, const float* block, int h);
void OverlapAddRealScalar(float* out, float* tail, const float* block, int h);
void OverlapAddRealSse2(float* out, float* tail, const float* block, int h);

}  // namespace tolvar
