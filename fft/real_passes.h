#pragma once
// The passes that turn a complex transform of m = n/2 points, run on the
// pairs of n real samples, into the half spectrum of those samples (forward),
// and back (inverse). Internal to the FFT: call them through real_transform.cpp.
#include "fft/fft.h"

namespace tolvar {

// Forward: on entry data holds the complex transform Z of z[j] = x[2j] + i x[2j+1]
// in m's scrambled order; on return, for bin k at position p (k = FftFrequencyAt(p, m)),
// X[k] = (Z[k] + conj Z[m-k]) / 2 - i w^k (Z[k] - conj Z[m-k]) / 2 with w = exp(+2 pi i / n),
// and position 0 holds (X[0], X[m]) = (Z0.re + Z0.im, Z0.re - Z0.im).
// Inverse: the exact reverse, scaled so that the inverse complex transform of
// m points that follows yields n times the samples.
// n is 2, 4, ..., 32768; the tables must be built.
void RealForwardPassScalar(ComplexFloat* data, int n);
void RealInversePassScalar(ComplexFloat* data, int n);
void RealForwardPassSse2(ComplexFloat* data, int n);
void RealInversePassSse2(ComplexFloat* data, int n);

}  // namespace tolvar
