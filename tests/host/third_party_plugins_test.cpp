// The stand-in host drives real third-party VST 2 plug-ins (Debian's
// dpf-plugins-vst), which know nothing of our extension functions and ask the
// host things we do not serve. Their channel counts and parameter names are
// checked against the plug-ins' own LV2 descriptions of the same processors.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "host/audio_master.h"
#include "host/plugin_instance.h"

namespace tolvar {
namespace {

struct ThirdParty {
    const char* file;
    int32_t inputs;
    int32_t outputs;
    std::vector<std::string> params;  // names as the LV2 description gives them
    bool ringsOutQuickly;             // silence in gives silence out within a second
};

const ThirdParty kPlugins[] = {
    {"3BandEQ-vst.so", 2, 2, {"Low", "Mid", "High", "Master", "Low-Mid Freq", "Mid-High Freq"}, true},
    {"CycleShifter-vst.so", 1, 1, {"New Cycle Vol", "Input Vol"}, true},
    {"PingPongPan-vst.so", 2, 2, {"Frequency", "Width"}, true},
    {"SoulForce-vst.so", 2, 2, {"Shape", "FBack", "Source", "Foot"}, true},
    {"MaBitcrush-vst.so", 1, 2, {"resolution"}, false},  // quantises silence to a constant
    {"Kars-vst.so", 0, 1, {"Sustain", "Release", "Volume"}, true},  // an instrument: silent without notes
};

void PrintTo(const ThirdParty& plugin, std::ostream* out) { *out << plugin.file; }

std::string PathOf(const ThirdParty& plugin) { return std::string("/usr/lib/vst/") + plugin.file; }

bool Finite(const AudioChannels& audio) {
    for (const auto& channel : audio)
        for (float v : channel)
            if (!std::isfinite(v) || (v != 0.0f && std::fabs(v) < std::numeric_limits<float>::min())) return false;
    return true;
}

double Peak(const AudioChannels& audio) {
    double peak = 0.0;
    for (const auto& channel : audio)
        for (float v : channel) peak = std::max(peak, static_cast<double>(std::fabs(v)));
    return peak;
}

AudioChannels Noise(int channels, int frames, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    AudioChannels audio(static_cast<std::size_t>(channels), std::vector<float>(static_cast<std::size_t>(frames)));
    for (auto& channel : audio)
        for (float& v : channel) v = uniform(random);
    return audio;
}

class ThirdPartyPlugin : public ::testing::TestWithParam<ThirdParty> {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(PathOf(GetParam()))) GTEST_SKIP() << PathOf(GetParam()) << " is not installed";
        ClearAudioMasterCalls();
        std::string error;
        plugin = LoadPlugin(PathOf(GetParam()), &error);
        ASSERT_TRUE(plugin) << error;
    }

    std::unique_ptr<PluginInstance> plugin;
};

TEST_P(ThirdPartyPlugin, RecordAndTextsMatchItsDescription) {
    const ThirdParty& expected = GetParam();
    const AEffect* effect = plugin->Effect();
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numInputs, expected.inputs);
    EXPECT_EQ(effect->numOutputs, expected.outputs);
    ASSERT_EQ(effect->numParams, static_cast<int32_t>(expected.params.size()));
    EXPECT_TRUE(effect->flags & kEffFlagsCanReplacing);
    EXPECT_NE(effect->uniqueID, 0);
    EXPECT_TRUE(HostFunctionLookups().empty()) << "asked for our extension functions";
    plugin->Prepare(48000.0, 256);
    EXPECT_FALSE(plugin->EffectName().empty());
    EXPECT_FALSE(plugin->VendorString().empty());
    for (int32_t i = 0; i < effect->numParams; ++i) {
        EXPECT_EQ(plugin->ParamName(i), expected.params[static_cast<std::size_t>(i)]);
        EXPECT_LE(plugin->ParamLabel(i).size(), 16u);
        EXPECT_FALSE(plugin->ParamDisplay(i).empty()) << i;
    }
}

