#include "plugin/parameter_callbacks.h"

#include "params/param_info.h"
#include "plugin/eq_instance.h"

namespace tolvar {

void TOLVAR_VST_CALL SetParameter(AEffect* effect, int32_t index, float value) {
    EqInstance* instance = InstanceOf(effect);
    if (!instance || !IsValidParamIndex(index)) return;
    ChangeParameter(*instance, index, value);
    instance->editorDirtyMask.fetch_or(1u << index);
}

float TOLVAR_VST_CALL GetParameter(AEffect* effect, int32_t index) {
    EqInstance* instance = InstanceOf(effect);
    if (!instance || !IsValidParamIndex(index)) return 0.0f;
    ScopedInstanceLock hold(instance->lock);
    return static_cast<float>(instance->paramValues[index]);
}

}  // namespace tolvar
