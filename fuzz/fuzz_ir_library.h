#pragma once
// A small IR library for the fuzzers that drive a live instance: the default
// sections and a few others, short and long (direct form, one FFT partition,
// several), at three file rates, one stereo 16-bit file, and broken ones (not
// audio, empty, a header without frames).
namespace tolvar::fuzz {

// Writes the files into `folder` (ending in its separator), replacing any of
// the same names.
void WriteFuzzIrLibrary(const char* folder);

}  // namespace tolvar::fuzz
