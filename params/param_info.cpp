#include "params/param_info.h"

#include <cmath>
#include <cstdio>

namespace tolvar {

const ParamInfo kParamTable[kParamCount] = {
    {"Input Mode", "", 0.0, 0.0, 4.0, 1033, 1},
    {"LPF", "", 0.0, 0.0, 5.0, 1076, 1},
    {"HPF", "", 0.0, 0.0, 5.0, 1036, 1},
    {"LShelfF", "", 2.0, 0.0, 4.0, 1037, 1},
    {"LShelfG", "", 12.0, 0.0, 25.0, 1038, 1},
    {"LShelfHQ", "", 0.0, kSwitchMarker, kSwitchMarker, 1019, 0},
    {"Band1F", "", 3.0, 0.0, 9.0, 1041, 1},
    {"Band1G", "", 12.0, 0.0, 25.0, 1042, 1},
    {"Band1HQ", "", 0.0, kSwitchMarker, kSwitchMarker, 1020, 0},
    {"Band2F", "", 5.0, 0.0, 9.0, 1043, 1},
    {"Band2G", "", 12.0, 0.0, 25.0, 1044, 1},
    {"Band2HQ", "", 0.0, kSwitchMarker, kSwitchMarker, 1021, 0},
    {"HShelfF", "", 2.0, 0.0, 4.0, 1045, 1},
    {"HShelfG", "", 12.0, 0.0, 25.0, 1046, 1},
    {"HShelfHQ", "", 0.0, kSwitchMarker, kSwitchMarker, 1022, 0},
};

namespace {
constexpr int kParamTextBytes = 9;  // 8 characters and the terminator
}  // namespace

bool IsSwitchParam(int index) {
    return IsValidParamIndex(index) && kParamTable[index].minimum == kSwitchMarker;
}

double ValueFromNormalized(int index, double normalized) {
    if (!IsValidParamIndex(index)) return 0.0;
    const ParamInfo& row = kParamTable[index];
    if (IsSwitchParam(index)) return normalized >= 0.5 ? 1.0 : 0.0;
    return row.minimum + (row.maximum - row.minimum) * normalized;
}

double NormalizedFromValue(int index, double value) {
    if (!IsValidParamIndex(index)) return 0.0;
    const ParamInfo& row = kParamTable[index];
    if (IsSwitchParam(index)) return value >= 0.5 ? 1.0 : 0.0;
    const double position = (value - row.minimum) / (row.maximum - row.minimum);
    if (position < 0.0) return 0.0;
    if (position > 1.0) return 1.0;
    return position;
}

int ChoiceFromNormalized(int index, double normalized) {
    const double rounded = ValueFromNormalized(index, normalized) + 0.5;
    // Comparisons with NaN are false, so this also refuses not-a-number.
    if (!(rounded > -2147483648.0 && rounded < 2147483648.0)) return kNoChoice;
    return static_cast<int>(rounded);
}

void FormatParamDisplay(int index, double normalized, char* text) {
    if (!IsValidParamIndex(index)) {
        text[0] = '\0';
        return;
    }
    char format[16];
    std::snprintf(format, sizeof format, "%%.%df", kParamTable[index].displayDecimals);
    std::snprintf(text, kParamTextBytes, format, ValueFromNormalized(index, normalized));
}

const char* ParamName(int index) { return IsValidParamIndex(index) ? kParamTable[index].name : ""; }

const char* ParamLabel(int index) { return IsValidParamIndex(index) ? kParamTable[index].label : ""; }

}  // namespace tolvar
