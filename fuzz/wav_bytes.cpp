#include "fuzz/wav_bytes.h"

namespace tolvar::fuzz {
namespace {

constexpr uint16_t kExtensibleTag = 0xFFFE;
// The tail every WAVE sub-format GUID shares after its two-byte format tag.
constexpr uint8_t kSubFormatGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

void Put(std::vector<uint8_t>& out, const char (&tag)[5]) { out.insert(out.end(), tag, tag + 4); }

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

}  // namespace

std::vector<uint8_t> WavBytes(const WavHeaderFields& fields, std::span<const uint8_t> data) {
    const bool extensible = fields.formatTag == kExtensibleTag;
    const uint32_t fmtBytes = extensible ? 40 : 16;
    const uint32_t blockAlign =
        fields.blockAlign ? fields.blockAlign : (uint32_t{fields.channels} * fields.bitsPerSample) / 8;
    const uint32_t dataBytes = static_cast<uint32_t>(data.size());

    std::vector<uint8_t> out;
    Put(out, "RIFF");
    Put32(out, 4 + 8 + fmtBytes + 8 + dataBytes);
    Put(out, "WAVE");
    Put(out, "fmt ");
    Put32(out, fmtBytes);
    Put16(out, fields.formatTag);
    Put16(out, fields.channels);
    Put32(out, fields.sampleRate);
    Put32(out, fields.sampleRate * blockAlign);
    Put16(out, blockAlign);
    Put16(out, fields.bitsPerSample);
    if (extensible) {
        Put16(out, 22);                    // bytes of extension that follow
        Put16(out, fields.bitsPerSample);  // valid bits
        Put32(out, 0);                     // channel mask: unassigned
        Put16(out, fields.subFormatTag);
        out.insert(out.end(), std::begin(kSubFormatGuidTail), std::end(kSubFormatGuidTail));
    }
    Put(out, "data");
    Put32(out, fields.declaredDataBytes ? fields.declaredDataBytes : dataBytes);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

}  // namespace tolvar::fuzz
