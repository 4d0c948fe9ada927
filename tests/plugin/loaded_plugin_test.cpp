// The plug-in binary loaded by the stand-in host, reading real WAV files.
#include <gtest/gtest.h>

#include <random>

#include "host/audio_master.h"
#include "host/block_sizes.h"
#include "host/source_registry.h"
#include "params/param_info.h"
#include "tests/plugin/loaded_plugin.h"

namespace tolvar::test {
namespace {

std::vector<double> AsDouble(const std::vector<float>& signal) { return {signal.begin(), signal.end()}; }

std::vector<int32_t> BlockPlan(unsigned seed) {
    std::vector<int32_t> plan = {0, 1, 1, 0, 13, 9000};
    const std::vector<int32_t> random = RandomBlockSizes(seed, 100, 2000);
    plan.insert(plan.end(), random.begin(), random.end());
    return plan;
}

class LoadedPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearOpenedMediaPaths();
        ClearAudioMasterCalls();
    }
    void TearDown() override { EXPECT_EQ(LiveMediaSourceCount(), 0); }

    // The composite the plug-in should hear for these files, each scaled.
    static std::vector<double> Composite(const std::vector<std::vector<double>>& files, double scale) {
        std::vector<double> composite = {1.0};
        for (const auto& file : files) composite = Convolve(composite, file, scale);
        return composite;
    }

    // Checks that the instance, switched off and on again, filters noise with
    // `composite`, delayed by its reported latency.
    static void ExpectFilters(PluginInstance& plugin, const std::vector<double>& composite, unsigned seed,
                              double bound = 2e-6) {
        plugin.SetMains(false);
        plugin.SetMains(true);
        const std::vector<float> input = Noise(12000, seed);
        const std::vector<float> output = ProcessMono(plugin, input, BlockPlan(seed));
        EXPECT_LE(PeakRelativeError(output, Convolve(AsDouble(input), composite), plugin.InitialDelay()), bound);
    }

    LoadedPluginFolder folder;
};

TEST_F(LoadedPluginTest, DefaultsHearTheFourSectionFilesInChainOrder) {
    const std::vector<std::string> names = {"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"};
    std::vector<std::vector<double>> files;
    const int lengths[] = {700, 90, 60, 30};
    for (int i = 0; i < 4; ++i) {
        files.push_back(FloatResponse(lengths[i], 10 + i));
        folder.PutIr(names[i], files.back());
    }
    folder.PutIr("820+1.wav", FloatResponse(10, 99));  // present but not selected
    auto plugin = folder.Create();
    ASSERT_TRUE(plugin);

    std::vector<std::string> expected;
    for (const auto& name : names) expected.push_back(folder.IrPath(name));
    EXPECT_EQ(OpenedMediaPaths(), expected);
    EXPECT_EQ(plugin->InitialDelay(), 1024);  // 877 taps: N = 2048
    plugin->Prepare(44100.0, 4096);
    ExpectFilters(*plugin, Composite(files, kStandardFileScale), 1);
}

TEST_F(LoadedPluginTest, UnusableFilesLeaveTheirSectionsOut) {
    const std::vector<double> good = FloatResponse(300, 3);
    folder.PutIr("820+0.wav", good);
    test::WriteBytes(folder.IrPath("100+0.wav"), "this is not a wave file\n");
    std::filesystem::create_directory(folder.IrPath("1800+0.wav"));
    folder.PutIr("6800+0.wav", {});  // zero frames
    auto plugin = folder.Create();
    ASSERT_TRUE(plugin);
    plugin->Prepare(44100.0, 512);
    ExpectFilters(*plugin, Composite({good}, kStandardFileScale), 2);

    // A truncated file delivers what it holds; a broken header is unusable.
    const std::vector<double> shelf = FloatResponse(200, 4);
    folder.PutIr("6800+1.wav", shelf);
    const std::string bytes = test::ReadBytes(folder.IrPath("6800+1.wav"));
    test::WriteBytes(folder.IrPath("6800+1.wav"), bytes.substr(0, bytes.size() - 4 * 50));
    const char brokenHeader[] = {'R', 'I', 'F', 'F', 16, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 99, 0};
    test::WriteBytes(folder.IrPath("820+0.wav"), std::string(brokenHeader, sizeof brokenHeader));
    plugin->SetParameter(kParamHShelfG, 13.0f / 25);
    ExpectFilters(*plugin, Composite({std::vector<double>(shelf.begin(), shelf.begin() + 150)}, kStandardFileScale), 3);
}

