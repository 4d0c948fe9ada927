// tolvar params: the effect's parameters, their choices, and what a host sees.
#include <cstdio>
#include <memory>

#include "params/param_info.h"
#include "tools/tolvar/choice_words.h"
#include "tools/tolvar/command_table.h"
#include "tools/tolvar/effect_options.h"
#include "tools/tolvar/effect_session.h"
#include "tools/tolvar/plugin_location.h"
#include "tools/tolvar/text_table.h"

namespace tolvar::cli {
namespace {

std::vector<TextRow> TolvarRows(PluginInstance& plugin) {
    std::vector<TextRow> rows = {{"#", "name", "host name", "choice", "display", "choices"}};
    for (int index = 0; index < kParamCount; ++index) {
        const int choice = ChoiceFromNormalized(index, plugin.GetParameter(index));
        rows.push_back({std::to_string(index), ParamName(index), plugin.ParamName(index),
                        TolvarChoiceWord(index, choice), plugin.ParamDisplay(index),
                        TolvarChoiceList(index) + (IsInertSwitch(index) ? std::string(" (") + kInertSwitchNote + ")" : "")});
    }
    return rows;
}

std::vector<TextRow> ForeignRows(PluginInstance& plugin) {
    std::vector<TextRow> rows = {{"#", "name", "value", "display"}};
    for (int32_t index = 0; index < plugin.Effect()->numParams; ++index) {
        char value[32];
        std::snprintf(value, sizeof value, "%.4f", plugin.GetParameter(index));
        std::string display = plugin.ParamDisplay(index);
        const std::string label = plugin.ParamLabel(index);
        if (!label.empty()) display += " " + label;
        rows.push_back({std::to_string(index), plugin.ParamName(index), value, display});
    }
    return rows;
}

int Params(const EffectOptions& options) {
    SessionRequest request;
    request.pluginPath = ResolvePluginPath(options.plugin);
    request.settings = options.settings;
    request.fileChannels = 1;  // one instance is enough to ask
    request.needIrLibrary = false;  // names and choices do not depend on the files
    EffectSession session(request);
    PluginInstance& plugin = session.Instance();
    PrintTable(stdout, session.DrivesTolvar() ? TolvarRows(plugin) : ForeignRows(plugin));
    return 0;
}

}  // namespace

CommandAction SetUpParams(CLI::App& command) {
    auto options = std::make_shared<EffectOptions>();
    AddEffectOptions(command, *options);
    return [options] { return Params(*options); };
}

}  // namespace tolvar::cli
