// Audio at every rate and block size: white noise in gives output free of NaN,
// infinity and subnormals that matches the reference, aligned with the reported
// latency; silence in gives silence out once the response has rung out.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/block_sizes.h"
#include "tools/validate/audio_checks.h"
#include "tools/validate/plugin_checks.h"
#include "tools/validate/response_model.h"
#include "tools/validate/subject.h"
#include "tools/validate/validator_tests.h"

namespace tolvar::validate {
namespace {

constexpr int kFileRate = 96000;              // the rate of the shipped IR library
constexpr double kReferenceBound = 1e-5;      // deviation relative to the expected peak, ours
constexpr double kMeasuredBound = 1e-4;       // the same for a measured reference: its cut tail counts too
constexpr double kSpectrumBound = 2e-3;       // complex deviation relative to the response's peak
constexpr int kSpectrumPoints = 240;
constexpr std::size_t kLongestBlock = 8192;

struct BlockPlan {
    std::string name;
    std::vector<int32_t> sizes;  // cycled
    int32_t largest;
};

std::vector<BlockPlan> BlockPlans(const TestSettings& settings) {
    std::vector<BlockPlan> all = {{"0 between 64", {0, 64, 0, 0, 64}, 64}};
    for (int32_t size : {1, 7, 32, 64, 100, 512, 1024, 4096, 8192})
        all.push_back({std::to_string(size), {size}, size});
    all.push_back({"random", RandomBlockSizes(settings.seed, 300, 4096), 4096});
    if (settings.strictness >= 8) return all;
    std::vector<BlockPlan> picked;
    for (int index : SpreadPick(static_cast<int>(all.size()), 3 + settings.strictness / 2)) picked.push_back(all[index]);
    return picked;
}

std::string RateName(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", rate);
    return std::string(text) + "Hz";
}

bool IsUsableFileRate(double rate) { return rate == std::floor(rate) && rate >= 8000 && rate <= 768000; }

// One reference case: how the instance is set up and what it must do.
struct Variant {
    std::string name;
    ResponseModel model;
    double fileRate = 0.0;  // ours: the files' rate; 0 for foreign plug-ins
};

// Ours, files at 96 kHz heard at another rate: the response must be the files'
// composite, converted, with its time zero at the reported latency; checked in
// the frequency domain up to 0.9 of the lower Nyquist frequency.
void CheckConvertedSpectrum(const ResponseModel& model, const std::vector<double>& composite, double rate,
                            Findings& findings) {
    const double top = 0.9 * std::min<double>(rate, kFileRate) / 2.0;
    double worst = 0.0, peak = 0.0, worstAt = 0.0;
    for (int i = 0; i <= kSpectrumPoints; ++i) {
        const double f = top * i / kSpectrumPoints;
        const Complex heard = ResponseAt(model.responses[0][0], model.latency, rate, f);
        const Complex wanted = ResponseAt(composite, 0.0, kFileRate, f);
        peak = std::max(peak, std::hypot(wanted.re, wanted.im));
        const double deviation = std::hypot(heard.re - wanted.re, heard.im - wanted.im);
        if (!(deviation <= worst)) worst = deviation, worstAt = f;
    }
    if (!(worst <= kSpectrumBound * peak)) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "files at 96 kHz: the response, taken from the reported latency (%d frames) on, differs from "
                      "the files' composite by %s of its peak at %.0f Hz (misaligned or distorted)",
                      model.latency, Db(worst / peak).c_str(), worstAt);
        findings.Add(text);
    }
    double across = 0.0;
    for (std::size_t in = 0; in < model.responses.size(); ++in)
        for (std::size_t out = 0; out < model.responses[in].size(); ++out)
            if (in != out)
                for (double v : model.responses[in][out]) across = std::max(across, std::fabs(v));
    if (across > kSilenceLevel) findings.Add("files at 96 kHz: one channel leaks into the other at " + Dbfs(across));
}

