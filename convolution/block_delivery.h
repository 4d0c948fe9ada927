#pragma once
// An audio callback's use of the engine, the one way the plug-in, the engine's
// tests and the benchmarks all deliver a block.
#include "convolution/convolution_engine.h"

namespace tolvar {

// The lag a stream builds as leading silence: `target` frames in all since it
// started, `inserted` of them already emitted (0 <= inserted <= target). The
// owner raises the target; delivering a block emits what is still owed.
struct OwedSilence {
    int target = 0;
    int inserted = 0;
};

// Delivers one block of `frames` frames of `channels` (1 or 2) channels:
// queues the whole input first (so inputs and outputs may be the same
// memory), then writes to the start of the block the silence still owed and,
// where the engine has fewer filtered frames ready than the rest of the block,
// more silence; the filtered frames fill the end of the block in order.
// Frames the engine has not produced yet come out in later blocks, none is
// dropped. Returns how many filtered frames were written. Allocates only
// what the engine's queues need to grow.
int DeliverBlock(ConvolutionEngine& engine, const float* const* inputs, float* const* outputs, int frames,
                 int channels, OwedSilence& silence);

}  // namespace tolvar
