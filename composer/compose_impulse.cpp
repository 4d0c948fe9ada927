#include "composer/compose_impulse.h"

#include <cmath>

#include "composer/filter_resampler.h"
#include "composer/impulse_accumulator.h"
#include "composer/section_frequencies.h"
#include "composer/stage_impulse.h"
#include "convolution/sample_bytes.h"

namespace tolvar {
namespace {

constexpr int kGainOffsetDb = -kLowestGainDb;                // choice 0 is the lowest gain
constexpr int kTopGainChoice = kHighestGainDb + kGainOffsetDb;  // 24; choice 25 bypasses
constexpr double kSameRateTolerance = 0.0001;
constexpr int kGranularity = 64;

// One composition in progress.
class Composition {
public:
    Composition(const double (&storedValues)[kParamCount], const IrLibrary& irLibrary, HeapBuffer& mergedResponse)
        : values(storedValues), library(irLibrary), merged(mergedResponse) {}

    // Reads every active section's file; a file that cannot be used leaves
    // only its own section out.
    void AddSections() {
        AddTagged(kParamInputMode, "input", 4);
        AddTagged(kParamLpf, "lpf", 5);
        AddTagged(kParamHpf, "hpf", 5);
        AddSection(kParamLShelfF, kParamLShelfG, kLowShelfHz, false);
        AddSection(kParamBand1F, kParamBand1G, kBandHz, IsOn(kParamBand1HQ));
        AddSection(kParamBand2F, kParamBand2G, kBandHz, IsOn(kParamBand2HQ));
        AddSection(kParamHShelfF, kParamHShelfG, kHighShelfHz, false);
    }

    // Convolves the sections read; false when a buffer could not be sized.
    bool Merge(ComposeWorkspace& workspace) { return accumulator.Merge(merged, workspace); }

    // The response as floats at hostRate into `output`, and the delay the
    // conversion built into it; false when it cannot be sized.
    bool Convert(double hostRate, HeapBuffer& output, int& delay, ResamplerCache& cache) const;

private:
    int Choice(int index) const { return ChoiceFromNormalized(index, values[index]); }
    bool IsOn(int index) const { return values[index] >= 0.5; }  // not-a-number is off

    void Add(const char* tag, int selector, int gainDb, bool hiQ) {
        AddStageImpulse(accumulator, compositionRate, library, tag, selector, gainDb, hiQ);
    }

    void AddTagged(int index, const char* tag, int choiceCount) {
        const int m = Choice(index);
        if (m >= 1 && m <= choiceCount) Add(tag, m, 0, false);
    }

    template <int kCount>
    void AddSection(int frequencyIndex, int gainIndex, const int (&frequencies)[kCount], bool hiQ) {
        const int f = Choice(frequencyIndex);
        const int g = Choice(gainIndex);
        if (f >= 0 && f < kCount && g >= 0 && g <= kTopGainChoice)
            Add(nullptr, frequencies[f], g - kGainOffsetDb, hiQ);
    }

    const double (&values)[kParamCount];
    const IrLibrary& library;
    ImpulseAccumulator accumulator;    // the files read so far
    HeapBuffer& merged;                // doubles: their convolution, once merged
    double compositionRate = 0.0;      // Hz; 0.0 until a file sets it
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

bool Composition::Convert(double hostRate, HeapBuffer& output, int& delay, ResamplerCache& cache) const {
    delay = 0;
    const int count = merged.Count<double>();
    if (count == 0) return UnitImpulse(output);
    const double* response = merged.As<double>();
    if (std::fabs(hostRate - compositionRate) <= kSameRateTolerance)
        return CopyNarrowed(response, count, output);
    return ResampleFilter(response, count, compositionRate, hostRate, output, &delay, &cache);
}

}  // namespace

namespace {

// The composite at hostRate into `taps`; false when a buffer could not be sized.
bool Compose(const double (&paramValues)[kParamCount], double hostRate, const IrLibrary& library,
             ComposeWorkspace& kept, HeapBuffer& taps, int& delay) {
    Composition composition(paramValues, library, kept.merged);
    composition.AddSections();
    return composition.Merge(kept) && composition.Convert(hostRate, taps, delay, kept.resampler);
}

}  // namespace

bool BuildCompositeImpulse(const double (&paramValues)[kParamCount], double hostRate,
                           const IrLibrary& library, ImpulseBuffer& impulse, int* conversionDelay,
                           ComposeWorkspace* workspace) {
    if (!(hostRate > 0.0 && std::isfinite(hostRate))) return false;
    ComposeWorkspace ownWorkspace;
    ComposeWorkspace& kept = workspace ? *workspace : ownWorkspace;
    HeapBuffer taps(kGranularity);
    int delay = 0;
    const bool composed = Compose(paramValues, hostRate, library, kept, taps, delay);
    kept.Trim();
    if (!composed || !AllFinite(taps)) return false;

    impulse.sampleRate = hostRate;
    impulse.channels = 1;
    impulse.samples[0].SwapStorage(taps);
    if (conversionDelay) *conversionDelay = delay;
    return true;
}

}  // namespace tolvar
