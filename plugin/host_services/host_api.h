#pragma once
// The host functions the plug-in binds by name at its first entry, shared by
// every instance in the process. Written only by the entry point.
#include "abi/pcm_source.h"
#include "abi/vst2.h"

namespace tolvar {

struct HostApi {
    void* db2Slider;                                    // "DB2SLIDER": required, never called
    void* slider2Db;                                    // "SLIDER2DB": required, never called
    PcmSourceCreateFromFileFn pcmSourceCreateFromFile;  // "PCM_Source_CreateFromFile": required
    void* resamplerCreate;                              // "Resampler_Create": optional, never called
};

HostApi& ProcessHostApi();

// Asks the host for one function by name; null when the host does not know it.
void* LookUpHostFunction(AudioMasterCallback audioMaster, const char* name);

// Binds the four functions unless DB2SLIDER is already bound (then the host is
// never asked again), and reports whether the three required ones are present.
// A null callback binds nothing and checks what an earlier call bound.
bool BindHostApi(AudioMasterCallback audioMaster);

}  // namespace tolvar
