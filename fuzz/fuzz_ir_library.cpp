#include "fuzz/fuzz_ir_library.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/wav_bytes.h"

namespace tolvar::fuzz {
namespace {

constexpr uint16_t kPcmTag = 1;
constexpr uint16_t kFloatTag = 3;

struct IrFile {
    const char* name;
    int taps;         // frames; 0 with a valid header
    uint32_t rate;    // Hz
    bool stereo16;    // 16-bit stereo instead of 32-bit float mono
};

// The defaults compose to a few hundred taps (one FFT partition); the high-pass
// file alone needs several partitions at host rates from 192 kHz. Kept short
// enough that a recomposition stays cheap under the sanitizers.
constexpr IrFile kFiles[] = {
    {"100+0.wav", 40, 96000, false},        {"820+0.wav", 300, 96000, false},
    {"1800+0.wav", 90, 96000, false},       {"6800+0.wav", 20, 96000, false},
    {"820+0-hq.wav", 700, 96000, false},    {"1800+0-hq.wav", 1, 96000, false},
    {"misc_mic_pre.wav", 1000, 48000, false}, {"misc_inst_DI.wav", 200, 44100, true},
    {"misc_LPF_3900.wav", 64, 96000, false}, {"misc_HPF_27.wav", 10000, 96000, false},
    {"33+12.wav", 2000, 44100, false},      {"15000-12.wav", 8, 96000, false},
    {"180+0.wav", 0, 96000, false},
};

// A decaying, sign-changing response that starts at 0.9.
double Tap(int i, int taps) { return 0.9 * std::exp(-6.0 * i / taps) * std::cos(0.7 * i); }

std::vector<uint8_t> FileBytes(const IrFile& file) {
    std::vector<uint8_t> data;
    WavHeaderFields fields;
    fields.sampleRate = file.rate;
    for (int i = 0; i < file.taps; ++i) {
        if (file.stereo16) {
            const int16_t value = static_cast<int16_t>(std::lround(Tap(i, file.taps) * 32767.0));
            for (int channel = 0; channel < 2; ++channel) {
                data.push_back(static_cast<uint8_t>(value & 0xFF));
                data.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
            }
        } else {
            const float value = static_cast<float>(Tap(i, file.taps));
            uint8_t bytes[4];
            std::memcpy(bytes, &value, sizeof bytes);
            data.insert(data.end(), bytes, bytes + 4);
        }
    }
    fields.formatTag = file.stereo16 ? kPcmTag : kFloatTag;
    fields.channels = file.stereo16 ? 2 : 1;
    fields.bitsPerSample = file.stereo16 ? 16 : 32;
    return WavBytes(fields, data);
}

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr, "cannot write into the IR folder");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

}  // namespace

void WriteFuzzIrLibrary(const char* folder) {
    const std::string base = folder;
    for (const IrFile& file : kFiles) Write(base + file.name, FileBytes(file));
    const char notAudio[] = "RIFF\x10\0\0\0WAVEjunkjunkjunk";
    Write(base + "misc_HPF_47.wav", std::vector<uint8_t>(notAudio, notAudio + sizeof notAudio - 1));
    Write(base + "56+0.wav", {});
}

}  // namespace tolvar::fuzz
