#pragma once
// A one-line progress bar on stderr, redrawn in place, for long renders in a
// terminal. It draws only when stderr is a terminal and the work is longer
// than kMinimumSeconds of audio; otherwise every call does nothing.
#include <cstdint>
#include <string>

namespace tolvar::cli {

class ProgressBar {
public:
    static constexpr double kMinimumSeconds = 5.0;

    ProgressBar(std::string label, int64_t totalFrames, double sampleRate);
    ~ProgressBar();  // ends the line if anything was drawn
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Update(int64_t doneFrames);

private:
    std::string label;
    int64_t total;
    bool shown;
    int drawnPercent = -1;
};

}  // namespace tolvar::cli
