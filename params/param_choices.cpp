#include "params/param_choices.h"

#include <cstdio>

#include "params/param_info.h"

namespace tolvar {
namespace {

constexpr const char* kInputModels[] = {"Clean", "Mic Pre", "Inst DI", "-15 conv", "-18 conv"};
constexpr const char* kLowPass[] = {"disabled", "3900 Hz", "5600 Hz", "8200 Hz", "12 kHz", "18 kHz"};
constexpr const char* kHighPass[] = {"disabled", "27 Hz", "47 Hz", "82 Hz", "150 Hz", "270 Hz"};
constexpr const char* kLowShelf[] = {"33 Hz", "56 Hz", "100 Hz", "180 Hz", "330 Hz"};
constexpr const char* kBands[] = {"270 Hz",  "390 Hz",  "560 Hz",  "820 Hz",  "1200 Hz",
                                  "1800 Hz", "2700 Hz", "3900 Hz", "5600 Hz", "8200 Hz"};
constexpr const char* kHighShelf[] = {"3300 Hz", "4700 Hz", "6800 Hz", "10 kHz", "15 kHz"};

// Gains -12 .. +12 dB at choices 0 .. 24; choice 25 leaves the section out.
constexpr int kGainChoices = 26;
constexpr int kGainOffsetDb = 12;
constexpr int kBypassChoice = 25;

struct FixedList {
    const char* const* entries;
    int count;
};

template <int kCount>
constexpr FixedList ListOf(const char* const (&entries)[kCount]) {
    return {entries, kCount};
}

bool IsGain(int index) {
    return index == kParamLShelfG || index == kParamBand1G || index == kParamBand2G || index == kParamHShelfG;
}

FixedList FixedListOf(int index) {
    switch (index) {
        case kParamInputMode: return ListOf(kInputModels);
        case kParamLpf: return ListOf(kLowPass);
        case kParamHpf: return ListOf(kHighPass);
        case kParamLShelfF: return ListOf(kLowShelf);
        case kParamBand1F:
        case kParamBand2F: return ListOf(kBands);
        case kParamHShelfF: return ListOf(kHighShelf);
        default: return {nullptr, 0};
    }
}

}  // namespace

int ChoiceListLength(int index) { return IsGain(index) ? kGainChoices : FixedListOf(index).count; }

bool FormatChoiceText(int index, int choice, char* text, int size) {
    if (!text || size < 1) return false;
    text[0] = '\0';
    if (choice < 0 || choice >= ChoiceListLength(index)) return false;
    int written = 0;
    if (IsGain(index)) {
        const int gainDb = choice - kGainOffsetDb;
        if (choice == kBypassChoice) written = std::snprintf(text, static_cast<unsigned>(size), "<bypass>");
        else written = std::snprintf(text, static_cast<unsigned>(size), gainDb < 0 ? "%d dB" : "+%d dB", gainDb);
    } else {
        written = std::snprintf(text, static_cast<unsigned>(size), "%s", FixedListOf(index).entries[choice]);
    }
    return written >= 0 && written < size;
}

}  // namespace tolvar
