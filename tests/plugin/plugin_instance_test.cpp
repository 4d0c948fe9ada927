// An instance created through the entry point in this process: its record, the
// dispatcher, the parameter callbacks and the latency bookkeeping.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "plugin/editor_host.h"
#include "tests/plugin/instance_fixture.h"

namespace tolvar::test {
namespace {

// The text an opcode writes; the parameter texts answer 0, the effect's names
// 1 (what VST 2 hosts read as "a name was given").
std::string DispatchText(AEffect* effect, int32_t opcode, int32_t index, intptr_t answer = 0) {
    char text[64];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(effect->dispatcher(effect, opcode, index, 0, text, 0.0f), answer);
    EXPECT_NE(std::memchr(text, '\0', sizeof text), nullptr);
    return text;
}

TEST_F(InstanceTest, RecordDescribesAStereoEffectWithFifteenParameters) {
    AEffect* effect = Create();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, FourCharCode("VstP"));
    // The identity hosts know the plug-in by, written out here on purpose
    // rather than taken from params/plugin_identity.h.
    EXPECT_EQ(effect->uniqueID, FourCharCode("tlvr"));
    EXPECT_EQ(effect->version, 1100);
    EXPECT_EQ(effect->numPrograms, 1);
    EXPECT_EQ(effect->numParams, 15);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->flags, EditorAvailable() ? 17 : 16);  // can replace; has an editor where the binary has one
    EXPECT_EQ(effect->object, nullptr);
    EXPECT_EQ(effect->processDoubleReplacing, nullptr);
    EXPECT_EQ(effect->initialDelay, 0);  // no file found: the unit impulse runs without latency
    EXPECT_EQ(InstanceOf(effect), effect->user);
    // The defaults ask for the four section files in chain order, nothing else.
    EXPECT_EQ(Opened(),
              (std::vector<std::string>{"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"}));
}

