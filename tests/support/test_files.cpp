#include "tests/support/test_files.h"

#if defined(_WIN32)
#include <windows.h>  // before sndfile.h, which declares sf_wchar_open with it
#endif
#include <sndfile.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace tolvar::test {
namespace {

template <typename Sample, typename Write>
bool WriteWav(const std::string& path, int format, int rate, int channels, const std::vector<Sample>& samples,
              Write write) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
#if defined(_WIN32)
    SNDFILE* file = sf_wchar_open(Utf8Path(path).c_str(), SFM_WRITE, &info);
#else
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
#endif
    if (!file) return false;
    const auto count = static_cast<sf_count_t>(samples.size());
    const bool written = write(file, samples.data(), count) == count;
    return sf_close(file) == 0 && written;
}

}  // namespace

std::filesystem::path Utf8Path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8String(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

TempDir::TempDir() {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            std::filesystem::temp_directory_path() / ("tolvar-test-" + std::to_string(entropy()));
        if (std::filesystem::create_directory(candidate)) {
            path = Utf8String(candidate);
            return;
        }
    }
    throw std::runtime_error("no fresh temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(Utf8Path(path), ignored);
}

bool WriteWavDoubles(const std::string& path, int format, int rate, int channels, const std::vector<double>& samples) {
    return WriteWav(path, format, rate, channels, samples, sf_write_double);
}

bool WriteWavInts(const std::string& path, int format, int rate, int channels, const std::vector<int32_t>& samples) {
    return WriteWav(path, format, rate, channels, samples, sf_write_int);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(Utf8Path(path), std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(Utf8Path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tolvar::test
