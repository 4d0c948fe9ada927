#include "tools/validate/ir_folder.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace tolvar::validate {

const char* const kDefaultSectionFiles[4] = {"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"};

std::string IrFolderBeside(const std::string& pluginPath) {
    return (std::filesystem::path(pluginPath).parent_path() / kIrFolderName).string();
}

IrFolder::IrFolder(std::string path) : folder(std::move(path)) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
}

void IrFolder::Clear() const {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);  // a symlink or file in its place goes too
    std::filesystem::create_directories(folder, ignored);
}

bool IrFolder::Put(const std::string& fileName, const std::vector<double>& taps, int rate) const {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    std::error_code ignored;
    std::filesystem::remove(Path(fileName), ignored);
    SNDFILE* file = sf_open(Path(fileName).c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const sf_count_t written = sf_write_double(file, taps.data(), static_cast<sf_count_t>(taps.size()));
    return sf_close(file) == 0 && written == static_cast<sf_count_t>(taps.size());
}

bool IrFolder::PutBytes(const std::string& fileName, const std::string& bytes) const {
    std::error_code ignored;
    std::filesystem::remove(Path(fileName), ignored);
    std::ofstream out(Path(fileName), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<double> SectionTaps(int length, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<double> taps(static_cast<std::size_t>(std::max(length, 0)));
    float envelope = 0.5f;
    const float decay = length > 1 ? std::pow(1e-3f, 1.0f / static_cast<float>(length)) : 1.0f;
    for (std::size_t i = 0; i < taps.size(); ++i, envelope *= decay)
        taps[i] = static_cast<float>(envelope * uniform(random));
    if (!taps.empty()) taps[0] = 1.0;
    return taps;
}

namespace {

void Append32(std::string& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

void Append16(std::string& bytes, uint16_t value) {
    bytes.push_back(static_cast<char>(value & 0xff));
    bytes.push_back(static_cast<char>(value >> 8));
}

}  // namespace

std::string FloatWavBytes(const std::vector<double>& taps, uint32_t rate, uint32_t dataBytes) {
    std::string bytes = "RIFF";
    Append32(bytes, 36 + dataBytes);
    bytes += "WAVEfmt ";
    Append32(bytes, 16);
    Append16(bytes, 3);  // IEEE float
    Append16(bytes, 1);  // channels
    Append32(bytes, rate);
    Append32(bytes, rate * 4);  // byte rate
    Append16(bytes, 4);         // block align
    Append16(bytes, 32);        // bits
    bytes += "data";
    Append32(bytes, dataBytes);
    for (double tap : taps) {
        const float value = static_cast<float>(tap);
        uint32_t word;
        std::memcpy(&word, &value, sizeof word);
        Append32(bytes, word);
    }
    return bytes;
}

std::string FloatWavBytes(const std::vector<double>& taps, uint32_t rate) {
    return FloatWavBytes(taps, rate, static_cast<uint32_t>(taps.size() * 4));
}

}  // namespace tolvar::validate
