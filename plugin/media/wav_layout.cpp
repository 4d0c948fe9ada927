#include "plugin/media/wav_layout.h"

#include <cstring>

namespace tolvar {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kPlainFormatBytes = 16;
constexpr uint32_t kExtensibleFormatBytes = 40;
// The tail every standard sub-format GUID shares after its leading format tag.
constexpr uint8_t kGuidTail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Fields in the file's byte order.
class Fields {
public:
    Fields(const uint8_t* bytes, bool bigEndian) : data(bytes), big(bigEndian) {}
    uint16_t U16(int at) const {
        return static_cast<uint16_t>(big ? (data[at] << 8) | data[at + 1] : data[at] | (data[at + 1] << 8));
    }
    uint32_t U32(int at) const {
        const uint32_t high = U16(big ? at : at + 2), low = U16(big ? at + 2 : at);
        return (high << 16) | low;
    }

private:
    const uint8_t* data;
    bool big;
};

// The format tag an extensible header stands for, or 0 for one that is not a
// standard sub-format.
uint16_t ExtensibleSubFormat(const Fields& fields, const uint8_t* bytes) {
    if (fields.U16(16) < kExtensibleFormatBytes - 18) return 0;  // cbSize: the extension is missing
    const uint32_t data1 = fields.U32(24);
    if (data1 > 0xFFFF || fields.U16(28) != 0 || fields.U16(30) != 0x0010) return 0;
    if (std::memcmp(bytes + 32, kGuidTail, sizeof kGuidTail) != 0) return 0;
    return static_cast<uint16_t>(data1);
}

bool ReadFormat(ReadOnlyFile& file, uint64_t at, uint32_t declared, WavLayout& layout) {
    uint8_t bytes[kExtensibleFormatBytes] = {};
    if (declared < kPlainFormatBytes) return false;
    const uint32_t wanted = declared < kExtensibleFormatBytes ? declared : kExtensibleFormatBytes;
    if (file.ReadAt(at, bytes, wanted) != wanted) return false;
    const Fields fields(bytes, layout.bigEndian);
    uint16_t tag = fields.U16(0);
    if (tag == kFormatExtensible) tag = wanted == kExtensibleFormatBytes ? ExtensibleSubFormat(fields, bytes) : 0;
    const int channels = fields.U16(2);
    const uint32_t rate = fields.U32(4);
    const int bits = fields.U16(14);  // the block align at 12 follows from channels and bits
    if (channels < 1 || channels > kMaxWavChannels || rate < 1) return false;
    if (tag == kFormatPcm && bits >= 1 && bits <= 32) {
        layout.floating = false;
        layout.bytesPerSample = (bits + 7) / 8;
    } else if (tag == kFormatFloat && (bits == 32 || bits == 64)) {
        layout.floating = true;
        layout.bytesPerSample = bits / 8;
    } else {
        return false;
    }
    layout.channels = channels;
    layout.sampleRate = rate;
    return true;
}

// The layout, read chunk by chunk; false at the first thing that is not a WAV.
bool WalkChunks(ReadOnlyFile& file, WavLayout& layout) {
    uint8_t head[12];
    if (file.ReadAt(0, head, sizeof head) != sizeof head || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
    if (std::memcmp(head, "RIFX", 4) == 0) {
        layout.bigEndian = true;
    } else if (std::memcmp(head, "RIFF", 4) != 0) {
        return false;
    }

    const uint64_t size = file.Size();
    bool haveFormat = false, haveData = false;
    uint64_t dataBytes = 0;
    uint64_t at = sizeof head;
    for (int chunk = 0; chunk < kMaxWavChunks && !(haveFormat && haveData) && at + 8 <= size; ++chunk) {
        uint8_t header[8];
        if (file.ReadAt(at, header, sizeof header) != sizeof header) return false;
        const uint32_t declared = Fields(header, layout.bigEndian).U32(4);
        const uint64_t body = at + 8;
        if (!haveFormat && std::memcmp(header, "fmt ", 4) == 0) {
            if (!ReadFormat(file, body, declared, layout)) return false;
            haveFormat = true;
        } else if (!haveData && std::memcmp(header, "data", 4) == 0) {
            layout.dataOffset = body;
            dataBytes = declared < size - body ? declared : size - body;
            haveData = true;
        }
        at = body + declared + (declared & 1);  // an odd chunk is padded to even
    }
    if (!haveFormat || !haveData) return false;
    layout.frames = dataBytes / static_cast<uint64_t>(layout.FrameBytes());
    return true;
}

}  // namespace

bool ReadWavLayout(ReadOnlyFile& file, WavLayout& layout) {
    layout = WavLayout{};
    if (WalkChunks(file, layout)) return true;
    layout = WavLayout{};
    return false;
}

}  // namespace tolvar
