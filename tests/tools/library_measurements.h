#pragma once
// Reading the IR library the build wrote, and keeping the worst result of each
// check for the summary table.
#include <string>
#include <vector>

namespace tolvar::test {

// One file of the library as libsndfile reads it.
struct LibraryWav {
    bool opened = false;
    int rate = 0;
    int channels = 0;
    int format = 0;                // libsndfile's major | subtype
    std::vector<double> samples;   // as stored, first channel
    double scale = 1.0;            // what the plug-in multiplies this file by
};

// Reads `name` from the library folder, with the scale its kind of file gets
// (composer/ir_library_layout.h).
LibraryWav ReadLibraryWav(const std::string& name);

// 20 log10 of the file's magnitude at `frequency` Hz with its scale applied,
// by a direct DFT sum in double.
double ScaledGainDb(const LibraryWav& wav, double frequency);

// Name of a section file, e.g. "820+3.wav", "1200-5-hq.wav".
std::string SectionFileName(int frequencyHz, int gainDb, bool hiQ);

// The largest value seen per check (an error in dB, or a measure with an upper
// limit), with its limit and the file it came from; printed as a table when the
// test program ends.
void RecordError(const std::string& check, double value, double limit, const std::string& file);

}  // namespace tolvar::test
