#pragma once
// The interpolation kernel of the filter resampler: a Kaiser-windowed sinc
// whose zero crossings lie on the output's sample grid.

namespace tolvar {

// Half-width of the kernel, in output samples: how far its pre-ringing reaches
// before a tap and its tail after it.
constexpr int kResamplerHalfWidth = 24;
constexpr int kResamplerKernelTaps = 2 * kResamplerHalfWidth;
// Kaiser window parameter: about 77 dB of stop band, with the transition from
// 0.45 to 0.55 of the output rate.
constexpr double kResamplerKaiserBeta = 7.5;

class ResamplerKernel {
public:
    ResamplerKernel();  // tabulates the window; about 12 KiB, no allocation

    // The kernel for a tap that lies `frac` (0 < frac < 1) of an output sample
    // after output sample b: weights[j] goes to output b - kResamplerHalfWidth
    // + 1 + j. Scaled so the weights sum to 1, which keeps the DC gain.
    void At(double frac, double (&weights)[kResamplerKernelTaps]) const;

private:
    double Window(double absX) const;

    static constexpr int kStepsPerSample = 64;  // window table entries per output sample
    static constexpr int kSize = kResamplerHalfWidth * kStepsPerSample;
    double window[kSize + 1];  // the Kaiser window over [0, kResamplerHalfWidth]
};

}  // namespace tolvar
