#pragma once
// Loading one section's impulse response and merging it into the composite.
#include "composer/impulse_accumulator.h"
#include "composer/ir_library.h"
#include "composer/ir_library_layout.h"

namespace tolvar {

// A source is usable only within these bounds, so that no file can hold the
// composing thread (and with it the audio thread) for long or exhaust memory.
constexpr double kLowestFileRate = 8000.0;     // Hz
constexpr double kHighestFileRate = 768000.0;  // Hz
constexpr double kLongestFileSeconds = 10.0;

enum class StageOutcome {
    kAdded,    // the file's samples and scale are now in the accumulator
    kLeftOut,  // no usable file: the accumulator is unchanged
};

// Opens the file that one setting selects, reads it as one channel of doubles
// at the composition rate and adds it to `accumulator`, which convolves
// everything added when the composition ends. The samples are added times
// their scale, each product rounded to float (the files' own precision), so
// that a flat file times its scale is exactly 1.0.
//
// familyTag: "input", "lpf" or "hpf" with selector = the choice, or null for a
// section file with selector = frequency in Hz, gainDb and hiQ. A choice that
// names no file, or a path that does not fit kIrPathBytes, tries no file (and
// so no fall-back either). A Hi-Q section file that cannot be opened, or whose
// source is not available, falls back to the standard file with the standard
// scale; a file that opens but is unusable leaves the section out.
//
// compositionRate: 0.0 until the first available source with a usable rate
// sets it to its own rate; every file is read at that rate.
//
// Unusable: a source rate outside kLowestFileRate..kHighestFileRate (or not a
// number); a length over kLongestFileSeconds, not a number, or whose
// ceil(seconds * compositionRate) is below 1; frames the heap cannot hold;
// nothing delivered; a delivered sample that is not a finite number, after
// the scale and the rounding to float; more frames than the accumulator's
// budget has room for. Frames delivered beyond those requested are ignored.
// Every source opened is destroyed before this returns, and at most one is
// open at a time. Runs on the composing thread; keeps no state.
StageOutcome AddStageImpulse(ImpulseAccumulator& accumulator, double& compositionRate,
                             const IrLibrary& library, const char* familyTag, int selector,
                             int gainDb, bool hiQ);

}  // namespace tolvar
