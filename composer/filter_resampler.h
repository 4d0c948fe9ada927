#pragma once
// Conversion of a filter's impulse response to another sample rate.
#include "convolution/heap_buffer.h"

namespace tolvar {

// Half-width of the interpolation kernel, in output samples: how far its
// pre-ringing reaches before a tap and its tail after the last one.
constexpr int kResamplerHalfWidth = 24;
// Kaiser window parameter: about 77 dB of stop band, with the transition from
// 0.45 to 0.55 of the output rate.
constexpr double kResamplerKaiserBeta = 7.5;

// The output length before any start shift (see ResampleFilter):
// floor((count - 1) * toRate / fromRate) + kResamplerHalfWidth + 1, or -1 when
// count < 1, a rate is not finite and positive, or the length (with room for
// the shift) does not fit a buffer.
int ResampledFilterLength(int count, double fromRate, double toRate);

// Resamples the filter h[0..count-1] (count >= 1), given at fromRate Hz, so
// that it acts the same at toRate Hz, in either direction. This resamples a
// filter, not a signal: the band-limited response is
//   y[n] = sum over k of h[k] * g_k(n - k * toRate / fromRate),
// with g_k a Kaiser-windowed sinc in output samples (zero crossings on the
// output's integers, cutoff at the output's Nyquist frequency) whose taps are
// scaled to sum to 1. So a tap that lands on an output sample stays a single
// tap (a unit impulse stays a unit impulse) and the DC gain is kept.
//
// The kernels of the first taps ring before time zero. The output keeps that
// pre-ringing by starting `shift` samples early, where shift (0 to
// kResamplerHalfWidth - 1) is the reach of the earliest pre-ringing tap above
// 2^-24 of the response's peak; the taps beyond it are added to the first output sample, which keeps
// the DC gain. A response that lands on the output grid from its start (a unit
// impulse, integer upsampling) is not shifted. Shelving and peaking responses
// with content above the output's Nyquist frequency ring before zero by up to
// a third of their peak: adding that to the first tap or mirroring it onto
// positive time moves their magnitude by 1 to 4 dB near the top of the band
// (tests/composer/pre_ringing_report.cpp prints the figures), so the response
// is started early instead: up to kResamplerHalfWidth - 1 output samples of delay.
//
// Accuracy, measured on 2nd-order shelves, peaking bands and low-passes up to
// +-12 dB: magnitude within 0.01 dB of the input's up to 0.9 times the lower
// Nyquist frequency. Going up, the band between the two Nyquist frequencies
// repeats the input's response mirrored, as it must for a unit impulse to stay
// one.
//
// Writes ResampledFilterLength + shift taps as floats into `output`, replacing
// its storage; `shift` (may be null) receives the shift. Returns false, leaving
// `output` unchanged, when ResampledFilterLength gives -1 or a buffer cannot be
// sized. Allocates; not for the audio thread.
bool ResampleFilter(const double* h, int count, double fromRate, double toRate,
                    HeapBuffer& output, int* shift = nullptr);

}  // namespace tolvar
