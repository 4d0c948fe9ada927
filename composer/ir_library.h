#pragma once
// Where the measured impulse responses live and how their files are opened.
#include "abi/pcm_source.h"

namespace tolvar {

// The IR library as one composition sees it. Both members are borrowed: the
// folder is the process-wide path, the opener the host's function.
struct IrLibrary {
    const char* folder;                    // ends with its separator; file names are appended
    PcmSourceCreateFromFileFn openSource;  // the host's PCM_Source_CreateFromFile
};

}  // namespace tolvar