TEST_P(ThirdPartyPlugin, AsksTheHostOnlyWhatItAnswersNeutrally) {
    plugin->Prepare(96000.0, 512);
    for (const AudioMasterCall& call : AudioMasterCalls()) {
        if (call.opcode == audioMasterGetSampleRate) {  // the default until told, then the effect's own
            EXPECT_TRUE(call.answer == 44100 || call.answer == 96000) << call.answer;
        } else if (call.opcode == audioMasterGetBlockSize) {  // likewise
            EXPECT_TRUE(call.answer == 1024 || call.answer == 512) << call.answer;
        }
    }
    // Once told, the host reports this effect's own settings when asked.
    EXPECT_EQ(StandInAudioMaster(plugin->Effect(), audioMasterGetSampleRate, 0, 0, nullptr, 0.0f), 96000);
    EXPECT_EQ(StandInAudioMaster(plugin->Effect(), audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 512);
    char vendor[kVstMaxVendorStrLen] = {};
    EXPECT_EQ(StandInAudioMaster(plugin->Effect(), audioMasterGetVendorString, 0, 0, vendor, 0.0f), 1);
    EXPECT_STREQ(vendor, kStandInHostName);
    char untouched[8] = "keep";
    EXPECT_EQ(StandInAudioMaster(plugin->Effect(), audioMasterGetTime, 0, 0, untouched, 0.0f), 0);  // no transport
    EXPECT_STREQ(untouched, "keep");
}

TEST_P(ThirdPartyPlugin, ParametersRoundTripAndStayPut) {
    plugin->Prepare(44100.0, 512);
    for (int32_t i = 0; i < plugin->Effect()->numParams; ++i) {
        for (float value : {0.0f, 0.3f, 0.77f, 1.0f}) {
            plugin->SetParameter(i, value);
            const float first = plugin->GetParameter(i);
            EXPECT_GE(first, 0.0f);
            EXPECT_LE(first, 1.0f);
            plugin->SetParameter(i, first);
            EXPECT_NEAR(plugin->GetParameter(i), first, 1e-6f) << "parameter " << i << " at " << value;
        }
    }
}

TEST_P(ThirdPartyPlugin, ProcessesNoiseAtTwoRatesAndFourBlockSizes) {
    const ThirdParty& expected = GetParam();
    for (double rate : {44100.0, 96000.0}) {
        for (int32_t block : {1, 64, 500, 4096}) {
            std::string error;
            auto instance = LoadPlugin(PathOf(expected), &error);
            ASSERT_TRUE(instance) << error;
            instance->Prepare(rate, block);
            const int32_t plan[] = {block};
            if (expected.inputs == 0) continue;  // an instrument: nothing to feed
            EXPECT_TRUE(Finite(instance->ProcessSignal(Noise(expected.inputs, 20000, 3), plan))) << rate << " " << block;
            const AudioChannels silence(static_cast<std::size_t>(expected.inputs), std::vector<float>(static_cast<std::size_t>(rate)));
            const AudioChannels after = instance->ProcessSignal(silence, plan);
            EXPECT_TRUE(Finite(after));
            if (expected.ringsOutQuickly) {
                const AudioChannels later = instance->ProcessSignal(silence, plan);
                EXPECT_LT(Peak(later), 1e-7) << rate << " Hz, blocks of " << block;
            }
        }
    }
}

TEST_P(ThirdPartyPlugin, ClosesAndUnloadsCleanly) {
    std::string error;
    auto library = PluginLibrary::Load(PathOf(GetParam()), &error);
    ASSERT_TRUE(library) << error;
    std::vector<std::unique_ptr<PluginInstance>> instances;
    for (int i = 0; i < 3; ++i) {
        instances.push_back(PluginInstance::Create(library, &error));
        ASSERT_TRUE(instances.back()) << error;
        instances.back()->Prepare(44100.0, 128);
    }
    plugin.reset();
    instances.clear();  // effClose on each; the library goes with the last holder
    EXPECT_EQ(library.use_count(), 1);
    // Whatever was left allocated shows as a leak in the sanitizer run.
}

INSTANTIATE_TEST_SUITE_P(DpfPlugins, ThirdPartyPlugin, ::testing::ValuesIn(kPlugins), [](const auto& param) {
    std::string name = param.param.file;
    name = name.substr(0, name.find('-'));
    return name;
});

}  // namespace
}  // namespace tolvar
