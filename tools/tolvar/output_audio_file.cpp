#include "tools/tolvar/output_audio_file.h"

#include <algorithm>
#include <cmath>

#include "tools/tolvar/cli_error.h"
#include "tools/tolvar/sample_format.h"

namespace tolvar::cli {

OutputAudioFile::OutputAudioFile(const std::string& path, int format, int sampleRate, int channels)
    : temporary_(path), channels_(channels) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    if (!sf_format_check(&info))
        throw CliError(std::string("cannot write ") + SampleFormatName(format) + " samples in the format of " + path);
    // The descriptor stays the temporary file's to close: on Windows libsndfile
    // would close only the system handle beneath it.
    file_ = sf_open_fd(temporary_.descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (!file_) throw CliError("cannot write " + path + ": " + sf_strerror(nullptr));
    if (const int bits = PcmBits(format)) {
        sf_command(file_, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
        scale_ = std::ldexp(1.0, bits - 1);
        largest_ = scale_ - 1.0;
        clips_ = true;
    } else if (!IsFloatFormat(format)) {
        sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        clips_ = true;
    }
}

OutputAudioFile::~OutputAudioFile() {
    if (file_) sf_close(file_);
}

double OutputAudioFile::Encode(float sample) {
    const double value = sample;
    peak_ = std::max(peak_, std::abs(value));
    if (largest_ == 0.0) {
        if (clips_ && std::abs(value) > 1.0) ++clipped_;
        return value;
    }
    const double code = std::nearbyint(value * scale_);
    if (code > largest_ || code < -scale_) {
        ++clipped_;
        return code > 0 ? largest_ : -scale_;
    }
    return code;
}

void OutputAudioFile::Write(const float* const* channels, int64_t frames) {
    const auto count = static_cast<std::size_t>(channels_);
    interleaved_.resize(static_cast<std::size_t>(frames) * count);
    for (int64_t n = 0; n < frames; ++n)
        for (std::size_t c = 0; c < count; ++c)
            interleaved_[static_cast<std::size_t>(n) * count + c] = Encode(channels[c][n]);
    if (sf_writef_double(file_, interleaved_.data(), frames) != frames)
        throw CliError("cannot write " + temporary_.finalPath() + ": " + sf_strerror(file_));
    framesWritten_ += frames;
}

void OutputAudioFile::Commit() {
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0) throw CliError("cannot finish " + temporary_.finalPath() + ": " + sf_error_number(closed));
    temporary_.Commit();
}

}  // namespace tolvar::cli
