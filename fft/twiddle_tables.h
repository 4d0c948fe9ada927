#pragma once
#include "fft/fft.h"

namespace tolvar {

// Process-wide twiddle factors, built once by FftInitTables.
//
// The table for N (16 <= N <= 32768) has M entries; entry j-1 holds
// (cos 2*pi*j/N, sin 2*pi*j/N) for j = 1..M, rounded to float from extended
// precision. Up to N = 512, M = N/4 - 1 (every factor of the quarter); from
// N = 1024 on, M = N/8 - 1 (the first eighth only; the second eighth is read
// mirrored, with real and imaginary parts swapped).
const ComplexFloat* TwiddleTable(int n);
int TwiddleTableSize(int n);

// Constants taken from the 16-point table: cos(pi/8), sin(pi/8) and sqrt(1/2).
struct FftConstants {
    float cosPi8;
    float sinPi8;
    float sqrtHalf;
};
const FftConstants& SmallKernelConstants();

// Fills the tables. Not thread-safe by itself; FftInitTables serialises it.
void BuildTwiddleTables();

}  // namespace tolvar
