#pragma once
// The files one set of stored values selects, section by section: two sets
// that select the same files compose the same response at the same rate, so
// a change that keeps the selection needs no new composition.
#include "params/param_info.h"

namespace tolvar {

// One section of the chain as the composition reads it.
struct SectionChoice {
    bool active = false;  // a file is named; the rest is 0 when not
    int selector = 0;     // the family's choice ("input", "lpf", "hpf") or the frequency in Hz
    int gainDb = 0;       // sections with a gain: -12 .. +12
    bool hiQ = false;     // bands only: the narrow file is tried first

    bool operator==(const SectionChoice&) const = default;
};

// The seven sections in chain order: input model, low-pass, high-pass, low
// shelf, band 1, band 2, high shelf.
struct ImpulseSelection {
    static constexpr int kSections = 7;
    SectionChoice sections[kSections];

    bool operator==(const ImpulseSelection&) const = default;
};

// Section indices in ImpulseSelection::sections.
enum SectionIndex : int {
    kSectionInput = 0,
    kSectionLpf,
    kSectionHpf,
    kSectionLowShelf,
    kSectionBand1,
    kSectionBand2,
    kSectionHighShelf,
};

// What the stored values select: a choice outside its section's range (a
// gain of 25, a frequency past the table, not a number) leaves the section
// out; the shelves' Hi-Q switches select nothing.
ImpulseSelection SelectionOf(const double (&paramValues)[kParamCount]);

}  // namespace tolvar
