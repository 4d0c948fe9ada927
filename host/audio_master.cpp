#include "host/audio_master.h"

#include <cstring>
#include <mutex>
#include <string_view>

#include "host/fader_law.h"
#include "host/host_misuse.h"
#include "host/media_source.h"

namespace tolvar {
namespace {

constexpr std::size_t kMaxLookupName = 255;

struct AudioMasterState {
    std::mutex mutex;
    HostFunctionOffer offer;
    std::vector<AudioMasterCall> calls;
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

}  // namespace

HostFunctionOffer CurrentHostFunctionOffer() {
    std::lock_guard lock(State().mutex);
    return State().offer;
}

ScopedHostFunctionOffer::ScopedHostFunctionOffer(const HostFunctionOffer& offer) {
    std::lock_guard lock(State().mutex);
    previous_ = State().offer;
    State().offer = offer;
}

ScopedHostFunctionOffer::~ScopedHostFunctionOffer() {
    std::lock_guard lock(State().mutex);
    State().offer = previous_;
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
    intptr_t answer = 0;
    if (lookup) answer = AnswerLookup(State().offer, name);
    else if (opcode == audioMasterVersion) answer = kStandInHostVstVersion;
    try {
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
