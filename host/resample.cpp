#include "host/resample.h"

#include <soxr.h>

#include <cmath>

namespace tolvar {
namespace {

bool UsableRates(double inRate, double outRate) {
    if (!std::isfinite(inRate) || !std::isfinite(outRate) || inRate <= 0.0 || outRate <= 0.0) return false;
    const double ratio = outRate / inRate;
    return ratio <= kMaxResampleRatio && ratio >= 1.0 / kMaxResampleRatio;
}

}  // namespace

std::vector<double> ResampleMono(std::span<const double> in, double inRate, double outRate) {
    if (in.empty() || !UsableRates(inRate, outRate)) return {};
    try {
        // soxr_oneshot returns nothing when the output buffer cannot take the
        // whole result, so give it room for all of it and a little more.
        const double expected = std::ceil(static_cast<double>(in.size()) * (outRate / inRate));
        std::vector<double> out(static_cast<std::size_t>(expected) + 16);
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, SOXR_LINEAR_PHASE);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);  // no worker threads
        std::size_t consumed = 0;
        std::size_t produced = 0;
        const soxr_error_t error = soxr_oneshot(inRate, outRate, 1, in.data(), in.size(), &consumed, out.data(),
                                                out.size(), &produced, &io, &quality, &runtime);
        if (error || consumed != in.size()) return {};
        out.resize(produced);
        return out;
    } catch (...) {
        return {};
    }
}

}  // namespace tolvar
