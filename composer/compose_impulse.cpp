#include "composer/compose_impulse.h"

#include <cmath>

#include "buffers/sample_bytes.h"
#include "composer/filter_resampler.h"
#include "composer/impulse_accumulator.h"
#include "composer/ir_library_layout.h"
#include "composer/stage_impulse.h"

namespace tolvar {
namespace {

constexpr double kSameRateTolerance = 0.0001;
constexpr int kGranularity = 64;

// The family tags of the sections whose files are named by a choice.
constexpr const char* kTags[ImpulseSelection::kSections] = {kInputModelTag, kLowPassTag, kHighPassTag};

// One composition in progress.
class Composition {
public:
    Composition(const ImpulseSelection& chosen, double hostRate, const IrLibrary& irLibrary,
                HeapBuffer& mergedResponse)
        : selection(chosen), library(irLibrary), merged(mergedResponse) {
        accumulator.LimitForHostRate(hostRate);
    }

    // Reads every active section's file in chain order; a file that cannot be
    // used leaves only its own section out.
    void AddSections() {
        for (int i = 0; i < ImpulseSelection::kSections; ++i) {
            const SectionChoice& section = selection.sections[i];
            if (!section.active) continue;
            AddStageImpulse(accumulator, compositionRate, library, kTags[i], section.selector, section.gainDb,
                            section.hiQ);
        }
    }

    // Convolves the sections read; false when a buffer could not be sized.
    bool Merge(ComposeWorkspace& workspace) { return accumulator.Merge(merged, workspace); }

    // The response as floats at hostRate into `output`, and the delay the
    // conversion built into it; false when it cannot be sized.
    bool Convert(double hostRate, HeapBuffer& output, CompositeInfo& info, ResamplerCache& cache) const;

private:
    const ImpulseSelection& selection;
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

bool Composition::Convert(double hostRate, HeapBuffer& output, CompositeInfo& info, ResamplerCache& cache) const {
    info = CompositeInfo{};
    const int count = merged.Count<double>();
    if (count == 0) return UnitImpulse(output);
    const double* response = merged.As<double>();
    if (std::fabs(hostRate - compositionRate) <= kSameRateTolerance)
        return CopyNarrowed(response, count, output);
    info.resampled = true;
    return ResampleFilter(response, count, compositionRate, hostRate, output, &info.conversionDelay, &cache);
}

}  // namespace

namespace {

// The composite at hostRate into `taps`; false when a buffer could not be sized.
bool Compose(const ImpulseSelection& selection, double hostRate, const IrLibrary& library,
             ComposeWorkspace& kept, HeapBuffer& taps, CompositeInfo& info) {
    Composition composition(selection, hostRate, library, kept.merged);
    composition.AddSections();
    return composition.Merge(kept) && composition.Convert(hostRate, taps, info, kept.resampler);
}

}  // namespace

bool BuildCompositeImpulse(const double (&paramValues)[kParamCount], double hostRate,
                           const IrLibrary& library, ImpulseBuffer& impulse, int* conversionDelay,
                           ComposeWorkspace* workspace) {
    CompositeInfo info;
    if (!BuildCompositeImpulse(SelectionOf(paramValues), hostRate, library, impulse, &info, workspace)) return false;
    if (conversionDelay) *conversionDelay = info.conversionDelay;
    return true;
}

bool BuildCompositeImpulse(const ImpulseSelection& selection, double hostRate, const IrLibrary& library,
                           ImpulseBuffer& impulse, CompositeInfo* info, ComposeWorkspace* workspace) {
    if (!(hostRate > 0.0 && std::isfinite(hostRate))) return false;
    ComposeWorkspace ownWorkspace;
    ComposeWorkspace& kept = workspace ? *workspace : ownWorkspace;
    HeapBuffer taps(kGranularity);
    CompositeInfo composedInfo;
    const bool composed = Compose(selection, hostRate, library, kept, taps, composedInfo);
    kept.Trim();
    if (!composed || !AllFinite(taps)) return false;

    impulse.sampleRate = hostRate;
    impulse.channels = 1;
    impulse.samples[0].SwapStorage(taps);
    if (info) *info = composedInfo;
    return true;
}

}  // namespace tolvar
