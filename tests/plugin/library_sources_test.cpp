// The plug-in binary beside the IR library the build writes, in a host that
// answers no lookup (its own media source) and in one that offers
// PCM_Source_CreateFromFile (the stand-in host's): the same settings must
// filter the same way at every usual rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "host/audio_master.h"
#include "host/source_registry.h"
#include "params/param_info.h"
#include "tests/plugin/loaded_plugin.h"

namespace tolvar::test {
namespace {

using Settings = std::vector<std::pair<int, float>>;  // parameter, stored value

// The defaults, and two settings that between them read every family of file
// (input models, filters, shelves, bands standard and Hi-Q) at both ends of
// their ranges.
const std::vector<Settings> kSettings = {
    {},
    {{kParamInputMode, 1 / 4.0f}, {kParamLpf, 4 / 5.0f}, {kParamHpf, 3 / 5.0f}, {kParamLShelfG, 15 / 25.0f},
     {kParamBand1F, 4 / 9.0f}, {kParamBand1G, 7 / 25.0f}, {kParamBand1HQ, 1.0f}, {kParamBand2F, 6 / 9.0f},
     {kParamBand2G, 16 / 25.0f}, {kParamBand2HQ, 1.0f}, {kParamHShelfF, 3 / 4.0f}, {kParamHShelfG, 14 / 25.0f}},
    {{kParamInputMode, 1.0f}, {kParamLpf, 2 / 5.0f}, {kParamHpf, 1.0f}, {kParamLShelfF, 0.0f},
     {kParamLShelfG, 0.0f}, {kParamBand1F, 0.0f}, {kParamBand1G, 24 / 25.0f}, {kParamBand1HQ, 1.0f},
     {kParamBand2F, 1.0f}, {kParamBand2G, 0.0f}, {kParamHShelfF, 1.0f}, {kParamHShelfG, 24 / 25.0f}},
};
constexpr double kRates[] = {44100.0, 48000.0, 96000.0};

struct Rendered {
    int32_t latency;
    std::vector<float> output;
};

// Every setting at every rate, each from a fresh stream.
std::map<std::pair<int, int>, Rendered> RenderAll(PluginInstance& plugin) {
    const std::vector<float> input = Noise(40000, 77);  // past the longest latency, 16407 frames
    std::map<std::pair<int, int>, Rendered> rendered;
    for (int r = 0; r < 3; ++r) {
        plugin.Prepare(kRates[r], 512);
        for (int s = 0; s < static_cast<int>(kSettings.size()); ++s) {
            for (int i = 0; i < kParamCount; ++i)
                plugin.SetParameter(i, static_cast<float>(NormalizedFromValue(i, kParamTable[i].defaultValue)));
            for (const auto& [parameter, value] : kSettings[s]) plugin.SetParameter(parameter, value);
            plugin.SetMains(false);
            plugin.SetMains(true);
            rendered[{r, s}] = {plugin.InitialDelay(), ProcessMono(plugin, input, {512})};
        }
    }
    return rendered;
}

TEST(LibraryThroughEitherSource, TheBuiltInSourceFiltersAsTheHostsDoesAtEveryRate) {
    std::string error;
    std::map<std::pair<int, int>, Rendered> own, hosts;
    {
        ScopedHostFunctionOffer none({.db2Slider = false, .slider2Db = false, .pcmSourceCreateFromFile = false});
        auto library = PluginLibrary::Load(TOLVAR_PLUGIN_PATH, &error);
        ASSERT_TRUE(library) << error;
        auto plugin = PluginInstance::Create(library, &error);
        ASSERT_TRUE(plugin) << error;
        ClearOpenedMediaPaths();
        own = RenderAll(*plugin);
        EXPECT_TRUE(OpenedMediaPaths().empty());
    }
    // DB2SLIDER is still unbound, so this host is asked and its source bound,
    // even if the library were still loaded.
    auto library = PluginLibrary::Load(TOLVAR_PLUGIN_PATH, &error);
    ASSERT_TRUE(library) << error;
    auto plugin = PluginInstance::Create(library, &error);
    ASSERT_TRUE(plugin) << error;
    hosts = RenderAll(*plugin);
    EXPECT_FALSE(OpenedMediaPaths().empty());

    for (const auto& [key, expected] : hosts) {
        SCOPED_TRACE(testing::Message() << kRates[key.first] << " Hz, settings " << key.second);
        const Rendered& got = own.at(key);
        EXPECT_EQ(got.latency, expected.latency);
        ASSERT_EQ(got.output.size(), expected.output.size());
        float peak = 0.0f, difference = 0.0f;
        for (std::size_t i = 0; i < got.output.size(); ++i) {
            peak = std::max(peak, std::fabs(expected.output[i]));
            difference = std::max(difference, std::fabs(got.output[i] - expected.output[i]));
        }
        EXPECT_GT(peak, 0.01f);
        EXPECT_LE(difference, 1e-6f * peak);  // the files read alike: in fact bit for bit
    }
}

}  // namespace
}  // namespace tolvar::test
