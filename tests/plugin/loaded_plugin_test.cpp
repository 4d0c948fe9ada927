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
    ExpectFilters(*plugin, Composite(files, kStandardScale), 1);
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
    ExpectFilters(*plugin, Composite({good}, kStandardScale), 2);

    // A truncated file delivers what it holds; a broken header is unusable.
    const std::vector<double> shelf = FloatResponse(200, 4);
    folder.PutIr("6800+1.wav", shelf);
    const std::string bytes = test::ReadBytes(folder.IrPath("6800+1.wav"));
    test::WriteBytes(folder.IrPath("6800+1.wav"), bytes.substr(0, bytes.size() - 4 * 50));
    const char brokenHeader[] = {'R', 'I', 'F', 'F', 16, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 99, 0};
    test::WriteBytes(folder.IrPath("820+0.wav"), std::string(brokenHeader, sizeof brokenHeader));
    plugin->SetParameter(kParamHShelfG, 13.0f / 25);
    ExpectFilters(*plugin, Composite({std::vector<double>(shelf.begin(), shelf.begin() + 150)}, kStandardScale), 3);
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
    ExpectFilters(*plugin, Composite({narrow}, kHiQScale), 7);

    std::filesystem::remove(folder.IrPath("1200-5-hq.wav"));
    plugin->SetParameter(kParamBand1HQ, 0.5f);  // still on: the standard file stands in
    ExpectFilters(*plugin, Composite({standard}, kStandardScale), 8);

    // A Hi-Q file that opens but holds nothing leaves the band out: no fall-back.
    folder.PutIr("1200-5-hq.wav", {});
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
    plugin->SetParameter(kParamBand2G, 1.0f);   // bypass
    plugin->SetParameter(kParamInputMode, 1.3f);  // choice 5: names no file
    ClearOpenedMediaPaths();
    plugin->SetParameter(kParamLpf, 1.2f);        // choice 6: names no file
    EXPECT_EQ(OpenedMediaPaths(), (std::vector<std::string>{folder.IrPath("820+0.wav"), folder.IrPath("6800+0.wav")}));
    ExpectFilters(*plugin, Composite({band}, kStandardScale), 13);

    for (int gain : {kParamBand1G, kParamHShelfG}) plugin->SetParameter(gain, 1.0f);
    plugin->SetMains(false);
    EXPECT_EQ(plugin->InitialDelay(), 0);
    ExpectFilters(*plugin, {1.0}, 14, 0.0);  // the unit impulse: exact pass-through
}

const std::vector<std::string> kLookups = {"DB2SLIDER", "SLIDER2DB", "PCM_Source_CreateFromFile", "Resampler_Create"};

// A host that answers no lookup (as Ardour, LMMS and Qtractor do) gets an
// instance that reads its folder itself; as long as DB2SLIDER is unbound, every
// instance asks again.
TEST_F(LoadedPluginTest, AHostThatAnswersNoLookupGetsAnInstanceThatReadsItsOwnFiles) {
    const std::vector<double> band = FloatResponse(300, 31);
    folder.PutIr("820+0.wav", band);
    std::vector<int32_t> shelf;  // 24-bit stereo: the left channel's values, the right one's negated halves
    for (double v : FloatResponse(120, 32)) {
        const auto left = static_cast<int32_t>(std::lround(v * 8388607.0)) * 256;
        shelf.insert(shelf.end(), {left, -left / 512 * 256});
    }
    ASSERT_TRUE(WriteWavInts(folder.IrPath("6800+0.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 2, shelf));
    std::vector<double> folded;
    for (std::size_t i = 0; i < shelf.size(); i += 2) folded.push_back((shelf[i] + shelf[i + 1]) / 2.0 / 2147483648.0);

    auto library = folder.Load();
    ASSERT_TRUE(library);
    ScopedHostFunctionOffer none({.db2Slider = false, .slider2Db = false, .pcmSourceCreateFromFile = false});
    std::string error;
    auto plugin = PluginInstance::Create(library, &error);
    ASSERT_TRUE(plugin) << error;
    EXPECT_EQ(HostFunctionLookups(), kLookups);
    EXPECT_TRUE(OpenedMediaPaths().empty());  // the host's media source is never used
    plugin->Prepare(44100.0, 512);
    ExpectFilters(*plugin, Composite({band, folded}, kStandardScale), 33);

    ClearAudioMasterCalls();
    auto second = PluginInstance::Create(library, &error);
    ASSERT_TRUE(second) << error;
    EXPECT_EQ(HostFunctionLookups(), kLookups);
}

// A null callback also gets an instance, with the built-in source until a host
// offers its own; once DB2SLIDER is bound, nobody is asked again.
TEST_F(LoadedPluginTest, ANullCallbackGetsAnInstanceAndAHostIsAskedUntilItAnswers) {
    const std::vector<double> band = FloatResponse(90, 34);
    folder.PutIr("820+0.wav", band);
    auto library = folder.Load();
    ASSERT_TRUE(library);
    std::string error;
    auto first = PluginInstance::Create(library, &error, nullptr);
    ASSERT_TRUE(first) << error;
    EXPECT_TRUE(AudioMasterCalls().empty());
    EXPECT_TRUE(OpenedMediaPaths().empty());
    ExpectFilters(*first, Composite({band}, kStandardScale), 35);

    auto second = PluginInstance::Create(library, &error);  // offers all but Resampler_Create
    ASSERT_TRUE(second) << error;
    EXPECT_EQ(HostFunctionLookups(), kLookups);
    std::vector<std::string> defaults;
    for (const char* name : {"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"}) defaults.push_back(folder.IrPath(name));
    EXPECT_EQ(OpenedMediaPaths(), defaults);
    ClearAudioMasterCalls();
    ClearOpenedMediaPaths();
    auto third = PluginInstance::Create(library, &error, nullptr);
    ASSERT_TRUE(third) << error;
    EXPECT_TRUE(AudioMasterCalls().empty());
    EXPECT_EQ(OpenedMediaPaths(), defaults);  // the host's source, bound by the second
    ExpectFilters(*third, Composite({band}, kStandardScale), 36);
    EXPECT_EQ(third->EffectName(), "Tolvar");
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
    ASSERT_GT(longNamed.pluginPath().size(), 1024u);
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
    ExpectFilters(*plugin, Composite({mine}, kStandardScale), 23);
    ExpectFilters(*otherPlugin, Composite({theirs}, kStandardScale), 24);
}

}  // namespace
}  // namespace tolvar::test
