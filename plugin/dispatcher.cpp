#include "plugin/dispatcher.h"

#include <cmath>

#include "params/param_info.h"
#include "params/plugin_identity.h"
#include "plugin/editor_host.h"
#include "plugin/eq_instance.h"
#include "plugin/impulse_updates.h"
#include "plugin/parameter_properties.h"
#include "plugin/platform/platform.h"

namespace tolvar {
namespace {

constexpr int kParamTextBytes = kVstMaxParamStrLen + 1;

intptr_t CloseInstance(EqInstance* instance) {
    if (!instance) return 0;
    CloseEditor(*instance);
    delete instance;
    return 0;
}

intptr_t CopyParamText(const char* text, int32_t index, void* ptr) {
    if (ptr) BoundedCopy(static_cast<char*>(ptr), IsValidParamIndex(index) ? text : "", kParamTextBytes);
    return 0;
}

intptr_t GetParamDisplay(EqInstance* instance, int32_t index, void* ptr) {
    if (!ptr || !instance) return 0;
    char* text = static_cast<char*>(ptr);
    if (IsValidParamIndex(index)) {
        FormatParamDisplay(index, instance->paramValues[index], text);
    } else {
        text[0] = '\0';
    }
    return 0;
}

// A rate that is not a finite positive number is ignored: the previous rate and
// impulse stay.
intptr_t SetSampleRate(EqInstance* instance, float rate) {
    if (!instance || !std::isfinite(rate) || rate <= 0.0f) return 0;
    ChangeSampleRate(*instance, rate);
    return 0;
}

// Switching on lets a change still in flight finish first, so that the stream
// starts with it and with its latency.
intptr_t MainsChanged(EqInstance* instance, intptr_t value) {
    if (!instance) return 0;
    if (value != 0) {
        if (CompositionPending(*instance) && !HostProcessesInRealTime(*instance)) FinishComposition(*instance);
        return 0;
    }
    ResetProcessing(*instance);
    return 0;
}

// Hosts read 0 as "no name" and fall back to the file name.
intptr_t CopyEffectString(const char* text, void* ptr) {
    if (!ptr) return 0;
    BoundedCopy(static_cast<char*>(ptr), text, kVstMaxEffectNameLen);
    return 1;
}

// Hosts that size their window before opening the editor need the rectangle
// first; it stays valid after the editor opens.
intptr_t EditGetRect(EqInstance* instance, void* ptr) {
    const ERect* rect = instance && ptr ? EditorRect(*instance) : nullptr;
    if (!rect) return 0;
    *static_cast<const ERect**>(ptr) = rect;
    return 1;
}

intptr_t EditOpen(EqInstance* instance, void* parentWindow) {
    return instance && OpenEditor(*instance, parentWindow) ? 1 : 0;
}

intptr_t EditClose(EqInstance* instance) {
    if (instance) CloseEditor(*instance);
    return 0;
}

}  // namespace

intptr_t TOLVAR_VST_CALL Dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
    EqInstance* instance = InstanceOf(effect);
    switch (opcode) {
        case effClose: return CloseInstance(instance);
        case effGetParamLabel: return CopyParamText(ParamLabel(index), index, ptr);
        case effGetParamDisplay: return GetParamDisplay(instance, index, ptr);
        case effGetParamName: return CopyParamText(ParamName(index), index, ptr);
        case effSetSampleRate: return SetSampleRate(instance, opt);
        case effMainsChanged: return MainsChanged(instance, value);
        case effEditGetRect: return EditGetRect(instance, ptr);
        case effEditOpen: return EditOpen(instance, ptr);
        case effEditClose: return EditClose(instance);
        case effCanBeAutomated: return IsValidParamIndex(index) ? 1 : 0;
        case effGetPlugCategory: return kPlugCategEffect;
        case effGetEffectName: return CopyEffectString(kEffectName, ptr);
        case effGetVendorString: return CopyEffectString(kVendorName, ptr);
        case effGetProductString: return CopyEffectString(kEffectName, ptr);
        case effGetParameterProperties:
            return DescribeParameter(index, static_cast<VstParameterProperties*>(ptr)) ? 1 : 0;
        case effGetVstVersion: return kVstVersion2400;
        default: return 0;  // effOpen, effSetBlockSize and everything not served
    }
}

}  // namespace tolvar
