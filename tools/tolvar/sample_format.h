#pragma once
// How the command converts between a file's sample format and 32-bit floats.
//
// Integer PCM is read and written as raw integer values scaled by 2^(bits-1)
// both ways, so that a signal the effect leaves unchanged comes back bit for
// bit (libsndfile's own normalisation reads 16-bit with 1/32768 but writes with
// 32767). Float and double samples pass as they are; other codings (u-law,
// ADPCM, ...) go through libsndfile's normalisation.

namespace tolvar::cli {

// 8, 16, 24 or 32 for integer PCM formats (libsndfile format or subtype); 0 otherwise.
int PcmBits(int format);

// Whether the format stores samples as floating point.
bool IsFloatFormat(int format);

// "16-bit", "24-bit", "32-bit float", "64-bit float", or libsndfile's name for other codings.
const char* SampleFormatName(int format);

}  // namespace tolvar::cli
