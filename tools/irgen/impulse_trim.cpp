#include "tools/irgen/impulse_trim.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tolvar::irgen {
namespace {

double Energy(const std::vector<double>& impulse) {
    double energy = 0.0;
    for (const double tap : impulse) energy += tap * tap;
    return energy;
}

}  // namespace

std::vector<double> TrimTail(const std::vector<double>& impulse) {
    const double allowed = kTailEnergyFraction * Energy(impulse);
    // Walk in from the end while the tail behind stays within the allowance.
    size_t kept = impulse.size();
    double tail = 0.0;
    while (kept > 1 && tail + impulse[kept - 1] * impulse[kept - 1] <= allowed) {
        tail += impulse[kept - 1] * impulse[kept - 1];
        --kept;
    }
    const size_t fade = std::min({size_t(kFadeLength), kept - 1, impulse.size() - kept});
    std::vector<double> trimmed(impulse.begin(), impulse.begin() + kept + fade);
    for (size_t i = 0; i < fade; ++i) {
        const double position = double(i + 1) / double(fade + 1);
        trimmed[kept + i] *= 0.5 * (1.0 + std::cos(std::numbers::pi * position));
    }
    return trimmed;
}

}  // namespace tolvar::irgen
