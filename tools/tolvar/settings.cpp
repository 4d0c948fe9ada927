#include "tools/tolvar/settings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "params/param_info.h"
#include "tools/tolvar/choice_words.h"
#include "tools/tolvar/cli_error.h"

namespace tolvar::cli {
namespace {

struct NameValue {
    std::string name;
    std::string value;
};

NameValue Split(const std::string& setting) {
    const std::size_t equals = setting.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == setting.size())
        throw UsageError("--set \"" + setting + "\": write NAME=VALUE, e.g. --set Band1G=+3");
    return {setting.substr(0, equals), setting.substr(equals + 1)};
}

std::string Joined(const std::vector<std::string>& names, const char* separator = ", ") {
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : separator) + name;
    return joined.empty() ? "(none)" : joined;
}

// Why `name` named no parameter: several begin with it, or none does.
CliError UnknownParam(const std::string& name, const std::vector<std::string>& names, const std::string& where) {
    std::vector<std::string> beginning;
    const std::string key = Squeezed(name);
    for (const std::string& candidate : names)
        if (Squeezed(candidate).compare(0, key.size(), key) == 0) beginning.push_back(candidate);
    if (beginning.size() > 1 && !key.empty())
        return UsageError("\"" + name + "\" could be " + Joined(beginning, " or ") + "; name one of them");
    return UsageError("no parameter \"" + name + "\"" + where + "; the parameters are " + Joined(names));
}

std::vector<std::string> TolvarNames() {
    std::vector<std::string> names;
    for (int index = 0; index < kParamCount; ++index) names.push_back(ParamName(index));
    return names;
}

ResolvedSetting ResolveTolvarSetting(const std::string& setting) {
    const NameValue given = Split(setting);
    const std::optional<int> index = TolvarParamFromName(given.name);
    if (!index) throw UnknownParam(given.name, TolvarNames(), "");
    const std::optional<int> choice = TolvarChoiceFromWord(*index, given.value);
    if (!choice)
        throw UsageError(std::string(ParamName(*index)) + ": no choice \"" + given.value + "\"; the choices are " +
                         TolvarChoiceSummary(*index));
    return {*index, static_cast<float>(NormalizedFromValue(*index, *choice)), ParamName(*index),
            TolvarChoiceWord(*index, *choice)};
}

std::vector<std::string> ForeignParamNames(PluginInstance& plugin) {
    std::vector<std::string> names;
    const int32_t count = plugin.Effect() ? plugin.Effect()->numParams : 0;
    for (int32_t index = 0; index < count; ++index) names.push_back(plugin.ParamName(index));
    return names;
}

std::optional<int> FindForeignParam(const std::vector<std::string>& names, const std::string& name) {
    const std::string key = Squeezed(name);
    if (key.empty()) return std::nullopt;
    std::optional<int> beginning;
    bool ambiguous = false;
    for (std::size_t index = 0; index < names.size(); ++index) {
        const std::string candidate = Squeezed(names[index]);
        if (candidate == key) return static_cast<int>(index);
        if (candidate.compare(0, key.size(), key) == 0) {
            ambiguous = ambiguous || beginning.has_value();
            beginning = static_cast<int>(index);
        }
    }
    return ambiguous ? std::nullopt : beginning;
}

std::optional<float> UnitValue(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(value >= 0.0 && value <= 1.0)) return std::nullopt;
    return static_cast<float>(value);
}

std::string Shown(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

std::vector<ResolvedSetting> ResolveTolvarSettings(const std::vector<std::string>& settings) {
    std::vector<ResolvedSetting> resolved;
    for (const std::string& setting : settings) resolved.push_back(ResolveTolvarSetting(setting));
    return resolved;
}

std::vector<ResolvedSetting> ResolveForeignSettings(PluginInstance& plugin, const std::vector<std::string>& settings) {
    const std::vector<std::string> names = ForeignParamNames(plugin);
    std::vector<ResolvedSetting> resolved;
    for (const std::string& setting : settings) {
        const NameValue given = Split(setting);
        const std::optional<int> index = FindForeignParam(names, given.name);
        if (!index) throw UnknownParam(given.name, names, " in " + plugin.EffectName());
        const std::optional<float> value = UnitValue(given.value);
        if (!value)
            throw UsageError(names[*index] + ": \"" + given.value +
                             "\" is not a value from 0 to 1 (this plug-in takes normalised values)");
        resolved.push_back({*index, *value, names[*index], Shown(*value)});
    }
    return resolved;
}

std::string DescribeSettings(const std::vector<ResolvedSetting>& settings) {
    std::string text;
    for (const ResolvedSetting& setting : settings)
        text += (text.empty() ? "" : ", ") + setting.name + " " + setting.value;
    return text.empty() ? "default settings" : text;
}

}  // namespace tolvar::cli
