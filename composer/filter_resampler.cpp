#include "composer/filter_resampler.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "composer/impulse_merge.h"
#include "convolution/sample_bytes.h"

namespace tolvar {
namespace {

constexpr int kHalfWidth = kResamplerHalfWidth;
constexpr int kTaps = kResamplerKernelTaps;
constexpr int kGranularity = 64;
constexpr std::int64_t kMaxDoubles = (INT_MAX - kGranularity) / int{sizeof(double)};
constexpr std::int64_t kMaxTableTerm = 2048;  // up and down up to this use the coefficient table
constexpr double kMaxWholeRate = 2147483647.0;

bool IsUsableRate(double rate) { return rate > 0.0 && std::isfinite(rate); }
bool IsWhole(double rate) { return rate <= kMaxWholeRate && rate == std::floor(rate); }

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {  // b > 0
    const std::int64_t quotient = a / b;
    return (a % b != 0 && a < 0) ? quotient - 1 : quotient;
}

// The output grid against the input's: toRate / fromRate, and exactly up /
// down in lowest terms when both rates are whole numbers.
struct RateRatio {
    double ratio;
    std::int64_t up = 0;
    std::int64_t down = 0;  // 0: not exact
    bool IsExact() const { return down > 0; }
};

RateRatio RatioOf(double fromRate, double toRate) {
    RateRatio r{toRate / fromRate};
    if (IsWhole(fromRate) && IsWhole(toRate)) {
        const auto to = static_cast<std::int64_t>(toRate), from = static_cast<std::int64_t>(fromRate);
        const std::int64_t common = std::gcd(to, from);
        r.up = to / common;
        r.down = from / common;
    }
    return r;
}

// Where tap k lands: just after output sample `base`, `frac` of a sample
// later; phase is 0 exactly when it lands on the sample.
struct TapPosition {
    std::int64_t base;
    double frac;
    std::int64_t phase;
};

TapPosition PositionOf(std::int64_t k, const RateRatio& r) {
    if (r.IsExact()) {
        const std::int64_t scaled = k * r.up;
        const std::int64_t base = FloorDiv(scaled, r.down);
        const std::int64_t phase = scaled - base * r.down;
        return {base, double(phase) / double(r.down), phase};
    }
    const double position = double(k) * r.ratio;
    const double base = std::floor(position);
    const double frac = position - base;
    return {static_cast<std::int64_t>(base), frac, frac == 0.0 ? 0 : 1};
}

double* ResizeDoubles(HeapBuffer& buffer, std::int64_t count) {
    return static_cast<double*>(buffer.Resize(static_cast<int>(count) * int{sizeof(double)}, true));
}

// For an exact ratio, the weights of every output as one row per residue of
// the output index modulo `up`: output n = rho + t * up takes the taps
// firstTap[rho] + t * down + i, i < window, with the weights of row rho.
class PolyphaseTable {
public:
    static bool Suits(const RateRatio& r, int count) {
        return r.IsExact() && r.down > 1 && r.up <= kMaxTableTerm && r.down <= kMaxTableTerm && count >= r.down;
    }

    bool Build(const RateRatio& r, const ResamplerKernel& kernel);
    double Output(const double* h, int count, std::int64_t n) const;

private:
    bool FillPhases(const ResamplerKernel& kernel);
    void FillRow(std::int64_t rho, double* row, const double* phases) const;

