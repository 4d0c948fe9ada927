#pragma once
#include "fft/fft.h"

namespace tolvar {

// Process-wide tables of the real-input transforms, filled once by
// FftInitTables and read-only after.
//
// A real transform of n samples runs a complex transform of m = n/2 points on
// the pairs (x[2j], x[2j+1]) and then combines the bins k and m - k of that
// transform. In the scrambled order, the bins come in pairs by level: for every
// L = 4, 8, ..., m, position L/2 + r (0 <= r < L/4, the bins 4i+1 of that level)
// pairs with a position in L's last quarter. Pair i = L/4 + r (so i runs from 1
// to m/2 - 1 over all levels of m):
//   kRealPartners[i]  the partner's position, 3L/4 + (position of the negated bin in L/4's order)
//   kRealTwiddles[i]  exp(+2 pi i k / n) for the bin k at position L/2 + r, which is
//                     exp(+2 pi i (4 FftFrequencyAt(r, L/4) + 1) / (2L))
// Neither depends on n beyond its length, so the tables for n = 32768 hold
// those of every smaller n as their beginning. Entry 0 is not used.

constexpr int kRealPairTableSize = 32768 / 4;

extern const ComplexFloat* const kRealTwiddles;
extern const int* const kRealPartners;

// Fills both tables. Not thread-safe by itself; FftInitTables makes sure it runs once.
void BuildRealTables();

}  // namespace tolvar
