#include "host/audio_master.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string_view>

#include "host/fader_law.h"
#include "host/host_misuse.h"
#include "host/media_source.h"

namespace tolvar {
namespace {

constexpr std::size_t kMaxLookupName = 255;

constexpr std::size_t kMaxHostStringBytes = kVstMaxVendorStrLen;

struct EffectSettings {
    double sampleRate = kStandInDefaultSampleRate;
    intptr_t blockSize = kStandInDefaultBlockSize;
    intptr_t processLevel = kVstProcessLevelUnknown;
};

struct AudioMasterState {
    std::mutex mutex;
    HostFunctionOffer offer;
    std::vector<AudioMasterCall> calls;
    std::map<const AEffect*, EffectSettings> effects;
};

AudioMasterState& State() {
    static AudioMasterState state;
    return state;
}

template <typename Function>
intptr_t AddressOf(Function* function) {
    return reinterpret_cast<intptr_t>(function);
}

intptr_t AnswerLookup(const HostFunctionOffer& offer, std::string_view name) {
    if (name == "DB2SLIDER") return offer.db2Slider ? AddressOf(&Db2Slider) : 0;
    if (name == "SLIDER2DB") return offer.slider2Db ? AddressOf(&Slider2Db) : 0;
    if (name == "PCM_Source_CreateFromFile")
        return offer.pcmSourceCreateFromFile ? AddressOf(&CreateMediaSource) : 0;
    if (name == "Resampler_Create") return offer.resamplerCreate ? AddressOf(&ResamplerCreateMisuse) : 0;
    return 0;
}

bool IsLookup(int32_t opcode, int32_t index) {
    return opcode == kHostFunctionLookupOpcode && index == kHostFunctionLookupIndex;
}

intptr_t CopyHostName(void* ptr) {
    if (!ptr) return 0;
    std::strncpy(static_cast<char*>(ptr), kStandInHostName, kMaxHostStringBytes - 1);
    static_cast<char*>(ptr)[kMaxHostStringBytes - 1] = '\0';
    return 1;
}

// The neutral answers; the state's lock is held.
intptr_t AnswerOther(AudioMasterState& state, const AEffect* effect, int32_t opcode, void* ptr) {
    const auto known = state.effects.find(effect);
    const EffectSettings settings = known != state.effects.end() ? known->second : EffectSettings{};
    switch (opcode) {
        case audioMasterVersion: return kStandInHostVstVersion;
        case audioMasterGetSampleRate: return static_cast<intptr_t>(settings.sampleRate);
        case audioMasterGetBlockSize: return settings.blockSize;
        case audioMasterGetCurrentProcessLevel: return settings.processLevel;
        case audioMasterGetAutomationState: return kVstAutomationOff;
        case audioMasterGetVendorString:
        case audioMasterGetProductString: return CopyHostName(ptr);
        case audioMasterGetVendorVersion: return 1;
        case audioMasterGetLanguage: return kVstLangEnglish;
        default: return 0;
    }
}

}  // namespace

HostFunctionOffer CurrentHostFunctionOffer() {
    std::lock_guard lock(State().mutex);
    return State().offer;
}

ScopedHostFunctionOffer::ScopedHostFunctionOffer(const HostFunctionOffer& offer) {
    std::lock_guard lock(State().mutex);
    previous = State().offer;
    State().offer = offer;
}

ScopedHostFunctionOffer::~ScopedHostFunctionOffer() {
    std::lock_guard lock(State().mutex);
    State().offer = previous;
}

std::vector<AudioMasterCall> AudioMasterCalls() {
    std::lock_guard lock(State().mutex);
    return State().calls;
}

std::vector<std::string> HostFunctionLookups() {
    std::vector<std::string> names;
    for (const AudioMasterCall& call : AudioMasterCalls())
        if (IsLookup(call.opcode, call.index)) names.push_back(call.lookupName);
    return names;
}

namespace {

// Changes one setting of an effect, the others as they were (or the defaults).
template <typename Change>
void NoteEffectSetting(const AEffect* effect, Change change) {
    std::lock_guard lock(State().mutex);
    try {
        change(State().effects[effect]);
    } catch (...) {
    }
}

}  // namespace

void NoteEffectSampleRate(const AEffect* effect, double sampleRate) {
    NoteEffectSetting(effect, [&](EffectSettings& settings) { settings.sampleRate = sampleRate; });
}

void NoteEffectBlockSize(const AEffect* effect, intptr_t blockSize) {
    NoteEffectSetting(effect, [&](EffectSettings& settings) { settings.blockSize = blockSize; });
}

void NoteEffectProcessLevel(const AEffect* effect, intptr_t level) {
    NoteEffectSetting(effect, [&](EffectSettings& settings) { settings.processLevel = level; });
}

void ForgetEffectAudioSettings(const AEffect* effect) {
    std::lock_guard lock(State().mutex);
    State().effects.erase(effect);
}

void ClearAudioMasterCalls() {
    std::lock_guard lock(State().mutex);
    State().calls.clear();
}

intptr_t TOLVAR_VST_CALL StandInAudioMaster(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                            void* ptr, float /*opt*/) {
    const bool lookup = IsLookup(opcode, index);
    const char* text = lookup ? static_cast<const char*>(ptr) : nullptr;
    const std::string_view name = text ? std::string_view(text, strnlen(text, kMaxLookupName)) : std::string_view();

    std::lock_guard lock(State().mutex);
    const intptr_t answer = lookup ? AnswerLookup(State().offer, name) : AnswerOther(State(), effect, opcode, ptr);
    try {
        if (State().calls.size() < kMaxRecordedAudioMasterCalls)
            State().calls.push_back(AudioMasterCall{effect, opcode, index, value, std::string(name), answer});
    } catch (...) {
        // Out of memory: the answer matters more to the plug-in than our record.
    }
    return answer;
}

void* ResamplerCreateMisuse() {
    ReportHostMisuse("Resampler_Create was called; the plug-in may only look it up");
}

}  // namespace tolvar
