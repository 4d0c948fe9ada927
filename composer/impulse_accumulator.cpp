#include "composer/impulse_accumulator.h"

#include <algorithm>
#include <climits>

#include <cmath>

#include "composer/fft_convolution.h"
#include "composer/impulse_merge.h"

namespace tolvar {
namespace {

// Cost of one FFT convolution step, per point and per level of the
// transform, in units of one multiply-add of the direct sums (measured with
// bench/compose_benchmark: about 0.5 with AVX2, 0.7 with SSE2).
constexpr double kFftCostPerPointLevel = 0.6;

double FftCost(long long resultLength, int transforms) {
    const int n = FftConvolutionSize(resultLength);
    if (n == 0) return HUGE_VAL;
    return transforms * static_cast<double>(n) * (std::log2(static_cast<double>(n)) + 2.0) * kFftCostPerPointLevel;
}

}  // namespace

bool ImpulseAccumulator::Add(HeapBuffer& samples, int count, double scale) {
    if (count < 1 || count > samples.Count<double>() || used == kCapacity) return false;
    Entry& entry = entries[used++];
    entry.samples.SwapStorage(samples);
    entry.count = count;
    entry.scale = scale;
    frames += count;
    return true;
}

long long ImpulseAccumulator::Room(double compositionRate) const {
    if (!(budgetHostRate > 0.0) || !(compositionRate > 0.0)) return LLONG_MAX;
    const double atHostRate = static_cast<double>(kBudgetAtHostRate) * compositionRate / budgetHostRate;
    const double budget = std::min(static_cast<double>(kBudgetAtCompositionRate), atHostRate);
    return static_cast<long long>(budget) - frames;
}

// Of the responses longer than one tap, those up to directLimit doubles long
// are merged directly, after the longer ones have been convolved by FFT. Each
// limit that splits them differently is costed; a limit of 0 convolves all by
// FFT, the longest length merges all directly.
int ImpulseAccumulator::ChooseDirectLimit() const {
    int best = 0;
    double bestCost = HUGE_VAL;
    for (int candidate = -1; candidate < used; ++candidate) {
        const int limit = candidate < 0 ? 0 : entries[candidate].count;
        long long length = 0;
        int transformed = 0;
        for (int i = 0; i < used; ++i) {
            if (entries[i].count > limit && entries[i].count > 1) {
                length += entries[i].count - (transformed > 0 ? 1 : 0);
                ++transformed;
            }
        }
        double cost = transformed > 1 ? FftCost(length, transformed + 1) : 0.0;
        for (int i = 0; i < used; ++i) {
            if (entries[i].count > limit || entries[i].count == 1) continue;
            if (length > 0) cost += static_cast<double>(length) * entries[i].count;
            length += entries[i].count - (length > 0 ? 1 : 0);
        }
        if (cost < bestCost) {
            bestCost = cost;
            best = limit;
        }
    }
    return best;
}

bool ImpulseAccumulator::MergeLongByFft(int directLimit, HeapBuffer& result, ComposeWorkspace& workspace) {
    const double* responses[kCapacity];
    int lengths[kCapacity];
    int count = 0;
    double scale = 1.0;
    for (int i = 0; i < used; ++i) {
        if (entries[i].count <= directLimit || entries[i].count == 1) continue;
        responses[count] = entries[i].samples.As<double>();
        lengths[count++] = entries[i].count;
        scale *= entries[i].scale;
    }
    if (count < 2) return true;  // a single response is merged directly: no transform needed
    return ConvolveByFft(responses, lengths, count, scale, result, workspace);
}

bool ImpulseAccumulator::Merge(HeapBuffer& result, ComposeWorkspace& workspace) {
    result.Resize(0, false);
    // A response of one tap only scales the others.
    double factor = 1.0;
    int longer = 0;
    for (int i = 0; i < used; ++i) {
        if (entries[i].count == 1) factor *= entries[i].scale * entries[i].samples.As<double>()[0];
        else ++longer;
    }
    if (longer == 0 && used > 0) {
        double* tap = static_cast<double*>(result.Resize(int{sizeof(double)}, false));
        if (!tap) return false;
        *tap = factor;
    }
    if (longer > 0 && !MergeLonger(result, workspace)) return false;
    if (longer > 0 && factor != 1.0) {
        double* taps = result.As<double>();
        for (int i = 0; i < result.Count<double>(); ++i) taps[i] *= factor;
    }
    for (int i = 0; i < used; ++i) entries[i].samples.Release();
    used = 0;
    return true;
}

bool ImpulseAccumulator::MergeLonger(HeapBuffer& result, ComposeWorkspace& workspace) {
    const int directLimit = ChooseDirectLimit();
    if (!MergeLongByFft(directLimit, result, workspace)) return false;
    int transformed = 0;
    for (int i = 0; i < used; ++i) transformed += entries[i].count > directLimit && entries[i].count > 1 ? 1 : 0;
    for (int i = 0; i < used; ++i) {
        Entry& entry = entries[i];
        if ((entry.count > directLimit && transformed > 1) || entry.count == 1) continue;
        if (!MergeImpulse(result, entry.samples.As<double>(), entry.count, entry.scale)) return false;
    }
    return true;
}

}  // namespace tolvar
