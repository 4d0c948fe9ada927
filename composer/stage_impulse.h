#pragma once
// Loading one section's impulse response and merging it into the composite.
#include "composer/ir_library.h"
#include "convolution/heap_buffer.h"

namespace tolvar {

// Level scales: the files carry measurement headroom that these restore.
constexpr double kStandardFileScale = 1.2599210498948732;  // 2^(2/6)
constexpr double kHiQFileScale = 1.7817974362806785;       // 2^(5/6), Hi-Q band files

enum class StageOutcome {
    kMerged,       // the file's samples, scaled, are now part of the accumulator
    kLeftOut,      // no usable file: the accumulator is unchanged
    kOutOfMemory,  // a buffer could not be sized: the composition must be abandoned
};

// Opens the file that one setting selects, reads it as one channel of doubles at
// the composition rate and merges it, scaled, into `accumulator` (doubles; see
// MergeImpulse).
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
// Unusable: a source whose own rate lies outside 8 kHz to 768 kHz; a
// length over 10 s, or whose ceil(seconds * rate) is not a number, below 1, or
// more frames than a buffer can hold; nothing delivered; a delivered sample
// that is not a finite number (it would turn the whole composite, and so the
// audio, into not-a-number). Frames delivered beyond those requested are
// ignored. A buffer the heap refuses (the file's samples, the grown
// accumulator) gives kOutOfMemory with the accumulator unchanged. Every
// source opened is destroyed before this returns, and at most one is open at
// a time. Runs on the composing thread; keeps no state.
StageOutcome AddStageImpulse(HeapBuffer& accumulator, double& compositionRate,
                             const IrLibrary& library, const char* familyTag, int selector,
                             int gainDb, bool hiQ);

}  // namespace tolvar
