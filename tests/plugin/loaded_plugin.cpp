#include "tests/plugin/loaded_plugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace tolvar::test {

LoadedPluginFolder::LoadedPluginFolder(const std::string& subfolder, const std::string& fileName) {
    const std::filesystem::path folder = (Utf8Path(dir.Path()) / Utf8Path(subfolder)).make_preferred();
    std::filesystem::create_directories(folder / kIrFolderName);
    pluginPath = Utf8String(folder / Utf8Path(fileName));
    irFolder = Utf8String(folder / kIrFolderName);
    std::filesystem::copy_file(TOLVAR_PLUGIN_PATH, Utf8Path(pluginPath));
}

void LoadedPluginFolder::PutIr(const std::string& fileName, const std::vector<double>& samples, int rate) const {
    ASSERT_TRUE(test::WriteWavDoubles(IrPath(fileName), SF_FORMAT_WAV | SF_FORMAT_FLOAT, rate, 1, samples));
}

std::shared_ptr<PluginLibrary> LoadedPluginFolder::Load() const {
    std::string error;
    auto library = PluginLibrary::Load(pluginPath, &error);
    EXPECT_TRUE(library) << error;
    return library;
}

std::unique_ptr<PluginInstance> LoadedPluginFolder::Create() const {
    auto library = Load();
    if (!library) return nullptr;
    std::string error;
    auto instance = PluginInstance::Create(library, &error);
    EXPECT_TRUE(instance) << error;
    return instance;
}

std::vector<double> FloatResponse(int length, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<double> taps(length);
    float envelope = 0.6f;
    for (int i = 0; i < length; ++i, envelope *= 0.995f) taps[i] = static_cast<float>(envelope * uniform(random));
    taps[0] = 1.0f;
    return taps;
}

std::vector<float> ProcessMono(PluginInstance& plugin, const std::vector<float>& input,
                               const std::vector<int32_t>& blockSizes) {
    const AudioChannels out = plugin.ProcessSignal({input, input}, blockSizes);
    EXPECT_EQ(out.size(), 2u);
    if (out.size() != 2) return {};
    EXPECT_EQ(out[0], out[1]);
    return out[0];
}

}  // namespace tolvar::test
