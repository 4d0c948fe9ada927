#pragma once
// Running the tolvar program as a user does, and the audio files it reads and writes.
#include <string>
#include <vector>

namespace tolvar::test {

struct CliRun {
    int exitCode = -1;
    std::string out;  // stdout
    std::string err;  // stderr
};

// Runs the built program with `arguments` (no shell) and waits for it.
CliRun RunTolvar(const std::vector<std::string>& arguments);

// Audio as channels of samples, full scale 1.0: integer files are scaled by
// 2^(bits-1) exactly (a 16-bit value v reads as v / 32768).
struct Audio {
    int rate = 0;
    int format = 0;  // libsndfile major | subtype
    std::vector<std::vector<double>> channels;
    std::size_t Frames() const { return channels.empty() ? 0 : channels.front().size(); }
};

// Writes `audio` with its rate and format; integer formats take the values
// rounded to their steps. False when libsndfile refuses.
bool WriteAudio(const std::string& path, const Audio& audio);

// Reads a whole file; empty channels when it cannot.
Audio ReadAudio(const std::string& path);

// The lines of `text`, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace tolvar::test
