// Loading a plug-in binary (the fake in fake_plugin.cpp) and driving it: the
// lookups its `main` makes, withheld functions, unloading, processing in any
// block sizes, parameters, strings, closing, and a file read through the bound
// PCM_Source_CreateFromFile from inside the binary.
//
// The fake binds the host functions once per load of the binary, like the real
// plug-in; each test lets go of every instance so that the next load is fresh.
#include <sndfile.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "host/audio_master.h"
#include "host/block_sizes.h"
#include "host/plugin_instance.h"
#include "host/plugin_library.h"
#include "host/source_registry.h"
#include "tests/host/fake_plugin_protocol.h"
#include "tests/support/signals.h"
#include "tests/support/test_files.h"

namespace tolvar {
namespace {

using test::kFakeOpcode;

const std::vector<std::string> kLookupOrder{"DB2SLIDER", "SLIDER2DB", "PCM_Source_CreateFromFile", "Resampler_Create"};

std::unique_ptr<PluginInstance> LoadFake() {
    std::string error;
    std::unique_ptr<PluginInstance> instance = LoadPlugin(TOLVAR_FAKE_PLUGIN_PATH, &error);
    EXPECT_NE(instance, nullptr) << error;
    return instance;
}

TEST(PluginLoading, LoadsTheBinaryAndCallsMainWhichLooksUpFourFunctions) {
    ScopedHostFunctionOffer offer(HostFunctionOffer{});
    ClearAudioMasterCalls();
    std::unique_ptr<PluginInstance> fake = LoadFake();
    ASSERT_NE(fake, nullptr);
    ASSERT_NE(fake->Effect(), nullptr);
    EXPECT_EQ(fake->Effect()->magic, kEffectMagic);
    EXPECT_EQ(fake->Effect()->uniqueID, test::kFakeUniqueId);
    EXPECT_EQ(HostFunctionLookups(), kLookupOrder);
    for (const AudioMasterCall& call : AudioMasterCalls()) EXPECT_EQ(call.effect, nullptr);
    EXPECT_EQ(fake->Dispatch(kFakeOpcode, test::kFakeMainCalls), 1);
    EXPECT_EQ(fake->Library()->FindSymbol("BindHostApi"), nullptr);  // only main is exported

    EXPECT_EQ(fake->EffectName(), "Fake Effect");
    EXPECT_EQ(fake->VendorString(), "Tolvar Tests");
    EXPECT_EQ(fake->ProductString(), "Fake");
    EXPECT_EQ(fake->ParamName(0), "Gain");
    EXPECT_EQ(fake->ParamLabel(1), "x");
    EXPECT_EQ(fake->ParamName(7), "");
    fake->SetParameter(0, 0.25f);
    EXPECT_EQ(fake->GetParameter(0), 0.25f);
    EXPECT_EQ(fake->ParamDisplay(0), "0.250");
    EXPECT_EQ(fake->InitialDelay(), test::kFakeLatency);
}

// The fake needs the first three functions (the real plug-in needs none); its main
// asks for all four whatever is missing, then makes no instance.
TEST(PluginLoading, WithheldFunctionsLeaveNoInstance) {
    for (int withheld = 0; withheld < 4; ++withheld) {
        SCOPED_TRACE(kLookupOrder[withheld]);
        HostFunctionOffer offer;
        offer.resamplerCreate = true;
        bool* flags[] = {&offer.db2Slider, &offer.slider2Db, &offer.pcmSourceCreateFromFile, &offer.resamplerCreate};
        *flags[withheld] = false;
        ScopedHostFunctionOffer scoped(offer);
        ClearAudioMasterCalls();
        std::string error;
        std::unique_ptr<PluginInstance> instance = LoadPlugin(TOLVAR_FAKE_PLUGIN_PATH, &error);
        EXPECT_EQ(HostFunctionLookups(), kLookupOrder);
        const std::vector<AudioMasterCall> calls = AudioMasterCalls();
        ASSERT_EQ(calls.size(), 4u);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(calls[i].answer == 0, i == withheld) << i;
        if (withheld < 3) {
            EXPECT_EQ(instance, nullptr);
            EXPECT_NE(error.find("main returned no effect"), std::string::npos) << error;
        } else {
            EXPECT_NE(instance, nullptr) << error;
        }
    }
}

// Instances share their library; it is unloaded after the last one closes, so
// a new load starts the binary afresh.
TEST(PluginLoading, UnloadsAfterTheLastInstance) {
    std::string error;
    std::shared_ptr<PluginLibrary> library = PluginLibrary::Load(TOLVAR_FAKE_PLUGIN_PATH, &error);
    ASSERT_NE(library, nullptr) << error;
    std::unique_ptr<PluginInstance> first = PluginInstance::Create(library, &error);
    std::unique_ptr<PluginInstance> second = PluginInstance::Create(library, &error);
    ASSERT_TRUE(first && second) << error;
    EXPECT_EQ(second->Dispatch(kFakeOpcode, test::kFakeMainCalls), 2);
    library.reset();
    first.reset();
    EXPECT_EQ(second->Dispatch(kFakeOpcode, test::kFakeMainCalls), 2);  // still loaded
    second.reset();
    std::unique_ptr<PluginInstance> again = LoadFake();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Dispatch(kFakeOpcode, test::kFakeMainCalls), 1);
}

TEST(PluginLoading, ReportsWhatCannotBeLoaded) {
    test::TempDir dir;
    test::WriteBytes(dir.File("text.so"), "not a shared object\n");
    for (const std::string& path : {dir.File("missing.so"), dir.File("text.so"), dir.Path()}) {
        std::string error;
        EXPECT_EQ(PluginLibrary::Load(path, &error), nullptr) << path;
        EXPECT_FALSE(error.empty()) << path;
    }
    std::string error;
    EXPECT_EQ(PluginLibrary::Load(TOLVAR_FAKE_NO_ENTRY_PATH, &error), nullptr);
    EXPECT_NE(error.find("has no export named main"), std::string::npos) << error;
    EXPECT_EQ(PluginInstance::Create(nullptr, &error), nullptr);
}

// The output must be the input times the gain, delayed by the reported latency,
// whatever the block sizes; the fake sees every block, empty ones included.
TEST(PluginLoading, ProcessesSignalsInAnyBlockSizes) {
    const std::vector<std::vector<int32_t>> plans{
        {64}, {1}, {0, 1, 7}, {5, 0, 0, 3}, RandomBlockSizes(11, 300, 37), RandomBlockSizes(12, 50, 1000)};
    const AudioChannels input = {test::Noise(2000, 3), test::Noise(2000, 4)};
    for (std::size_t p = 0; p < plans.size(); ++p) {
        SCOPED_TRACE(testing::Message() << "plan " << p);
        std::unique_ptr<PluginInstance> fake = LoadFake();
        ASSERT_NE(fake, nullptr);
        fake->Prepare(48000.0, 1000);
        fake->SetParameter(0, 0.75f);
        const AudioChannels output = fake->ProcessSignal(input, plans[p]);
        ASSERT_EQ(output.size(), 2u);
        const std::size_t delay = static_cast<std::size_t>(fake->InitialDelay());
        for (std::size_t c = 0; c < 2; ++c) {
            ASSERT_EQ(output[c].size(), input[c].size());
            for (std::size_t n = 0; n < input[c].size(); ++n) {
                const float expected = n < delay ? 0.0f : 0.75f * input[c][n - delay];
                ASSERT_EQ(output[c][n], expected) << "channel " << c << ", frame " << n;
            }
        }
        // One call per plan entry, cycling, until the signal is used up.
        intptr_t calls = 0, emptyCalls = 0;
        for (std::size_t done = 0, i = 0; done < input[0].size(); ++i, ++calls) {
            const std::size_t size = static_cast<std::size_t>(plans[p][i % plans[p].size()]);
            emptyCalls += size == 0;
            done += std::min(size, input[0].size() - done);
        }
        EXPECT_EQ(fake->Dispatch(kFakeOpcode, test::kFakeProcessCalls), calls);
        EXPECT_EQ(fake->Dispatch(kFakeOpcode, test::kFakeEmptyProcessCalls), emptyCalls);
    }
}

TEST(PluginLoading, RefusesSignalsThatDoNotFit) {
    std::unique_ptr<PluginInstance> fake = LoadFake();
    ASSERT_NE(fake, nullptr);
    fake->Prepare(44100.0, 64);
    const std::vector<int32_t> sizes{16};
    const std::vector<int32_t> zeros{0, 0};
    EXPECT_TRUE(fake->ProcessSignal(AudioChannels(1, std::vector<float>(10)), sizes).empty());  // mono into stereo
    EXPECT_TRUE(fake->ProcessSignal(AudioChannels{std::vector<float>(10), std::vector<float>(9)}, sizes).empty());
    EXPECT_TRUE(fake->ProcessSignal(AudioChannels(2, std::vector<float>(10)), zeros).empty());
    EXPECT_TRUE(fake->ProcessSignal(AudioChannels(2, std::vector<float>(10)), {}).empty());
    EXPECT_EQ(fake->Dispatch(kFakeOpcode, test::kFakeProcessCalls), 0);
}

TEST(PluginLoading, ClosedInstanceAnswersNeutrally) {
    std::unique_ptr<PluginInstance> fake = LoadFake();
    ASSERT_NE(fake, nullptr);
    fake->Close();
    EXPECT_EQ(fake->Effect(), nullptr);
    EXPECT_EQ(fake->Dispatch(kFakeOpcode, test::kFakeMainCalls), 0);
    EXPECT_EQ(fake->GetParameter(0), 0.0f);
    EXPECT_EQ(fake->InitialDelay(), 0);
    EXPECT_EQ(fake->EffectName(), "");
    fake->SetParameter(0, 1.0f);
    const std::vector<int32_t> sizes{16};
    EXPECT_TRUE(fake->ProcessSignal(AudioChannels(2, std::vector<float>(10)), sizes).empty());
    fake->Close();  // a second close does nothing
}

// From inside the binary, through the pointer its main bound.
TEST(PluginLoading, PluginReadsFilesThroughTheBoundSource) {
    test::TempDir dir;
    const std::string path = dir.File("tone.wav");
    ASSERT_TRUE(test::WriteWavDoubles(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 2, std::vector<double>(960, 0.5)));
    std::unique_ptr<PluginInstance> fake = LoadFake();
    ASSERT_NE(fake, nullptr);
    ClearOpenedMediaPaths();
    const int live = LiveMediaSourceCount();
    const std::string missing = dir.File("missing.wav");
    EXPECT_EQ(fake->Dispatch(kFakeOpcode, test::kFakeReadFile, 0, const_cast<char*>(path.c_str()), 0.0f), 480);
    EXPECT_EQ(fake->Dispatch(kFakeOpcode, test::kFakeReadFile, 0, const_cast<char*>(path.c_str()), 48000.0f), 240);
    EXPECT_EQ(fake->Dispatch(kFakeOpcode, test::kFakeReadFile, 0, const_cast<char*>(missing.c_str()), 0.0f), -2);
    EXPECT_EQ(OpenedMediaPaths(), (std::vector<std::string>{path, path, missing}));
    EXPECT_EQ(LiveMediaSourceCount(), live);
}

}  // namespace
}  // namespace tolvar
