#pragma once
// Decoding an audio file into one channel of doubles, for the media source.
#include <vector>

namespace tolvar {

struct MonoAudio {
    bool decoded = false;        // false: the file could not be read; no samples
    double sampleRate = 0.0;     // the file's own rate, Hz
    std::vector<double> samples; // one value per frame; may be empty for a file without frames
};

// Reads the whole file with libsndfile: every WAV it reads (8/16/24/32-bit
// integer, 32/64-bit float, WAVE_FORMAT_EXTENSIBLE, ...) and whatever else it
// recognises. Integer samples are scaled to [-1, 1) (a 16-bit value v becomes
// v / 32768 exactly); float samples come as stored. Several channels are folded
// to one by averaging each frame. A missing file, anything but a regular file
// (a directory, a FIFO, a device, a link loop), a file that is not audio, or a
// read error gives decoded == false, at once. The path is UTF-8 (native_path.h).
// Never throws.
MonoAudio DecodeMonoAudioFile(const char* path);

}  // namespace tolvar
