#pragma once

namespace tolvar {

// One complex value: two 32-bit floats, real part first. Arrays of them are
// interleaved re, im, re, im, ...
struct ComplexFloat {
    float re;
    float im;
};

// In-place conjugate-pair split-radix FFT for every power of two N from 2 to 32768.
//
// Sign convention (neither direction scales):
//   forward  X[k] = sum_j x[j] * exp(+2*pi*i*j*k/N)
//   inverse  y[j] = sum_k X[k] * exp(-2*pi*i*j*k/N)
// so inverse(forward(x)) = N * x.
//
// Bin order: the forward transform leaves bin FftFrequencyAt(p, N) at position p
// (a scrambled order: even bins first, then bins 4m+1, then bins 4m-1, each part
// recursively). The inverse takes its input in exactly that order and writes its
// result in natural order. Spectra are therefore multiplied bin by bin without
// any reordering pass.
//
// Thread safety: FftInitTables must have returned before the first transform;
// afterwards any number of threads may transform distinct arrays at once.
// (A transform that comes first anyway builds the tables itself, once.)
//
// Real-time use: a transform allocates nothing, takes no lock and computes no
// trigonometric function. It uses AVX2 and FMA when the processor has them
// (checked at run time) and SSE2 otherwise. Data needs only float alignment;
// 32-byte aligned arrays run fastest (up to about 20% faster than malloc's 16).

// Builds the twiddle tables once per process. Safe to call from several threads
// at once: every caller returns only after the tables are complete.
void FftInitTables();

// Transforms data[0..n-1] in place: forward when inverse is 0, otherwise inverse.
// Any n other than 2, 4, ..., 32768, or a null data, leaves data untouched.
void FftTransform(ComplexFloat* data, int n, int inverse);

// The frequency bin held at position p (0 <= p < n) after a forward transform of size n.
int FftFrequencyAt(int p, int n);

}  // namespace tolvar
