// tolvar info: who the plug-in is, and the latency it needs for a rate and settings.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "tools/tolvar/command_table.h"
#include "tools/tolvar/effect_options.h"
#include "tools/tolvar/effect_session.h"
#include "tools/tolvar/plugin_location.h"
#include "tools/tolvar/text_table.h"

namespace tolvar::cli {
namespace {

// A unique identifier as its four characters where they are printable, and in hex.
std::string UniqueIdText(int32_t id) {
    std::string characters;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>((static_cast<uint32_t>(id) >> shift) & 0xFF);
        characters += std::isprint(c) ? static_cast<char>(c) : '?';
    }
    char text[40];
    std::snprintf(text, sizeof text, "%s (0x%08X)", characters.c_str(), static_cast<unsigned>(id));
    return text;
}

std::string IrLibraryText(const std::string& folder) {
    std::error_code error;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".wav") ++files;
    return folder + " (" + std::to_string(files) + " WAV files)";
}

// Settings whose latency a user planning a session wants to know: the
// defaults, one section, the longest files, and the demo's settings.
const std::vector<std::string> kTypicalSettings[] = {
    {},
    {"Band1G=+3"},
    {"LShelfF=33", "LShelfG=+3"},
    {"HPF=27"},
    {"HPF=82", "LShelfG=+3", "Band2F=2700", "Band2G=-4", "Band2HQ=on", "HShelfF=10k", "HShelfG=+2"},
    {"Input Mode=Mic Pre"},
    {"Input Mode=Inst DI"},
    {"Input Mode=-15 conv"},
    {"Input Mode=-18 conv"},
};

std::string LatencyText(int32_t frames, double rate) {
    char text[80];
    std::snprintf(text, sizeof text, "%d frames (%.2f ms)", frames, 1000.0 * frames / rate);
    return text;
}

// Each measured as `render` would meet it: a fresh instance, set, then restarted.
void PrintTypicalLatencies(const SessionRequest& base) {
    std::vector<TextRow> rows;
    for (const std::vector<std::string>& settings : kTypicalSettings) {
        SessionRequest request = base;
        request.settings = settings;
        EffectSession session(request);
        rows.push_back({"  " + LatencyText(session.Latency(), base.sampleRate), DescribeSettings(session.Settings())});
    }
    std::printf("\nlatency of typical settings at %g Hz (what a host compensates):\n", base.sampleRate);
    PrintTable(stdout, rows);
}

int Info(const EffectOptions& options) {
    SessionRequest request;
    request.pluginPath = ResolvePluginPath(options.plugin);
    request.settings = options.settings;
    request.fileChannels = 1;  // one instance is enough to ask
    request.sampleRate = options.sampleRate;
    EffectSession session(request);
    PluginInstance& plugin = session.Instance();
    const AEffect& effect = *plugin.Effect();
    char rate[40];
    std::snprintf(rate, sizeof rate, " at %g Hz", options.sampleRate);
    const std::string latency = LatencyText(session.Latency(), options.sampleRate) + rate;
    std::vector<TextRow> rows = {
        {"plug-in", request.pluginPath},
        {"effect", plugin.EffectName()},
        {"product", plugin.ProductString()},
        {"vendor", plugin.VendorString()},
        {"version", std::to_string(effect.version)},
        {"unique id", UniqueIdText(effect.uniqueID)},
        {"channels", std::to_string(effect.numInputs) + " in, " + std::to_string(effect.numOutputs) + " out"},
        {"parameters", std::to_string(effect.numParams)},
    };
    if (session.DrivesTolvar()) rows.push_back({"IR library", IrLibraryText(session.IrFolder())});
    rows.push_back({"settings", DescribeSettings(session.Settings())});
    rows.push_back({"latency", latency});
    PrintTable(stdout, rows);
    if (session.DrivesTolvar()) PrintTypicalLatencies(request);
    for (const std::string& warning : session.Warnings())
        std::fprintf(stderr, "tolvar: warning: %s\n", warning.c_str());
    return 0;
}

}  // namespace

CommandAction SetUpInfo(CLI::App& command) {
    auto options = std::make_shared<EffectOptions>();
    AddEffectOptions(command, *options);
    AddRateOption(command, *options);
    return [options] { return Info(*options); };
}

}  // namespace tolvar::cli
