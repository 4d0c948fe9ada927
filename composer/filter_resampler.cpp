#include "composer/filter_resampler.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <new>

#include "buffers/sample_bytes.h"
#include "composer/polyphase_table.h"
#include "composer/rate_ratio.h"

namespace tolvar {
namespace {

constexpr int kHalfWidth = kResamplerHalfWidth;
constexpr int kTaps = kResamplerKernelTaps;
constexpr int kGranularity = 64;
constexpr std::int64_t kMaxDoubles = (INT_MAX - kGranularity) / int{sizeof(double)};

bool IsUsableRate(double rate) { return rate > 0.0 && std::isfinite(rate); }

// Adds every tap of h, through its own kernel, into work, where
// work[kHalfWidth + n] is output n. True when a non-zero tap fell between
// output samples.
bool Scatter(const double* h, int count, const RateRatio& r, double* work) {
    alignas(ResamplerKernel) unsigned char kernelStorage[sizeof(ResamplerKernel)];
    const ResamplerKernel* kernel = nullptr;  // tabulated only when a tap needs it
    double weights[kTaps];
    for (int k = 0; k < count; ++k) {
        const double tap = h[k];
        const TapPosition at = PositionOf(k, r);
        double* output = work + kHalfWidth + at.base;
        if (at.phase == 0) {
            *output += tap;
            continue;
        }
        if (tap == 0.0) continue;
        if (!kernel) kernel = new (kernelStorage) ResamplerKernel();
        kernel->At(at.frac, weights);
        double* from = output - kHalfWidth + 1;
        for (int j = 0; j < kTaps; ++j) from[j] += tap * weights[j];
    }
    return kernel != nullptr;
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
bool Convolve(const double* h, int count, const RateRatio& r, int length, double* work, PolyphaseTable& table,
              bool& failed) {
    failed = false;
    const int workCount = length + kHalfWidth;
    if (!PolyphaseTable::Suits(r, count)) {
        std::fill(work, work + workCount, 0.0);
        return Scatter(h, count, r, work);
    }
    if (!table.Prepare(r)) {
        failed = true;
        return false;
    }
    work[0] = 0.0;  // nothing rings that early
    table.Fill(h, count, 1 - kHalfWidth, workCount - 1, work + 1);
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
                    HeapBuffer& output, int* delay, ResamplerCache* cache) {
    const int length = ResampledFilterLength(count, fromRate, toRate);
    if (length < 0) return false;

    ResamplerCache ownCache;
    ResamplerCache& kept = cache ? *cache : ownCache;
    // Sized without giving back capacity: a kept buffer is reused.
    double* work = static_cast<double*>(
        kept.work.Resize((length + kHalfWidth) * int{sizeof(double)}, false));
    if (!work) return false;
    bool failed = false;
    const bool offGrid = Convolve(h, count, RatioOf(fromRate, toRate), length, work, kept.table, failed);
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
