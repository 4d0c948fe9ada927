#pragma once
// Our plug-in's response as the host hears it, and whether it is the composite
// of the files the validator expects it to use.
#include <string>
#include <utility>
#include <vector>

#include "host/plugin_instance.h"
#include "tools/validate/validator_test.h"

namespace tolvar::validate {

class Subject;

constexpr double kHostRate = 44100.0;  // the files these checks write are at this rate too
constexpr double kCompositeBound = 1e-5;  // deviation relative to the composite's peak

// Resets the stream, sends a unit impulse into both inputs and returns the
// left output from the reported latency on, `length` frames. A right output
// that differs from the left is a finding.
std::vector<double> HeardResponse(PluginInstance& instance, std::size_t length, Findings& findings);

// The largest |heard - composite| relative to the composite's peak (the shorter
// one is taken as zero beyond its end).
double CompositeDeviation(const std::vector<double>& heard, const std::vector<double>& composite);

// A file of the IR folder: its name and its taps (as written at kHostRate).
using NamedFile = std::pair<std::string, std::vector<double>>;

std::string Names(const std::vector<NamedFile>& files);

// Creates a fresh instance of `pluginPath` (ours) at kHostRate, sets the
// parameters given (index, value), and adds a finding, prefixed with `what`,
// unless it hears exactly the composite of `used` (the sections expected, in
// composition order, each at the standard scale).
void ExpectComposite(Subject& subject, const std::string& pluginPath, const std::vector<std::pair<int, float>>& settings,
                     const std::vector<NamedFile>& used, const std::string& what, Findings& findings);

}  // namespace tolvar::validate
