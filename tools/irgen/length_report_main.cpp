// tolvar-irlengths DIR: how long the IR library's files are, family by family,
// and what the plug-in's composite response comes to (taps and latency at 44.1
// and 96 kHz) for the default setting and for the longest setting there is.
// DIR is a library folder as tolvar-irgen writes it.
#include <sndfile.h>

#include <cstdio>
#include <string>
#include <vector>

#include "composer/compose_impulse.h"
#include "composer/ir_file_names.h"
#include "composer/ir_library_layout.h"
#include "convolution/fft_size.h"
#include "host/media_source.h"
#include "params/param_info.h"
#include "tools/irgen/library_catalogue.h"

namespace {

using namespace tolvar;
using namespace tolvar::irgen;

// One file a section's setting can select, and the parameter values that select it.
struct Option {
    std::string name;
    long long frames = 0;
    std::vector<std::pair<int, double>> choices;  // parameter index, table value
};

struct Family {
    const char* title;
    std::vector<Option> options;
};

long long FrameCount(const std::string& folder, const std::string& name) {
    SF_INFO info{};
    SNDFILE* file = sf_open((folder + name).c_str(), SFM_READ, &info);
    if (!file) return -1;
    sf_close(file);
    return info.frames;
}

Family Tagged(const char* title, const char* tag, int count, int parameter) {
    Family family{title, {}};
    for (int choice = 1; choice <= count; ++choice)
        family.options.push_back({std::string(TaggedIrBaseName(tag, choice)) + ".wav", 0, {{parameter, choice}}});
    return family;
}

template <int kCount>
Family Sections(const char* title, const int (&frequencies)[kCount], int frequencyParam, int gainParam,
                int hiQParam, bool hiQ) {
    Family family{title, {}};
    for (int f = 0; f < kCount; ++f) {
        for (int gain = kLowestGainDb; gain <= kHighestGainDb; ++gain) {
            char name[kIrPathBytes];
            FormatSectionIrPath(name, "", frequencies[f], gain, hiQ);
            Option option{name, 0, {{frequencyParam, f}, {gainParam, gain - kLowestGainDb}}};
            if (hiQParam >= 0) option.choices.push_back({hiQParam, hiQ ? 1.0 : 0.0});
            family.options.push_back(option);
        }
    }
    return family;
}

struct Composite {
    int taps = 0;
    int latency = 0;
};

// The composite the plug-in builds for these values at hostRate, and the
// latency it reports for it: half the FFT size (none in direct form) plus the
// delay of the rate conversion.
Composite Compose(const double (&values)[kParamCount], double hostRate, const std::string& folder) {
    const IrLibrary library{folder.c_str(), CreateMediaSource};
    ImpulseBuffer impulse;
    int conversionDelay = 0;
    if (!BuildCompositeImpulse(values, hostRate, library, impulse, &conversionDelay)) return {-1, -1};
    const int taps = impulse.TapCount(0);
    const int fftSize = taps <= kMaxDirectTaps ? 0 : ChooseFftSize(taps, -1);
    return {taps, fftSize / 2 + conversionDelay};
}

void PrintComposite(const char* title, const double (&values)[kParamCount], const std::string& folder) {
    const Composite at44 = Compose(values, 44100.0, folder);
    const Composite at96 = Compose(values, 96000.0, folder);
    std::printf("  %-10s %8d taps, latency %6d (%6.2f ms)   %8d taps, latency %6d (%6.2f ms)\n", title, at44.taps,
                at44.latency, at44.latency / 44.1, at96.taps, at96.latency, at96.latency / 96.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tolvar-irlengths DIR   (an IR library folder)\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    std::vector<Family> families = {
        Tagged("input models", kInputModelTag, kInputModelCount, kParamInputMode),
        Tagged("low-pass", kLowPassTag, kLowPassCount, kParamLpf),
        Tagged("high-pass", kHighPassTag, kHighPassCount, kParamHpf),
        Sections("low shelf", kLowShelfHz, kParamLShelfF, kParamLShelfG, -1, false),
        Sections("bands", kBandHz, kParamBand1F, kParamBand1G, kParamBand1HQ, false),
        Sections("Hi-Q bands", kBandHz, kParamBand1F, kParamBand1G, kParamBand1HQ, true),
        Sections("high shelf", kHighShelfHz, kParamHShelfF, kParamHShelfG, -1, false),
    };

    std::printf("File lengths in frames at 96 kHz (ms)\n");
    std::printf("  %-13s %-32s %-32s %s\n", "family", "shortest", "shortest not flat", "longest");
    for (Family& family : families) {
        const Option* shortest = nullptr;
        const Option* shortestShaped = nullptr;
        const Option* longest = nullptr;
        for (Option& option : family.options) {
            option.frames = FrameCount(folder, option.name);
            if (option.frames < 0) {
                std::fprintf(stderr, "tolvar-irlengths: cannot read %s%s\n", folder.c_str(), option.name.c_str());
                return 1;
            }
            if (!shortest || option.frames < shortest->frames) shortest = &option;
            if (option.frames > 1 && (!shortestShaped || option.frames < shortestShaped->frames)) shortestShaped = &option;
            if (!longest || option.frames > longest->frames) longest = &option;
        }
        const auto describe = [](const Option* option) {
            char text[64];
            std::snprintf(text, sizeof text, "%6lld (%6.2f) %s", option->frames, option->frames / 96.0,
                          option->name.c_str());
            return std::string(text);
        };
        std::printf("  %-13s %-32s %-32s %s\n", family.title, describe(shortest).c_str(),
                    describe(shortestShaped).c_str(), describe(longest).c_str());
    }

    // Defaults: clean input, filters off, every section at +0 dB.
    double defaults[kParamCount];
    for (int i = 0; i < kParamCount; ++i) defaults[i] = NormalizedFromValue(i, kParamTable[i].defaultValue);
    // The longest: each section on its longest file (band 2 as band 1).
    double longest[kParamCount];
    for (int i = 0; i < kParamCount; ++i) longest[i] = defaults[i];
    for (const Family* pick : {&families[0], &families[1], &families[2], &families[3], &families[6]}) {
        const Option* best = &pick->options[0];
        for (const Option& option : pick->options) if (option.frames > best->frames) best = &option;
        for (const auto& [index, value] : best->choices) longest[index] = NormalizedFromValue(index, value);
    }
    const Option* longestBand = &families[4].options[0];
    for (const Family* bands : {&families[4], &families[5]})
        for (const Option& option : bands->options) if (option.frames > longestBand->frames) longestBand = &option;
    for (const auto& [index, value] : longestBand->choices) {
        longest[index] = NormalizedFromValue(index, value);
        longest[index + 3] = NormalizedFromValue(index + 3, value);  // band 2's parameters follow band 1's
    }

    std::printf("\nComposite response            at 44.1 kHz                                 at 96 kHz\n");
    PrintComposite("defaults", defaults, folder);
    PrintComposite("longest", longest, folder);
    return 0;
}
