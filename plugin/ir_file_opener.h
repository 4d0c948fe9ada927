#pragma once
// How the plug-in opens its impulse-response files: through the host's
// PCM_Source_CreateFromFile when the host offers it, otherwise through the
// built-in media source behind the same table of operations.
#include "abi/pcm_source.h"

namespace tolvar {

PcmSourceCreateFromFileFn IrFileOpener();

}  // namespace tolvar
