// Memory exhaustion during a composition (a setParameter): each allocation the
// plug-in makes is refused in turn. The previous response stays installed or a
// section is left out; the audio goes on; nothing leaks.
#include <algorithm>

#include "params/param_info.h"
#include "tools/validate/audio_checks.h"
#include "tools/validate/heap_probe.h"
#include "tools/validate/heard_response.h"
#include "tools/validate/plugin_checks.h"
#include "tools/validate/subject.h"
#include "tools/validate/validator_tests.h"

namespace tolvar::validate {
namespace {

// Parameters whose choices the transitions below move between.
constexpr float kMicPreamp = 0.25f;    // input model 1: misc_mic_pre.wav
constexpr float kGainZero = 0.48f;     // choice 12: +0 dB
constexpr float kGainPlus3 = 0.6f;     // choice 15: +3 dB
constexpr float kGainBypass = 1.0f;    // choice 25: the section is left out

struct Transition {
    const char* what;
    int index;
    float from;
    float to;
    std::vector<NamedFile> before;  // sections in composition order
    std::vector<NamedFile> after;
};

std::vector<NamedFile> DefaultFiles(Subject& subject) {
    const auto taps = PutDefaultSections(subject, static_cast<int>(kHostRate));
    std::vector<NamedFile> files;
    for (int i = 0; i < 4; ++i) files.emplace_back(kDefaultSectionFiles[i], taps[static_cast<std::size_t>(i)]);
    return files;
}

std::vector<Transition> Transitions(Subject& subject) {
    const std::vector<NamedFile> defaults = DefaultFiles(subject);
    const NamedFile plus3{"820+3.wav", SectionTaps(150, 200)};
    const NamedFile mic{"misc_mic_pre.wav", SectionTaps(250, 201)};
    subject.OurIrFolder().Put(plus3.first, plus3.second, static_cast<int>(kHostRate));
    subject.OurIrFolder().Put(mic.first, mic.second, static_cast<int>(kHostRate));
    std::vector<NamedFile> withPlus3 = defaults, withMic = defaults, withoutShelf = defaults;
    withPlus3[1] = plus3;
    withMic.insert(withMic.begin(), mic);
    withoutShelf.erase(withoutShelf.begin());
    return {{"band 1 to +3 dB", kParamBand1G, kGainZero, kGainPlus3, defaults, withPlus3},
            {"input model on", kParamInputMode, 0.0f, kMicPreamp, defaults, withMic},
            {"low shelf bypassed", kParamLShelfG, kGainZero, kGainBypass, defaults, withoutShelf}};
}

// Which acceptable outcome the heard response is, or empty when none.
std::string Outcome(const std::vector<double>& heard, const Transition& transition) {
    auto composite = [](const std::vector<NamedFile>& files) {
        std::vector<std::vector<double>> taps;
        for (const NamedFile& file : files) taps.push_back(file.second);
        return Composite(taps);
    };
    if (CompositeDeviation(heard, composite(transition.after)) <= kCompositeBound) return "the new response";
    if (CompositeDeviation(heard, composite(transition.before)) <= kCompositeBound) return "the previous response";
    for (std::size_t left = 0; left < transition.after.size(); ++left) {
        std::vector<NamedFile> without = transition.after;
        without.erase(without.begin() + static_cast<std::ptrdiff_t>(left));
        if (CompositeDeviation(heard, composite(without)) <= kCompositeBound)
            return "the new response without " + transition.after[left].first;
    }
    return {};
}

TestResult EachAllocation(Subject& subject, const TestSettings& settings) {
    if (!subject.Ours()) return Skipped(kNotOurs);
    const HeapProbeAbilities can = HeapProbeCan();
    if (!can.refuses) return Skipped("allocations cannot be refused: " + can.whyNot);
    subject.OurIrFolder().Clear();
    const std::vector<Transition> transitions = Transitions(subject);
    std::string error;
    auto library = subject.Load(&error);
    if (!library || !TargetLibraryAt(library->FindSymbol("main"))) return Failed("cannot find the plug-in's code: " + error);
    subject.Create(library, &error);  // process-wide set-up happens outside the record
    StartTrackingLibraryBlocks();
    auto instance = subject.Create(library, &error);
    if (!instance) return Failed(error);
    instance->Prepare(kHostRate, 512);

    Findings findings;
    int injected = 0;
    for (const Transition& transition : transitions) {
        instance->SetParameter(transition.index, transition.from);
        long allocations = 0;
        {
            const RefusedAllocations none(0, 0);
            instance->SetParameter(transition.index, transition.to);
            allocations = none.Seen();
        }
        if (allocations == 0)
            return Failed(std::string(transition.what) + ": the heap probe saw no allocation of the plug-in's own, "
                          "so it cannot refuse any");
        const int picks = settings.strictness >= 8 ? static_cast<int>(allocations) : 2 + 2 * settings.strictness;
        for (int pick : SpreadPick(static_cast<int>(allocations), picks)) {
            const long number = pick + 1;
            instance->SetParameter(transition.index, transition.from);
            {
                const RefusedAllocations refuse(number, 0);
                instance->SetParameter(transition.index, transition.to);
            }
            ++injected;
            const std::string what = std::string(transition.what) + ", allocation " + std::to_string(number) + " of " +
                                     std::to_string(allocations) + " refused";
            Findings local;
            const std::vector<double> heard = HeardResponse(*instance, 2048, local);
            if (local.Any() || Outcome(heard, transition).empty())
                findings.Add(what + ": the response is neither the previous one, the new one, nor the new one "
                                    "without one section");
            ProcessNoiseAndCheck(*instance, 4096, 512, settings.seed, what + ": audio", findings);
        }
        instance->SetParameter(transition.index, transition.from);
    }
    instance->Close();
    StopTrackingLibraryBlocks();
    const long live = TrackedLibraryBlocks();
    if (live != 0)
        findings.Add(live < 0 ? "too many blocks to track for the leak check"
                              : std::to_string(live) + " blocks that the plug-in allocated were never freed");
    CheckSourcesReleased(subject, "after the refusals", findings);
    return findings.Result(std::to_string(injected) + " allocations refused over " +
                           std::to_string(transitions.size()) + " settings changes; no leak");
}

// A file whose samples the heap cannot hold is left out alone: the rest of
// the composition goes on.
TestResult RefusedFileBuffer(Subject& subject, const TestSettings&) {
    if (!subject.Ours()) return Skipped(kNotOurs);
    const HeapProbeAbilities can = HeapProbeCan();
    if (!can.refuses) return Skipped("allocations cannot be refused: " + can.whyNot);
    constexpr int kBigFrames = 200000;  // 4.5 s at 44.1 kHz: usable, but large
    subject.OurIrFolder().Clear();
    const std::vector<NamedFile> defaults = DefaultFiles(subject);
    subject.OurIrFolder().Put("820+3.wav", SectionTaps(kBigFrames, 300), static_cast<int>(kHostRate));
    std::string error;
    auto library = subject.Load(&error);
    if (!library || !TargetLibraryAt(library->FindSymbol("main"))) return Failed("cannot find the plug-in's code: " + error);
    auto instance = subject.Create(library, &error);
    if (!instance) return Failed(error);
    instance->Prepare(kHostRate, 512);
    long refused = 0;
    {
        // Anything that could hold the file's frames, even as 16-bit values.
        const RefusedAllocations refuse(0, 2 * static_cast<std::size_t>(kBigFrames));
        instance->SetParameter(kParamBand1G, kGainPlus3);
        refused = refuse.Refused();
    }
    Findings findings;
    if (refused == 0) return Failed("the plug-in never asked for a buffer that could hold the big file's samples");
    const std::vector<NamedFile> rest = {defaults[0], defaults[2], defaults[3]};
    std::vector<std::vector<double>> restTaps, defaultTaps;
    for (const NamedFile& file : rest) restTaps.push_back(file.second);
    for (const NamedFile& file : defaults) defaultTaps.push_back(file.second);
    const std::vector<double> heard = HeardResponse(*instance, 2048, findings);
    if (CompositeDeviation(heard, Composite(defaultTaps)) <= kCompositeBound)
        findings.Add("the heap refused the buffer for 820+3.wav's samples and the whole composition was abandoned: "
                     "the previous response stayed instead of only that section being left out");
    else if (CompositeDeviation(heard, Composite(restTaps)) > kCompositeBound)
        findings.Add("after the heap refused the buffer for 820+3.wav's samples the response is not the composite of " +
                     Names(rest));
    ProcessNoiseAndCheck(*instance, 4096, 512, 3, "audio", findings);
    return findings.Result(std::to_string(refused) + " large allocations refused; the section was left out alone");
}

}  // namespace

void AddFaultInjectionTests(std::vector<ValidatorTest>& tests, const TestSettings&) {
    tests.push_back({"faults.each-allocation", EachAllocation});
    tests.push_back({"faults.file-buffer-refused", RefusedFileBuffer});
}

}  // namespace tolvar::validate