std::vector<Variant> Variants(Subject& subject, double rate, Findings& findings) {
    std::vector<Variant> variants;
    std::string error;
    if (!subject.Ours()) {
        auto probe = subject.CreatePrepared(rate, 4096, &error);
        if (!probe) return findings.Add(error), variants;
        variants.push_back({"measured", MeasuredModel(*probe, 32768), 0.0});
        return variants;
    }
    if (IsUsableFileRate(rate)) {
        const std::vector<double> composite = Composite(PutDefaultSections(subject, static_cast<int>(rate)));
        auto probe = subject.CreatePrepared(rate, 4096, &error);
        if (!probe) return findings.Add(error), variants;
        variants.push_back({"files at the host rate", CompositeModel(composite, 2), rate});
    }
    if (rate != kFileRate) {
        const std::vector<double> composite = Composite(PutDefaultSections(subject, kFileRate));
        auto probe = subject.CreatePrepared(rate, 4096, &error);
        if (!probe) return findings.Add(error), variants;
        const int delay = probe->InitialDelay();
        const std::size_t frames = 3 * static_cast<std::size_t>(delay) +
                                   static_cast<std::size_t>(std::ceil(composite.size() * rate / kFileRate)) + 4096;
        Variant variant{"files at 96 kHz", MeasuredModel(*probe, frames), kFileRate};
        if (!variant.model.known) findings.Add("files at 96 kHz: " + variant.model.why);
        else CheckConvertedSpectrum(variant.model, composite, rate, findings);
        variants.push_back(std::move(variant));
    }
    return variants;
}

// Noise, then silence long enough for the response to ring out.
AudioChannels TestSignal(int inputs, std::size_t noiseFrames, std::size_t silenceFrames, uint32_t seed) {
    AudioChannels signal = Noise(inputs, noiseFrames + silenceFrames, seed);
    for (auto& channel : signal) std::fill(channel.begin() + static_cast<std::ptrdiff_t>(noiseFrames), channel.end(), 0.0f);
    return signal;
}

double RunVariant(Subject& subject, double rate, const Variant& variant, const std::vector<BlockPlan>& plans,
                  uint32_t seed, Findings& findings) {
    const PluginFacts& facts = subject.Facts();
    if (subject.Ours()) PutDefaultSections(subject, static_cast<int>(variant.fileRate));
    std::string error;
    int latency = 0;  // what a fresh instance reports: each plan's run must lag by it
    {
        auto probe = subject.CreatePrepared(rate, 4096, &error);
        if (!probe) return findings.Add(error), 0.0;
        latency = probe->InitialDelay();
    }
    const ResponseModel& model = variant.model;
    // A block convolution leaves float round-off behind a response until its
    // last input block has left the engine: allow twice the latency for that.
    const std::size_t ringOut = model.known ? model.length + 2 * static_cast<std::size_t>(std::max(latency, 0)) + 1024 : 0;
    const std::size_t noiseFrames = 3 * kLongestBlock + ringOut;
    const std::size_t silenceFrames = ringOut + 2 * kLongestBlock;
    const AudioChannels input = TestSignal(facts.numInputs, noiseFrames, silenceFrames, seed);
    std::vector<std::vector<double>> expected;
    if (model.known) expected = ExpectedOutputs(input, model.responses, latency - model.latency);

    double worst = 0.0;
    for (const BlockPlan& plan : plans) {
        const std::string what = variant.name + ", blocks " + plan.name;
        auto instance = subject.CreatePrepared(rate, plan.largest, &error);
        if (!instance) return findings.Add(what + ": " + error), worst;
        const AudioChannels out = instance->ProcessSignal(input, plan.sizes);
        const Defects defects = ScanDefects(out);
        if (defects.Any()) findings.Add(what + ": output has " + defects.Describe());
        if (!model.known) continue;
        if (instance->InitialDelay() != latency)
            findings.Add(what + ": reports a latency of " + std::to_string(instance->InitialDelay()) + " frames after " +
                         "the run, " + std::to_string(latency) + " before it");
        long at = -1;
        const double deviation = RelativeDeviation(out, expected, 0, &at);
        worst = std::max(worst, deviation);
        if (!(deviation <= (subject.Ours() ? kReferenceBound : kMeasuredBound)))
            findings.Add(what + ": differs from the reference delayed by the reported latency (" + std::to_string(latency) +
                         ") by " + Db(deviation) + " of its peak at " + FrameText(at));
        // Ours rings out exactly; a foreign response's tail is the silence test's business.
        const double tail = subject.Ours() ? Peak(out, noiseFrames + ringOut) : 0.0;
        if (tail > kSilenceLevel)
            findings.Add(what + ": silence in, yet " + Dbfs(tail) + " out " + std::to_string(ringOut) +
                         " frames after the noise ended");
    }
    return worst;
}

