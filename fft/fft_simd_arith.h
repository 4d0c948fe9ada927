// Shared pieces of the vector transform: the Ops interface that each
// instruction-set file implements, and the arithmetic built on it. Included
// only from the instruction-set source files (see fft_simd_routines.h).
//
// Ops interface (all static):
//   V, kWidth
//   Leaves                      the Ops that the 2- to 16-point kernels run on
//                               (itself, or a narrower set); only those need
//                               kTwoPerVector and the operations marked (kernels)
//   Load/Store(ptr), LoadHalves/StoreHalves(lo, hi)  (kernels: one transform per half)
//   StoreTwo(lo, hi, v0, v1)    lo[0..3] from the low halves of v0, v1; hi from the high
//   Add Sub Mul Splat
//   AddSigned/SubSigned(y, x, Signs)              y + s*x and y - s*x, s = +-1 per
//                                                float (pattern per 128-bit half)
//   AddSub(x, y)  (x.re - y.re, x.im + y.im);  SubAdd(x, y)  (x.re + y.re, x.im - y.im)
//   Swap      (re, im) -> (im, re) in every complex value
//   DupLo/DupHi, LoHi(x, y), SwapHi              per 128-bit half
//   FirstFrom(x, y)                              complex 0 of x, the rest of y
//   CMul/CMulConj(x, wr, wi)                     x * w and x * conj(w)
//   TwiddlesAt / TwiddlesAfterFirst / TwiddlesMirrored / TwiddlesMirroredAfterFirst
//   Times(x, f)                                  x * f, f differing from lane to lane
//   StoreTwoTimes(lo, hi, v0, v1, flo, fhi)      StoreTwo of the products with flo, fhi
//   LoadInterleavedTwo(re, im, x0, x1)           2W values (re[k], im[k]) into two vectors
//   OverlapAddTwo(front0, front1, back0, back1, re, im, reTail, imTail)
//                                                2W outputs: re = front.re + reTail, reTail =
//                                                back.re, and the same for im
#pragma once

#include "fft/twiddle_tables.h"

// The small helpers are forced inline so that every pass and kernel compiles
// to one function without calls (fft_simd_routines.h undefines this).
#define FFT_INLINE inline __attribute__((always_inline))

namespace tolvar {
namespace {

using C = ComplexFloat;

// Which floats of a 128-bit half a signed operation negates (re0, im0, re1, im1).
struct Signs {
    bool re0, im0, re1, im1;
};

// d + i*e and d - i*e: i*e = (-e.im, e.re).
template <class O>
FFT_INLINE void PlusMinusI(typename O::V d, typename O::V e, typename O::V& plus, typename O::V& minus) {
    const typename O::V swapped = O::Swap(e);
    plus = O::AddSub(d, swapped);
    minus = O::SubAdd(d, swapped);
}

// Products by (h, h) and (h, -h): sqrt(1/2) * (re -+ im), one multiplication per part.
template <class O>
FFT_INLINE typename O::V MulSqrtHalf(typename O::V x, typename O::V h) {
    return O::Mul(O::AddSub(x, O::Swap(x)), h);
}

template <class O>
FFT_INLINE typename O::V MulSqrtHalfConj(typename O::V x, typename O::V h) {
    return O::Mul(O::SubAdd(x, O::Swap(x)), h);
}

FFT_INLINE float SqrtHalf() { return kTwiddleTables[0][1].re; }

}  // namespace
}  // namespace tolvar
