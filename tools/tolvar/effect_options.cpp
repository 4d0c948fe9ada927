#include "tools/tolvar/effect_options.h"

namespace tolvar::cli {

const char* const kSettingsHelp =
    "Settings for Tolvar take the editor's words or short forms: Band1G=+3, \"Band1G=+3 dB\", LPF=12k, "
    "\"Band2F=2700 Hz\", Band2HQ=on, HShelfG=bypass, \"Input Mode=Mic Pre\", HPF=off; a bare number is the "
    "table value the host shows (Band1G=15 is +3 dB). Any other plug-in takes its own parameter names and "
    "values from 0 to 1.";

void AddEffectOptions(CLI::App& command, EffectOptions& options) {
    command.add_option("--plugin", options.plugin, "The plug-in binary (default: the tolvar.so built with this program)")
        ->type_name("PATH");
    // One value per --set, so that the arguments after it stay positional.
    command.add_option("--set", options.settings, "A setting, NAME=VALUE; repeat for more")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false);
    command.footer(kSettingsHelp);
}

void AddRateOption(CLI::App& command, EffectOptions& options) {
    command.add_option("--rate", options.sampleRate, "The sample rate in Hz (8000 to 768000)")
        ->check(CLI::Range(8000.0, 768000.0).description(""))
        ->type_name("R")
        ->capture_default_str();
}

}  // namespace tolvar::cli
