#include "plugin/host_services/host_api.h"

namespace tolvar {

HostApi& ProcessHostApi() {
    static HostApi api{};
    return api;
}

void* LookUpHostFunction(AudioMasterCallback audioMaster, const char* name) {
    const intptr_t address = audioMaster(nullptr, kHostFunctionLookupOpcode, kHostFunctionLookupIndex, 0,
                                         const_cast<char*>(name), 0.0f);
    return reinterpret_cast<void*>(address);
}

bool BindHostApi(AudioMasterCallback audioMaster) {
    HostApi& api = ProcessHostApi();
    if (audioMaster && !api.db2Slider) {
        api.db2Slider = LookUpHostFunction(audioMaster, "DB2SLIDER");
        api.slider2Db = LookUpHostFunction(audioMaster, "SLIDER2DB");
        api.pcmSourceCreateFromFile =
            reinterpret_cast<PcmSourceCreateFromFileFn>(LookUpHostFunction(audioMaster, "PCM_Source_CreateFromFile"));
        api.resamplerCreate = LookUpHostFunction(audioMaster, "Resampler_Create");
    }
    return api.db2Slider && api.slider2Db && api.pcmSourceCreateFromFile;
}

}  // namespace tolvar
