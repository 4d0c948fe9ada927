#pragma once
#include "abi/vst2.h"

namespace tolvar {

// Stores the host's value as it arrives (widened, not clamped), recomposes the
// impulse at once on the calling thread and marks the parameter for the editor.
// Bad index or missing instance: nothing happens.
void TOLVAR_VST_CALL SetParameter(AEffect* effect, int32_t index, float value);

// The stored value narrowed to float; 0 for a bad index or missing instance.
float TOLVAR_VST_CALL GetParameter(AEffect* effect, int32_t index);

}  // namespace tolvar
