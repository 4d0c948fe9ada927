#include "composer/stage_impulse.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "composer/ir_file_names.h"

namespace tolvar {
namespace {

constexpr int kLoadedGranularity = 64;
// Largest frame count whose doubles a HeapBuffer can hold.
constexpr double kMaxLoadFrames = (INT_MAX - kLoadedGranularity) / int{sizeof(double)};

enum class ReadOutcome { kNotOpened, kAdded, kLeftOut };

// Destroys the source it holds exactly once, on every way out.
class SourceGuard {
public:
    explicit SourceGuard(PcmSource* opened) : source(opened) {}
    ~SourceGuard() { PcmSourceDestroy(source); }
    SourceGuard(const SourceGuard&) = delete;
    SourceGuard& operator=(const SourceGuard&) = delete;

private:
    PcmSource* source;
};

bool IsUsableRate(double rate) { return rate >= kLowestFileRate && rate <= kHighestFileRate; }

// A file enters the composite at the precision files are stored in: each
// sample scaled, then rounded to float. A +0 dB file holds float(2^(-k/6)),
// which times its scale 2^(k/6) rounds to exactly 1.0, so the flat defaults
// compose to exactly 1.0 and leave every sample format bit for bit as it was;
// merged in double, four such factors would give 0.99999994. Anywhere else
// this costs one float rounding per file, no more than the composite's own
// narrowing to float.
void ScaleToFloatPrecision(double* samples, int count, double scale) {
    for (int i = 0; i < count; ++i) samples[i] = static_cast<float>(scale * samples[i]);
}

bool AllFinite(const double* samples, int count) {
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(samples[i])) return false;
    return true;
}

// ceil(seconds * rate) as a frame count; false when the length is too long or
// not a number, or the count is below 1 or more than a buffer can hold.
bool FrameCount(double seconds, double rate, int& frames) {
    if (!(seconds <= kLongestFileSeconds)) return false;
    const double count = std::ceil(seconds * rate);
    if (!(count >= 1.0 && count <= kMaxLoadFrames)) return false;
    frames = static_cast<int>(count);
    return true;
}

ReadOutcome ReadAndAdd(const char* path, PcmSourceCreateFromFileFn openSource,
                       ImpulseAccumulator& accumulator, double& compositionRate, double scale) {
    PcmSource* source = openSource(path);
    if (!source) return ReadOutcome::kNotOpened;
    const SourceGuard guard(source);
    if (!PcmSourceIsAvailable(source)) return ReadOutcome::kNotOpened;

    // Every source's own rate is checked, not only the first one's: a later
    // file is converted to the composition rate by the host, and a few samples
    // at a rate of 1 Hz would become millions of frames.
    const double rate = PcmSourceSampleRate(source);
    if (!IsUsableRate(rate)) return ReadOutcome::kLeftOut;
    if (compositionRate == 0.0) compositionRate = rate;
    int frames = 0;
    if (!FrameCount(PcmSourceLengthSeconds(source), compositionRate, frames))
        return ReadOutcome::kLeftOut;
    // A file that would take the composition past its budget is left out as
    // unusable, before anything of it is read.
    if (frames > accumulator.Room(compositionRate)) return ReadOutcome::kLeftOut;

    HeapBuffer loaded(kLoadedGranularity);
    double* samples = static_cast<double*>(loaded.Resize(frames * int{sizeof(double)}, true));
    if (!samples) return ReadOutcome::kLeftOut;  // only this section goes without

    PcmBlock block{};
    block.startTime = 0.0;
    block.sampleRate = compositionRate;
    block.channels = 1;
    block.framesRequested = frames;
    block.samples = samples;
    PcmSourceGetSamples(source, &block);

    const int delivered = std::min(block.framesDelivered, frames);
    if (delivered <= 0) return ReadOutcome::kLeftOut;
    ScaleToFloatPrecision(samples, delivered, scale);
    // A sample that is not a finite number would turn the whole composite, and
    // so the audio, into not-a-number.
    if (!AllFinite(samples, delivered)) return ReadOutcome::kLeftOut;
    return accumulator.Add(loaded, delivered, 1.0) ? ReadOutcome::kAdded : ReadOutcome::kLeftOut;
}

bool FormatPath(char (&path)[kIrPathBytes], const char* folder, const char* familyTag,
                int selector, int gainDb, bool hiQ) {
    if (familyTag) return FormatTaggedIrPath(path, folder, familyTag, selector);
    return FormatSectionIrPath(path, folder, selector, gainDb, hiQ);
}

}  // namespace

StageOutcome AddStageImpulse(ImpulseAccumulator& accumulator, double& compositionRate,
                             const IrLibrary& library, const char* familyTag, int selector,
                             int gainDb, bool hiQ) {
    const bool hiQFile = !familyTag && hiQ;
    char path[kIrPathBytes];
    if (!library.openSource || !FormatPath(path, library.folder, familyTag, selector, gainDb, hiQFile))
        return StageOutcome::kLeftOut;

    const double scale = hiQFile ? kHiQFileScale : kStandardFileScale;
    switch (ReadAndAdd(path, library.openSource, accumulator, compositionRate, scale)) {
        case ReadOutcome::kAdded:
            return StageOutcome::kAdded;
        case ReadOutcome::kLeftOut:
            return StageOutcome::kLeftOut;
        case ReadOutcome::kNotOpened:
            break;
    }
    if (!hiQFile) return StageOutcome::kLeftOut;
    return AddStageImpulse(accumulator, compositionRate, library, nullptr, selector, gainDb, false);
}

}  // namespace tolvar