TEST_F(InstanceTest, DispatcherHandsOutBoundedStrings) {
    AEffect* effect = Create();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(DispatchText(effect, effGetParamName, 0), "Input Mo");
    EXPECT_EQ(DispatchText(effect, effGetParamName, 14), "HShelfHQ");
    EXPECT_EQ(DispatchText(effect, effGetParamName, 15), "");
    EXPECT_EQ(DispatchText(effect, effGetParamName, -1), "");
    for (int i = -1; i <= 15; ++i) EXPECT_EQ(DispatchText(effect, effGetParamLabel, i), "");
    const char* defaults[15] = {"0.0", "0.0", "0.0", "2.0", "12.0", "0",  "3.0", "12.0",
                                "0",   "5.0", "12.0", "0", "2.0", "12.0", "0"};
    for (int i = 0; i < 15; ++i) EXPECT_EQ(DispatchText(effect, effGetParamDisplay, i), defaults[i]) << i;
    EXPECT_EQ(DispatchText(effect, effGetParamDisplay, 15), "");
    EXPECT_EQ(DispatchText(effect, effGetEffectName, 0, 1), "Tolvar");
    EXPECT_EQ(DispatchText(effect, effGetProductString, 0, 1), "Tolvar");
    EXPECT_EQ(DispatchText(effect, effGetVendorString, 0, 1), "Halvek");
    EXPECT_EQ(effect->dispatcher(effect, effGetPlugCategory, 0, 0, nullptr, 0.0f), 1);

    effect->setParameter(effect, kParamInputMode, 0.3f);
    EXPECT_EQ(DispatchText(effect, effGetParamDisplay, kParamInputMode), "1.2");
    effect->setParameter(effect, kParamLShelfG, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(DispatchText(effect, effGetParamDisplay, kParamLShelfG), "nan");
    effect->setParameter(effect, kParamBand1F, 3e38f);
    EXPECT_LE(DispatchText(effect, effGetParamDisplay, kParamBand1F).size(), 8u);
}

TEST_F(InstanceTest, NullPointersAndUnservedOpcodesAreHarmless) {
    AEffect* effect = Create();
    ASSERT_NE(effect, nullptr);
    for (int32_t opcode : {effGetParamLabel, effGetParamDisplay, effGetParamName, effGetEffectName,
                           effGetVendorString, effGetProductString}) {
        EXPECT_EQ(effect->dispatcher(effect, opcode, 0, 0, nullptr, 0.0f), 0);
    }
    EXPECT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect->dispatcher(effect, effGetParameterProperties, 0, 0, nullptr, 0.0f), 0);
    if (!EditorAvailable()) {
        void* untouched = reinterpret_cast<void*>(0x1234);
        EXPECT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, &untouched, 0.0f), 0);
        EXPECT_EQ(untouched, reinterpret_cast<void*>(0x1234));
    }
    for (int32_t opcode : std::initializer_list<int32_t>{effOpen, effSetBlockSize, effEditIdle, effGetChunk, effSetChunk, effGetProgramName,
                           effCanDo, effGetVendorVersion, effGetTailSize, int32_t{9999}}) {
        EXPECT_EQ(effect->dispatcher(effect, opcode, 0, 0, nullptr, 0.0f), 0) << opcode;
    }
    // No parent window: the editor cannot open, and closing one that is not open is fine.
    EXPECT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f), 0);

    // A record whose user field is null: instance opcodes do nothing, pure string opcodes still work.
    AEffect orphan = *effect;
    orphan.user = nullptr;
    char text[32] = "unchanged";
    EXPECT_EQ(orphan.dispatcher(&orphan, effGetParamDisplay, 0, 0, text, 0.0f), 0);
    EXPECT_STREQ(text, "unchanged");
    EXPECT_EQ(orphan.dispatcher(&orphan, effGetParamName, 3, 0, text, 0.0f), 0);
    EXPECT_STREQ(text, "LShelfF");
    EXPECT_EQ(orphan.dispatcher(&orphan, effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(orphan.dispatcher(&orphan, effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    EXPECT_EQ(orphan.dispatcher(&orphan, effMainsChanged, 0, 0, nullptr, 0.0f), 0);
    orphan.setParameter(&orphan, 0, 1.0f);
    EXPECT_EQ(orphan.getParameter(&orphan, 0), 0.0f);
    float in[4] = {1, 2, 3, 4}, out[4] = {9, 9, 9, 9};
    float* channels[2] = {in, in};
    float* outputs[2] = {out, out};
    orphan.processReplacing(&orphan, channels, outputs, 4);
    EXPECT_EQ(out[0], 9.0f);
    EXPECT_EQ(effect->getParameter(effect, kParamInputMode), 0.0f);  // the real instance is untouched
}

// What hosts other than ours read by the VST 2 convention.
TEST_F(InstanceTest, HostsSeeAutomatableSteppedParametersAndAVersion2Effect) {
    AEffect* effect = Create();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->dispatcher(effect, effGetVstVersion, 0, 0, nullptr, 0.0f), 2400);
    for (int i = -1; i <= 15; ++i)
        EXPECT_EQ(effect->dispatcher(effect, effCanBeAutomated, i, 0, nullptr, 0.0f), i >= 0 && i < 15) << i;

    // Each list's steps land on every one of its choices, as a host counts them.
    const int choices[15] = {5, 6, 6, 5, 26, 0, 10, 26, 0, 10, 26, 0, 5, 26, 0};
    const char* shortLabels[15] = {"Input", "LPF", "HPF", "LShelfF", "LShelfG", "LShlfHQ", "Band1F", "Band1G",
                                   "Band1HQ", "Band2F", "Band2G", "Band2HQ", "HShelfF", "HShelfG", "HShlfHQ"};
    for (int i = 0; i < 15; ++i) {
        SCOPED_TRACE(i);
        VstParameterProperties properties;
        std::memset(&properties, '#', sizeof properties);
        ASSERT_EQ(effect->dispatcher(effect, effGetParameterProperties, i, 0, &properties, 0.0f), 1);
        // The whole name, where effGetParamName cuts it to 8 characters.
        EXPECT_EQ(std::string(properties.label).substr(0, 8), DispatchText(effect, effGetParamName, i));
        EXPECT_STREQ(properties.shortLabel, shortLabels[i]);
        if (choices[i] == 0) {
            EXPECT_EQ(properties.flags, kVstParameterIsSwitch);
            continue;
        }
        EXPECT_EQ(properties.flags, kVstParameterUsesFloatStep);  // never integer min/max: values stay 0..1
        const float step = properties.stepFloat;
        EXPECT_EQ(properties.smallStepFloat, step);
        EXPECT_EQ(properties.largeStepFloat, step);
        EXPECT_EQ(1 + static_cast<int>(std::ceil(1.0f / step)), choices[i]);
        for (int k = 0; k < choices[i]; ++k) {
            effect->setParameter(effect, i, std::min(1.0f, k * step));
            EXPECT_EQ(DispatchText(effect, effGetParamDisplay, i), std::to_string(k) + ".0");
        }
    }
    VstParameterProperties whole{};
    effect->dispatcher(effect, effGetParameterProperties, 0, 0, &whole, 0.0f);
    EXPECT_STREQ(whole.label, "Input Mode");
    VstParameterProperties untouched{};
    for (int bad : {-1, 15}) EXPECT_EQ(effect->dispatcher(effect, effGetParameterProperties, bad, 0, &untouched, 0.0f), 0);
    EXPECT_EQ(untouched.flags, 0);
}

TEST_F(InstanceTest, ParametersAreStoredAsTheyArriveAndMarkedForTheEditor) {
    AEffect* effect = Create();
    ASSERT_NE(effect, nullptr);
    EqInstance& instance = *InstanceOf(effect);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, kParamLShelfF), 0.5f);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, kParamBand1F), static_cast<float>(3.0 / 9));
    EXPECT_EQ(instance.editorDirtyMask.load(), 0u);

    const float values[] = {0.7f, 1.5f, -0.25f, 0.123456f};
    for (float value : values) {
        effect->setParameter(effect, kParamHpf, value);
        EXPECT_EQ(effect->getParameter(effect, kParamHpf), value);
        EXPECT_EQ(instance.paramValues[kParamHpf], static_cast<double>(value));
    }
    effect->setParameter(effect, kParamBand2HQ, 1.0f);
    EXPECT_EQ(instance.editorDirtyMask.load(), (1u << kParamHpf) | (1u << kParamBand2HQ));

    effect->setParameter(effect, 15, 0.9f);
    effect->setParameter(effect, -1, 0.9f);
    EXPECT_EQ(effect->getParameter(effect, 15), 0.0f);
    EXPECT_EQ(effect->getParameter(effect, -1), 0.0f);
    EXPECT_EQ(instance.editorDirtyMask.load(), (1u << kParamHpf) | (1u << kParamBand2HQ));
}

