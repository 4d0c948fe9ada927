#include "plugin/host_services/host_api.h"

namespace tolvar {
namespace {

template <typename Function>
void StoreIfUnbound(Function& slot, void* found) {
    if (!slot && found) slot = reinterpret_cast<Function>(found);
}

}  // namespace

HostApi& ProcessHostApi() {
    static HostApi api{};
    return api;
}

void* LookUpHostFunction(AudioMasterCallback audioMaster, const char* name) {
    const intptr_t address = audioMaster(nullptr, kHostFunctionLookupOpcode, kHostFunctionLookupIndex, 0,
                                         const_cast<char*>(name), 0.0f);
    return reinterpret_cast<void*>(address);
}

void BindHostApi(AudioMasterCallback audioMaster) {
    HostApi& api = ProcessHostApi();
    if (!audioMaster || api.db2Slider) return;
    StoreIfUnbound(api.db2Slider, LookUpHostFunction(audioMaster, "DB2SLIDER"));
    StoreIfUnbound(api.slider2Db, LookUpHostFunction(audioMaster, "SLIDER2DB"));
    StoreIfUnbound(api.pcmSourceCreateFromFile, LookUpHostFunction(audioMaster, "PCM_Source_CreateFromFile"));
    StoreIfUnbound(api.resamplerCreate, LookUpHostFunction(audioMaster, "Resampler_Create"));
}

}  // namespace tolvar
