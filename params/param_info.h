#pragma once
// The fifteen automatable parameters: the fixed table, the mapping between the
// host's normalised values (nominally 0..1) and table units, and their texts.
namespace tolvar {

constexpr int kParamCount = 15;
constexpr double kSwitchMarker = -1000.0;  // minimum (and maximum) of an on/off row

enum ParamIndex : int {
    kParamInputMode = 0,
    kParamLpf = 1,
    kParamHpf = 2,
    kParamLShelfF = 3,
    kParamLShelfG = 4,
    kParamLShelfHQ = 5,
    kParamBand1F = 6,
    kParamBand1G = 7,
    kParamBand1HQ = 8,
    kParamBand2F = 9,
    kParamBand2G = 10,
    kParamBand2HQ = 11,
    kParamHShelfF = 12,
    kParamHShelfG = 13,
    kParamHShelfHQ = 14,
};

struct ParamInfo {
    const char* name;     // host-visible name; effGetParamName shows at most 8 characters
    const char* label;    // unit label: empty for every row
    double defaultValue;  // in table units
    double minimum;       // kSwitchMarker for on/off rows
    double maximum;
    int controlId;        // editor control that shows the parameter
    int displayDecimals;  // decimals of the display text
};

extern const ParamInfo kParamTable[kParamCount];

// A choice that lies outside every row's range: what a stored value that is
// not a number, or too large for an int, selects.
constexpr int kNoChoice = -1;

inline bool IsValidParamIndex(int index) { return index >= 0 && index < kParamCount; }
bool IsSwitchParam(int index);

// Table units from a stored value: a switch gives 0 or 1 (not-a-number is off);
// a stepped row gives minimum + (maximum - minimum) * n, neither rounded nor
// clamped. 0.0 for a bad index.
double ValueFromNormalized(int index, double normalized);

// The stored value for table units: a switch gives 0 or 1, a stepped row the
// position in its range clamped to 0..1. 0.0 for a bad index.
double NormalizedFromValue(int index, double value);

// The choice number: ValueFromNormalized + 0.5, truncated toward zero.
// kNoChoice when that is not a number or does not fit an int.
int ChoiceFromNormalized(int index, double normalized);

// Writes the display text (the table-unit value with the row's decimals) into
// text, at most kVstMaxParamStrLen characters plus the terminator. A bad index
// gives an empty text.
void FormatParamDisplay(int index, double normalized, char* text);

// The row's name and label; an empty text for a bad index. The dispatcher
// hands them out cut to 8 characters.
const char* ParamName(int index);
const char* ParamLabel(int index);

}  // namespace tolvar
