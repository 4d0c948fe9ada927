#include "tools/validate/plugin_checks.h"

#include "composer/ir_library_layout.h"
#include "host/source_registry.h"
#include "tools/validate/audio_checks.h"
#include "tools/validate/subject.h"

namespace tolvar::validate {

namespace {
// Lengths of the default section files: long enough together for the engine's
// FFT form (more than 128 taps), short enough for quick direct references.
constexpr int kDefaultSectionLengths[4] = {300, 120, 80, 40};
}  // namespace

void ProcessNoiseAndCheck(PluginInstance& instance, std::size_t frames, int32_t block, uint32_t seed,
                          const std::string& what, Findings& findings) {
    const AEffect* effect = instance.Effect();
    if (!effect) return findings.Add(what + ": the instance is gone");
    const int32_t plan[] = {block};
    const AudioChannels out = instance.ProcessSignal(Noise(effect->numInputs, frames, seed), plan);
    if (out.size() != static_cast<std::size_t>(effect->numOutputs)) return findings.Add(what + ": no output");
    const Defects defects = ScanDefects(out);
    if (defects.Any()) findings.Add(what + ": the output has " + defects.Describe());
}

void CheckRecord(const AEffect* effect, const std::string& what, Findings& findings) {
    if (!effect) return findings.Add(what + ": no effect record");
    if (effect->magic != kEffectMagic) findings.Add(what + ": the record lacks the VST magic");
    if (effect->numInputs < 0 || effect->numOutputs < 0 || effect->numParams < 0)
        findings.Add(what + ": negative channel or parameter counts");
    if (!effect->dispatcher || !effect->processReplacing) findings.Add(what + ": no dispatcher or processReplacing");
}

void CheckSourcesReleased(const Subject& subject, const std::string& what, Findings& findings) {
    if (!subject.Ours()) return;
    const int live = LiveMediaSourceCount();
    if (live != 0) findings.Add(what + ": " + std::to_string(live) + " media sources were never destroyed");
}

std::vector<std::vector<double>> PutDefaultSections(Subject& subject, int rate) {
    std::vector<std::vector<double>> files;
    for (int i = 0; i < 4; ++i) {
        files.push_back(SectionTaps(kDefaultSectionLengths[i], 100 + static_cast<unsigned>(i)));
        subject.OurIrFolder().Put(kDefaultSectionFiles[i], files.back(), rate);
    }
    return files;
}

std::vector<double> Composite(const std::vector<std::vector<double>>& files, const std::vector<double>& scales) {
    std::vector<double> composite = {1.0};
    for (std::size_t f = 0; f < files.size(); ++f) {
        if (files[f].empty()) continue;
        std::vector<double> next(composite.size() + files[f].size() - 1, 0.0);
        for (std::size_t i = 0; i < composite.size(); ++i)
            for (std::size_t k = 0; k < files[f].size(); ++k) next[i + k] += composite[i] * files[f][k] * scales[f];
        composite = std::move(next);
    }
    return composite;
}

std::vector<double> Composite(const std::vector<std::vector<double>>& files) {
    return Composite(files, std::vector<double>(files.size(), kStandardFileScale));
}

}  // namespace tolvar::validate
