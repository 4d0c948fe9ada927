#pragma once
#include "fft/fft.h"

namespace tolvar {

// Process-wide twiddle factors, filled once by FftInitTables and read-only after.
//
// The table for N (16 <= N <= 32768) has M entries; entry j-1 holds
// (cos 2*pi*j/N, sin 2*pi*j/N) for j = 1..M, rounded to float from extended
// precision. Up to N = 512, M = N/4 - 1 (every factor of the quarter); from
// N = 1024 on, M = N/8 - 1 (the first eighth only; the second eighth is read
// mirrored, with real and imaginary parts swapped).
//
// The 16-point table also supplies the small kernels' constants: entry 0 is
// (cos pi/8, sin pi/8) and the real part of entry 1 is sqrt(1/2).

constexpr int kTwiddleTableCount = 12;  // N = 16, 32, ..., 32768

constexpr int TwiddleTableIndex(int n) {
    int index = 0;
    for (int size = 16; size <= 32768; size *= 2, ++index) {
        if (size == n) return index;
    }
    return -1;
}

constexpr int TwiddleTableEntries(int n) { return n <= 512 ? n / 4 - 1 : n / 8 - 1; }

// kTwiddleTables[TwiddleTableIndex(n)] is the table for n. The pointers are
// constant; the entries are written only by BuildTwiddleTables.
extern ComplexFloat* const kTwiddleTables[kTwiddleTableCount];

// Table for n, or null when n has none.
const ComplexFloat* TwiddleTable(int n);

// Fills all twelve tables in the order 16, 32, ..., 32768. Not thread-safe by
// itself; FftInitTables makes sure it runs once.
void BuildTwiddleTables();

}  // namespace tolvar
