#pragma once
// Writing one library file.
#include <string>
#include <vector>

namespace tolvar::irgen {

// Writes `samples` as a mono 32-bit float WAV at `rate` Hz through libsndfile,
// each sample rounded to the nearest float. No PEAK chunk (it would carry the
// time of writing), so equal samples give equal bytes. False, with the reason
// in *error, when the file cannot be written.
bool WriteMonoFloatWav(const std::string& path, const std::vector<double>& samples, int rate,
                       std::string* error);

}  // namespace tolvar::irgen
