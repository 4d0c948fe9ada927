#include "plugin/media/wav_frames.h"

#include <cstring>

namespace tolvar {
namespace {

// Holds at least one frame of the widest layout (1024 channels of doubles).
constexpr std::size_t kChunkBytes = 16384;
static_assert(kChunkBytes >= std::size_t{kMaxWavChannels} * 8);

// The sample's bytes as an unsigned number, most significant first or last.
uint64_t Unsigned(const uint8_t* bytes, int count, bool bigEndian) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | bytes[bigEndian ? i : count - 1 - i];
    return value;
}

double Sample(const uint8_t* bytes, const WavLayout& layout) {
    const int width = layout.bytesPerSample;
    const uint64_t value = Unsigned(bytes, width, layout.bigEndian);
    if (layout.floating) {
        if (width == 4) {
            const uint32_t bits = static_cast<uint32_t>(value);
            float sample;
            std::memcpy(&sample, &bits, sizeof sample);
            return sample;
        }
        double sample;
        std::memcpy(&sample, &value, sizeof sample);
        return sample;
    }
    if (width == 1) return (static_cast<double>(value) - 128.0) / 128.0;
    // Placed at the top of 32 bits, every width scales alike.
    const auto top = static_cast<int32_t>(static_cast<uint32_t>(value << (32 - 8 * width)));
    return top / 2147483648.0;
}

}  // namespace

int64_t ReadFoldedFrames(ReadOnlyFile& file, const WavLayout& layout, uint64_t first, int64_t count, double* out) {
    if (count <= 0 || first >= layout.frames) return 0;
    if (static_cast<uint64_t>(count) > layout.frames - first) count = static_cast<int64_t>(layout.frames - first);
    const int frameBytes = layout.FrameBytes();
    const int64_t framesPerChunk = static_cast<int64_t>(kChunkBytes) / frameBytes;
    uint8_t chunk[kChunkBytes];
    int64_t done = 0;
    while (done < count) {
        const int64_t wanted = count - done < framesPerChunk ? count - done : framesPerChunk;
        const uint64_t at = layout.dataOffset + (first + static_cast<uint64_t>(done)) * frameBytes;
        const std::size_t got = file.ReadAt(at, chunk, static_cast<std::size_t>(wanted * frameBytes));
        const int64_t frames = static_cast<int64_t>(got / frameBytes);
        for (int64_t frame = 0; frame < frames; ++frame) {
            const uint8_t* bytes = chunk + frame * frameBytes;
            double sum = 0.0;
            for (int c = 0; c < layout.channels; ++c) sum += Sample(bytes + c * layout.bytesPerSample, layout);
            out[done + frame] = sum / layout.channels;
        }
        done += frames;
        if (frames < wanted) break;  // the file ended early
    }
    return done;
}

}  // namespace tolvar
