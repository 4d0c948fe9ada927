#pragma once
// Double-precision FFTs for convolving long impulse responses exactly enough
// that the result matches direct sums to about 1e-15 of their peak.
//
// Split format: a complex array of m values is two arrays of m doubles, the
// real parts and the imaginary parts.
//
// Sign convention: forward X[k] = sum_j x[j] * exp(-2*pi*i*j*k/m); the inverse
// uses exp(+...) and does not scale, so inverse(forward(x)) = m * x.
//
// Bin order: the forward transforms leave the spectrum in bit-reversed order
// (position p holds bin BitReversed(p)), and the inverse transforms take it in
// that order and write natural order. Spectra are multiplied bin by bin with no
// reordering pass.
//
// Twiddle table: an array of doubles owned by the caller and filled by
// DoubleFftFillTable. Its layout does not depend on the transform size: a table
// filled for complex size m serves every size up to m, and growing it for a
// larger size only appends. Transforms read it and allocate nothing.
//
// Sizes: every power of two from 1 to 2^27 (complex) and from 2 to 2^28 (real).
// Threads: transforms of distinct arrays may run at once; a table may be read by
// several while nobody fills it. AVX2 is used when the processor has it
// (checked at run time), SSE2 otherwise; both give the same results.

namespace tolvar {

constexpr int kDoubleFftMaxLog2 = 27;  // largest complex size 2^27

// True for 1, 2, 4, ..., 2^27.
bool IsDoubleFftSize(int m);

// Doubles a table needs to serve complex size m (real size 2m); 0 below 4.
int DoubleFftTableDoubles(int m);

// Fills the part of `table` that complex size m needs beyond what a table
// already filled for filledFor (0 when nothing is filled yet) holds. Both are
// sizes as IsDoubleFftSize accepts (or 0), filledFor < m; the table must have
// room for DoubleFftTableDoubles(m) doubles.
void DoubleFftFillTable(double* table, int filledFor, int m);

// Complex transforms of m points in place on re[0..m-1], im[0..m-1].
void DoubleFftForward(double* re, double* im, int m, const double* table);
void DoubleFftInverse(double* re, double* im, int m, const double* table);

// Real transform of n points (n = 2m). Reads x[0..count-1] (count <= n; the
// samples beyond are taken as zeros) and writes the spectrum into
// spectrum[0..n-1]: with m = n/2, real parts in spectrum[0..m-1] and imaginary
// parts in spectrum[m..n-1], bins in bit-reversed order of m positions, where
// position 0 holds the two real bins X[0] (real part) and X[m] (imaginary part)
// and position p > 0 holds X[BitReversed(p)]; bins above m are the conjugates
// of those below and are not stored. x and spectrum must not overlap. The
// table must serve complex size m.
void RealFftForward(const double* x, int count, double* spectrum, int n, const double* table);

// The inverse of RealFftForward, scaled: writes scale * (n/2) * x for the
// first `count` samples (count <= n) of the real signal whose spectrum is
// given. The spectrum is working storage and is destroyed. out must not
// overlap it.
void RealFftInverse(double* spectrum, int n, double* out, int count, double scale, const double* table);

// accumulator *= factor, bin by bin, for two spectra of RealFftForward's layout (n doubles each).
void RealSpectrumMultiply(double* accumulator, const double* factor, int n);

// The bin at position p of a forward transform of complex size m.
int DoubleFftBinAt(int p, int m);

}  // namespace tolvar
