#include "plugin/ir_file_opener.h"

#include "plugin/host_services/host_api.h"
#include "plugin/media/builtin_source.h"

namespace tolvar {

PcmSourceCreateFromFileFn IrFileOpener() {
    const PcmSourceCreateFromFileFn host = ProcessHostApi().pcmSourceCreateFromFile;
    return host ? host : &CreateBuiltinSource;
}

}  // namespace tolvar
