#include "tools/irgen/minimum_phase_design.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "tools/irgen/real_fft.h"

namespace tolvar::irgen {
namespace {

using Complex = std::complex<double>;

constexpr int kSmallestGrid = 4096;
constexpr int kLargestGrid = 1 << 20;
// Time constants of the slowest pole that fit in the grid: exp(-48) leaves the
// wrapped-around part of the response some 400 dB down.
constexpr double kTimeConstantsPerGrid = 48.0;
// 200 dB below the peak: the depth to which MinimumPhaseOf keeps a magnitude.
constexpr double kMagnitudeFloor = 1e-10;

// 0 up to 0, 1 from 1 on, and between them a step with every derivative continuous.
double SmoothStep(double t) {
    if (t <= 0.0) return 0.0;
    if (t >= 1.0) return 1.0;
    const double rise = std::exp(-1.0 / t);
    const double fall = std::exp(-1.0 / (1.0 - t));
    return rise / (rise + fall);
}

int GridSize(const AnalogFilter& filter, double rate) {
    double slowestDecay = HUGE_VAL;  // 1/s
    for (const Complex pole : filter.poles) slowestDecay = std::min(slowestDecay, -pole.real());
    int size = kSmallestGrid;
    while (size < kLargestGrid && size < kTimeConstantsPerGrid * rate / slowestDecay) size *= 2;
    return size;
}

// The filter's poles and zeros carried over to the z-plane by z = exp(s / rate):
// a digital filter that already has the analog one's resonances and decays.
struct MatchedFilter {
    int originZeros;
    std::vector<Complex> zeros;
    std::vector<Complex> poles;

    MatchedFilter(const AnalogFilter& filter, double rate) : originZeros(filter.originZeros) {
        for (const Complex zero : filter.zeros) zeros.push_back(std::exp(zero / rate));
        for (const Complex pole : filter.poles) poles.push_back(std::exp(pole / rate));
    }

    // Its response at exp(i theta), with the origin zeros (1 - 1/z) left out.
    Complex ResponseWithoutOriginZeros(double theta) const {
        const Complex inverseZ = std::polar(1.0, -theta);
        Complex response = 1.0;
        for (const Complex zero : zeros) response *= 1.0 - zero * inverseZ;
        for (const Complex pole : poles) response /= 1.0 - pole * inverseZ;
        return response;
    }
};

// ln of the wanted magnitude over the matched filter's, at theta = 2 pi f / rate.
// Both vanish at DC when there are origin zeros; their ratio does not:
// |j w| / |1 - exp(-j theta)| = rate * x / sin x with x = theta / 2.
double LogRemainder(const AnalogFilter& filter, const MatchedFilter& matched, double rate, double f) {
    const double theta = 2.0 * std::numbers::pi * f / rate;
    const Complex jw(0.0, 2.0 * std::numbers::pi * f);
    double remainder = std::log(std::abs(filter.gain)) -
                       std::log(std::abs(matched.ResponseWithoutOriginZeros(theta)));
    for (const Complex zero : filter.zeros) remainder += 0.5 * std::log(std::norm(jw - zero));
    for (const Complex pole : filter.poles) remainder -= 0.5 * std::log(std::norm(jw - pole));
    const double x = theta / 2.0;
    const double sinc = x == 0.0 ? 1.0 : std::sin(x) / x;
    remainder += filter.originZeros * std::log(rate / sinc);
    // Towards Nyquist, move to the mirror average (see kNyquistBlendHz).
    const double blend = SmoothStep((f - kAnalogMatchHz) / (kNyquistBlendHz - kAnalogMatchHz));
    if (blend > 0.0) remainder += 0.5 * blend * (filter.LogMagnitude(rate - f) - filter.LogMagnitude(f));
    return remainder;
}

// Turns the log magnitude in the spectrum's bins (real values) into the
// complex log spectrum of the minimum-phase response with that magnitude: the
// real cepstrum, folded onto positive quefrencies.
void MinimumPhaseLogSpectrum(RealFft& fft) {
    const int size = fft.Size();
    const int half = size / 2;
    double* signal = fft.Signal();
    fft.Backward();
    signal[0] /= size;
    for (int n = 1; n < half; ++n) signal[n] *= 2.0 / size;
    signal[half] /= size;
    std::fill(signal + half + 1, signal + size, 0.0);
    fft.Forward();
}

std::vector<double> ScaledSignal(RealFft& fft) {
    std::vector<double> impulse(fft.Signal(), fft.Signal() + fft.Size());
    for (double& tap : impulse) tap /= fft.Size();
    return impulse;
}

}  // namespace

std::vector<double> MinimumPhaseImpulse(const AnalogFilter& filter, double rate) {
    const int size = GridSize(filter, rate);
    const int half = size / 2;
    const MatchedFilter matched(filter, rate);
    RealFft fft(size);
    Complex* bins = fft.Spectrum();
    for (int k = 0; k <= half; ++k) bins[k] = LogRemainder(filter, matched, rate, k * rate / size);
    MinimumPhaseLogSpectrum(fft);

    const Complex zeroAtDc = 0.0;
    for (int k = 0; k <= half; ++k) {
        const double theta = 2.0 * std::numbers::pi * k / size;
        Complex response = std::exp(bins[k]) * matched.ResponseWithoutOriginZeros(theta);
        const Complex originFactor = k == 0 ? zeroAtDc : 1.0 - std::polar(1.0, -theta);
        for (int i = 0; i < filter.originZeros; ++i) response *= originFactor;
        bins[k] = response;
    }
    fft.Backward();
    return ScaledSignal(fft);
}

std::vector<double> MinimumPhaseOf(const std::vector<double>& impulse, int gridSize) {
    RealFft fft(gridSize);
    double* signal = fft.Signal();
    std::fill(signal, signal + gridSize, 0.0);
    std::copy(impulse.begin(), impulse.begin() + std::min<std::size_t>(impulse.size(), gridSize), signal);
    fft.Forward();
    Complex* bins = fft.Spectrum();
    const int half = gridSize / 2;
    double peak = 0.0;
    for (int k = 0; k <= half; ++k) peak = std::max(peak, std::abs(bins[k]));
    const double floor = peak * kMagnitudeFloor;
    for (int k = 0; k <= half; ++k) bins[k] = std::log(std::max(std::abs(bins[k]), floor));
    MinimumPhaseLogSpectrum(fft);
    for (int k = 0; k <= half; ++k) bins[k] = std::exp(bins[k]);
    fft.Backward();
    std::vector<double> result = ScaledSignal(fft);
    result.resize(std::min<std::size_t>(impulse.size(), result.size()));
    return result;
}

}  // namespace tolvar::irgen
