#pragma once

namespace tolvar {

constexpr int kMaxDirectTaps = 128;   // impulses up to this many taps run in direct form
constexpr int kSmallestFftSize = 2;   // the FFT's supported sizes: powers of two ...
constexpr int kLargestFftSize = 32768;  // ... up to this one

// True for the transform sizes the FFT supports: 2, 4, 8, ..., 32768.
bool IsSupportedFftSize(int n);

// The FFT size for an impulse of impulseLength taps (more than kMaxDirectTaps).
//   request >= 0:    the request itself, when it is a supported size; else 0.
//   request <= -16:  automatic, capped at -2 x request;
//   otherwise:       automatic, capped at 32768.
// Automatic: the smallest power of two from 32 up that reaches 2 x impulseLength,
// except that doubling stops once the size reaches the cap (a cap that is not a
// power of two ends at the next power of two above it). Caps above 32768 act as
// 32768, the largest size the FFT can transform. Returns 0 when refused.
int ChooseFftSize(int impulseLength, int request);

// Partitions of H = n/2 taps needed for impulseLength taps: ceil(impulseLength / H).
long long PartitionsFor(int impulseLength, int n);

}  // namespace tolvar
