#pragma once
// Test helpers: a temporary folder and WAV files written with libsndfile.
// Paths are UTF-8 strings, as the plug-in forms them; on Windows they are
// opened by their wide names.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tolvar::test {

// A path given in UTF-8, and back.
std::filesystem::path Utf8Path(const std::string& utf8);
std::string Utf8String(const std::filesystem::path& path);

// A fresh folder under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

// Writes interleaved samples with sf_write_double. `format` is a full libsndfile
// format (major | subtype). False when libsndfile refuses.
bool WriteWavDoubles(const std::string& path, int format, int rate, int channels, const std::vector<double>& samples);

// Writes interleaved 32-bit full-scale integers with sf_write_int: a subtype
// with fewer bits keeps the top bits, so values whose low bits are zero are
// stored exactly and read back as value / 2^31.
bool WriteWavInts(const std::string& path, int format, int rate, int channels, const std::vector<int32_t>& samples);

// Writes `bytes` as they are (for broken files).
void WriteBytes(const std::string& path, const std::string& bytes);

// The whole file as bytes.
std::string ReadBytes(const std::string& path);

}  // namespace tolvar::test
