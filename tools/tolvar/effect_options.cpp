#include "tools/tolvar/effect_options.h"

#include <cstdio>
#include <string>

namespace tolvar::cli {

const char* const kSettingsHelp =
    "Settings for Tolvar take the editor's words or short forms: Band1G=+3, \"Band1G=+3 dB\", LPF=12k, "
    "\"Band2F=2700 Hz\", Band2HQ=on, HShelfG=bypass, \"Input Mode=Mic Pre\", HPF=off. A number is in the "
    "parameter's unit (Band1G=3 is +3 dB, HPF=82 is 82 Hz); the table value a host shows takes a # "
    "(Band1G=#15 is +3 dB). LShelfHQ and HShelfHQ are accepted and change nothing: the shelves have no Hi-Q "
    "files. Any other plug-in takes its own parameter names and values from 0 to 1.";

void AddEffectOptions(CLI::App& command, EffectOptions& options) {
    command.add_option("--plugin", options.plugin, "The plug-in binary (default: the tolvar.so built with this program)")
        ->type_name("PATH");
    // One value per --set, so that the arguments after it stay positional.
    command.add_option("--set", options.settings, "A setting, NAME=VALUE; repeat for more")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false);
    command.footer(kSettingsHelp);
}

bool IsUsableRate(double rate) { return rate >= kLowestRate && rate <= kHighestRate; }  // false for not-a-number

std::string UsableRatesText() {
    char text[48];
    std::snprintf(text, sizeof text, "%g to %g Hz", kLowestRate, kHighestRate);
    return text;
}

void AddRateOption(CLI::App& command, EffectOptions& options) {
    const CLI::Validator usable(
        [](std::string& text) {
            double rate = 0.0;
            return CLI::detail::lexical_cast(text, rate) && IsUsableRate(rate)
                       ? std::string()
                       : "a rate from " + UsableRatesText() + ", not " + text;
        },
        "");
    command.add_option("--rate", options.sampleRate, "The sample rate in Hz (" + UsableRatesText() + ")")
        ->check(usable)
        ->type_name("R")
        ->capture_default_str();
}

}  // namespace tolvar::cli
