#include "tools/irgen/wav_writer.h"

#include <sndfile.h>

namespace tolvar::irgen {

bool WriteMonoFloatWav(const std::string& path, const std::vector<double>& samples, int rate,
                       std::string* error) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        *error = sf_strerror(nullptr);
        return false;
    }
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    std::vector<float> narrowed(samples.begin(), samples.end());
    const auto count = static_cast<sf_count_t>(narrowed.size());
    const bool written = sf_write_float(file, narrowed.data(), count) == count;
    if (!written) *error = sf_strerror(file);
    const bool closed = sf_close(file) == 0;
    if (written && !closed) *error = "could not close the file";
    return written && closed;
}

}  // namespace tolvar::irgen
