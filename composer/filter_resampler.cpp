#include "composer/filter_resampler.h"

#include <climits>
#include <cmath>
#include <cstdint>

#include "convolution/sample_bytes.h"

namespace tolvar {
namespace {

constexpr int kHalfWidth = kResamplerHalfWidth;
constexpr int kTaps = 2 * kHalfWidth;  // kernel taps per input tap
constexpr int kWindowSteps = 64;       // window table entries per output sample
constexpr double kKaiserBeta = kResamplerKaiserBeta;
constexpr double kPi = 3.14159265358979323846;
constexpr double kNegligible = 0x1p-24;  // below float resolution of the peak
constexpr int kGranularity = 64;
constexpr std::int64_t kMaxDoubles = (INT_MAX - kGranularity) / int{sizeof(double)};

bool IsUsableRate(double rate) { return rate > 0.0 && std::isfinite(rate); }

// Modified Bessel function of the first kind, order 0, by its power series.
double BesselI0(double x) {
    const double quarterSquare = 0.25 * x * x;
    double term = 1.0, sum = 1.0;
    for (int k = 1; term > 1e-17 * sum; ++k) {
        term *= quarterSquare / (double(k) * k);
        sum += term;
    }
    return sum;
}

// The Kaiser window over [0, kHalfWidth], tabulated and read with linear
// interpolation: the window is smooth, so the table adds no measurable error;
// the sinc itself is computed exactly.
class KaiserTable {
public:
    KaiserTable() {
        const double norm = 1.0 / BesselI0(kKaiserBeta);
        for (int i = 0; i <= kSize; ++i) {
            const double r = double(i) / kSize;
            values[i] = r < 1.0 ? BesselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) * norm : 0.0;
        }
    }
    // Zero from kHalfWidth on: |x| can round up to the edge when frac lies
    // within rounding of 0 or 1.
    double At(double absX) const {
        const double t = absX * kWindowSteps;
        if (!(t < kSize)) return 0.0;
        const int i = static_cast<int>(t);
        return values[i] + (t - i) * (values[i + 1] - values[i]);
    }

private:
    static constexpr int kSize = kHalfWidth * kWindowSteps;
    double values[kSize + 1];
};

// Kernel for a tap `frac` (0 < frac < 1) past output sample b: weights[j] goes
// to output b - kHalfWidth + 1 + j. Normalised to sum to 1.
void KernelAt(double frac, const KaiserTable& window, double (&weights)[kTaps]) {
    // sin(pi * x) for x = j - kHalfWidth + 1 - frac is (-1)^(j - kHalfWidth) sin(pi frac).
    const double sinFrac = std::sin(kPi * frac);
    double sign = (kHalfWidth % 2 == 0) ? 1.0 : -1.0;
    double sum = 0.0;
    for (int j = 0; j < kTaps; ++j) {
        const double x = (j - kHalfWidth + 1) - frac;
        const double w = sign * sinFrac / (kPi * x) * window.At(std::fabs(x));
        weights[j] = w;
        sum += w;
        sign = -sign;
    }
    const double norm = 1.0 / sum;
    for (double& w : weights) w *= norm;
}

// Adds every tap of h, through its kernel, into work, where work[kHalfWidth + n]
// is output n (n may be as low as -kHalfWidth + 1).
void Scatter(const double* h, int count, double ratio, double* work) {
    const KaiserTable window;
    double weights[kTaps];
    for (int k = 0; k < count; ++k) {
        const double position = k * ratio;
        const double base = std::floor(position);
        const double frac = position - base;
        const double tap = h[k];
        double* at = work + kHalfWidth + static_cast<int>(base);
        if (frac == 0.0) {
            *at += tap;
            continue;
        }
        KernelAt(frac, window, weights);
        double* from = at - kHalfWidth + 1;
        for (int j = 0; j < kTaps; ++j) from[j] += tap * weights[j];
    }
}

// The start shift for work (workCount doubles, output 0 at kHalfWidth): the
// reach of the earliest pre-ringing tap that is not negligible. The negligible
// taps before it are added to the first tap kept.
int StartShift(double* work, int workCount) {
    double peak = 0.0;
    for (int i = 0; i < workCount; ++i) peak = std::fmax(peak, std::fabs(work[i]));
    int shift = 0;
    for (int m = kHalfWidth; m >= 1; --m) {
        if (std::fabs(work[kHalfWidth - m]) > kNegligible * peak) {
            shift = m;
            break;
        }
    }
    double negligible = 0.0;
    for (int m = kHalfWidth; m > shift; --m) negligible += work[kHalfWidth - m];
    work[kHalfWidth - shift] += negligible;
    return shift;
}

}  // namespace

int ResampledFilterLength(int count, double fromRate, double toRate) {
    if (count < 1 || !IsUsableRate(fromRate) || !IsUsableRate(toRate)) return -1;
    const double lastPosition = (count - 1) * (toRate / fromRate);
    // The work buffer holds the pre-ringing, the taps and the tail.
    if (!(lastPosition < double(kMaxDoubles - 3 * kHalfWidth))) return -1;
    return static_cast<int>(lastPosition) + kHalfWidth + 1;
}

bool ResampleFilter(const double* h, int count, double fromRate, double toRate,
                    HeapBuffer& output, int* shift) {
    const int length = ResampledFilterLength(count, fromRate, toRate);
    if (length < 0) return false;

    HeapBuffer workBuffer(kGranularity);
    const int workCount = length + kHalfWidth;
    double* work = static_cast<double*>(workBuffer.Resize(workCount * int{sizeof(double)}, true));
    if (!work) return false;
    for (int i = 0; i < workCount; ++i) work[i] = 0.0;

    Scatter(h, count, toRate / fromRate, work);
    const int startShift = StartShift(work, workCount);

    const int outCount = length + startShift;
    HeapBuffer floats(kGranularity);
    float* out = static_cast<float*>(floats.Resize(SampleBytes(outCount), true));
    if (!out) return false;
    const double* first = work + kHalfWidth - startShift;
    for (int n = 0; n < outCount; ++n) out[n] = static_cast<float>(first[n]);
    output.SwapStorage(floats);
    if (shift) *shift = startShift;
    return true;
}

}  // namespace tolvar