TestResult RateTest(Subject& subject, const TestSettings& settings, double rate) {
    Findings findings;
    const std::vector<BlockPlan> plans = BlockPlans(settings);
    std::string covered;
    for (const Variant& variant : Variants(subject, rate, findings)) {
        const double worst = RunVariant(subject, rate, variant, plans, settings.seed, findings);
        covered += (covered.empty() ? "" : "; ") + variant.name + ": ";
        covered += variant.model.known ? "worst deviation " + Db(worst)
                                       : "no reference, " + variant.model.why;
    }
    return findings.Result(std::to_string(plans.size()) + " block plans; " + covered);
}

// Silence in, after noise: the output must fall below -140 dBFS and stay there.
TestResult SilenceTest(Subject& subject, const TestSettings& settings, double rate) {
    constexpr int kLongestRingOutSeconds = 60;
    constexpr int32_t kBlock = 4096;
    if (subject.Ours()) PutDefaultSections(subject, kFileRate);
    std::string error;
    auto instance = subject.CreatePrepared(rate, kBlock, &error);
    if (!instance) return Failed(error);
    const int inputs = subject.Facts().numInputs;
    const int32_t plan[] = {kBlock};
    const std::size_t second = static_cast<std::size_t>(std::ceil(rate));
    if (inputs > 0) instance->ProcessSignal(Noise(inputs, second, settings.seed), plan);
    Findings findings;
    double last = 0.0;
    std::string constant;  // a channel stuck at one value, when there is one
    for (int s = 1; s <= kLongestRingOutSeconds; ++s) {
        AudioChannels out;
        if (inputs > 0) {
            out = instance->ProcessSignal(Silence(inputs, second), plan);
        } else {
            out = Silence(subject.Facts().numOutputs, second);
            for (std::size_t done = 0; done < second; done += kBlock) {
                std::vector<float*> at;
                for (auto& channel : out) at.push_back(channel.data() + done);
                at.push_back(nullptr);
                instance->ProcessBlock(nullptr, at.data(), static_cast<int32_t>(std::min<std::size_t>(kBlock, second - done)));
            }
        }
        const Defects defects = ScanDefects(out);
        if (defects.Any()) return Failed("silence in: output has " + defects.Describe() + " in second " + std::to_string(s));
        last = Peak(out);
        if (last <= kSilenceLevel)
            return Passed(inputs > 0 ? "rang out within " + std::to_string(s) + " s" : "an instrument: silent without notes");
        constant.clear();
        for (std::size_t c = 0; c < out.size(); ++c) {
            const float value = out[c][0];
            if (std::fabs(value) > kSilenceLevel && std::all_of(out[c].begin(), out[c].end(), [&](float v) { return v == value; }))
                constant = "output " + std::to_string(c + 1) + " settles at a constant " + std::to_string(value) + " (" +
                           Dbfs(std::fabs(value)) + ")";
        }
    }
    if (!constant.empty()) return Failed("silence in: " + constant + " instead of silence");
    return Failed("silence in: still " + Dbfs(last) + " out after " + std::to_string(kLongestRingOutSeconds) + " s");
}

std::vector<double> Rates(const TestSettings& settings) {
    const std::vector<double> standard = {8000,  11025, 16000,  22050,  24000,  32000,  44100,
                                          48000, 88200, 96000, 176400, 192000, 352800, 384000};
    std::vector<double> rates;
    for (int index : SpreadPick(static_cast<int>(standard.size()), 2 + settings.strictness + settings.strictness / 3))
        rates.push_back(standard[static_cast<std::size_t>(index)]);
    if (std::find(rates.begin(), rates.end(), 44100.0) == rates.end()) rates.push_back(44100.0);
    if (settings.strictness >= 2) rates.push_back(44100.5);
    if (settings.strictness >= 3) rates.push_back(1234.5678);
    return rates;
}

}  // namespace

void AddAudioTests(std::vector<ValidatorTest>& tests, const TestSettings& settings) {
    for (double rate : Rates(settings))
        tests.push_back({"audio." + RateName(rate), [rate](Subject& s, const TestSettings& t) { return RateTest(s, t, rate); }});
    for (double rate : {44100.0, 96000.0, 8000.0})
        tests.push_back({"silence." + RateName(rate), [rate](Subject& s, const TestSettings& t) { return SilenceTest(s, t, rate); }});
}

}  // namespace tolvar::validate
