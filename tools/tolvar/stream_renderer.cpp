#include "tools/tolvar/stream_renderer.h"

#include <algorithm>
#include <vector>

#include "tools/tolvar/cli_error.h"
#include "tools/tolvar/interrupt_cleanup.h"

namespace tolvar::cli {
namespace {

// One block of each channel, and the pointers that address its frames from an offset.
class BlockBuffers {
public:
    BlockBuffers(int channels, int32_t frames)
        : buffers(static_cast<std::size_t>(channels), std::vector<float>(static_cast<std::size_t>(frames))) {}

    float* const* At(int32_t offset) {
        pointers.clear();
        for (std::vector<float>& buffer : buffers) pointers.push_back(buffer.data() + offset);
        return pointers.data();
    }

    void ZeroFrom(int32_t offset) {
        for (std::vector<float>& buffer : buffers) std::fill(buffer.begin() + offset, buffer.end(), 0.0f);
    }

private:
    std::vector<std::vector<float>> buffers;
    std::vector<float*> pointers;
};

}  // namespace

StreamResult StreamThrough(EffectSession& session, FrameSource& source, FrameSink& sink, const StreamPlan& plan) {
    const int channels = session.FileChannels();
    const int32_t block = plan.blockSize;
    BlockBuffers input(channels, block), output(channels, block);
    RingOut ringOut(channels, plan.ringOut);
    StreamResult result;
    result.latency = session.Latency();
    int64_t toSkip = result.latency, aligned = 0;
    bool inputDone = false;
    for (;;) {
        ThrowIfInterrupted();
        const int32_t got = inputDone ? 0 : source.Read(input.At(0), block);
        if (got < block) {
            input.ZeroFrom(got);
            inputDone = true;
        }
        result.inputFrames += got;
        session.Process(input.At(0), output.At(0), block);
        if (session.Latency() != result.latency)
            throw CliError("the effect changed its latency while rendering; the output would not line up");

        const auto start = static_cast<int32_t>(std::min<int64_t>(toSkip, block));
        toSkip -= start;
        const int32_t aligning =
            inputDone ? static_cast<int32_t>(std::clamp<int64_t>(result.inputFrames - aligned, 0, block - start))
                      : block - start;
        sink.Write(output.At(start), aligning);
        aligned += aligning;
        if (plan.progress) plan.progress(result.inputFrames);
        if (!inputDone || aligned < result.inputFrames) continue;
        if (!plan.tail) break;
        ringOut.Append(output.At(0), start + aligning, block);
        if (ringOut.Done()) break;
    }
    result.tailFrames = ringOut.Length();
    if (result.tailFrames > 0) sink.Write(ringOut.Channels().data(), result.tailFrames);
    return result;
}

}  // namespace tolvar::cli
