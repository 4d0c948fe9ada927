// A sound file read or written whole, as interleaved doubles: the renders the
// host tests compare are seconds long, so there is no need to stream them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tolvar::hosts {

struct WholeSoundFile {
    int channels = 0;
    int rate = 0;
    std::vector<double> samples;  // interleaved, Frames() * channels

    std::size_t Frames() const { return channels > 0 ? samples.size() / channels : 0; }
    double At(std::size_t frame, int channel) const { return samples[frame * channels + channel]; }
};

// Throws std::runtime_error with the file's name and libsndfile's reason.
WholeSoundFile ReadWholeSoundFile(const std::string& path);

// Writes 32-bit float WAV, so that nothing is lost to rounding.
void WriteFloatWav(const std::string& path, const WholeSoundFile& file);

}  // namespace tolvar::hosts
