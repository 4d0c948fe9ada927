#include "host/plugin_instance.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace tolvar {
namespace {

constexpr std::size_t kStringBufferSize = 256;

bool SameLengths(const AudioChannels& channels) {
    return std::all_of(channels.begin(), channels.end(),
                       [&](const std::vector<float>& c) { return c.size() == channels.front().size(); });
}

bool HasPositiveSize(std::span<const int32_t> sizes) {
    return std::any_of(sizes.begin(), sizes.end(), [](int32_t size) { return size > 0; });
}

std::vector<float*> Pointers(AudioChannels& channels) {
    std::vector<float*> pointers;
    for (std::vector<float>& channel : channels) pointers.push_back(channel.data());
    return pointers;
}

}  // namespace

std::unique_ptr<PluginInstance> PluginInstance::Create(std::shared_ptr<PluginLibrary> library, std::string* error,
                                                       AudioMasterCallback audioMaster) {
    if (!library) {
        if (error) *error = "no library";
        return nullptr;
    }
    AEffect* effect = library->CallMain(audioMaster);
    if (!effect || effect->magic != kEffectMagic) {
        if (error) *error = library->Path() + (effect ? ": main returned a record without the VST magic"
                                                      : ": main returned no effect");
        return nullptr;
    }
    return std::unique_ptr<PluginInstance>(new PluginInstance(std::move(library), effect));
}

PluginInstance::PluginInstance(std::shared_ptr<PluginLibrary> loaded, AEffect* record)
    : library(std::move(loaded)), effect(record) {}

PluginInstance::~PluginInstance() { Close(); }

intptr_t PluginInstance::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (!effect || !effect->dispatcher) return 0;
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void PluginInstance::Prepare(double sampleRate, int32_t maxBlockSize) {
    Open();
    SetSampleRate(sampleRate);
    SetBlockSize(maxBlockSize);
    SetMains(true);
}

void PluginInstance::Open() { Dispatch(effOpen); }

void PluginInstance::SetSampleRate(double sampleRate) {
    if (effect) NoteEffectSampleRate(effect, sampleRate);
    Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
}

void PluginInstance::SetProcessLevel(intptr_t level) {
    if (effect) NoteEffectProcessLevel(effect, level);
}

void PluginInstance::SetBlockSize(int32_t maxBlockSize) {
    if (effect) NoteEffectBlockSize(effect, maxBlockSize);
    Dispatch(effSetBlockSize, 0, maxBlockSize);
}

void PluginInstance::SetMains(bool on) { Dispatch(effMainsChanged, 0, on ? 1 : 0); }

std::string PluginInstance::DispatchString(int32_t opcode, int32_t index) {
    char buffer[kStringBufferSize] = {};
    Dispatch(opcode, index, 0, buffer);
    buffer[kStringBufferSize - 1] = '\0';
    return std::string(buffer);
}

std::string PluginInstance::EffectName() { return DispatchString(effGetEffectName, 0); }
std::string PluginInstance::VendorString() { return DispatchString(effGetVendorString, 0); }
std::string PluginInstance::ProductString() { return DispatchString(effGetProductString, 0); }
std::string PluginInstance::ParamName(int32_t index) { return DispatchString(effGetParamName, index); }
std::string PluginInstance::ParamLabel(int32_t index) { return DispatchString(effGetParamLabel, index); }
std::string PluginInstance::ParamDisplay(int32_t index) { return DispatchString(effGetParamDisplay, index); }

void PluginInstance::SetParameter(int32_t index, float value) {
    if (effect && effect->setParameter) effect->setParameter(effect, index, value);
}

float PluginInstance::GetParameter(int32_t index) {
    return effect && effect->getParameter ? effect->getParameter(effect, index) : 0.0f;
}

int32_t PluginInstance::InitialDelay() const { return effect ? effect->initialDelay : 0; }

void PluginInstance::ProcessBlock(float* const* inputs, float* const* outputs, int32_t frames) {
    if (effect && effect->processReplacing)
        effect->processReplacing(effect, const_cast<float**>(inputs), const_cast<float**>(outputs), frames);
}

AudioChannels PluginInstance::ProcessSignal(const AudioChannels& input, std::span<const int32_t> blockSizes) {
    if (!effect || static_cast<int32_t>(input.size()) != effect->numInputs || effect->numOutputs < 0 ||
        !SameLengths(input) || !HasPositiveSize(blockSizes))
        return {};
    const std::size_t length = input.empty() ? 0 : input.front().size();
    AudioChannels output(static_cast<std::size_t>(effect->numOutputs), std::vector<float>(length));
    std::size_t done = 0;
    for (std::size_t next = 0; done < length; next = (next + 1) % blockSizes.size()) {
        const std::size_t frames = std::min<std::size_t>(std::max<int32_t>(blockSizes[next], 0), length - done);
        AudioChannels blockIn(input.size(), std::vector<float>(frames));
        for (std::size_t c = 0; c < input.size(); ++c)
            std::copy_n(input[c].begin() + static_cast<std::ptrdiff_t>(done), frames, blockIn[c].begin());
        AudioChannels blockOut(output.size(), std::vector<float>(frames, std::numeric_limits<float>::quiet_NaN()));
        ProcessBlock(Pointers(blockIn).data(), Pointers(blockOut).data(), static_cast<int32_t>(frames));
        for (std::size_t c = 0; c < output.size(); ++c)
            std::copy(blockOut[c].begin(), blockOut[c].end(), output[c].begin() + static_cast<std::ptrdiff_t>(done));
        done += frames;
    }
    return output;
}

void PluginInstance::Close() {
    if (!effect) return;
    AEffect* closed = effect;
    Dispatch(effClose);
    effect = nullptr;
    ForgetEffectAudioSettings(closed);
}

std::unique_ptr<PluginInstance> LoadPlugin(const std::string& path, std::string* error) {
    std::shared_ptr<PluginLibrary> library = PluginLibrary::Load(path, error);
    return library ? PluginInstance::Create(std::move(library), error) : nullptr;
}

}  // namespace tolvar
