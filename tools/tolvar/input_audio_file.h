#pragma once
// The audio file a command reads, in blocks (sample_format.h says how samples
// become floats).
#include <sndfile.h>

#include <string>
#include <vector>

#include "tools/tolvar/frame_stream.h"

namespace tolvar::cli {

class InputAudioFile : public FrameSource {
public:
    // Opens `path`. Throws CliError when it is missing or is not audio that
    // libsndfile reads.
    explicit InputAudioFile(const std::string& path);
    ~InputAudioFile() override;
    InputAudioFile(const InputAudioFile&) = delete;
    InputAudioFile& operator=(const InputAudioFile&) = delete;

    int Channels() const { return info.channels; }
    int SampleRate() const { return info.samplerate; }
    int Format() const { return info.format; }      // libsndfile major format | subtype
    int64_t Frames() const { return info.frames; }  // as the header says

    // Throws CliError on a read error.
    int32_t Read(float* const* channels, int32_t frames) override;

private:
    std::string path;
    SNDFILE* file = nullptr;
    SF_INFO info{};
    double scale = 1.0;               // file value to float
    std::vector<double> interleaved;  // one block as libsndfile delivers it
};

}  // namespace tolvar::cli