    std::int64_t up = 1, down = 1;
    int window = 0;                      // taps per output
    HeapBuffer phaseWeights{kGranularity};  // down rows of kTaps: the kernel at frac = phase / down
    HeapBuffer rows{kGranularity};          // up rows of `window` doubles
    HeapBuffer firstTaps{kGranularity};     // up int64 values
};

bool PolyphaseTable::Build(const RateRatio& r, const ResamplerKernel& kernel) {
    up = r.up;
    down = r.down;
    // Output rho takes the taps whose base lies within a half-width of it.
    window = 0;
    for (std::int64_t rho = 0; rho < up; ++rho) {
        const std::int64_t first = FloorDiv((rho - kHalfWidth) * down, up);
        const std::int64_t last = FloorDiv((rho + kHalfWidth) * down, up);
        window = std::max(window, static_cast<int>(last - first + 1));
    }
    if (!FillPhases(kernel)) return false;
    double* weights = ResizeDoubles(rows, up * window);
    auto* first = static_cast<std::int64_t*>(firstTaps.Resize(static_cast<int>(up) * int{sizeof(std::int64_t)}, true));
    if (!weights || !first) return false;
    const double* phases = phaseWeights.As<double>();
    for (std::int64_t rho = 0; rho < up; ++rho) {
        first[rho] = FloorDiv((rho - kHalfWidth) * down, up);
        FillRow(rho, weights + rho * window, phases);
    }
    return true;
}

bool PolyphaseTable::FillPhases(const ResamplerKernel& kernel) {
    double* phases = ResizeDoubles(phaseWeights, down * kTaps);
    if (!phases) return false;
    for (std::int64_t phase = 1; phase < down; ++phase) {
        double weights[kTaps];
        kernel.At(double(phase) / double(down), weights);
        std::copy(weights, weights + kTaps, phases + phase * kTaps);
    }
    return true;
}

void PolyphaseTable::FillRow(std::int64_t rho, double* row, const double* phases) const {
    const std::int64_t first = FloorDiv((rho - kHalfWidth) * down, up);
    for (int i = 0; i < window; ++i) {
        const TapPosition at = PositionOf(first + i, RateRatio{0.0, up, down});
        const std::int64_t j = rho - at.base + kHalfWidth - 1;  // kernel index that reaches output rho
        if (at.phase == 0) row[i] = at.base == rho ? 1.0 : 0.0;
        else row[i] = (j >= 0 && j < kTaps) ? phases[at.phase * kTaps + j] : 0.0;
    }
}

double PolyphaseTable::Output(const double* h, int count, std::int64_t n) const {
    const std::int64_t rho = n - FloorDiv(n, up) * up;
    const std::int64_t tap0 = firstTaps.As<std::int64_t>()[rho] + FloorDiv(n, up) * down;
    const std::int64_t from = std::max<std::int64_t>(0, -tap0);
    const std::int64_t to = std::min<std::int64_t>(window, count - tap0);
    if (to <= from) return 0.0;
    const double* row = rows.As<double>() + rho * window;
    return DotProduct(row + from, h + tap0 + from, static_cast<int>(to - from));
}

// Adds every tap of h, through its own kernel, into work, where
// work[kHalfWidth + n] is output n. True when a non-zero tap fell between
// output samples.
bool Scatter(const double* h, int count, const RateRatio& r, double* work) {
    const ResamplerKernel kernel;
    double weights[kTaps];
    bool offGrid = false;
    for (int k = 0; k < count; ++k) {
        const double tap = h[k];
        const TapPosition at = PositionOf(k, r);
        double* output = work + kHalfWidth + at.base;
        if (at.phase == 0) {
            *output += tap;
            continue;
        }
        if (tap == 0.0) continue;
        offGrid = true;
        kernel.At(at.frac, weights);
        double* from = output - kHalfWidth + 1;
        for (int j = 0; j < kTaps; ++j) from[j] += tap * weights[j];
    }
    return offGrid;
}

bool AnyTapOffGrid(const double* h, int count, const RateRatio& r) {
    for (int k = 0; k < count; ++k) {
        if (h[k] != 0.0 && k % r.down != 0) return true;
    }
    return false;
}

// Fills work (length + kHalfWidth doubles, work[kHalfWidth + n] = output n)
// and says whether a non-zero tap fell between output samples; false, with
// *failed set, when a buffer was refused.
bool Convolve(const double* h, int count, const RateRatio& r, int length, double* work, bool& failed) {
    failed = false;
    const int workCount = length + kHalfWidth;
    if (!PolyphaseTable::Suits(r, count)) {
        std::fill(work, work + workCount, 0.0);
        return Scatter(h, count, r, work);
    }
    PolyphaseTable table;
    if (!table.Build(r, ResamplerKernel())) {
        failed = true;
        return false;
    }
    work[0] = 0.0;  // nothing rings that early
    for (int i = 1; i < workCount; ++i) work[i] = table.Output(h, count, i - kHalfWidth);
    return AnyTapOffGrid(h, count, r);
}

}  // namespace

int ResampledFilterLength(int count, double fromRate, double toRate) {
    if (count < 1 || !IsUsableRate(fromRate) || !IsUsableRate(toRate)) return -1;
    const RateRatio r = RatioOf(fromRate, toRate);
    const double lastPosition = r.IsExact() ? double(FloorDiv(std::int64_t{count - 1} * r.up, r.down))
                                            : (count - 1) * r.ratio;
    // The work buffer holds the pre-ringing, the taps and the tail.
    if (!(lastPosition < double(kMaxDoubles - 3 * kHalfWidth))) return -1;
    return static_cast<int>(lastPosition) + kHalfWidth + 1;
}

bool ResampleFilter(const double* h, int count, double fromRate, double toRate,
                    HeapBuffer& output, int* delay) {
    const int length = ResampledFilterLength(count, fromRate, toRate);
    if (length < 0) return false;

    HeapBuffer workBuffer(kGranularity);
    double* work = ResizeDoubles(workBuffer, length + kHalfWidth);
    if (!work) return false;
    bool failed = false;
    const bool offGrid = Convolve(h, count, RatioOf(fromRate, toRate), length, work, failed);
    if (failed) return false;

    const int shift = offGrid ? kResamplerDelay : 0;
    const int outCount = length + shift;
    HeapBuffer floats(kGranularity);
    float* out = static_cast<float*>(floats.Resize(SampleBytes(outCount), true));
    if (!out) return false;
    const double* first = work + kHalfWidth - shift;
    for (int n = 0; n < outCount; ++n) out[n] = static_cast<float>(first[n]);
    output.SwapStorage(floats);
    if (delay) *delay = shift;
    return true;
}

}  // namespace tolvar
