#include "composer/impulse_selection.h"

#include "composer/ir_library_layout.h"
#include "composer/section_frequencies.h"

namespace tolvar {
namespace {

constexpr int kGainOffset = -kLowestGainDb;                  // choice 0 is the lowest gain
constexpr int kTopGainChoice = kHighestGainDb + kGainOffset;  // 24; choice 25 bypasses

SectionChoice Tagged(const double (&values)[kParamCount], int index, int choiceCount) {
    const int m = ChoiceFromNormalized(index, values[index]);
    SectionChoice section;
    if (m >= 1 && m <= choiceCount) section = {true, m, 0, false};
    return section;
}

template <int kCount>
SectionChoice Section(const double (&values)[kParamCount], int frequencyIndex, int gainIndex,
                      const int (&frequencies)[kCount], int hiQIndex) {
    const int f = ChoiceFromNormalized(frequencyIndex, values[frequencyIndex]);
    const int g = ChoiceFromNormalized(gainIndex, values[gainIndex]);
    SectionChoice section;
    if (f >= 0 && f < kCount && g >= 0 && g <= kTopGainChoice) {
        // Not-a-number is off.
        const bool hiQ = hiQIndex >= 0 && values[hiQIndex] >= 0.5;
        section = {true, frequencies[f], g - kGainOffset, hiQ};
    }
    return section;
}

}  // namespace

ImpulseSelection SelectionOf(const double (&values)[kParamCount]) {
    ImpulseSelection selection;
    selection.sections[kSectionInput] = Tagged(values, kParamInputMode, kInputModelCount);
    selection.sections[kSectionLpf] = Tagged(values, kParamLpf, kLowPassCount);
    selection.sections[kSectionHpf] = Tagged(values, kParamHpf, kHighPassCount);
    selection.sections[kSectionLowShelf] = Section(values, kParamLShelfF, kParamLShelfG, kLowShelfHz, -1);
    selection.sections[kSectionBand1] = Section(values, kParamBand1F, kParamBand1G, kBandHz, kParamBand1HQ);
    selection.sections[kSectionBand2] = Section(values, kParamBand2F, kParamBand2G, kBandHz, kParamBand2HQ);
    selection.sections[kSectionHighShelf] = Section(values, kParamHShelfF, kParamHShelfG, kHighShelfHz, -1);
    return selection;
}

}  // namespace tolvar
