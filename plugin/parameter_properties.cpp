#include "plugin/parameter_properties.h"

#include <cmath>
#include <cstring>

#include "params/param_info.h"
#include "plugin/platform/platform.h"

namespace tolvar {
namespace {

// At most 7 characters each: the field holds 8 bytes with the terminator.
constexpr const char* kShortLabels[kParamCount] = {
    "Input", "LPF", "HPF", "LShelfF", "LShelfG", "LShlfHQ", "Band1F", "Band1G",
    "Band1HQ", "Band2F", "Band2G", "Band2HQ", "HShelfF", "HShelfG", "HShlfHQ",
};

// The largest float step at or above 1/intervals whose reciprocal, in float,
// is at most `intervals`: hosts count the positions as 1 + ceil(1 / step).
float ListStep(int intervals) {
    float step = 1.0f / static_cast<float>(intervals);
    while (1.0f / step > static_cast<float>(intervals)) step = std::nextafter(step, 1.0f);
    return step;
}

}  // namespace

bool DescribeParameter(int index, VstParameterProperties* properties) {
    if (!properties || !IsValidParamIndex(index)) return false;
    std::memset(properties, 0, sizeof *properties);
    BoundedCopy(properties->label, ParamName(index), sizeof properties->label);
    BoundedCopy(properties->shortLabel, kShortLabels[index], sizeof properties->shortLabel);
    if (IsSwitchParam(index)) {
        properties->flags = kVstParameterIsSwitch;
        return true;
    }
    const ParamInfo& row = kParamTable[index];
    const float step = ListStep(static_cast<int>(row.maximum - row.minimum));
    properties->flags = kVstParameterUsesFloatStep;
    properties->stepFloat = step;
    properties->smallStepFloat = step;
    properties->largeStepFloat = step;
    return true;
}

}  // namespace tolvar
