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
// trigonometric function. It uses AVX-512 when the processor and the system
// have it, else AVX2 and FMA when they have those (checked at run time), and
// SSE2 otherwise. Data needs only float alignment; 64-byte aligned arrays run
// fastest (up to about 20% faster than malloc's 16).

// Builds the twiddle tables once per process. Safe to call from several threads
// at once: every caller returns only after the tables are complete.
void FftInitTables();

// Transforms data[0..n-1] in place: forward when inverse is 0, otherwise inverse.
// Any n other than 2, 4, ..., 32768, or a null data, leaves data untouched.
void FftTransform(ComplexFloat* data, int n, int inverse);

// The frequency bin held at position p (0 <= p < n) after a forward transform of size n.
int FftFrequencyAt(int p, int n);

// The forward transform of data[0 .. n/2) followed by n/2 zeros: what
// FftTransform(data, n, 0) gives for that input, except that data[n/2 .. n)
// need not hold the zeros (it is not read, only written).
void FftForwardZeroPadded(ComplexFloat* data, int n);

// Like FftTransform, every transform below leaves its data untouched for an n
// it does not support or a null pointer.

// The two transforms of a block of two real signals packed as one complex
// signal (the convolution engine's stereo blocks), each with the pass over
// memory that packs or unpacks the block folded into its own first or last pass.
//
// FftForwardTwoReal: the forward transform of z[j] = re[j] + i im[j] for
// j < n/2 followed by n/2 zeros, written to data; re and im hold n/2 floats
// each and may not overlap data. Nothing of data is read.
void FftForwardTwoReal(ComplexFloat* data, const float* re, const float* im, int n);
// The same, each bin then multiplied by the value at its position in factors
// (n values in the same bin order, e.g. another spectrum), as the last stage
// stores it: the spectral product without a pass of its own. factors may not
// overlap data.
void FftForwardTwoRealTimes(ComplexFloat* data, const float* re, const float* im, const ComplexFloat* factors,
                            int n);
// FftInverseOverlapAdd: the inverse transform y of data, overlap-added into
// two outputs: for k < n/2, re[k] = Re y[k] + reTail[k] and then
// reTail[k] = Re y[n/2 + k], and the same for im with the imaginary parts.
// Each of the four arrays holds n/2 floats; none may overlap another or data.
// data is used as work space and left holding no particular values.
void FftInverseOverlapAdd(ComplexFloat* data, int n, float* re, float* im, float* reTail, float* imTail);

// Transforms of n real samples, n = 2, 4, ..., 32768, in place, unscaled, with
// the sign convention above; about half the work of a complex transform of n.
//
// The samples are n floats in the storage of n/2 ComplexFloat. Their spectrum
// X is Hermitian (X[n-k] = conj X[k]), so the half spectrum X[0 .. n/2] says
// everything; it is kept in the same storage, in the scrambled order of an
// n/2-point transform: position p holds X[FftFrequencyAt(p, n/2)], except that
// position 0 holds (X[0], X[n/2]), two real numbers. Such spectra are
// multiplied bin by bin like complex ones, except position 0, whose two parts
// multiply separately.
//
// FftRealInverse(FftRealForward(x)) = n * x: the inverse takes a half
// spectrum in that layout and leaves n real samples.
void FftRealForward(ComplexFloat* data, int n);
// The same for data[0 .. n/4) (the first n/2 samples) followed by n/2 zero
// samples, which are not read.
void FftRealForwardZeroPadded(ComplexFloat* data, int n);
void FftRealInverse(ComplexFloat* data, int n);

}  // namespace tolvar
