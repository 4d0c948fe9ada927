#pragma once
// Where the samples of a WAV file lie and how they are stored, read from its
// header for the built-in media source.
#include <cstdint>

#include "plugin/platform/read_only_file.h"

namespace tolvar {

constexpr int kMaxWavChannels = 1024;

struct WavLayout {
    bool bigEndian = false;   // RIFX: every field and sample big-endian
    bool floating = false;    // IEEE float samples
    int bytesPerSample = 0;   // integers 1..4 (1 is unsigned), floats 4 or 8
    int channels = 0;         // 1..kMaxWavChannels
    uint32_t sampleRate = 0;  // Hz, at least 1
    uint64_t dataOffset = 0;  // the first sample's byte
    uint64_t frames = 0;      // whole frames of the data chunk that lie inside the file

    int FrameBytes() const { return bytesPerSample * channels; }
};

// Reads the layout of a RIFF or RIFX WAVE file: integer PCM of 1 to 32 bits
// (in 1 to 4 bytes, as its bits need), IEEE float of 32 or 64 bits, either of
// them plain or as WAVE_FORMAT_EXTENSIBLE. Chunks may come in any order, of
// any size (odd ones padded), with any others between them; the first "fmt "
// and the first "data" count. The header's sizes are not trusted: the RIFF
// size is ignored, and a data chunk that claims more than the file holds gives
// the frames the file does hold. At most kMaxWavChunks chunks are walked, so
// that a file of millions of empty chunks costs no more than a real one.
// False, with `layout` cleared, for a file that is not such a WAV: a short or
// foreign header, no "fmt " or "data" chunk within reach, a format chunk that
// is too short, another encoding, an extensible sub-format other than PCM or
// float, no channels or more than kMaxWavChannels, a rate of 0.
constexpr int kMaxWavChunks = 1000;
bool ReadWavLayout(ReadOnlyFile& file, WavLayout& layout);

}  // namespace tolvar
