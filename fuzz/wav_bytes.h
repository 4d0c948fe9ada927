#pragma once
// A RIFF/WAVE file built from header fields that need not agree with each
// other or with the data: how the IR-folder fuzzer reaches the decoder's
// checks of rate, channel count, sample format and sizes, which random bytes
// rarely get past.
#include <cstdint>
#include <span>
#include <vector>

namespace tolvar::fuzz {

struct WavHeaderFields {
    uint16_t formatTag = 1;          // 1 integer PCM, 3 IEEE float, 0xFFFE extensible, anything else
    uint16_t channels = 1;
    uint32_t sampleRate = 44100;     // Hz
    uint16_t bitsPerSample = 16;
    uint16_t blockAlign = 0;         // bytes per frame; 0: channels * bits / 8
    uint32_t declaredDataBytes = 0;  // the data chunk's size field; 0: the true size
    uint16_t subFormatTag = 1;       // the extensible format's sub-format (1 or 3 are the valid ones)
};

// "RIFF" size "WAVE", a "fmt " chunk (16 bytes, or 40 for the extensible
// format), then a "data" chunk holding `data`.
std::vector<uint8_t> WavBytes(const WavHeaderFields& fields, std::span<const uint8_t> data);

}  // namespace tolvar::fuzz
