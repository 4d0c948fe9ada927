#pragma once
// The layout of the IR library: the folder the plug-in reads it from, the
// families of files that a choice names, how a Hi-Q band file is told apart,
// and the level scale that each kind of file carries. The generator writes
// what this says; the plug-in, the command line and the validator read it.
// The sections' frequencies and gains are in section_frequencies.h.
#include <string_view>

namespace tolvar {

// The library's folder, beside the plug-in binary.
constexpr char kIrFolderName[] = "tolvar";

// The families whose choice 1..count names a fixed file (ir_file_names.h).
constexpr char kInputModelTag[] = "input";
constexpr char kLowPassTag[] = "lpf";
constexpr char kHighPassTag[] = "hpf";
constexpr int kInputModelCount = 4;
constexpr int kLowPassCount = 5;
constexpr int kHighPassCount = 5;

// Every file ends in the extension; a Hi-Q band file has the suffix before it.
constexpr char kIrFileExtension[] = ".wav";
constexpr char kHiQSuffix[] = "-hq";

// Whether a file name or path names a Hi-Q band file.
constexpr bool IsHiQFileName(std::string_view name) {
    if (!name.ends_with(kIrFileExtension)) return false;
    name.remove_suffix(std::string_view(kIrFileExtension).size());
    return name.ends_with(kHiQSuffix);
}

// The plug-in scales a file by 2^(k/6), and the file carries the inverse as
// measurement headroom: k = 5 for a Hi-Q band file, 2 for every other file.
constexpr int kStandardScaleExponent = 2;
constexpr int kHiQScaleExponent = 5;
constexpr double kStandardFileScale = 1.2599210498948732;  // 2^(2/6)
constexpr double kHiQFileScale = 1.7817974362806785;       // 2^(5/6)

}  // namespace tolvar
