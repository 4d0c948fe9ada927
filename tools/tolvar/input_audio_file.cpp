#include "tools/tolvar/input_audio_file.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "tools/tolvar/cli_error.h"
#include "tools/tolvar/sample_format.h"

namespace tolvar::cli {

InputAudioFile::InputAudioFile(const std::string& path) : path_(path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) throw CliError("no such file: " + path);
    if (std::filesystem::is_directory(path, error)) throw CliError(path + " is a folder, not an audio file");
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (!file_) throw CliError("cannot read " + path + ": " + sf_strerror(nullptr));
    if (const int bits = PcmBits(info_.format)) {
        sf_command(file_, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
        scale_ = std::ldexp(1.0, -(bits - 1));
    }
}

InputAudioFile::~InputAudioFile() {
    if (file_) sf_close(file_);
}

int32_t InputAudioFile::Read(float* const* channels, int32_t frames) {
    const auto count = static_cast<std::size_t>(info_.channels);
    interleaved_.resize(static_cast<std::size_t>(frames) * count);
    const sf_count_t got = sf_readf_double(file_, interleaved_.data(), frames);
    if (sf_error(file_) != SF_ERR_NO_ERROR) throw CliError("cannot read " + path_ + ": " + sf_strerror(file_));
    for (sf_count_t n = 0; n < got; ++n)
        for (std::size_t c = 0; c < count; ++c)
            channels[c][n] = static_cast<float>(interleaved_[static_cast<std::size_t>(n) * count + c] * scale_);
    return static_cast<int32_t>(got);
}

}  // namespace tolvar::cli