TEST_F(LoadedPluginTest, HiQBandsUseTheirOwnFileOrFallBackToTheStandardOne) {
    const std::vector<double> standard = FloatResponse(150, 5), narrow = FloatResponse(400, 6);
    folder.PutIr("1200-5.wav", standard);
    folder.PutIr("1200-5-hq.wav", narrow);
    auto plugin = folder.Create();
    ASSERT_TRUE(plugin);
    for (int gain : {kParamLShelfG, kParamBand2G, kParamHShelfG}) plugin->SetParameter(gain, 1.0f);
    plugin->SetParameter(kParamBand1F, 4.0f / 9);   // 1200 Hz
    plugin->SetParameter(kParamBand1G, 7.0f / 25);  // -5 dB
    plugin->SetParameter(kParamBand1HQ, 1.0f);
    ExpectFilters(*plugin, Composite({narrow}, kHiQFileScale), 7);

    // Files are read when the selection changes: off and on again.
    std::filesystem::remove(folder.IrPath("1200-5-hq.wav"));
    plugin->SetParameter(kParamBand1HQ, 0.0f);
    plugin->SetParameter(kParamBand1HQ, 0.5f);  // on: the standard file stands in for the missing one
    ExpectFilters(*plugin, Composite({standard}, kStandardFileScale), 8);

    // A Hi-Q file that opens but holds nothing leaves the band out: no fall-back.
    folder.PutIr("1200-5-hq.wav", {});
    plugin->SetParameter(kParamBand1HQ, 0.0f);
    ClearOpenedMediaPaths();
    plugin->SetParameter(kParamBand1HQ, 1.0f);
    EXPECT_EQ(OpenedMediaPaths(), std::vector<std::string>{folder.IrPath("1200-5-hq.wav")});
    plugin->SetMains(false);
    EXPECT_EQ(plugin->InitialDelay(), 0);
    ExpectFilters(*plugin, {1.0}, 9, 0.0);
}

TEST_F(LoadedPluginTest, BypassOutOfRangeChoicesAndEveryOffPassTheAudioUnchanged) {
    folder.PutIr("100+0.wav", FloatResponse(200, 11));
    const std::vector<double> band = FloatResponse(80, 12);
    folder.PutIr("820+0.wav", band);
    auto plugin = folder.Create();
    ASSERT_TRUE(plugin);
    plugin->SetParameter(kParamLShelfF, 1.2f);  // frequency choice 5: out of the table
    ClearOpenedMediaPaths();
    plugin->SetParameter(kParamBand2G, 1.0f);   // bypass
    plugin->SetParameter(kParamInputMode, 1.3f);  // choice 5: names no file
    EXPECT_EQ(OpenedMediaPaths(), (std::vector<std::string>{folder.IrPath("820+0.wav"), folder.IrPath("6800+0.wav")}));
    ClearOpenedMediaPaths();
    plugin->SetParameter(kParamLpf, 1.2f);  // choice 6 names no file, as "off" does: nothing to read again
    EXPECT_TRUE(OpenedMediaPaths().empty());
    ExpectFilters(*plugin, Composite({band}, kStandardFileScale), 13);

    for (int gain : {kParamBand1G, kParamHShelfG}) plugin->SetParameter(gain, 1.0f);
    plugin->SetMains(false);
    EXPECT_EQ(plugin->InitialDelay(), 0);
    ExpectFilters(*plugin, {1.0}, 14, 0.0);  // the unit impulse: exact pass-through
}

