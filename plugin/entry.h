#pragma once
#include "abi/vst2.h"

namespace tolvar {

// The VST 2 entry point, exported as `main`: binds whatever host functions the
// host offers, builds the IR library path once, and creates one instance, also
// for a host that answers no lookup or a null callback (the instance then reads
// its files with the built-in media source). Returns the instance's record, or
// null when the IR library path cannot be formed or memory runs out.
extern "C" AEffect* TOLVAR_VST_CALL TolvarPluginMain(AudioMasterCallback audioMaster);

}  // namespace tolvar
