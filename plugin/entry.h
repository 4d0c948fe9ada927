#pragma once
#include "abi/vst2.h"

namespace tolvar {

// The VST 2 entry point, exported as `main`: binds the host functions on first
// use, builds the IR library path once, and creates one instance. Returns the
// instance's record, or null when the host lacks a required function, the IR
// library path cannot be formed, or memory runs out. The callback is used only
// during this call.
extern "C" AEffect* TOLVAR_VST_CALL TolvarPluginMain(AudioMasterCallback audioMaster);

}  // namespace tolvar
