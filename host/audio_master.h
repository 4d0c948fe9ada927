#pragma once
// The stand-in host's audioMaster callback and the process-wide state behind it.
//
// A plug-in calls audioMaster from `main`, before the host knows its effect
// record, so the callback has no context of its own: which host functions it
// offers, and the record of every call it received, are process-wide. Every
// function here may be called from any thread.
//
// Answers:
//   HostFunctionLookup (opcode kHostFunctionLookupOpcode, index
//   kHostFunctionLookupIndex, NUL-terminated name in ptr): the address of the
//   named function if it is offered, else 0. Offered names:
//     "DB2SLIDER"                  double (*)(double)         Db2Slider (fader_law.h)
//     "SLIDER2DB"                  double (*)(double)         Slider2Db (fader_law.h)
//     "PCM_Source_CreateFromFile"  PcmSource* (*)(const char*) CreateMediaSource (media_source.h)
//     "Resampler_Create"           void* (*)()                ResamplerCreateMisuse (aborts)
//   audioMasterVersion: 2400.
//   What a workstation tells any VST 2 plug-in that asks (neutral answers):
//     audioMasterGetSampleRate         the rate last set on that effect through
//                                      NoteEffectSampleRate, else 44100
//     audioMasterGetBlockSize          likewise the block size, else 1024
//     audioMasterGetCurrentProcessLevel
//                                      the level set through NoteEffectProcessLevel:
//                                      kVstProcessLevelOffline while rendering a file,
//                                      kVstProcessLevelRealtime while playing; else 0
//     audioMasterGetVendorString,
//     audioMasterGetProductString      kStandInHostName copied into ptr; 1
//     audioMasterGetVendorVersion      1
//     audioMasterGetLanguage           kVstLangEnglish
//     audioMasterGetAutomationState    kVstAutomationOff
//   Anything else, including the lookup opcode with another index, time info
//   (audioMasterGetTime: no transport), events, canDo, window and display
//   requests: 0, with ptr left alone.
#include <cstdint>
#include <string>
#include <vector>

#include "abi/vst2.h"

namespace tolvar {

constexpr intptr_t kStandInHostVstVersion = kVstVersion2400;
constexpr const char* kStandInHostName = "Tolvar stand-in host";
constexpr double kStandInDefaultSampleRate = 44100.0;
constexpr intptr_t kStandInDefaultBlockSize = 1024;
// The record keeps this many calls at most; later ones are answered unrecorded,
// so that a plug-in asking on every block cannot grow it without end.
constexpr std::size_t kMaxRecordedAudioMasterCalls = 100000;

// Which functions the lookup answers; a withheld one is answered with 0.
struct HostFunctionOffer {
    bool db2Slider = true;
    bool slider2Db = true;
    bool pcmSourceCreateFromFile = true;
    bool resamplerCreate = false;  // offered only on request; never to be called
};

HostFunctionOffer CurrentHostFunctionOffer();

// Installs `offer` for its lifetime and puts the previous offer back after.
// Scopes nest; destroy them in reverse order of creation.
class ScopedHostFunctionOffer {
public:
    explicit ScopedHostFunctionOffer(const HostFunctionOffer& offer);
    ~ScopedHostFunctionOffer();
    ScopedHostFunctionOffer(const ScopedHostFunctionOffer&) = delete;
    ScopedHostFunctionOffer& operator=(const ScopedHostFunctionOffer&) = delete;

private:
    HostFunctionOffer previous;
};

// One call of the callback, as it arrived.
struct AudioMasterCall {
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    std::string lookupName;  // the name asked for by a lookup (at most 255 bytes); empty otherwise
    intptr_t answer;         // what the callback returned
};

// What the host has told `effect` through its dispatcher, for the answers
// above; Forget when the effect is closed. Called by PluginInstance.
void NoteEffectSampleRate(const AEffect* effect, double sampleRate);
void NoteEffectBlockSize(const AEffect* effect, intptr_t blockSize);
void NoteEffectProcessLevel(const AEffect* effect, intptr_t level);
void ForgetEffectAudioSettings(const AEffect* effect);

std::vector<AudioMasterCall> AudioMasterCalls();  // every call since the last clear, in order
std::vector<std::string> HostFunctionLookups();   // the names of the lookups among them, in order
void ClearAudioMasterCalls();

// The callback itself, to be handed to a plug-in's `main`.
intptr_t TOLVAR_VST_CALL StandInAudioMaster(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                            void* ptr, float opt);

// Offered as Resampler_Create, which no plug-in of ours may call: reports the
// misuse on stderr and aborts.
void* ResamplerCreateMisuse();

}  // namespace tolvar
