#pragma once
// The host functions the plug-in binds by name at its first entry, shared by
// every instance in the process. Written only by the entry point. None is
// required: without PCM_Source_CreateFromFile the plug-in reads its files
// itself, and the other three are never called.
#include "abi/pcm_source.h"
#include "abi/vst2.h"

namespace tolvar {

struct HostApi {
    void* db2Slider;                                    // "DB2SLIDER": never called
    void* slider2Db;                                    // "SLIDER2DB": never called
    PcmSourceCreateFromFileFn pcmSourceCreateFromFile;  // "PCM_Source_CreateFromFile": opens the IR files
    void* resamplerCreate;                              // "Resampler_Create": never called
};

HostApi& ProcessHostApi();

// Asks the host for one function by name; null when the host does not know it.
void* LookUpHostFunction(AudioMasterCallback audioMaster, const char* name);

// Asks for the four functions, in the order above, unless DB2SLIDER is bound
// already (then the host is never asked again) or the callback is null. A
// function is stored only into a slot that is still null, so that a host
// asked again cannot change what running instances read.
void BindHostApi(AudioMasterCallback audioMaster);

}  // namespace tolvar
