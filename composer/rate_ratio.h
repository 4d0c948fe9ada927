#pragma once
// Where the taps of a response land on another rate's sample grid.
#include <cmath>
#include <cstdint>
#include <numeric>

namespace tolvar {

inline std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {  // b > 0
    const std::int64_t quotient = a / b;
    return (a % b != 0 && a < 0) ? quotient - 1 : quotient;
}

// The output grid against the input's: toRate / fromRate, and exactly up /
// down in lowest terms when both rates are whole numbers (below 2^31).
struct RateRatio {
    double ratio;
    std::int64_t up = 0;
    std::int64_t down = 0;  // 0: not exact
    bool IsExact() const { return down > 0; }
};

inline RateRatio RatioOf(double fromRate, double toRate) {
    constexpr double kMaxWholeRate = 2147483647.0;
    auto whole = [](double rate) { return rate <= kMaxWholeRate && rate == std::floor(rate); };
    RateRatio r{toRate / fromRate};
    if (whole(fromRate) && whole(toRate)) {
        const auto to = static_cast<std::int64_t>(toRate), from = static_cast<std::int64_t>(fromRate);
        const std::int64_t common = std::gcd(to, from);
        r.up = to / common;
        r.down = from / common;
    }
    return r;
}

// Where tap k lands: `frac` of an output sample after output sample `base`;
// phase is 0 exactly when it lands on the sample (for an exact ratio, the
// numerator of frac over down).
struct TapPosition {
    std::int64_t base;
    double frac;
    std::int64_t phase;
};

inline TapPosition PositionOf(std::int64_t k, const RateRatio& r) {
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

}  // namespace tolvar
