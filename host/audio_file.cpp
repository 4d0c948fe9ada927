#include "host/audio_file.h"

#if defined(_WIN32)
#include <windows.h>  // before sndfile.h, which declares sf_wchar_open with it
#endif
#include <sndfile.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "host/native_path.h"

namespace tolvar {
namespace {

constexpr sf_count_t kChunkFrames = 4096;
constexpr sf_count_t kReserveLimit = sf_count_t{1} << 24;  // frames reserved up front at most

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;

// Appends the average of each frame's channels to `out`. False on a read error.
bool ReadFolded(SNDFILE* file, int channels, std::vector<double>& out) {
    std::vector<double> chunk(static_cast<std::size_t>(kChunkFrames) * static_cast<std::size_t>(channels));
    for (;;) {
        const sf_count_t got = sf_readf_double(file, chunk.data(), kChunkFrames);
        if (got <= 0) break;
        for (sf_count_t frame = 0; frame < got; ++frame) {
            const double* values = chunk.data() + frame * channels;
            double sum = 0.0;
            for (int c = 0; c < channels; ++c) sum += values[c];
            out.push_back(sum / channels);
        }
    }
    return sf_error(file) == SF_ERR_NO_ERROR;
}

}  // namespace

MonoAudio DecodeMonoAudioFile(const char* path) {
    MonoAudio audio;
    if (!path) return audio;
    // Only a regular file (after links): opening a FIFO or a device for reading
    // could wait forever, and a folder or a link loop holds no audio.
    std::error_code error;
    const std::filesystem::path native = NativePath(path);
    if (!std::filesystem::is_regular_file(native, error)) return audio;
    SF_INFO info{};
#if defined(_WIN32)
    SndfilePtr file(sf_wchar_open(native.c_str(), SFM_READ, &info));
#else
    SndfilePtr file(sf_open(path, SFM_READ, &info));
#endif
    if (!file || info.channels < 1 || info.samplerate <= 0) return audio;
    try {
        // The header's count is only a hint: a truncated file delivers fewer frames.
        if (info.frames > 0) audio.samples.reserve(static_cast<std::size_t>(std::min(info.frames, kReserveLimit)));
        if (!ReadFolded(file.get(), info.channels, audio.samples)) return MonoAudio{};
    } catch (...) {
        return MonoAudio{};  // out of memory: treat as unreadable
    }
    audio.decoded = true;
    audio.sampleRate = info.samplerate;
    return audio;
}

}  // namespace tolvar
