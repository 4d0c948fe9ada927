#pragma once
// The audio file a command writes. Nothing appears under the output name until
// Commit: a failure before that leaves no partial file (temporary_file.h).
#include <sndfile.h>

#include <string>
#include <vector>

#include "tools/tolvar/frame_stream.h"
#include "tools/tolvar/temporary_file.h"

namespace tolvar::cli {

class OutputAudioFile : public FrameSink {
public:
    // `format` is a libsndfile format (major | subtype). Throws CliError when the
    // folder cannot be written or libsndfile refuses the format.
    OutputAudioFile(const std::string& path, int format, int sampleRate, int channels);
    ~OutputAudioFile() override;
    OutputAudioFile(const OutputAudioFile&) = delete;
    OutputAudioFile& operator=(const OutputAudioFile&) = delete;

    // Throws CliError on a write error.
    void Write(const float* const* channels, int64_t frames) override;

    // Finishes the file and gives it its name. Throws CliError on failure.
    void Commit();

    double Peak() const { return peak; }                // largest |sample| written, 1.0 = full scale
    int64_t ClippedSamples() const { return clipped; }  // samples the format could not hold
    int64_t FramesWritten() const { return framesWritten; }

private:
    double Encode(float sample);

    TemporaryFileBeside temporary;
    SNDFILE* file = nullptr;
    int channelCount;
    double scale = 1.0;    // float to file value
    double largest = 0.0;  // largest file value an integer format holds; 0 for float formats
    bool clips = false;    // whether the format cannot hold values beyond full scale
    double peak = 0.0;
    int64_t clipped = 0;
    int64_t framesWritten = 0;
    std::vector<double> interleaved;
};

}  // namespace tolvar::cli
