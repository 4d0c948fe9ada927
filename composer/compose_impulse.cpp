#include "composer/compose_impulse.h"

#include <cmath>

#include "composer/filter_resampler.h"
#include "composer/stage_impulse.h"
#include "convolution/sample_bytes.h"

namespace tolvar {
namespace {

constexpr int kLowShelfHz[] = {33, 56, 100, 180, 330};
constexpr int kBandHz[] = {270, 390, 560, 820, 1200, 1800, 2700, 3900, 5600, 8200};
constexpr int kHighShelfHz[] = {3300, 4700, 6800, 10000, 15000};
constexpr int kTopGainChoice = 24;  // choices 0..24 are -12..+12 dB; 25 bypasses
constexpr int kGainOffsetDb = 12;
constexpr double kSameRateTolerance = 0.0001;
constexpr int kGranularity = 64;

// One composition in progress.
class Composition {
public:
    Composition(const double (&storedValues)[kParamCount], const IrLibrary& irLibrary)
        : values(storedValues), library(irLibrary) {}

    // False when a buffer could not be sized.
    bool AddSections() {
        return AddTagged(kParamInputMode, "input", 4) && AddTagged(kParamLpf, "lpf", 5) &&
               AddTagged(kParamHpf, "hpf", 5) &&
               AddSection(kParamLShelfF, kParamLShelfG, kLowShelfHz, false) &&
               AddSection(kParamBand1F, kParamBand1G, kBandHz, IsOn(kParamBand1HQ)) &&
               AddSection(kParamBand2F, kParamBand2G, kBandHz, IsOn(kParamBand2HQ)) &&
               AddSection(kParamHShelfF, kParamHShelfG, kHighShelfHz, false);
    }

    // The response as floats at hostRate into `output`, and the delay the
    // conversion built into it; false when it cannot be sized.
    bool Convert(double hostRate, HeapBuffer& output, int& delay) const;

private:
    int Choice(int index) const { return ChoiceFromNormalized(index, values[index]); }
    bool IsOn(int index) const { return values[index] >= 0.5; }  // not-a-number is off

    bool Add(const char* tag, int selector, int gainDb, bool hiQ) {
        return AddStageImpulse(accumulator, compositionRate, library, tag, selector, gainDb,
                               hiQ) != StageOutcome::kOutOfMemory;
    }

    bool AddTagged(int index, const char* tag, int choiceCount) {
        const int m = Choice(index);
        if (m < 1 || m > choiceCount) return true;
        return Add(tag, m, 0, false);
    }

    template <int kCount>
    bool AddSection(int frequencyIndex, int gainIndex, const int (&frequencies)[kCount], bool hiQ) {
        const int f = Choice(frequencyIndex);
        const int g = Choice(gainIndex);
        if (f < 0 || f >= kCount || g < 0 || g > kTopGainChoice) return true;
        return Add(nullptr, frequencies[f], g - kGainOffsetDb, hiQ);
    }

    const double (&values)[kParamCount];
    const IrLibrary& library;
    HeapBuffer accumulator{kGranularity};  // doubles: the files merged so far
    double compositionRate = 0.0;          // Hz; 0.0 until a file sets it
};

bool UnitImpulse(HeapBuffer& output) {
    float* taps = static_cast<float*>(output.Resize(SampleBytes(2), true));
    if (!taps) return false;
    taps[0] = 1.0f;
    taps[1] = 0.0f;
    return true;
}

bool CopyNarrowed(const double* response, int count, HeapBuffer& output) {
    float* taps = static_cast<float*>(output.Resize(SampleBytes(count), true));
    if (!taps) return false;
    for (int i = 0; i < count; ++i) taps[i] = static_cast<float>(response[i]);
    return true;
}

bool AllFinite(const HeapBuffer& taps) {
    const float* values = taps.As<float>();
    for (int i = 0; i < taps.Count<float>(); ++i)
        if (!std::isfinite(values[i])) return false;
    return true;
}

bool Composition::Convert(double hostRate, HeapBuffer& output, int& delay) const {
    delay = 0;
    const int count = accumulator.Count<double>();
    if (count == 0) return UnitImpulse(output);
    const double* response = accumulator.As<double>();
    if (std::fabs(hostRate - compositionRate) <= kSameRateTolerance)
        return CopyNarrowed(response, count, output);
    return ResampleFilter(response, count, compositionRate, hostRate, output, &delay);
}

}  // namespace

bool BuildCompositeImpulse(const double (&paramValues)[kParamCount], double hostRate,
                           const IrLibrary& library, ImpulseBuffer& impulse, int* conversionDelay) {
    if (!(hostRate > 0.0 && std::isfinite(hostRate))) return false;
    Composition composition(paramValues, library);
    if (!composition.AddSections()) return false;
    HeapBuffer taps(kGranularity);
    int delay = 0;
    if (!composition.Convert(hostRate, taps, delay) || !AllFinite(taps)) return false;

    impulse.sampleRate = hostRate;
    impulse.channels = 1;
    impulse.samples[0].SwapStorage(taps);
    if (conversionDelay) *conversionDelay = delay;
    return true;
}

}  // namespace tolvar
