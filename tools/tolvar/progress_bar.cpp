#include "tools/tolvar/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace tolvar::cli {
namespace {

constexpr int kBarWidth = 40;

}  // namespace

ProgressBar::ProgressBar(std::string label, int64_t totalFrames, double sampleRate)
    : label_(std::move(label)),
      total_(totalFrames),
      shown_(isatty(STDERR_FILENO) && totalFrames > kMinimumSeconds * sampleRate) {}

ProgressBar::~ProgressBar() {
    if (shown_ && drawnPercent_ >= 0) {
        Update(total_);
        std::fputc('\n', stderr);
    }
}

void ProgressBar::Update(int64_t doneFrames) {
    if (!shown_) return;
    const int percent = static_cast<int>(std::clamp<int64_t>(doneFrames * 100 / total_, 0, 100));
    if (percent == drawnPercent_) return;
    drawnPercent_ = percent;
    const int filled = percent * kBarWidth / 100;
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kBarWidth - filled), '.').c_str(), percent);
    std::fflush(stderr);
}

}  // namespace tolvar::cli
