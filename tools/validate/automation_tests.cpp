// Automation while audio runs: parameters change between 32-frame blocks, on
// the audio thread and from another thread. The output stays finite; for ours
// it stays aligned with the reported latency, which stays within what the
// settings need, and no silence appears mid-stream beyond what a rise of the
// latency owes.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <random>
#include <thread>

#include "params/param_info.h"
#include "tools/validate/audio_checks.h"
#include "tools/validate/heard_response.h"
#include "tools/validate/plugin_checks.h"
#include "tools/validate/subject.h"
#include "tools/validate/validator_tests.h"

namespace tolvar::validate {
namespace {

constexpr int32_t kSubBlock = 32;
constexpr double kAlignmentBound = 1e-4;  // relative to the sum of the response's magnitudes
constexpr float kLoudLevel = 1e-4f;       // -80 dBFS: far above the round-off of a faint response

// Ours: five parameters, each toggling between two choices that both select
// files the validator wrote, so every reachable setting has a known response
// long enough for the engine's FFT form.
struct Dimension {
    int index;
    float values[2];
};
const Dimension kDimensions[] = {
    {kParamInputMode, {0.25f, 0.75f}},  // microphone pre-amplifier, converter -15
    {kParamLShelfG, {0.48f, 1.0f}},     // +0 dB, bypass
    {kParamBand1G, {0.48f, 0.6f}},      // +0 dB, +3 dB
    {kParamBand2HQ, {0.0f, 1.0f}},      // off, on
    {kParamHShelfF, {0.5f, 1.0f}},      // 6800 Hz, 15000 Hz
};
constexpr int kDimensionCount = 5;
constexpr int kSettingCount = 1 << kDimensionCount;

void PutAutomationFiles(Subject& subject, int rate) {
    const IrFolder& folder = subject.OurIrFolder();
    folder.Clear();
    PutDefaultSections(subject, rate);
    folder.Put("misc_mic_pre.wav", SectionTaps(260, 600), rate);
    folder.Put("conv_-15_converter.wav", SectionTaps(400, 601), rate);
    folder.Put("820+3.wav", SectionTaps(90, 602), rate);
    folder.Put("1800+0-hq.wav", SectionTaps(170, 603), rate);
    // A response whose first 60 taps are far below its peak (2^-30): converted
    // to another rate, nothing that matters rings before time zero, so it
    // carries no conversion delay of its own while the others do, and
    // switching between them moves that delay. The faint taps keep the output
    // from falling to exact zeros while its main part has not yet arrived.
    std::vector<double> late(60, 1.0 / (1 << 30));
    const std::vector<double> tail = SectionTaps(40, 604);
    late.insert(late.end(), tail.begin(), tail.end());
    folder.Put("15000+0.wav", late, rate);
}

void Apply(PluginInstance& instance, int setting) {
    for (int d = 0; d < kDimensionCount; ++d) instance.SetParameter(kDimensions[d].index, kDimensions[d].values[(setting >> d) & 1]);
}

// One setting heard alone: its response from frame 0 and the latency it reports.
struct Isolated {
    std::vector<double> response;
    int latency = 0;
    double magnitude = 0.0;  // sum of |response|
};

std::vector<Isolated> MeasureSettings(Subject& subject, double rate, Findings& findings) {
    std::vector<Isolated> settings(kSettingCount);
    for (int setting = 0; setting < kSettingCount; ++setting) {
        std::string error;
        auto instance = subject.CreatePrepared(rate, 4096, &error);
        if (!instance) return findings.Add(error), settings;
        Apply(*instance, setting);
        instance->SetMains(false);
        instance->SetMains(true);
        Isolated& isolated = settings[static_cast<std::size_t>(setting)];
        isolated.latency = instance->InitialDelay();
        const ResponseMatrix responses = MeasureResponses(*instance, 3 * static_cast<std::size_t>(isolated.latency) + 4096);
        isolated.response = responses[0][0];
        double peak = 0.0;
        for (double v : isolated.response) peak = std::max(peak, std::fabs(v));
        while (!isolated.response.empty() && std::fabs(isolated.response.back()) <= 1e-6 * peak) isolated.response.pop_back();
        for (double v : isolated.response) isolated.magnitude += std::fabs(v);
    }
    return settings;
}

// A change of setting while audio runs. The change happened after `before`
// frames had been processed and before `after` had (equal on the audio thread).
struct Change {
    long before;
    long after;
    int setting;
};

struct Run {
    AudioChannels input, output;
    std::vector<Change> changes;      // the first is the starting setting at frame 0
    std::vector<int32_t> latencies;   // reported after each block of kSubBlock frames
};

void ProcessSubBlock(PluginInstance& instance, Run& run, long at) {
    float* in[2] = {run.input[0].data() + at, run.input[1].data() + at};
    float* out[2] = {run.output[0].data() + at, run.output[1].data() + at};
    instance.ProcessBlock(in, out, kSubBlock);
    run.latencies.push_back(instance.InitialDelay());
}

Run SameThreadRun(PluginInstance& instance, long frames, int start, uint32_t seed) {
    Run run{Noise(2, static_cast<std::size_t>(frames), seed), Silence(2, static_cast<std::size_t>(frames)), {{0, 0, start}}, {}};
    std::mt19937 random(seed);
    int setting = start;
    // First the high shelf's two files in turn, which differ in their
    // conversion delay, between changes of every other kind; then at random.
    const int opening[] = {4, 0, 4, 1, 4, 2, 4, 3, 4, 4};
    std::size_t opened = 0;
    for (long at = 0; at + kSubBlock <= frames; at += kSubBlock) {
        std::vector<int> toggled;
        if (opened < std::size(opening)) {
            if (at > 0 && at % 4096 == 0) toggled.push_back(opening[opened++]);
        } else if (random() % 160 == 0) {  // now and then a burst of one to three changes
            for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) toggled.push_back(static_cast<int>(random() % kDimensionCount));
        }
        for (int d : toggled) {
            setting ^= 1 << d;
            instance.SetParameter(kDimensions[d].index, kDimensions[d].values[(setting >> d) & 1]);
            run.changes.push_back({at, at, setting});
        }
        ProcessSubBlock(instance, run, at);
    }
    return run;
}

// The audio thread runs on while the other thread changes a setting; it only
// waits, between blocks, until the next change has begun, so that changes land
// all through the run however fast the blocks go.
Run OtherThreadRun(PluginInstance& instance, long frames, int start, uint32_t seed) {
    Run run{Noise(2, static_cast<std::size_t>(frames), seed), Silence(2, static_cast<std::size_t>(frames)), {{0, 0, start}}, {}};
    run.latencies.reserve(static_cast<std::size_t>(frames / kSubBlock));
    constexpr long kNoGate = std::numeric_limits<long>::max();
    constexpr long kFirstChange = 2000;
    std::atomic<long> done{0}, gate{kFirstChange};
    std::vector<Change> changes;
    std::thread automation([&] {
        std::mt19937 random(seed + 1);
        int setting = start;
        for (long next = kFirstChange; next < frames - 4000;) {
            while (done.load() < next) std::this_thread::yield();
            const int d = static_cast<int>(random() % kDimensionCount);
            setting ^= 1 << d;
            const long before = done.load();
            const long following =
                next + (random() % 4 == 0 ? 32 + static_cast<long>(random() % 300) : 3000 + static_cast<long>(random() % 9000));
            gate.store(following);  // the audio thread runs on, up to the following change, while this one is made
            instance.SetParameter(kDimensions[d].index, kDimensions[d].values[(setting >> d) & 1]);
            changes.push_back({before, done.load(), setting});
            next = following;
        }
        gate.store(kNoGate);
    });
    for (long at = 0; at + kSubBlock <= frames; at += kSubBlock) {
        ProcessSubBlock(instance, run, at);
        done.store(at + kSubBlock);
        while (done.load() >= gate.load()) std::this_thread::yield();
    }
    automation.join();
    run.changes.insert(run.changes.end(), changes.begin(), changes.end());
    return run;
}

// Checks the run against the settings heard alone.
void CheckRun(const Run& run, const std::vector<Isolated>& settings, int strictness, Findings& findings, std::string& note) {
    const Defects defects = ScanDefects(run.output);
    if (defects.Any()) findings.Add("output has " + defects.Describe());
    int bound = 0;
    for (const Isolated& isolated : settings) bound = std::max(bound, isolated.latency);
    const long frames = static_cast<long>(run.latencies.size()) * kSubBlock;
    auto latencyAt = [&](long frame) { return run.latencies[static_cast<std::size_t>(frame / kSubBlock)]; };

    // The latency stays within what the settings need alone.
    for (std::size_t block = 0; block < run.latencies.size(); ++block)
        if (run.latencies[block] > bound) {
            findings.Add("initialDelay rose to " + std::to_string(run.latencies[block]) + " frames by " +
                         FrameText(static_cast<long>(block) * kSubBlock) + ", above the " + std::to_string(bound) +
                         " that any of these settings needs alone");
            break;
        }

    // Silence mid-stream only as far as the latency rose. A run of exact
    // zeros counts as inserted silence when loud audio stands on both sides of
    // it: zeros among faint samples are the round-off of a faint response.
    auto loud = [&](long o) { return std::max(std::fabs(run.output[0][o]), std::fabs(run.output[1][o])) >= kLoudLevel; };
    auto zero = [&](long o) { return run.output[0][o] == 0.0f && run.output[1][o] == 0.0f; };
    long first = 0;
    while (first < frames && zero(first)) ++first;
    long silent = 0;
    for (long o = first; o < frames; ++o) {
        if (!zero(o)) continue;
        long end = o;
        while (end < frames && zero(end)) ++end;
        if (loud(o - 1) && end < frames && loud(end)) {
            silent += end - o;
            const long rise = latencyAt(end - 1) - latencyAt(first);
            if (silent > rise) {
                findings.Add(std::to_string(silent) + " frames of silence inserted mid-stream by " + FrameText(end - 1) +
                             " while initialDelay rose by " + std::to_string(rise));
                break;
            }
        }
        o = end;
    }

    // Away from the changes the output is each setting's response, delayed by
    // the latency reported then.
    long checked = 0, misaligned = 0;
    const long step = std::max(1, 12 - strictness);
    for (std::size_t c = 0; c < run.changes.size(); ++c) {
        const Isolated& isolated = settings[static_cast<std::size_t>(run.changes[c].setting)];
        const long end = c + 1 < run.changes.size() ? run.changes[c + 1].before : frames;
        const long settled = run.changes[c].after + 2L * bound + static_cast<long>(isolated.response.size());
        for (long o = settled; o < end; o += step) {
            const long shift = latencyAt(o) - isolated.latency;  // how much later than alone
            for (int ch = 0; ch < 2; ++ch) {
                double expected = 0.0;
                for (std::size_t n = 0; n < isolated.response.size(); ++n) {
                    const long x = o - shift - static_cast<long>(n);
                    if (x >= 0) expected += isolated.response[n] * run.input[ch][static_cast<std::size_t>(x)];
                }
                ++checked;
                if (!(std::fabs(run.output[ch][o] - expected) <= kAlignmentBound * isolated.magnitude) && misaligned++ == 0)
                    findings.Add("at " + FrameText(o) + " the output is not the setting's response delayed by the " +
                                 "reported " + std::to_string(latencyAt(o)) + " frames");
            }
        }
    }
    note = std::to_string(run.changes.size() - 1) + " changes over " + std::to_string(frames) + " frames; " +
           std::to_string(checked) + " settled samples checked for alignment; latency bound " + std::to_string(bound);
}

TestResult OurAutomation(Subject& subject, const TestSettings& settings, int fileRate, bool otherThread) {
    constexpr double kRate = 44100.0;
    PutAutomationFiles(subject, fileRate);
    Findings findings;
    const std::vector<Isolated> isolated = MeasureSettings(subject, kRate, findings);
    if (findings.Any()) return findings.Result("");
    std::vector<int> latencies;
    for (const Isolated& one : isolated) latencies.push_back(one.latency);
    std::sort(latencies.begin(), latencies.end());
    latencies.erase(std::unique(latencies.begin(), latencies.end()), latencies.end());

    std::string error;
    auto instance = subject.CreatePrepared(kRate, kSubBlock, &error);
    if (!instance) return Failed(error);
    std::mt19937 random(settings.seed);
    const int start = static_cast<int>(random() % kSettingCount);
    Apply(*instance, start);
    instance->SetMains(false);
    instance->SetMains(true);
    const long frames = static_cast<long>(kRate) * (1 + settings.strictness);
    const Run run = otherThread ? OtherThreadRun(*instance, frames, start, settings.seed)
                                : SameThreadRun(*instance, frames, start, settings.seed);
    std::string note;
    CheckRun(run, isolated, settings.strictness, findings, note);
    return findings.Result(note + "; " + std::to_string(latencies.size()) + " distinct latencies among the " +
                           std::to_string(kSettingCount) + " settings");
}

// Foreign plug-ins: random parameters at random values; the output stays finite.
TestResult ForeignAutomation(Subject& subject, const TestSettings& settings, bool otherThread) {
    const PluginFacts& facts = subject.Facts();
    if (facts.numParams == 0) return Skipped("the plug-in has no parameters");
    std::string error;
    auto instance = subject.CreatePrepared(44100.0, kSubBlock, &error);
    if (!instance) return Failed(error);
    const long frames = 44100L * (1 + settings.strictness);
    AudioChannels input = Noise(facts.numInputs, static_cast<std::size_t>(frames), settings.seed);
    AudioChannels output = Silence(facts.numOutputs, static_cast<std::size_t>(frames));
    std::atomic<bool> running{true};
    auto change = [&](std::mt19937& random) {
        instance->SetParameter(static_cast<int32_t>(random() % static_cast<unsigned>(facts.numParams)),
                               std::uniform_real_distribution<float>(0.0f, 1.0f)(random));
    };
    std::thread automation([&] {
        std::mt19937 random(settings.seed + 1);
        while (otherThread && running.load()) change(random), std::this_thread::yield();
    });
    std::mt19937 random(settings.seed);
    std::vector<float*> in(static_cast<std::size_t>(facts.numInputs) + 1), out(static_cast<std::size_t>(facts.numOutputs) + 1);
    for (long at = 0; at + kSubBlock <= frames; at += kSubBlock) {
        if (!otherThread && random() % 8 == 0) change(random);
        for (std::size_t c = 0; c < input.size(); ++c) in[c] = input[c].data() + at;
        for (std::size_t c = 0; c < output.size(); ++c) out[c] = output[c].data() + at;
        instance->ProcessBlock(in.data(), out.data(), kSubBlock);
    }
    running = false;
    automation.join();
    const Defects defects = ScanDefects(output);
    if (defects.Any()) return Failed("output has " + defects.Describe());
    return Passed(std::to_string(frames) + " frames in blocks of 32 with random parameter changes" +
                  (otherThread ? " from another thread" : "") +
                  "; no reference for a foreign plug-in's automated output: checked for NaN, infinity and subnormals");
}

}  // namespace

void AddAutomationTests(std::vector<ValidatorTest>& tests, const TestSettings&) {
    tests.push_back({"automation.same-thread", [](Subject& s, const TestSettings& t) {
                         return s.Ours() ? OurAutomation(s, t, 44100, false) : ForeignAutomation(s, t, false);
                     }});
    tests.push_back({"automation.other-thread", [](Subject& s, const TestSettings& t) {
                         return s.Ours() ? OurAutomation(s, t, 44100, true) : ForeignAutomation(s, t, true);
                     }});
    tests.push_back({"automation.rate-conversion", [](Subject& s, const TestSettings& t) {
                         return s.Ours() ? OurAutomation(s, t, 96000, false) : Skipped(kNotOurs);
                     }});
}

}  // namespace tolvar::validate
