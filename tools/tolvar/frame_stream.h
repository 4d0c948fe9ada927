#pragma once
// Where the renderer takes frames from and gives them to: a file or memory.
// Frames are passed as one float buffer per channel.
#include <cstdint>

namespace tolvar::cli {

class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Fills up to `frames` frames; returns how many. Fewer than asked means the end.
    virtual int32_t Read(float* const* channels, int32_t frames) = 0;
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void Write(const float* const* channels, int64_t frames) = 0;
};

}  // namespace tolvar::cli