TEST_F(InstanceTest, LatencyOnlyGrowsUntilTheEffectIsSwitchedOff) {
    PutFile("820+0.wav", DecayingResponse(1000));   // N = 2048: latency 1024
    PutFile("820+1.wav", DecayingResponse(300));    // N = 1024: latency 512
    PutFile("820+2.wav", DecayingResponse(5000));   // N = 16384: latency 8192
    PutFile("820+3.wav", DecayingResponse(100));    // direct form: latency 0
    AEffect* effect = Create();
    ASSERT_NE(effect, nullptr);
    EqInstance& instance = *InstanceOf(effect);
    EXPECT_EQ(effect->initialDelay, 1024);
    EXPECT_EQ(instance.engine.FftSize(), 2048);

    const float gainStep = 1.0f / 25;  // Band1G choice 12 + k is +k dB
    effect->setParameter(effect, kParamBand1G, 13 * gainStep);
    EXPECT_EQ(instance.engine.FftSize(), 1024);
    EXPECT_EQ(effect->initialDelay, 1024);  // a shorter impulse does not lower it
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    EXPECT_EQ(effect->initialDelay, 1024);  // switching on changes nothing
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(effect->initialDelay, 512);   // switching off falls back to the engine's base latency
    EXPECT_EQ(instance.latencyHighWater, 512);

    effect->setParameter(effect, kParamBand1G, 14 * gainStep);
    EXPECT_EQ(effect->initialDelay, 8192);
    effect->setParameter(effect, kParamBand1G, 15 * gainStep);
    EXPECT_EQ(instance.engine.FftSize(), 512);  // short, but kept out of direct form while latency is owed
    EXPECT_EQ(effect->initialDelay, 8192);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(instance.engine.FftSize(), 0);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(instance.delayInserted, 0);
}

TEST_F(InstanceTest, SampleRateChangesRecomposeAndWildRatesAreIgnored) {
    PutFile("820+0.wav", DecayingResponse(400), 48000.0);
    AEffect* effect = Create();
    ASSERT_NE(effect, nullptr);
    EqInstance& instance = *InstanceOf(effect);
    EXPECT_EQ(instance.sampleRate, 44100.0);
    const int tapsAt44k = instance.impulse.TapCount(0);
    EXPECT_NEAR(tapsAt44k, 400 * 44100.0 / 48000.0, 80);

    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(instance.sampleRate, 48000.0);
    ASSERT_EQ(instance.impulse.TapCount(0), 400);  // same rate: copied one to one
    EXPECT_FLOAT_EQ(instance.impulse.Taps(0)[0], static_cast<float>(kStandardFileScale));

    const std::vector<float> before(instance.impulse.Taps(0), instance.impulse.Taps(0) + 400);
    for (float wild : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}) {
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, wild);
        EXPECT_EQ(instance.sampleRate, 48000.0) << wild;
    }
    EXPECT_EQ(std::vector<float>(instance.impulse.Taps(0), instance.impulse.Taps(0) + 400), before);
    EXPECT_EQ(instance.impulse.sampleRate, 48000.0);
}

}  // namespace
}  // namespace tolvar::test
