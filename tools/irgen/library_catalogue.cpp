#include "tools/irgen/library_catalogue.h"

#include <cmath>
#include <iterator>
#include <stdexcept>

#include "composer/ir_file_names.h"
#include "tools/irgen/impulse_trim.h"
#include "tools/irgen/linear_phase_lowpass.h"
#include "tools/irgen/minimum_phase_design.h"

namespace tolvar::irgen {
namespace {

constexpr int kLowPassHz[] = {3900, 5600, 8200, 12000, 18000};
constexpr int kHighPassHz[] = {27, 47, 82, 150, 270};
static_assert(std::size(kLowPassHz) == kLowPassCount && std::size(kHighPassHz) == kHighPassCount);
constexpr int kLowPassOrder = 2;
constexpr int kHighPassOrder = 3;

// The converters' anti-alias filter and their reference levels: a converter
// aligned to -15 dBFS meets the same analog level 3 dB hotter than one at -18.
// The filter has the magnitude of a linear-phase Kaiser design and minimum
// phase, so that, like every other file, it delays the audio by nothing a
// host would have to compensate.
constexpr double kConverterPassHz = 20000.0;
constexpr double kConverterStopHz = 22500.0;
constexpr double kConverterStopDb = 100.0;
constexpr double kConverterMinus15LevelDb = 3.0;
constexpr double kConverterMinus18LevelDb = 0.0;
// The grid on which the converters' minimum phase is found: far longer than
// the filter (247 taps), so that the magnitude is kept within 0.0001 dB.
constexpr int kConverterGrid = 1 << 16;

// The microphone pre-amplifier's transformer: a first-order low-end roll-off and
// a soft, slightly damped top.
AnalogFilter MicPreModel() {
    return ButterworthHighPass(16.0, 1).Then(LowPass2(45000.0, 0.65));
}

// The instrument input's transformer: a second-order low-end roll-off, a touch of
// low-mid weight from its loading, and an earlier top roll-off.
AnalogFilter InstrumentDiModel() {
    return HighPass2(12.0, 0.7).Then(PeakingBand(110.0, 0.8, 0.7)).Then(LowPass2(30000.0, 0.7));
}

std::string TaggedName(const char* tag, int choice) {
    const char* base = TaggedIrBaseName(tag, choice);
    if (!base) throw std::logic_error("no IR file for a catalogue choice");
    return std::string(base) + ".wav";
}

std::string SectionName(int frequencyHz, int gainDb, bool hiQ) {
    char path[kIrPathBytes];
    if (!FormatSectionIrPath(path, "", frequencyHz, gainDb, hiQ)) throw std::logic_error("section name");
    return path;
}

LibraryFile Shaped(std::string name, int scaleExponent, AnalogFilter filter) {
    return {std::move(name), scaleExponent, ResponseKind::kMinimumPhase, std::move(filter)};
}

void AddNamedFiles(std::vector<LibraryFile>& files) {
    static_assert(kInputModelCount == 4, "one model per input choice");
    files.push_back(Shaped(TaggedName(kInputModelTag, 1), kStandardScaleExponent, MicPreModel()));
    files.push_back(Shaped(TaggedName(kInputModelTag, 2), kStandardScaleExponent, InstrumentDiModel()));
    files.push_back({TaggedName(kInputModelTag, 3), kStandardScaleExponent, ResponseKind::kConverter, {},
                     kConverterMinus15LevelDb});
    files.push_back({TaggedName(kInputModelTag, 4), kStandardScaleExponent, ResponseKind::kConverter, {},
                     kConverterMinus18LevelDb});
    for (int choice = 1; choice <= kLowPassCount; ++choice)
        files.push_back(Shaped(TaggedName(kLowPassTag, choice), kStandardScaleExponent,
                               ButterworthLowPass(kLowPassHz[choice - 1], kLowPassOrder)));
    for (int choice = 1; choice <= kHighPassCount; ++choice)
        files.push_back(Shaped(TaggedName(kHighPassTag, choice), kStandardScaleExponent,
                               ButterworthHighPass(kHighPassHz[choice - 1], kHighPassOrder)));
}

template <typename Design>
void AddSectionFiles(std::vector<LibraryFile>& files, const int* frequencies, int count, bool hiQ,
                     Design design) {
    const int scaleExponent = hiQ ? kHiQScaleExponent : kStandardScaleExponent;
    for (int i = 0; i < count; ++i) {
        for (int gain = kLowestGainDb; gain <= kHighestGainDb; ++gain) {
            LibraryFile file = Shaped(SectionName(frequencies[i], gain, hiQ), scaleExponent,
                                      design(frequencies[i], gain));
            if (gain == 0) file.kind = ResponseKind::kUnit;
            files.push_back(std::move(file));
        }
    }
}

}  // namespace

std::vector<LibraryFile> LibraryCatalogue() {
    std::vector<LibraryFile> files;
    AddNamedFiles(files);
    const auto lowShelf = [](double f, double g) { return LowShelf(f, g); };
    const auto band = [](double f, double g) { return PeakingBand(f, g, kBandQuality); };
    const auto hiQBand = [](double f, double g) { return PeakingBand(f, g, kHiQBandQuality); };
    const auto highShelf = [](double f, double g) { return HighShelf(f, g); };
    AddSectionFiles(files, kLowShelfHz, std::size(kLowShelfHz), false, lowShelf);
    AddSectionFiles(files, kBandHz, std::size(kBandHz), false, band);
    AddSectionFiles(files, kHighShelfHz, std::size(kHighShelfHz), false, highShelf);
    AddSectionFiles(files, kBandHz, std::size(kBandHz), true, hiQBand);
    return files;
}

std::vector<double> DesignImpulse(const LibraryFile& file) {
    std::vector<double> impulse;
    switch (file.kind) {
        case ResponseKind::kUnit:
            impulse = {1.0};
            break;
        case ResponseKind::kMinimumPhase:
            impulse = TrimTail(MinimumPhaseImpulse(file.filter, kLibraryRate));
            break;
        case ResponseKind::kConverter:
            impulse = TrimTail(MinimumPhaseOf(
                KaiserLowPass(kConverterPassHz, kConverterStopHz, kConverterStopDb, kLibraryRate), kConverterGrid));
            for (double& tap : impulse) tap *= std::pow(10.0, file.levelDb / 20.0);
            break;
    }
    const double headroom = std::exp2(-file.scaleExponent / 6.0);
    for (double& tap : impulse) tap *= headroom;
    return impulse;
}

}  // namespace tolvar::irgen
