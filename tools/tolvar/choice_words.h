#pragma once
// The words a user may give for a Tolvar parameter and its choices on the
// command line. Matching ignores case and spaces throughout.
//
// A choice may be named by
//   - its list entry, as the editor shows it: "Mic Pre", "820 Hz", "12 kHz",
//     "+3 dB", "<bypass>", "disabled";
//   - a value in the parameter's unit, as other equalisers take it: a gain
//     in dB, with or without sign or unit ("3", "+3", "-4", "3dB"), "bypass";
//     a frequency in Hz with an optional k ("12k", "2700", "820hz"); "off" for
//     a filter that is disabled. Only plain decimals count ("0x10" does not);
//   - a unique beginning of an entry that is not a gain or a frequency
//     ("mic", "-15");
//   - its table value, the number a host's display shows, only with a "#"
//     before it ("#15" for a gain of +3 dB, "#3" for band 1 at 820 Hz);
//   - for a switch: on/off, yes/no, true/false, 1/0.
// A parameter is named by its name ("Input Mode", "InputMode", "band1g"), the
// host's eight-character form ("Input Mo") or a unique beginning of either.
#include <optional>
#include <string>
#include <string_view>

namespace tolvar::cli {

// The parameter index that `name` names, or nothing.
std::optional<int> TolvarParamFromName(std::string_view name);

// The choice of parameter `index` that `word` names, or nothing.
std::optional<int> TolvarChoiceFromWord(int index, std::string_view word);

// How a choice reads: the list entry, or "off"/"on" for a switch. Empty for a
// choice the parameter does not have.
std::string TolvarChoiceWord(int index, int choice);

// The choices of parameter `index`: "270 Hz, 390 Hz, ..., 8200 Hz"; gains as
// a range, "-12 dB .. +12 dB, <bypass>"; "off, on" for a switch.
std::string TolvarChoiceList(int index);

// The same for an error line, with the other forms a value may take.
std::string TolvarChoiceSummary(int index);

// LShelfHQ and HShelfHQ: hosts see them, the shelves have no Hi-Q files, so
// they change nothing. kInertSwitchNote says so.
bool IsInertSwitch(int index);
inline constexpr char kInertSwitchNote[] = "changes nothing: the shelves have no Hi-Q files";

// Lower case without white space: the form in which words are compared.
std::string Squeezed(std::string_view text);

}  // namespace tolvar::cli
