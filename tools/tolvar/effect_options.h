#pragma once
// The options every command that drives the effect shares.
#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace tolvar::cli {

struct EffectOptions {
    std::string plugin;                 // --plugin PATH; empty: the one beside the program
    std::vector<std::string> settings;  // --set NAME=VALUE, in the order given
    double sampleRate = 48000.0;        // --rate R, for commands that take it
};

// Adds --plugin and --set.
void AddEffectOptions(CLI::App& command, EffectOptions& options);

// Adds --rate.
void AddRateOption(CLI::App& command, EffectOptions& options);

// Why Tolvar's settings take the words they take, for the help texts.
extern const char* const kSettingsHelp;

}  // namespace tolvar::cli
