#pragma once
// Turning --set NAME=VALUE arguments into parameter values for the effect.
#include <string>
#include <vector>

#include "host/plugin_instance.h"

namespace tolvar::cli {

// One setting, resolved: which parameter gets which stored value.
struct ResolvedSetting {
    int index;          // parameter index
    float normalized;   // the value handed to setParameter
    std::string name;   // the parameter as we show it
    std::string value;  // the value as we show it: "820 Hz", "+3 dB", "on", "0.25"
};

// Tolvar's settings, in the user's words (choice_words.h). Throws a usage
// CliError naming the valid parameters or choices when one is unknown.
std::vector<ResolvedSetting> ResolveTolvarSettings(const std::vector<std::string>& settings);

// Any other plug-in's settings: its own parameter names (case and spaces
// ignored, or a unique beginning) and normalised values from 0 to 1. Throws a
// usage CliError naming its parameters when one is unknown.
std::vector<ResolvedSetting> ResolveForeignSettings(PluginInstance& plugin, const std::vector<std::string>& settings);

// "HPF 82 Hz, Band1G +3 dB", or "default settings" when there are none.
std::string DescribeSettings(const std::vector<ResolvedSetting>& settings);

}  // namespace tolvar::cli
