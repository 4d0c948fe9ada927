#pragma once
// The naming scheme of the IR library: which file a section's setting selects.

namespace tolvar {

// Bytes of the buffer a full file path is formed in, terminator included.
constexpr int kIrPathBytes = 512;

// The fixed base name of a tagged family's choice ("input" 1..4, "lpf" 1..5,
// "hpf" 1..5), or null when the tag (compared exactly) or the choice names no file.
const char* TaggedIrBaseName(const char* familyTag, int choice);

// folder + base name + ".wav" into path. False, with no file to try, when the
// choice names no file, the folder is null, or the path does not fit.
bool FormatTaggedIrPath(char (&path)[kIrPathBytes], const char* folder, const char* familyTag,
                        int choice);

// folder + frequency + signed gain + optional "-hq" + ".wav", e.g. "820+0.wav",
// "33-12.wav", "1200-5-hq.wav": a gain of 0 or more carries "+". False when the
// folder is null or the path does not fit.
bool FormatSectionIrPath(char (&path)[kIrPathBytes], const char* folder, int frequencyHz,
                         int gainDb, bool hiQ);

}  // namespace tolvar
