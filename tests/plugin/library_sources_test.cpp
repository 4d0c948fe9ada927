// The plug-in binary beside the IR library the build writes, in a host that
// answers no lookup (its own media source), then in one that offers
// PCM_Source_CreateFromFile: the same settings filter alike at every usual rate.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/audio_master.h"
#include "host/source_registry.h"
#include "params/param_info.h"
#include "tests/plugin/loaded_plugin.h"

namespace tolvar::test {
namespace {

using Settings = std::vector<std::pair<int, float>>;  // parameter, stored value

// The defaults, and two settings that between them read every family of file
// (input models, filters, shelves, bands standard and Hi-Q).
const Settings kSettings[] = {
    {},
    {{kParamInputMode, 1 / 4.0f}, {kParamLpf, 4 / 5.0f}, {kParamHpf, 3 / 5.0f}, {kParamLShelfG, 15 / 25.0f},
     {kParamBand1F, 4 / 9.0f}, {kParamBand1G, 7 / 25.0f}, {kParamBand1HQ, 1.0f}, {kParamBand2F, 6 / 9.0f},
     {kParamBand2G, 16 / 25.0f}, {kParamBand2HQ, 1.0f}, {kParamHShelfF, 3 / 4.0f}, {kParamHShelfG, 14 / 25.0f}},
    {{kParamInputMode, 1.0f}, {kParamLpf, 2 / 5.0f}, {kParamHpf, 1.0f}, {kParamLShelfF, 0.0f}, {kParamLShelfG, 0.0f},
     {kParamBand1F, 0.0f}, {kParamBand1G, 24 / 25.0f}, {kParamBand1HQ, 1.0f}, {kParamBand2F, 1.0f},
     {kParamBand2G, 0.0f}, {kParamHShelfF, 1.0f}, {kParamHShelfG, 24 / 25.0f}},
};

// Latency and output of every setting at 44.1, 48 and 96 kHz, each from a fresh stream.
std::vector<std::pair<int32_t, std::vector<float>>> RenderAll(const HostFunctionOffer& offer) {
    std::vector<std::pair<int32_t, std::vector<float>>> rendered;
    ScopedHostFunctionOffer scoped(offer);
    std::string error;
    auto plugin = PluginInstance::Create(PluginLibrary::Load(TOLVAR_PLUGIN_PATH, &error), &error);
    EXPECT_TRUE(plugin) << error;
    if (!plugin) return rendered;
    const std::vector<float> input = Noise(40000, 77);  // past the longest latency, 16407 frames
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        plugin->Prepare(rate, 512);
        for (const Settings& settings : kSettings) {
            for (int i = 0; i < kParamCount; ++i)
                plugin->SetParameter(i, static_cast<float>(NormalizedFromValue(i, kParamTable[i].defaultValue)));
            for (const auto& [parameter, value] : settings) plugin->SetParameter(parameter, value);
            plugin->SetMains(false);
            plugin->SetMains(true);
            rendered.emplace_back(plugin->InitialDelay(), ProcessMono(*plugin, input, {512}));
        }
    }
    return rendered;
}

TEST(LibraryThroughEitherSource, TheBuiltInSourceFiltersAsTheHostsDoesAtEveryRate) {
    ClearOpenedMediaPaths();
    const auto own = RenderAll({.db2Slider = false, .slider2Db = false, .pcmSourceCreateFromFile = false});
    EXPECT_TRUE(OpenedMediaPaths().empty());
    // DB2SLIDER is still unbound, so this host is asked and its source bound.
    const auto hosts = RenderAll({});
    EXPECT_FALSE(OpenedMediaPaths().empty());
    ASSERT_EQ(own.size(), 9u);
    ASSERT_EQ(hosts.size(), 9u);
    for (std::size_t i = 0; i < own.size(); ++i) {
        EXPECT_EQ(own[i].first, hosts[i].first) << i;
        EXPECT_GT(*std::max_element(hosts[i].second.begin(), hosts[i].second.end()), 0.01f) << i;  // not silence
        // The files read alike: in fact bit for bit.
        EXPECT_EQ(own[i].second, hosts[i].second) << i;
    }
}

}  // namespace
}  // namespace tolvar::test
