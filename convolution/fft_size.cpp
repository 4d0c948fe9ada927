#include "convolution/fft_size.h"

namespace tolvar {

bool IsSupportedFftSize(int n) {
    return n >= kSmallestFftSize && n <= kLargestFftSize && (n & (n - 1)) == 0;
}

int ChooseFftSize(int impulseLength, int request) {
    if (request >= 0) return IsSupportedFftSize(request) ? request : 0;
    // In 64 bits: -2 x INT_MIN does not fit an int.
    long long cap = request <= -16 ? -2LL * request : kLargestFftSize;
    if (cap > kLargestFftSize) cap = kLargestFftSize;
    const long long reach = 2LL * impulseLength;
    int n = 32;
    while (n < reach && n < cap) n *= 2;
    return n;
}

long long PartitionsFor(int impulseLength, int n) {
    const long long h = n / 2;
    return h > 0 ? (h + impulseLength - 1) / h : 0;
}

}  // namespace tolvar
