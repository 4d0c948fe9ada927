#include "tools/tolvar/choice_words.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <span>
#include <vector>

#include "abi/vst2.h"
#include "composer/section_frequencies.h"
#include "params/param_choices.h"
#include "params/param_info.h"

namespace tolvar::cli {
namespace {

constexpr std::string_view kOnWords[] = {"on", "yes", "true", "1", "1.0"};
constexpr std::string_view kOffWords[] = {"off", "no", "false", "0", "0.0"};
constexpr int kLastGainChoice = kHighestGainDb - kLowestGainDb;  // +12 dB; the next one leaves the section out

bool Contains(std::span<const std::string_view> words, std::string_view word) {
    for (std::string_view w : words)
        if (w == word) return true;
    return false;
}

bool StripSuffix(std::string& text, std::string_view suffix) {
    if (text.size() < suffix.size() || text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    text.resize(text.size() - suffix.size());
    return true;
}

// A plain decimal number: an optional sign, digits, an optional fraction.
// Nothing else (no exponent, no hex, no inf or nan), so that "0x10" or "1e1"
// is not taken for a value it does not plainly say.
std::optional<double> DecimalNumber(const std::string& text) {
    std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    std::size_t digits = 0, points = 0;
    for (std::size_t j = i; j < text.size(); ++j) {
        if (std::isdigit(static_cast<unsigned char>(text[j]))) ++digits;
        else if (text[j] == '.' && points == 0) ++points;
        else return std::nullopt;
    }
    if (digits == 0) return std::nullopt;
    return std::strtod(text.c_str(), nullptr);
}

// "12k", "12khz", "820", "820hz" in Hz.
std::optional<double> Hertz(std::string text) {
    StripSuffix(text, "hz");
    const bool kilo = StripSuffix(text, "k");
    const std::optional<double> value = DecimalNumber(text);
    if (!value) return std::nullopt;
    return kilo ? *value * 1000.0 : *value;
}

// "+3", "-4", "3", "3db", "+0db" in dB.
std::optional<double> Decibels(std::string text) {
    StripSuffix(text, "db");
    return DecimalNumber(text);
}

std::string Entry(int index, int choice) {
    char text[kChoiceTextBytes];
    return FormatChoiceText(index, choice, text, sizeof text) ? std::string(text) : std::string();
}

bool IsGainList(int index) { return ChoiceListLength(index) == kLastGainChoice + 2; }

// A list of corner or centre frequencies ("82 Hz", "18 kHz"): a bare number there is in Hz.
bool IsFrequencyList(int index) {
    const int count = ChoiceListLength(index);
    return count > 0 && Hertz(Squeezed(Entry(index, count - 1))).has_value();
}

std::optional<int> SwitchChoice(const std::string& key) {
    if (Contains(kOnWords, key)) return 1;
    if (Contains(kOffWords, key)) return 0;
    return std::nullopt;
}

std::optional<int> GainChoice(const std::string& key) {
    if (key == "bypass") return kLastGainChoice + 1;
    const std::optional<double> db = Decibels(key);
    if (!db || *db != std::floor(*db) || std::abs(*db) > kLastGainChoice / 2) return std::nullopt;
    return static_cast<int>(*db) + kLastGainChoice / 2;
}

std::optional<int> EntryChoice(int index, const std::string& key) {
    const int count = ChoiceListLength(index);
    for (int choice = 0; choice < count; ++choice)
        if (Squeezed(Entry(index, choice)) == key) return choice;
    return std::nullopt;
}

// A value in the parameter's own unit: dB for a gain, Hz for a frequency.
std::optional<int> UnitChoice(int index, const std::string& key) {
    if (IsGainList(index)) return GainChoice(key);
    if (key == "off" && Squeezed(Entry(index, 0)) == "disabled") return 0;
    const std::optional<double> hertz = Hertz(key);
    for (int choice = 0; hertz && choice < ChoiceListLength(index); ++choice)
        if (Hertz(Squeezed(Entry(index, choice))) == hertz) return choice;
    return std::nullopt;
}

// "#15": the table value itself, as a host's display shows it.
std::optional<int> TableValue(int index, const std::string& key) {
    const int count = IsSwitchParam(index) ? 2 : ChoiceListLength(index);
    if (key.size() < 2 || key[0] != '#' || key.size() > 4) return std::nullopt;
    int value = 0;
    for (std::size_t i = 1; i < key.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(key[i]))) return std::nullopt;
        value = 10 * value + (key[i] - '0');
    }
    return value < count ? std::optional<int>(value) : std::nullopt;
}

template <typename Candidates>
std::optional<int> UniqueBeginning(const std::string& key, int count, Candidates candidates) {
    std::optional<int> found;
    for (int i = 0; i < count; ++i) {
        for (const std::string& candidate : candidates(i)) {
            if (candidate.compare(0, key.size(), key) != 0) continue;
            if (found && *found != i) return std::nullopt;
            found = i;
        }
    }
    return found;
}

std::vector<std::string> NameForms(int index) {
    const std::string full = Squeezed(ParamName(index));
    const std::string host = Squeezed(std::string(ParamName(index)).substr(0, kVstMaxParamStrLen));
    return {full, host};
}

}  // namespace

