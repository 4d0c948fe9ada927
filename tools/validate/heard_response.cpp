#include "tools/validate/heard_response.h"

#include <algorithm>
#include <cmath>

#include "tools/validate/audio_checks.h"
#include "tools/validate/plugin_checks.h"
#include "tools/validate/subject.h"

namespace tolvar::validate {

constexpr std::size_t kExtraFrames = 256;  // heard beyond the expected composite's end

std::vector<double> HeardResponse(PluginInstance& instance, std::size_t length, Findings& findings) {
    instance.SetMains(false);
    instance.SetMains(true);
    const std::size_t latency = static_cast<std::size_t>(std::max(instance.InitialDelay(), 0));
    AudioChannels impulse = Silence(2, latency + length);
    impulse[0][0] = impulse[1][0] = 1.0f;
    const int32_t block[] = {4096};
    const AudioChannels heard = instance.ProcessSignal(impulse, block);
    if (heard.size() != 2) {
        findings.Add("no stereo output");
        return {};
    }
    if (heard[0] != heard[1]) findings.Add("the two channels answer the same impulse differently");
    return std::vector<double>(heard[0].begin() + static_cast<std::ptrdiff_t>(latency), heard[0].end());
}

double CompositeDeviation(const std::vector<double>& heard, const std::vector<double>& composite) {
    double peak = 0.0, worst = 0.0;
    for (double tap : composite) peak = std::max(peak, std::fabs(tap));
    for (std::size_t n = 0; n < std::max(heard.size(), composite.size()); ++n) {
        const double a = n < heard.size() ? heard[n] : 0.0, b = n < composite.size() ? composite[n] : 0.0;
        const double deviation = std::fabs(a - b);
        if (!(deviation <= worst)) worst = deviation;
    }
    return peak > 0.0 ? worst / peak : worst;
}

std::string Names(const std::vector<NamedFile>& files) {
    if (files.empty()) return "no file (the unit impulse)";
    std::string names;
    for (const NamedFile& file : files) names += (names.empty() ? "" : ", ") + file.first;
    return names;
}

void ExpectComposite(Subject& subject, const std::string& pluginPath, const std::vector<std::pair<int, float>>& settings,
                     const std::vector<NamedFile>& used, const std::string& what, Findings& findings) {
    std::string error;
    auto library = PluginLibrary::Load(pluginPath, &error);
    auto instance = library ? subject.Create(library, &error) : nullptr;
    if (!instance) return findings.Add(what + ": " + error);
    instance->Prepare(kHostRate, 4096);
    for (const auto& [index, value] : settings) instance->SetParameter(index, value);
    std::vector<std::vector<double>> taps;
    for (const NamedFile& file : used) taps.push_back(file.second);
    const std::vector<double> composite = Composite(taps);
    Findings local;
    const std::vector<double> heard = HeardResponse(*instance, composite.size() + kExtraFrames, local);
    const double deviation = CompositeDeviation(heard, composite);
    if (local.Any() || !(deviation <= kCompositeBound))
        findings.Add(what + ": the response is not the composite of " + Names(used) + " (off by " + Db(deviation) +
                     " of its peak)");
    ProcessNoiseAndCheck(*instance, 4096, 512, 5, what + ": audio", findings);
}

}  // namespace tolvar::validate
