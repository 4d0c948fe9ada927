#include "tests/tools/library_measurements.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "composer/ir_file_names.h"
#include "composer/ir_library_layout.h"
#include "tests/composer/response_dft.h"

namespace tolvar::test {
namespace {

struct WorstError {
    double error = -HUGE_VAL;
    double limit = 0.0;
    std::string file;
};

std::map<std::string, WorstError>& WorstErrors() {
    static std::map<std::string, WorstError> table;
    return table;
}

// Prints the table after the last test, however the tests were selected.
class WorstErrorTable : public ::testing::Environment {
public:
    void TearDown() override {
        if (WorstErrors().empty()) return;
        std::printf("\n%-62s %10s %8s  %s\n", "check", "worst", "limit", "file");
        for (const auto& [check, worst] : WorstErrors())
            std::printf("%-62s %10.4f %8.3f  %s\n", check.c_str(), worst.error, worst.limit, worst.file.c_str());
    }
};

const auto* const kTable = ::testing::AddGlobalTestEnvironment(new WorstErrorTable);

}  // namespace

LibraryWav ReadLibraryWav(const std::string& name) {
    LibraryWav wav;
    wav.scale = IsHiQFileName(name) ? kHiQFileScale : kStandardFileScale;
    const std::string path = std::string(TOLVAR_IR_LIBRARY_DIR) + "/" + name;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return wav;
    wav.opened = true;
    wav.rate = info.samplerate;
    wav.channels = info.channels;
    wav.format = info.format;
    std::vector<double> frames(static_cast<size_t>(info.frames) * info.channels);
    sf_readf_double(file, frames.data(), info.frames);
    sf_close(file);
    for (sf_count_t i = 0; i < info.frames; ++i) wav.samples.push_back(frames[i * info.channels]);
    return wav;
}

double ScaledGainDb(const LibraryWav& wav, double frequency) {
    return 20.0 * std::log10(wav.scale * std::abs(ResponseAt(wav.samples, wav.rate, frequency)));
}

std::string SectionFileName(int frequencyHz, int gainDb, bool hiQ) {
    char name[kIrPathBytes];
    FormatSectionIrPath(name, "", frequencyHz, gainDb, hiQ);
    return name;
}

void RecordError(const std::string& check, double value, double limit, const std::string& file) {
    WorstError& worst = WorstErrors()[check];
    worst.limit = limit;
    if (value > worst.error) {
        worst.error = value;
        worst.file = file;
    }
}

}  // namespace tolvar::test