// A null callback, or a host that answers no lookup (as Ardour, LMMS and
// Qtractor do), gets an instance that reads its folder itself. Every instance
// asks again until the host offers DB2SLIDER; once bound, the host's media
// source serves every new instance, and nobody is asked again.
TEST_F(LoadedPluginTest, HostsThatAnswerNoLookupGetInstancesThatReadTheirOwnFiles) {
    const std::vector<double> band = FloatResponse(300, 31);
    folder.PutIr("820+0.wav", band);
    auto library = folder.Load();
    ASSERT_TRUE(library);
    std::string error;
    std::vector<std::unique_ptr<PluginInstance>> plugins;
    plugins.push_back(PluginInstance::Create(library, &error, nullptr));
    {
        ScopedHostFunctionOffer none({.db2Slider = false, .slider2Db = false, .pcmSourceCreateFromFile = false});
        plugins.push_back(PluginInstance::Create(library, &error));
        plugins.push_back(PluginInstance::Create(library, &error));
    }
    EXPECT_EQ(HostFunctionLookups().size(), 8u);
    EXPECT_TRUE(OpenedMediaPaths().empty());  // the host's media source is never used
    for (auto& plugin : plugins) {
        ASSERT_TRUE(plugin) << error;
        ExpectFilters(*plugin, Composite({band}, kStandardFileScale), 33);
    }

    ClearAudioMasterCalls();
    plugins.push_back(PluginInstance::Create(library, &error));  // offers all but Resampler_Create
    plugins.push_back(PluginInstance::Create(library, &error, nullptr));
    EXPECT_EQ(HostFunctionLookups(),
              (std::vector<std::string>{"DB2SLIDER", "SLIDER2DB", "PCM_Source_CreateFromFile", "Resampler_Create"}));
    EXPECT_EQ(OpenedMediaPaths().size(), 8u);  // the four default sections, for each of the two
    ASSERT_TRUE(plugins[4]) << error;
    ExpectFilters(*plugins[4], Composite({band}, kStandardFileScale), 34);
}

// A folder whose name no single code page holds: the plug-in finds its files
// by it, through the host's media source (which gets the path in UTF-8) and
// through its own.
TEST_F(LoadedPluginTest, AFolderNamedOutsideAsciiHoldsTheFilesForEitherSource) {
    LoadedPluginFolder unusual("Łódź 日本 é");
    const std::vector<double> band = FloatResponse(200, 41);
    unusual.PutIr("820+0.wav", band);
    for (bool hostSource : {true, false}) {
        SCOPED_TRACE(hostSource ? "host's source" : "built-in source");
        ScopedHostFunctionOffer offer({.pcmSourceCreateFromFile = hostSource});
        ClearOpenedMediaPaths();
        auto plugin = unusual.Create();  // a fresh load: the copy is unloaded in between
        ASSERT_TRUE(plugin);
        const std::vector<std::string> opened = OpenedMediaPaths();
        EXPECT_EQ(opened.size(), hostSource ? 4u : 0u);
        EXPECT_TRUE(!hostSource || opened.at(1) == unusual.IrPath("820+0.wav"));
        ExpectFilters(*plugin, Composite({band}, kStandardFileScale), 42);
    }
}

TEST(LoadedPluginPath, AFolderTooLongForTheIrPathGetsNoInstance) {
    std::string deep;
    while (deep.size() < 1100) deep += std::string(200, 'd') + "/";
    LoadedPluginFolder folder(deep);
    auto library = folder.Load();
    ASSERT_TRUE(library);
    EXPECT_EQ(library->CallMain(), nullptr);
}

TEST_F(LoadedPluginTest, ALongFileNameInAFolderThatFitsStillGetsAnInstance) {
    std::string deep;
    while (deep.size() < 800) deep += std::string(200, 'd') + "/";
    const std::string name = "tolvar" + std::string(240, 'n') + kPluginFileSuffix;  // the whole path passes 1024 bytes
    LoadedPluginFolder longNamed(deep, name);
    ASSERT_GT(longNamed.PluginPath().size(), 1024u);
    longNamed.PutIr("820+0.wav", FloatResponse(40, 25));
    auto plugin = longNamed.Create();
    ASSERT_TRUE(plugin);
    // A folder this deep leaves no room for a file name in the 512-byte file
    // path, so every section is left out and the audio passes unchanged.
    EXPECT_TRUE(OpenedMediaPaths().empty());
    ExpectFilters(*plugin, {1.0}, 26, 0.0);
}

TEST_F(LoadedPluginTest, ReadsTheFilesBesideItsOwnCopy) {
    LoadedPluginFolder other;
    const std::vector<double> mine = FloatResponse(50, 21), theirs = FloatResponse(60, 22);
    folder.PutIr("820+0.wav", mine);
    other.PutIr("820+0.wav", theirs);
    auto plugin = folder.Create();
    auto otherPlugin = other.Create();
    ASSERT_TRUE(plugin && otherPlugin);
    ExpectFilters(*plugin, Composite({mine}, kStandardFileScale), 23);
    ExpectFilters(*otherPlugin, Composite({theirs}, kStandardFileScale), 24);
}

}  // namespace
}  // namespace tolvar::test
