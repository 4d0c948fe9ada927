#pragma once
// Conversion of a filter's impulse response to another sample rate.
#include "buffers/heap_buffer.h"
#include "composer/polyphase_table.h"
#include "composer/resampler_kernel.h"

namespace tolvar {

// How many output samples late a converted response starts when its taps fall
// between output samples: the reach of the kernel's pre-ringing.
constexpr int kResamplerDelay = kResamplerHalfWidth - 1;

// What a caller may keep between conversions to spare the next one work: the
// coefficient table of the last rate pair and the working buffer (doubles;
// its contents are unspecified between calls).
struct ResamplerCache {
    PolyphaseTable table;
    HeapBuffer work{4096};
};

// The output length before the delay (see ResampleFilter):
// floor((count - 1) * toRate / fromRate) + kResamplerHalfWidth + 1, or -1 when
// count < 1, a rate is not finite and positive, or the length (with room for
// the delay) does not fit a buffer.
int ResampledFilterLength(int count, double fromRate, double toRate);

// Resamples the filter h[0..count-1] (count >= 1), given at fromRate Hz, so
// that it acts the same at toRate Hz, in either direction. This resamples a
// filter, not a signal: the band-limited response is
//   y[n] = sum over k of h[k] * g_k(n - k * toRate / fromRate),
// with g_k a Kaiser-windowed sinc in output samples (ResamplerKernel: zero
// crossings on the output's integers, cutoff at the output's Nyquist
// frequency) whose taps are scaled to sum to 1. So a tap that lands on an
// output sample stays a single tap (a unit impulse stays a unit impulse) and
// the DC gain is kept.
//
// The kernels of taps between output samples ring before them, the first
// ones before time zero. The output keeps all of that by starting
// kResamplerDelay samples early: output[i] = y[i - delay], where the delay is
// kResamplerDelay whenever some non-zero tap falls between output samples and
// 0 when every one lands on an output sample (a unit impulse; any response
// upsampled by a whole factor). The delay thus depends only on the rate pair,
// apart from responses that need no interpolation at all. Dropping the
// pre-ringing, or adding it to the first tap, would move the magnitude of
// shelving and peaking responses by 1 to 4 dB near the top of the band
// (tests/composer/pre_ringing_report.cpp prints the figures).
//
// Accuracy, measured on 2nd-order shelves, peaking bands and low-passes up to
// +-12 dB: magnitude within 0.01 dB of the input's up to 0.9 times the lower
// Nyquist frequency. Going up, the band between the two Nyquist frequencies
// repeats the input's response mirrored, as it must for a unit impulse to stay
// one.
//
// Cost: for whole-number rates whose ratio in lowest terms has both terms up
// to 2048 (any two of 44.1, 48, 88.2, 96, 176.4 and 192 kHz) each output is one
// dot product with coefficients tabulated once per rate pair (PolyphaseTable),
// about 48 multiply-adds per input tap; other ratios compute each tap's kernel
// afresh, several times slower.
//
// Writes ResampledFilterLength + delay taps as floats into `output`, replacing
// its storage; `delay` (may be null) receives the delay. `cache` (may be
// null) keeps the coefficient table for the next call at the same rates.
// Returns false, leaving `output` unchanged, when ResampledFilterLength gives
// -1 or a buffer cannot be sized. Allocates; not for the audio thread.
bool ResampleFilter(const double* h, int count, double fromRate, double toRate,
                    HeapBuffer& output, int* delay = nullptr, ResamplerCache* cache = nullptr);

}  // namespace tolvar
