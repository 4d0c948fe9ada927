#include "tools/tolvar/input_audio_file.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "tools/tolvar/cli_error.h"
#include "tools/tolvar/sample_format.h"

namespace tolvar::cli {

InputAudioFile::InputAudioFile(const std::string& filePath) : path(filePath) {
    std::error_code error;
    if (!std::filesystem::exists(filePath, error)) throw CliError("no such file: " + filePath);
    if (std::filesystem::is_directory(filePath, error)) throw CliError(filePath + " is a folder, not an audio file");
    file = sf_open(filePath.c_str(), SFM_READ, &info);
    if (!file) throw CliError("cannot read " + filePath + ": " + sf_strerror(nullptr));
    if (const int bits = PcmBits(info.format)) {
        sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
        scale = std::ldexp(1.0, -(bits - 1));
    }
}

InputAudioFile::~InputAudioFile() {
    if (file) sf_close(file);
}

int32_t InputAudioFile::Read(float* const* channels, int32_t frames) {
    const auto count = static_cast<std::size_t>(info.channels);
    interleaved.resize(static_cast<std::size_t>(frames) * count);
    const sf_count_t got = sf_readf_double(file, interleaved.data(), frames);
    if (sf_error(file) != SF_ERR_NO_ERROR) throw CliError("cannot read " + path + ": " + sf_strerror(file));
    for (sf_count_t n = 0; n < got; ++n)
        for (std::size_t c = 0; c < count; ++c)
            channels[c][n] = static_cast<float>(interleaved[static_cast<std::size_t>(n) * count + c] * scale);
    return static_cast<int32_t>(got);
}

}  // namespace tolvar::cli
