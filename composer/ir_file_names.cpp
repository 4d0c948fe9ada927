#include "composer/ir_file_names.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "composer/ir_library_layout.h"

namespace tolvar {
namespace {

constexpr int kMostChoices = std::max({kInputModelCount, kLowPassCount, kHighPassCount});

struct TaggedFamily {
    const char* tag;
    int choiceCount;                      // choices 1..choiceCount name a file
    const char* baseNames[kMostChoices];  // by choice - 1
};

const TaggedFamily kTaggedFamilies[] = {
    {kInputModelTag, kInputModelCount,
     {"misc_mic_pre", "misc_inst_DI", "conv_-15_converter", "conv_-18_converter"}},
    {kLowPassTag, kLowPassCount,
     {"misc_LPF_3900", "misc_LPF_5600", "misc_LPF_8200hz", "misc_LPF_12khz", "misc_LPF_18khz"}},
    {kHighPassTag, kHighPassCount,
     {"misc_HPF_27", "misc_HPF_47", "misc_HPF_82", "misc_HPF_150", "misc_HPF_270"}},
};

// snprintf's result says whether the whole text fitted.
bool Fits(int written) { return written >= 0 && written < kIrPathBytes; }

}  // namespace

const char* TaggedIrBaseName(const char* familyTag, int choice) {
    if (!familyTag) return nullptr;
    for (const TaggedFamily& family : kTaggedFamilies) {
        if (std::strcmp(family.tag, familyTag) != 0) continue;
        if (choice < 1 || choice > family.choiceCount) return nullptr;
        return family.baseNames[choice - 1];
    }
    return nullptr;
}

bool FormatTaggedIrPath(char (&path)[kIrPathBytes], const char* folder, const char* familyTag,
                        int choice) {
    const char* baseName = TaggedIrBaseName(familyTag, choice);
    if (!baseName || !folder) return false;
    return Fits(std::snprintf(path, sizeof path, "%s%s%s", folder, baseName, kIrFileExtension));
}

bool FormatSectionIrPath(char (&path)[kIrPathBytes], const char* folder, int frequencyHz,
                         int gainDb, bool hiQ) {
    if (!folder) return false;
    const char* sign = gainDb >= 0 ? "+" : "";
    const char* suffix = hiQ ? kHiQSuffix : "";
    return Fits(std::snprintf(path, sizeof path, "%s%d%s%d%s%s", folder, frequencyHz, sign,
                              gainDb, suffix, kIrFileExtension));
}

}  // namespace tolvar
