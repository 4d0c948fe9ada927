#include "composer/polyphase_table.h"

#include <algorithm>

#include "composer/fast_dot_product.h"

namespace tolvar {
namespace {

constexpr int kHalfWidth = kResamplerHalfWidth;
constexpr int kTaps = kResamplerKernelTaps;
constexpr std::int64_t kMaxTerm = 2048;

double* ResizeDoubles(HeapBuffer& buffer, std::int64_t count) {
    return static_cast<double*>(buffer.Resize(static_cast<int>(count) * int{sizeof(double)}, true));
}

}  // namespace

bool PolyphaseTable::Suits(const RateRatio& r, int count) {
    return r.IsExact() && r.down > 1 && r.up <= kMaxTerm && r.down <= kMaxTerm && count >= r.down;
}

bool PolyphaseTable::Prepare(const RateRatio& r) {
    if (r.up == up && r.down == down) return true;
    up = r.up;
    down = r.down;
    // Output rho takes the taps whose base lies within a half-width of it.
    window = 0;
    for (std::int64_t rho = 0; rho < up; ++rho) {
        const std::int64_t first = FloorDiv((rho - kHalfWidth) * down, up);
        const std::int64_t last = FloorDiv((rho + kHalfWidth) * down, up);
        window = std::max(window, static_cast<int>(last - first + 1));
    }
    double* weights = FillPhases(ResamplerKernel()) ? ResizeDoubles(rows, up * window) : nullptr;
    auto* first = static_cast<std::int64_t*>(firstTaps.Resize(static_cast<int>(up) * int{sizeof(std::int64_t)}, true));
    if (!weights || !first) {
        up = down = 0;
        return false;
    }
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
    const RateRatio ratio{0.0, up, down};
    for (int i = 0; i < window; ++i) {
        const TapPosition at = PositionOf(first + i, ratio);
        const std::int64_t j = rho - at.base + kHalfWidth - 1;  // the kernel index that reaches output rho
        if (at.phase == 0) row[i] = at.base == rho ? 1.0 : 0.0;
        else row[i] = (j >= 0 && j < kTaps) ? phases[at.phase * kTaps + j] : 0.0;
    }
}

void PolyphaseTable::Fill(const double* h, int count, std::int64_t first, int outputs, double* out) const {
    const std::int64_t end = first + outputs;
    for (std::int64_t rho = 0; rho < up; ++rho) {
        const double* row = rows.As<double>() + rho * window;
        const std::int64_t t = FloorDiv(first - rho + up - 1, up);  // the first output of this row at or after `first`
        std::int64_t n = rho + t * up;
        std::int64_t tap0 = firstTaps.As<std::int64_t>()[rho] + t * down;
        while (n < end) {
            const bool fourInside = tap0 >= 0 && tap0 + 3 * down + window <= count && n + 3 * up < end;
            if (fourInside) {
                double four[4];
                FastDotProducts4(row, h + tap0, static_cast<long>(down), window, four);
                for (int j = 0; j < 4; ++j) out[n + j * up - first] = four[j];
                n += 4 * up;
                tap0 += 4 * down;
            } else {
                out[n - first] = Clipped(row, h, count, tap0);
                n += up;
                tap0 += down;
            }
        }
    }
}

// One output whose taps may reach past either end of the response.
double PolyphaseTable::Clipped(const double* row, const double* h, int count, std::int64_t tap0) const {
    const std::int64_t from = std::max<std::int64_t>(0, -tap0);
    const std::int64_t to = std::min<std::int64_t>(window, count - tap0);
    if (to <= from) return 0.0;
    return FastDotProduct(row + from, h + tap0 + from, static_cast<int>(to - from));
}

}  // namespace tolvar
