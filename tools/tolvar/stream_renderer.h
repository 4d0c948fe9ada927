#pragma once
// Streams frames through an effect session as a workstation plays a track
// through it, with its delay compensation: the output lines up with the input
// sample for sample, as long as the input, optionally followed by the effect's
// ring-out.
#include <cstdint>
#include <functional>

#include "tools/tolvar/effect_session.h"
#include "tools/tolvar/frame_stream.h"
#include "tools/tolvar/ring_out.h"

namespace tolvar::cli {

struct StreamPlan {
    int32_t blockSize = 512;  // frames per processReplacing call; at most the session's block size
    bool tail = false;        // append the ring-out after the input's length
    RingOutLimits ringOut;
    std::function<void(int64_t framesRead)> progress;  // called after each block; may be empty
};

struct StreamResult {
    int64_t inputFrames = 0;  // frames read from the source = frames aligned with it in the sink
    int64_t tailFrames = 0;   // ring-out frames written after them
    int32_t latency = 0;      // frames dropped from the start of the effect's output
};

// Reads the source to its end and writes the aligned output to the sink. The
// latency is the one the session reports when streaming starts; throws
// CliError when the effect changes it midway, since the alignment would be lost.
StreamResult StreamThrough(EffectSession& session, FrameSource& source, FrameSink& sink, const StreamPlan& plan);

}  // namespace tolvar::cli
