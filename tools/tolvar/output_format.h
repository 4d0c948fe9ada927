#pragma once
// The format of the audio file a command writes. The container follows the
// output's name, by libsndfile's table of extensions and the names people
// commonly use (.aif, .ogg, .opus, .mp3); the samples keep the input's format
// (8/16/24/32-bit, float, double) where the container holds it, or take the
// nearest one it does, wider first. A coding of the input's own container
// (MP3, Vorbis, u-law, ADPCM) is kept only in that container.
#include <string>

namespace tolvar::cli {

struct OutputFormat {
    int format = 0;      // libsndfile major | subtype
    std::string change;  // why the input's sample format was not kept; empty when it was
};

// floatSamples asks for 32-bit float samples whatever the input's. Throws a
// usage CliError when the name gives no container that this libsndfile
// writes, when the container cannot hold this rate and channel count, or when
// floatSamples is asked of a container that holds no floats.
OutputFormat ChooseOutputFormat(const std::string& path, int inputFormat, bool floatSamples, int channels,
                                int sampleRate);

// Whether the container of `format` holds float samples at this rate and channel count.
bool HoldsFloats(int format, int channels, int sampleRate);

// The container's name as libsndfile gives it, its first word: "WAV", "FLAC".
std::string ContainerName(int format);

}  // namespace tolvar::cli
