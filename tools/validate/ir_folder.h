#pragma once
// The IR folder beside the validator's copy of our plug-in, filled with files
// whose contents the validator knows, so that what the plug-in must do with
// them can be computed independently.
#include <string>
#include <vector>

#include "composer/ir_library_layout.h"

namespace tolvar::validate {

// The IR folder that the plug-in binary at pluginPath reads: the library's
// folder beside it.
std::string IrFolderBeside(const std::string& pluginPath);

class IrFolder {
public:
    explicit IrFolder(std::string path);  // the folder itself; created when missing

    const std::string& Folder() const { return folder; }
    std::string Path(const std::string& fileName) const { return folder + "/" + fileName; }

    // Empties the folder (creating it again when it went missing or was replaced).
    void Clear() const;
    // A mono 32-bit float WAV at `rate` Hz. False when it cannot be written.
    bool Put(const std::string& fileName, const std::vector<double>& taps, int rate) const;
    // `bytes` as they are: for broken files.
    bool PutBytes(const std::string& fileName, const std::string& bytes) const;

private:
    std::string folder;
};

// A response whose taps are exact floats: 1.0 first, then decaying noise.
std::vector<double> SectionTaps(int length, unsigned seed);

// The file bytes of a mono 32-bit float WAV holding `taps`, with the rate and
// the data length in the header as given (for hostile headers): rate and
// dataBytes are written as they are, even when they lie.
std::string FloatWavBytes(const std::vector<double>& taps, uint32_t rate, uint32_t dataBytes);
std::string FloatWavBytes(const std::vector<double>& taps, uint32_t rate);

// The default settings select one standard file in each of these four
// sections (low shelf, band 1, band 2, high shelf), in that order.
extern const char* const kDefaultSectionFiles[4];

}  // namespace tolvar::validate
