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

// The sample rates the commands take, from --rate or an input file: the
// plug-in's own limits for its files, so that no header can ask for an absurd
// amount of work or memory.
constexpr double kLowestRate = 8000.0;     // Hz
constexpr double kHighestRate = 768000.0;  // Hz
bool IsUsableRate(double rate);            // within them, and a number
std::string UsableRatesText();             // "8000 to 768000 Hz"

// Adds --rate.
void AddRateOption(CLI::App& command, EffectOptions& options);

// Why Tolvar's settings take the words they take, for the help texts.
extern const char* const kSettingsHelp;

}  // namespace tolvar::cli
