#pragma once
// Small steps that several tests share: running noise through an instance and
// checking what a host must never receive, and the state of our media sources.
#include <string>

#include "host/plugin_instance.h"
#include "tools/validate/validator_test.h"

namespace tolvar::validate {

class Subject;

// Runs `frames` frames of noise (seeded) through the instance in blocks of
// `block` and adds a finding, prefixed with `what`, for any defect in the output.
void ProcessNoiseAndCheck(PluginInstance& instance, std::size_t frames, int32_t block, uint32_t seed,
                          const std::string& what, Findings& findings);

// The record's fields a host relies on before anything else: the magic, and
// channel and parameter counts that are not negative.
void CheckRecord(const AEffect* effect, const std::string& what, Findings& findings);

// Ours: every media source the plug-in opened has been destroyed.
void CheckSourcesReleased(const Subject& subject, const std::string& what, Findings& findings);

// Ours: puts the four default section files, `length` taps in all, at `rate`.
// Returns their taps in the order of kDefaultSectionFiles.
std::vector<std::vector<double>> PutDefaultSections(Subject& subject, int rate);

// The composite the plug-in must hear for these files: their convolution, each
// file scaled by the section level scale (or by `scales`, one per file).
std::vector<double> Composite(const std::vector<std::vector<double>>& files);
std::vector<double> Composite(const std::vector<std::vector<double>>& files, const std::vector<double>& scales);

}  // namespace tolvar::validate