std::string Squeezed(std::string_view text) {
    std::string key;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

bool IsInertSwitch(int index) { return index == kParamLShelfHQ || index == kParamHShelfHQ; }

std::optional<int> TolvarParamFromName(std::string_view name) {
    const std::string key = Squeezed(name);
    if (key.empty()) return std::nullopt;
    for (int index = 0; index < kParamCount; ++index)
        for (const std::string& form : NameForms(index))
            if (form == key) return index;
    return UniqueBeginning(key, kParamCount, NameForms);
}

std::optional<int> TolvarChoiceFromWord(int index, std::string_view word) {
    const std::string key = Squeezed(word);
    if (!IsValidParamIndex(index) || key.empty()) return std::nullopt;
    if (key[0] == '#') return TableValue(index, key);
    if (IsSwitchParam(index)) return SwitchChoice(key);
    if (std::optional<int> choice = EntryChoice(index, key)) return choice;
    if (IsGainList(index) || IsFrequencyList(index)) return UnitChoice(index, key);
    return UniqueBeginning(key, ChoiceListLength(index),
                           [&](int choice) { return std::vector<std::string>{Squeezed(Entry(index, choice))}; });
}

std::string TolvarChoiceWord(int index, int choice) {
    if (IsSwitchParam(index)) return choice == 0 ? "off" : choice == 1 ? "on" : "";
    return Entry(index, choice);
}

std::string TolvarChoiceList(int index) {
    if (IsSwitchParam(index)) return "off, on";
    if (IsGainList(index))
        return Entry(index, 0) + " .. " + Entry(index, kLastGainChoice) + ", " + Entry(index, kLastGainChoice + 1);
    std::string list;
    for (int choice = 0; choice < ChoiceListLength(index); ++choice) list += (choice ? ", " : "") + Entry(index, choice);
    return list;
}

std::string TolvarChoiceSummary(int index) {
    const int count = IsSwitchParam(index) ? 2 : ChoiceListLength(index);
    const std::string table = "table values #0 to #" + std::to_string(count - 1);
    if (IsSwitchParam(index)) return TolvarChoiceList(index) + " (or 0, 1, " + table + ")";
    if (IsGainList(index)) return TolvarChoiceList(index) + " (a number is in dB: 3, +3, -4, 3dB; or " + table + ")";
    if (IsFrequencyList(index)) return TolvarChoiceList(index) + " (a number is in Hz: 820, 12k; or " + table + ")";
    return TolvarChoiceList(index) + " (or " + table + ")";
}

}  // namespace tolvar::cli
