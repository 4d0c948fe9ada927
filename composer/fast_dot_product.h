#pragma once
// The dot product at the widest vectors the processor offers, for the
// resampler's inner loop.

namespace tolvar {

// sum(a[i] * b[i]) for i in [0, count), in double. With AVX2 and FMA (checked
// at run time) sixteen running sums with fused multiply-adds, otherwise
// DotProduct (impulse_merge.h); the two differ by a few units in the last
// place of the magnitude.
double FastDotProduct(const double* a, const double* b, int count);

// Four dot products of one row with four ranges of b, `stride` doubles
// apart: out[j] = sum(row[i] * b[j * stride + i]) for i in [0, count). The
// row is read once for all four. The sums may differ from FastDotProduct's
// in the last bits.
void FastDotProducts4(const double* row, const double* b, long stride, int count, double (&out)[4]);

// The AVX2 and FMA versions themselves; only after the processor check.
double DotProductAvx2Fma(const double* a, const double* b, int count);
void DotProducts4Avx2Fma(const double* row, const double* b, long stride, int count, double (&out)[4]);

}  // namespace tolvar
