#include "tools/tolvar/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace tolvar::cli {
namespace {

constexpr int kBarWidth = 40;

}  // namespace

ProgressBar::ProgressBar(std::string text, int64_t totalFrames, double sampleRate)
    : label(std::move(text)),
      total(totalFrames),
      shown(isatty(STDERR_FILENO) && totalFrames > kMinimumSeconds * sampleRate) {}

ProgressBar::~ProgressBar() {
    if (shown && drawnPercent >= 0) {
        Update(total);
        std::fputc('\n', stderr);
    }
}

void ProgressBar::Update(int64_t doneFrames) {
    if (!shown) return;
    const int percent = static_cast<int>(std::clamp<int64_t>(doneFrames * 100 / total, 0, 100));
    if (percent == drawnPercent) return;
    drawnPercent = percent;
    const int filled = percent * kBarWidth / 100;
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", label.c_str(), std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kBarWidth - filled), '.').c_str(), percent);
    std::fflush(stderr);
}

}  // namespace tolvar::cli
