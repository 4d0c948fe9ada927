#include "fuzz/fuzz_support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#include "host/audio_master.h"
#include "host/media_source.h"
#include "host/source_registry.h"
#include "params/param_info.h"
#include "plugin/entry.h"
#include "plugin/eq_instance.h"
#include "plugin/host_services/host_api.h"
#include "plugin/ir_library_path.h"

namespace tolvar::fuzz {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kMax = std::numeric_limits<float>::max();
constexpr float kDenormal = std::numeric_limits<float>::denorm_min();

constexpr float kWildParameterValues[16] = {
    kNaN, kInf, -kInf, kMax, -kMax, kDenormal, -0.0f, 1.5f, -0.3f, -1.5f, 1.04f, 0.4999f, 0.5f, 1e9f, -1e9f, 3.0f};

constexpr float kHostRates[] = {
    44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f, 22050.0f, 32000.0f, 11025.0f, 8000.0f,
    384000.0f, 768000.0f, 44100.5f, 95999.99f, 1000.0f, 1.0f, 2.0e6f, 0.0f, -44100.0f, kNaN, kInf, -kInf};

constexpr float kInterestingFloats[32] = {
    0.0f, -0.0f, kDenormal, -kDenormal, 1e-38f, kNaN, kInf, -kInf, kMax, -kMax, 1.0f, -1.0f, 0.5f,
    0.49999997f, 0.50000006f, 0.99999994f, 1.0000001f, 2.0f, -2.0f, 1e-7f, 1e7f, 1e30f, -1e30f, 44100.0f,
    48000.0f, 96000.0f, 8.0f, 16.0f, 0.04f, 0.96f, 1.5f, -0.5f};

// Choices of a stepped row; a switch has two.
int ChoiceCount(int index) {
    if (IsSwitchParam(index)) return 2;
    return static_cast<int>(kParamTable[index].maximum - kParamTable[index].minimum) + 1;
}

}  // namespace

uint8_t ByteReader::U8() { return position < size ? data[position++] : 0; }

uint16_t ByteReader::U16() {
    const uint16_t low = U8();
    return static_cast<uint16_t>(low | (U8() << 8));
}

uint32_t ByteReader::U32() {
    const uint32_t low = U16();
    return low | (static_cast<uint32_t>(U16()) << 16);
}

float ByteReader::F32() {
    const uint32_t bits = U32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::span<const uint8_t> ByteReader::Bytes(std::size_t count) {
    const std::size_t available = position < size ? size - position : 0;
    const std::size_t taken = count < available ? count : available;
    const std::span<const uint8_t> bytes(data + position, taken);
    position += taken;
    return bytes;
}

bool ParameterValue(int index, uint8_t selector, float& value) {
    if (selector == 0 || !IsValidParamIndex(index)) return false;
    if (selector >= 240) {
        value = kWildParameterValues[selector - 240];
        return true;
    }
    const int choice = (selector - 1) % ChoiceCount(index);
    const double tableValue = IsSwitchParam(index) ? choice : choice + kParamTable[index].minimum;
    value = static_cast<float>(NormalizedFromValue(index, tableValue));
    return true;
}

float HostRate(uint8_t selector) { return kHostRates[selector % std::size(kHostRates)]; }

float WildFloat(uint8_t selector) {
    if (selector < 32) return kInterestingFloats[selector];
    return static_cast<float>(selector) / 128.0f - 0.5f;
}

AEffect* CreateInstance() {
    AEffect* effect = TolvarPluginMain(&StandInAudioMaster);
    Require(effect != nullptr, "the entry point made no instance for a host that offers every function");
    Require(effect->magic == kEffectMagic && effect->user != nullptr,
            "the entry point's record is not a live effect");
    RequireNoOpenSource();
    return effect;
}

void CloseInstance(AEffect* effect) {
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    RequireNoOpenSource();
    // The stand-in host keeps every opened path for the tests; a fuzzer does not need them.
    ClearOpenedMediaPaths();
}

void UseBuiltinMediaSource(bool builtin) {
    ProcessHostApi().pcmSourceCreateFromFile = builtin ? nullptr : &CreateMediaSource;
}

const char* IrFolder() {
    static const char* folder = [] {
        const char* path = EnsureIrLibraryPath();
        Require(path != nullptr, "the plug-in could not form its IR folder beside the fuzzer");
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "tolvar fuzz: broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

void RequireNoOpenSource() { Require(LiveMediaSourceCount() == 0, "a media source was left open"); }

bool HasBoundedGain(AEffect* effect) {
    const ImpulseBuffer& impulse = InstanceOf(effect)->impulse;
    double sum = 0.0;
    for (int channel = 0; channel < impulse.channels; ++channel)
        for (int i = 0; i < impulse.TapCount(channel); ++i) sum += std::fabs(impulse.Taps(channel)[i]);
    return sum < kBoundedGain;
}

void RequireFiniteBlock(AEffect* effect, int frames, uint32_t seed) {
    std::vector<float> input[2];
    std::vector<float> output[2];
    uint32_t state = seed | 1u;
    for (int c = 0; c < 2; ++c) {
        input[c].resize(static_cast<std::size_t>(frames));
        for (float& sample : input[c]) {
            state = state * 1664525u + 1013904223u;
            sample = static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
        }
        output[c].assign(static_cast<std::size_t>(frames), kNaN);
    }
    float* inputs[2] = {input[0].data(), input[1].data()};
    float* outputs[2] = {output[0].data(), output[1].data()};
    effect->processReplacing(effect, inputs, outputs, frames);
    if (!HasBoundedGain(effect)) return;
    for (const std::vector<float>& channel : output)
        for (float sample : channel) Require(std::isfinite(sample), "finite input gave output that is not finite");
}

}  // namespace tolvar::fuzz
