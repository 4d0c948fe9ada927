// A plug-in with faults that a host would notice, for the validator's own
// tests: the validator must report every one of them.
//   - processReplacing allocates on every call;
//   - the display text of its parameter is longer than 8 characters;
//   - on silence its output settles at a constant level instead of silence;
//   - at 8000 Hz its output is NaN.
// Otherwise it is a plain gain on one channel, exporting only `main`.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "abi/vst2.h"

namespace tolvar::test {
namespace {

constexpr float kDcLevel = 0.01f;

struct Faulty {
    AEffect effect{};
    float gain = 0.5f;
    float rate = 44100.0f;
};

Faulty* Of(AEffect* effect) { return effect ? static_cast<Faulty*>(effect->object) : nullptr; }

void Copy(void* ptr, const char* text) {
    if (ptr) std::snprintf(static_cast<char*>(ptr), kVstMaxParamStrLen + 1, "%s", text);
}

intptr_t TOLVAR_VST_CALL Dispatch(AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr, float opt) {
    Faulty* faulty = Of(effect);
    if (!faulty) return 0;
    switch (opcode) {
        case effClose: delete faulty; return 0;
        case effSetSampleRate: faulty->rate = opt; return 0;
        case effGetParamName: Copy(ptr, "Gain"); return 0;
        case effGetParamLabel: Copy(ptr, ""); return 0;
        case effGetParamDisplay:  // the fault: 11 characters into a 9-byte field
            if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "%.6f dB", static_cast<double>(faulty->gain));
            return 0;
        case effGetEffectName: Copy(ptr, "Faulty"); return 0;
        case effGetVendorString: Copy(ptr, "Tolvar"); return 0;
        default: return 0;
    }
}

void* (*volatile allocate)(std::size_t) = &std::malloc;  // not elided with the free below

void TOLVAR_VST_CALL Process(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
    Faulty* faulty = Of(effect);
    if (!faulty) return;
    std::free(allocate(256));  // the fault: an allocation on the audio thread
    const float broken = faulty->rate == 8000.0f ? NAN : 0.0f;
    for (int32_t i = 0; i < frames; ++i) outputs[0][i] = faulty->gain * inputs[0][i] + kDcLevel + broken;
}

void TOLVAR_VST_CALL SetParameter(AEffect* effect, int32_t index, float value) {
    if (Faulty* faulty = Of(effect); faulty && index == 0) faulty->gain = value;
}

float TOLVAR_VST_CALL GetParameter(AEffect* effect, int32_t index) {
    Faulty* faulty = Of(effect);
    return faulty && index == 0 ? faulty->gain : 0.0f;
}

}  // namespace
}  // namespace tolvar::test

// The export is named main by an assembler label (ELF) or by the module
// definition file (Windows: faulty_plugin.def).
#if defined(_WIN32)
extern "C" tolvar::AEffect* TOLVAR_VST_CALL FaultyMain(tolvar::AudioMasterCallback);
#else
extern "C" tolvar::AEffect* FaultyMain(tolvar::AudioMasterCallback) __asm__("main");
#endif

extern "C" tolvar::AEffect* TOLVAR_VST_CALL FaultyMain(tolvar::AudioMasterCallback) {
    using namespace tolvar;
    auto* faulty = new (std::nothrow) test::Faulty();
    if (!faulty) return nullptr;
    AEffect& effect = faulty->effect;
    effect.magic = kEffectMagic;
    effect.dispatcher = &test::Dispatch;
    effect.setParameter = &test::SetParameter;
    effect.getParameter = &test::GetParameter;
    effect.processReplacing = &test::Process;
    effect.numPrograms = 1;
    effect.numParams = 1;
    effect.numInputs = 1;
    effect.numOutputs = 1;
    effect.flags = kEffFlagsCanReplacing;
    effect.object = faulty;
    effect.uniqueID = FourCharCode("fLty");
    effect.version = 1;
    return &effect;
}
