#include "plugin/entry.h"

#include <new>

#include "plugin/eq_instance.h"
#include "plugin/host_services/host_api.h"
#include "plugin/ir_library_path.h"

namespace tolvar {

extern "C" AEffect* TOLVAR_VST_CALL TolvarPluginMain(AudioMasterCallback audioMaster) {
    BindHostApi(audioMaster);
    if (!EnsureIrLibraryPath()) return nullptr;
    auto* instance = new (std::nothrow) EqInstance();
    return instance ? &instance->effect : nullptr;
}

}  // namespace tolvar
