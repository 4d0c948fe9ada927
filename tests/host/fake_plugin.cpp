// The fake plug-in binary (see fake_plugin_protocol.h). Built as a loadable
// module exporting only `main`.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "plugin/host_services/host_api.h"
#include "abi/pcm_source.h"
#include "abi/vst2.h"
#include "tests/host/fake_plugin_protocol.h"

namespace tolvar::test {
namespace {

int mainCalls = 0;

struct FakeEffect {
    AEffect effect{};
    float params[kFakeParams] = {kFakeDefaultGain, 0.0f};
    float history[kFakeChannels][kFakeLatency] = {};  // the last kFakeLatency inputs, a ring
    int historyPosition = 0;
    int processCalls = 0;
    int emptyProcessCalls = 0;
};

FakeEffect* Fake(AEffect* effect) { return effect ? static_cast<FakeEffect*>(effect->object) : nullptr; }

void CopyString(void* ptr, const char* text, std::size_t size) {
    if (ptr) std::snprintf(static_cast<char*>(ptr), size, "%s", text);
}

intptr_t ReadFile(const char* path, float rate) {
    PcmSource* source = ProcessHostApi().pcmSourceCreateFromFile(path);
    if (!source) return -1;
    if (!PcmSourceIsAvailable(source)) {
        PcmSourceDestroy(source);
        return -2;
    }
    const double readRate = rate > 0.0f ? rate : PcmSourceSampleRate(source);
    const int32_t frames = static_cast<int32_t>(std::ceil(PcmSourceLengthSeconds(source) * readRate));
    std::vector<double> samples(frames > 0 ? frames : 1);
    PcmBlock block{0.0, readRate, 1, frames, samples.data(), 0, {}};
    PcmSourceGetSamples(source, &block);
    PcmSourceDestroy(source);
    return block.framesDelivered;
}

intptr_t VendorRequest(FakeEffect& fake, int32_t index, void* ptr, float opt) {
    switch (index) {
        case kFakeReadFile: return ReadFile(static_cast<const char*>(ptr), opt);
        case kFakeMainCalls: return mainCalls;
        case kFakeProcessCalls: return fake.processCalls;
        case kFakeEmptyProcessCalls: return fake.emptyProcessCalls;
        default: return 0;
    }
}

intptr_t ParamString(int32_t opcode, int32_t index, void* ptr, const FakeEffect& fake) {
    if (index < 0 || index >= kFakeParams) return 0;
    char text[kVstMaxParamStrLen + 1];
    if (opcode == effGetParamName) std::snprintf(text, sizeof text, "%s", index == 0 ? "Gain" : "Spare");
    else if (opcode == effGetParamLabel) std::snprintf(text, sizeof text, "%s", "x");
    else std::snprintf(text, sizeof text, "%.3f", fake.params[index]);
    CopyString(ptr, text, sizeof text);
    return 1;
}

intptr_t TOLVAR_VST_CALL Dispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t /*value*/, void* ptr,
                                    float opt) {
    FakeEffect* fake = Fake(effect);
    if (!fake) return 0;
    switch (opcode) {
        case effClose: delete fake; return 1;
        case effMainsChanged: std::memset(fake->history, 0, sizeof fake->history); return 0;
        case effGetParamName:
        case effGetParamLabel:
        case effGetParamDisplay: return ParamString(opcode, index, ptr, *fake);
        case effGetEffectName: CopyString(ptr, "Fake Effect", kVstMaxEffectNameLen); return 1;
        case effGetVendorString: CopyString(ptr, "Tolvar Tests", kVstMaxEffectNameLen); return 1;
        case effGetProductString: CopyString(ptr, "Fake", kVstMaxEffectNameLen); return 1;
        case kFakeOpcode: return VendorRequest(*fake, index, ptr, opt);
        default: return 0;
    }
}

void TOLVAR_VST_CALL ProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
    FakeEffect* fake = Fake(effect);
    if (!fake) return;
    ++fake->processCalls;
    if (frames == 0) ++fake->emptyProcessCalls;
    for (int32_t n = 0; n < frames; ++n) {
        for (int c = 0; c < kFakeChannels; ++c) {
            const float x = inputs[c][n];
            outputs[c][n] = fake->params[0] * fake->history[c][fake->historyPosition];
            fake->history[c][fake->historyPosition] = x;
        }
        fake->historyPosition = (fake->historyPosition + 1) % kFakeLatency;
    }
}

void TOLVAR_VST_CALL SetParameter(AEffect* effect, int32_t index, float value) {
    if (FakeEffect* fake = Fake(effect); fake && index >= 0 && index < kFakeParams) fake->params[index] = value;
}

float TOLVAR_VST_CALL GetParameter(AEffect* effect, int32_t index) {
    const FakeEffect* fake = Fake(effect);
    return fake && index >= 0 && index < kFakeParams ? fake->params[index] : 0.0f;
}

void TOLVAR_VST_CALL Process(AEffect*, float**, float**, int32_t) {}

AEffect* NewFakeEffect() {
    auto* fake = new FakeEffect();
    AEffect& e = fake->effect;
    e.magic = kEffectMagic;
    e.dispatcher = Dispatcher;
    e.process = Process;
    e.setParameter = SetParameter;
    e.getParameter = GetParameter;
    e.numPrograms = 1;
    e.numParams = kFakeParams;
    e.numInputs = kFakeChannels;
    e.numOutputs = kFakeChannels;
    e.flags = kEffFlagsCanReplacing;
    e.initialDelay = kFakeLatency;
    e.object = fake;
    e.uniqueID = kFakeUniqueId;
    e.version = 1;
    e.processReplacing = ProcessReplacing;
    return &e;
}

}  // namespace
}  // namespace tolvar::test

// A C++ function cannot be named main outside the program's own entry, so the
// exported symbol gets its name from an assembler label (ELF) or from the
// module definition file (Windows: fake_plugin.def).
#if defined(_WIN32)
extern "C" tolvar::AEffect* TOLVAR_VST_CALL FakePluginMain(tolvar::AudioMasterCallback audioMaster);
#else
extern "C" tolvar::AEffect* FakePluginMain(tolvar::AudioMasterCallback audioMaster) __asm__("main");
#endif

extern "C" tolvar::AEffect* TOLVAR_VST_CALL FakePluginMain(tolvar::AudioMasterCallback audioMaster) {
    ++tolvar::test::mainCalls;
    tolvar::BindHostApi(audioMaster);
    const tolvar::HostApi& api = tolvar::ProcessHostApi();
    if (!api.db2Slider || !api.slider2Db || !api.pcmSourceCreateFromFile) return nullptr;
    return tolvar::test::NewFakeEffect();
}
