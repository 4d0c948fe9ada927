#include "tests/hosts/render_compare.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace tolvar::hosts {
namespace {

void CheckComparable(const WholeSoundFile& host, const WholeSoundFile& reference, const Alignment& alignment) {
    if (host.channels != reference.channels)
        throw std::runtime_error("the host's render has " + std::to_string(host.channels) +
                                 " channels, the reference " + std::to_string(reference.channels));
    if (host.rate != reference.rate)
        throw std::runtime_error("the host's render runs at " + std::to_string(host.rate) + " Hz, the reference at " +
                                 std::to_string(reference.rate) + " Hz");
    if (alignment.from >= alignment.to || alignment.to > reference.Frames())
        throw std::runtime_error("the range " + std::to_string(alignment.from) + ".." + std::to_string(alignment.to) +
                                 " is empty or runs past the reference's " + std::to_string(reference.Frames()) +
                                 " frames");
    const long first = static_cast<long>(alignment.from) + alignment.shift;
    const long end = static_cast<long>(alignment.to) + alignment.shift;
    if (first < 0 || end > static_cast<long>(host.Frames()))
        throw std::runtime_error("the host's render (" + std::to_string(host.Frames()) +
                                 " frames) does not cover frames " + std::to_string(first) + ".." +
                                 std::to_string(end));
}

double Decibels(double ratio, double factor) { return ratio > 0.0 ? factor * std::log10(ratio) : -HUGE_VAL; }

}  // namespace

Residual MeasureResidual(const WholeSoundFile& host, const WholeSoundFile& reference, const Alignment& alignment) {
    CheckComparable(host, reference, alignment);
    double signalEnergy = 0.0, residualEnergy = 0.0, signalPeak = 0.0, residualPeak = 0.0;
    for (std::size_t n = alignment.from; n < alignment.to; ++n) {
        for (int c = 0; c < reference.channels; ++c) {
            const double wanted = reference.At(n, c);
            const double error = host.At(n + alignment.shift, c) - wanted;
            signalEnergy += wanted * wanted;
            residualEnergy += error * error;
            signalPeak = std::max(signalPeak, std::fabs(wanted));
            residualPeak = std::max(residualPeak, std::fabs(error));
        }
    }
    if (signalPeak == 0.0) throw std::runtime_error("the reference is silent over the range");
    return {Decibels(residualEnergy / signalEnergy, 10.0), Decibels(residualPeak / signalPeak, 20.0)};
}

std::optional<std::size_t> FirstDeparture(const WholeSoundFile& host, const WholeSoundFile& reference,
                                          const Alignment& alignment, double thresholdDb) {
    CheckComparable(host, reference, alignment);
    double signalPeak = 0.0;
    for (std::size_t n = alignment.from; n < alignment.to; ++n)
        for (int c = 0; c < reference.channels; ++c) signalPeak = std::max(signalPeak, std::fabs(reference.At(n, c)));
    const double limit = signalPeak * std::pow(10.0, thresholdDb / 20.0);
    for (std::size_t n = alignment.from; n < alignment.to; ++n)
        for (int c = 0; c < reference.channels; ++c)
            if (std::fabs(host.At(n + alignment.shift, c) - reference.At(n, c)) > limit) return n;
    return std::nullopt;
}

}  // namespace tolvar::hosts
