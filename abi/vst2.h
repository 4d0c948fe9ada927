#pragma once
// The VST 2 plug-in record and callbacks, written from the public record layout.
// Only what this plug-in and our stand-in host use is declared.
#include <cstddef>
#include <cstdint>

namespace tolvar {

#if defined(_WIN32)
#define TOLVAR_VST_CALL __cdecl
#else
#define TOLVAR_VST_CALL
#endif

struct AEffect;

using AudioMasterCallback = intptr_t(TOLVAR_VST_CALL*)(AEffect* effect, int32_t opcode, int32_t index,
                                                      intptr_t value, void* ptr, float opt);
using DispatcherProc = intptr_t(TOLVAR_VST_CALL*)(AEffect* effect, int32_t opcode, int32_t index,
                                                 intptr_t value, void* ptr, float opt);
using ProcessProc = void(TOLVAR_VST_CALL*)(AEffect* effect, float** inputs, float** outputs,
                                          int32_t sampleFrames);
using ProcessDoubleProc = void(TOLVAR_VST_CALL*)(AEffect* effect, double** inputs, double** outputs,
                                                int32_t sampleFrames);
using SetParameterProc = void(TOLVAR_VST_CALL*)(AEffect* effect, int32_t index, float parameter);
using GetParameterProc = float(TOLVAR_VST_CALL*)(AEffect* effect, int32_t index);

struct AEffect {
    int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process;
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

constexpr int32_t FourCharCode(const char (&code)[5]) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
                                static_cast<uint32_t>(static_cast<unsigned char>(code[3])));
}

constexpr int32_t kEffectMagic = FourCharCode("VstP");
constexpr int32_t kEffFlagsHasEditor = 1 << 0;
constexpr int32_t kEffFlagsCanReplacing = 1 << 4;
constexpr intptr_t kPlugCategEffect = 1;
constexpr intptr_t kVstVersion2400 = 2400;
constexpr int kVstMaxParamStrLen = 8;     // characters, without the terminator
constexpr int kVstMaxEffectNameLen = 32;  // bytes, with the terminator
constexpr int kVstMaxVendorStrLen = 64;   // bytes, with the terminator; also the product string's

// A window rectangle in pixels, as effEditGetRect hands it to the host.
struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};
static_assert(sizeof(ERect) == 8);

// What effGetParameterProperties fills in for one parameter. The same layout
// for both pointer sizes: it holds no pointers.
struct VstParameterProperties {
    float stepFloat;
    float smallStepFloat;
    float largeStepFloat;
    char label[64];
    int32_t flags;
    int32_t minInteger;
    int32_t maxInteger;
    int32_t stepInteger;
    int32_t largeStepInteger;
    char shortLabel[8];  // with the terminator
    int16_t displayIndex;
    int16_t category;
    int16_t numParametersInCategory;
    int16_t reserved;
    char categoryLabel[24];
    char future[16];
};
static_assert(sizeof(VstParameterProperties) == 152);
static_assert(offsetof(VstParameterProperties, flags) == 76);
static_assert(offsetof(VstParameterProperties, shortLabel) == 96);
static_assert(offsetof(VstParameterProperties, categoryLabel) == 112);

enum VstParameterFlags : int32_t {
    kVstParameterIsSwitch = 1 << 0,
    kVstParameterUsesIntegerMinMax = 1 << 1,
    kVstParameterUsesFloatStep = 1 << 2,
    kVstParameterUsesIntStep = 1 << 3,
};

enum DispatcherOpcode : int32_t {
    effOpen = 0,
    effClose = 1,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effGetChunk = 23,
    effSetChunk = 24,
    effCanBeAutomated = 26,
    effGetPlugCategory = 35,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effCanDo = 51,
    effGetTailSize = 52,
    effGetParameterProperties = 56,
    effGetVstVersion = 58,
    effStartProcess = 71,  // VST 2.3 hosts bracket processing with these two
    effStopProcess = 72,
};

enum AudioMasterOpcode : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterGetTime = 7,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterGetLanguage = 38,
};

// audioMasterGetCurrentProcessLevel's answers.
constexpr intptr_t kVstProcessLevelUnknown = 0;   // the host does not say
constexpr intptr_t kVstProcessLevelRealtime = 2;  // blocks are processed as they are played
constexpr intptr_t kVstProcessLevelOffline = 4;   // rendering, faster or slower than real time
// audioMasterGetAutomationState's answer when no automation is read or written.
constexpr intptr_t kVstAutomationOff = 1;
// audioMasterGetLanguage's answer for English.
constexpr intptr_t kVstLangEnglish = 1;

// The host-function lookup: audioMaster with effect null, this opcode and index,
// and the function's name in ptr; the host answers with the address or 0.
constexpr int32_t kHostFunctionLookupOpcode = static_cast<int32_t>(0xDEADBEEFu);
constexpr int32_t kHostFunctionLookupIndex = static_cast<int32_t>(0xDEADF00Du);

// The record layout hosts rely on, pinned for both pointer sizes.
#if INTPTR_MAX == INT64_MAX
static_assert(sizeof(AEffect) == 192);
static_assert(offsetof(AEffect, dispatcher) == 8);
static_assert(offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, flags) == 56);
static_assert(offsetof(AEffect, resvd1) == 64);
static_assert(offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, ioRatio) == 92);
static_assert(offsetof(AEffect, object) == 96);
static_assert(offsetof(AEffect, user) == 104);
static_assert(offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, processReplacing) == 120);
static_assert(offsetof(AEffect, processDoubleReplacing) == 128);
static_assert(offsetof(AEffect, future) == 136);
#else
static_assert(sizeof(AEffect) == 144);
static_assert(offsetof(AEffect, dispatcher) == 4);
static_assert(offsetof(AEffect, numPrograms) == 20);
static_assert(offsetof(AEffect, flags) == 36);
static_assert(offsetof(AEffect, resvd1) == 40);
static_assert(offsetof(AEffect, initialDelay) == 48);
static_assert(offsetof(AEffect, ioRatio) == 60);
static_assert(offsetof(AEffect, object) == 64);
static_assert(offsetof(AEffect, user) == 68);
static_assert(offsetof(AEffect, uniqueID) == 72);
static_assert(offsetof(AEffect, processReplacing) == 80);
static_assert(offsetof(AEffect, processDoubleReplacing) == 84);
static_assert(offsetof(AEffect, future) == 88);
#endif

}  // namespace tolvar
