#include "tests/hosts/whole_sound_file.h"

#include <sndfile.h>

#include <stdexcept>

namespace tolvar::hosts {

WholeSoundFile ReadWholeSoundFile(const std::string& path) {
    SF_INFO info{};
    SNDFILE* handle = sf_open(path.c_str(), SFM_READ, &info);
    if (!handle) throw std::runtime_error(path + ": " + sf_strerror(nullptr));
    WholeSoundFile file;
    file.channels = info.channels;
    file.rate = info.samplerate;
    file.samples.resize(static_cast<std::size_t>(info.frames) * info.channels);
    const sf_count_t read = sf_readf_double(handle, file.samples.data(), info.frames);
    sf_close(handle);
    if (read != info.frames) throw std::runtime_error(path + ": the file ends before its stated length");
    return file;
}

void WriteFloatWav(const std::string& path, const WholeSoundFile& file) {
    SF_INFO info{};
    info.channels = file.channels;
    info.samplerate = file.rate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* handle = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!handle) throw std::runtime_error(path + ": " + sf_strerror(nullptr));
    const auto frames = static_cast<sf_count_t>(file.Frames());
    const sf_count_t written = sf_writef_double(handle, file.samples.data(), frames);
    sf_close(handle);
    if (written != frames) throw std::runtime_error(path + ": could not write every frame");
}

}  // namespace tolvar::hosts
