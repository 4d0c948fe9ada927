#pragma once
#include "abi/vst2.h"

namespace tolvar {

// The audio callback: queues the block in the engine and writes as many filtered
// frames as are ready to the end of each output block, behind leading silence,
// so the output lags the input by exactly effect->initialDelay frames.
// Input and output buffers may be the same memory. Runs on the host's audio
// thread under the instance lock; allocates only what the engine's queues need.
void TOLVAR_VST_CALL ProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames);

// The deprecated accumulating callback: does nothing at all.
void TOLVAR_VST_CALL ProcessAccumulating(AEffect* effect, float** inputs, float** outputs, int32_t frames);

}  // namespace tolvar
