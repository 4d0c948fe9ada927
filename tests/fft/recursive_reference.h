#pragma once
// The split-radix recursion written out literally, with the size passed at run
// time and every factor chosen by the rules for its size. The production
// routines (unrolled kernels, per-size passes, vector code) must compute
// exactly this, bit for bit.
#include "fft/fft.h"

namespace tolvar::test {

void RecursiveForward(ComplexFloat* a, int n);
void RecursiveInverse(ComplexFloat* a, int n);

}  // namespace tolvar::test
