#include "tools/tolvar/output_audio_file.h"

#include <algorithm>
#include <cmath>

#include "tools/tolvar/cli_error.h"
#include "tools/tolvar/sample_format.h"

namespace tolvar::cli {

OutputAudioFile::OutputAudioFile(const std::string& path, int format, int sampleRate, int channels)
    : temporary(path), channelCount(channels) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    if (!sf_format_check(&info))
        throw CliError(std::string("cannot write ") + SampleFormatName(format) + " samples in the format of " + path);
    // The descriptor stays the temporary file's to close: on Windows libsndfile
    // would close only the system handle beneath it.
    file = sf_open_fd(temporary.Descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (!file) throw CliError("cannot write " + path + ": " + sf_strerror(nullptr));
    if (const int bits = PcmBits(format)) {
        sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
        scale = std::ldexp(1.0, bits - 1);
        largest = scale - 1.0;
        clips = true;
    } else if (!IsFloatFormat(format)) {
        sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        clips = true;
    }
}

OutputAudioFile::~OutputAudioFile() {
    if (file) sf_close(file);
}

double OutputAudioFile::Encode(float sample) {
    const double value = sample;
    peak = std::max(peak, std::abs(value));
    if (largest == 0.0) {
        if (clips && std::abs(value) > 1.0) ++clipped;
        return value;
    }
    const double code = std::nearbyint(value * scale);
    if (code > largest || code < -scale) {
        ++clipped;
        return code > 0 ? largest : -scale;
    }
    return code;
}

void OutputAudioFile::Write(const float* const* channels, int64_t frames) {
    const auto count = static_cast<std::size_t>(channelCount);
    interleaved.resize(static_cast<std::size_t>(frames) * count);
    for (int64_t n = 0; n < frames; ++n)
        for (std::size_t c = 0; c < count; ++c)
            interleaved[static_cast<std::size_t>(n) * count + c] = Encode(channels[c][n]);
    if (sf_writef_double(file, interleaved.data(), frames) != frames)
        throw CliError("cannot write " + temporary.FinalPath() + ": " + sf_strerror(file));
    framesWritten += frames;
}

void OutputAudioFile::Commit() {
    const int closed = sf_close(file);
    file = nullptr;
    if (closed != 0) throw CliError("cannot finish " + temporary.FinalPath() + ": " + sf_error_number(closed));
    temporary.Commit();
}

}  // namespace tolvar::cli
