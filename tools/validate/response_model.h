#pragma once
// What an instance is expected to do to audio, when the validator can know it.
//
// Our plug-in, with files at the host's rate: the composite of the files
// (computed here), on each channel alone, delayed by the reported latency.
// Any other case: the instance's own impulse responses measured in a separate
// run, used as the reference when the instance proves linear and
// time-invariant (a delayed, scaled impulse gives the delayed, scaled response)
// and its responses fade within kMaxReferenceTaps.
#include <string>

#include "tools/validate/audio_checks.h"

namespace tolvar::validate {

constexpr std::size_t kMaxReferenceTaps = 16384;

struct ResponseModel {
    bool known = false;         // false: no reference; `why` says why
    ResponseMatrix responses;   // [input][output]
    int latency = 0;            // the latency the instance reported for these responses: their time zero
    std::size_t length = 0;     // frames after which every response has faded, from frame 0
    std::string why;
};

// Ours: `composite` on each of `channels` channels, nothing across; time zero
// at its first tap.
ResponseModel CompositeModel(const std::vector<double>& composite, int channels);

// Measures the instance (it is reset before and after) and tests it for
// linearity and time invariance. Time zero is the latency it reports after the
// reset, and an instance that reports another latency in a later run must show
// the same responses moved by the difference.
ResponseModel MeasuredModel(PluginInstance& instance, std::size_t measureFrames);

}  // namespace tolvar::validate
