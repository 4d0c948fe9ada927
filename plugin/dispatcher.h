#pragma once
#include "abi/vst2.h"

namespace tolvar {

// The VST 2 dispatcher of an EqInstance. Every opcode goes to a small handler;
// opcodes not served return 0 without touching their arguments. Never throws.
intptr_t TOLVAR_VST_CALL Dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt);

}  // namespace tolvar
