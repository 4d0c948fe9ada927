#pragma once
// The IR library: every file the plug-in can ask for, with the response it holds.
#include <string>
#include <vector>

#include "composer/ir_library_layout.h"
#include "composer/section_frequencies.h"
#include "tools/irgen/analog_filter.h"

namespace tolvar::irgen {

constexpr int kLibraryRate = 96000;  // Hz, every file

// The sections' frequencies and gains, the tagged families and the files'
// scales are the composer's (section_frequencies.h, ir_library_layout.h).

// Quality of the peaking bands: the half-gain bandwidth is centre / quality.
constexpr double kBandQuality = 0.8;
constexpr double kHiQBandQuality = 2.0;

enum class ResponseKind {
    kUnit,             // exactly flat: one tap
    kMinimumPhase,     // `filter`'s magnitude, minimum phase
    kConverter,        // minimum-phase anti-alias low-pass at levelDb
};

struct LibraryFile {
    std::string name;   // inside the library folder, e.g. "820+3.wav", "misc_mic_pre.wav"
    int scaleExponent;  // the plug-in's scale for this file is 2^(scaleExponent / 6)
    ResponseKind kind;
    AnalogFilter filter;  // kMinimumPhase
    double levelDb = 0.0; // kConverter
};

// All 764 files: the 14 named ones, the 500 section files, the 250 Hi-Q band
// files. Names come from the composer's own naming.
std::vector<LibraryFile> LibraryCatalogue();

// The file's samples at kLibraryRate: the response with the headroom applied,
// trimmed where its tail no longer matters.
std::vector<double> DesignImpulse(const LibraryFile& file);

}  // namespace tolvar::irgen
