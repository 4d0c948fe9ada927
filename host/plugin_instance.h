#pragma once
// One effect instance of a loaded plug-in, driven the way a digital audio
// workstation drives it.
//
// Threads: like a real host, this class adds no locking of its own. Calls that
// a host makes from different threads (processing on an audio thread,
// parameters and dispatcher elsewhere) may be made from different threads, as
// the plug-in must cope with that; Close and destruction must not race with
// anything.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/audio_master.h"
#include "host/plugin_library.h"
#include "abi/vst2.h"

namespace tolvar {

// Audio as channels of equal length: channels[c][frame].
using AudioChannels = std::vector<std::vector<float>>;

class PluginInstance {
public:
    // Calls the library's `main` with `audioMaster` and takes the effect it
    // returns. Null, with the reason in *error, when main returns null or a
    // record without the VST magic (that record is left alone, as hosts do).
    static std::unique_ptr<PluginInstance> Create(std::shared_ptr<PluginLibrary> library, std::string* error,
                                                  AudioMasterCallback audioMaster = StandInAudioMaster);

    ~PluginInstance();  // Close(), then lets go of the library
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* Effect() const { return effect; }  // null after Close
    const std::shared_ptr<PluginLibrary>& Library() const { return library; }

    // The raw dispatcher; 0 after Close.
    intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);

    // The usual start-up sequence and its steps.
    void Prepare(double sampleRate, int32_t maxBlockSize);  // Open, SetSampleRate, SetBlockSize, SetMains(true)
    void Open();                                             // effOpen
    void SetSampleRate(double sampleRate);                   // effSetSampleRate (rate in opt, as a float)
    void SetBlockSize(int32_t maxBlockSize);                 // effSetBlockSize
    // What the host answers the effect's audioMasterGetCurrentProcessLevel
    // from now on (kVstProcessLevelOffline, kVstProcessLevelRealtime; 0 until set).
    void SetProcessLevel(intptr_t level);
    void SetMains(bool on);                                  // effMainsChanged with value 1 or 0

    // String opcodes, read from a 256-byte zeroed buffer. Empty after Close.
    std::string EffectName();                 // effGetEffectName
    std::string VendorString();               // effGetVendorString
    std::string ProductString();              // effGetProductString
    std::string ParamName(int32_t index);     // effGetParamName
    std::string ParamLabel(int32_t index);    // effGetParamLabel
    std::string ParamDisplay(int32_t index);  // effGetParamDisplay
    std::string DispatchString(int32_t opcode, int32_t index);

    void SetParameter(int32_t index, float value);  // nothing after Close
    float GetParameter(int32_t index);              // 0 after Close
    int32_t InitialDelay() const;                   // the latency the effect reports now, frames; 0 after Close

    // One processReplacing call on the caller's buffers (numInputs and
    // numOutputs channel pointers).
    void ProcessBlock(float* const* inputs, float* const* outputs, int32_t frames);

    // Feeds `input` (numInputs channels of equal length) through
    // processReplacing in blocks whose sizes are taken from `blockSizes` in
    // turn, cycling through it; a size of 0 makes a call with no frames, and a
    // size is cut to the frames left. Each block gets fresh buffers of exactly
    // its size, the outputs filled with NaN beforehand, so that a plug-in that
    // reads or writes outside the block or leaves output frames unwritten shows.
    // Returns numOutputs channels as long as the input, or nothing when the
    // input's channel count is wrong, its channels differ in length, or
    // blockSizes has no positive size. Allocates per block: not for real time.
    AudioChannels ProcessSignal(const AudioChannels& input, std::span<const int32_t> blockSizes);

    // effClose. The effect record is gone afterwards; every call above becomes
    // a no-op with a neutral answer.
    void Close();

private:
    PluginInstance(std::shared_ptr<PluginLibrary> library, AEffect* effect);

    std::shared_ptr<PluginLibrary> library;  // keeps the binary loaded while the effect lives
    AEffect* effect;                         // owned by the plug-in; ended by effClose
};

// Loads the binary and creates one instance with the stand-in audioMaster.
// Null, with the reason in *error, when either step fails.
std::unique_ptr<PluginInstance> LoadPlugin(const std::string& path, std::string* error);

}  // namespace tolvar
