#pragma once
// The words a user sees for each choice of a stepped parameter: the entries of
// the editor's drop-down lists, position = choice number ("Clean", "820 Hz",
// "+3 dB", "<bypass>"). The editor fills its lists from them and the command
// line accepts them as values. Switches have no list (a check box).
namespace tolvar {

// Longest entry, terminator included.
constexpr int kChoiceTextBytes = 12;

// Entries in the list of parameter `index`; 0 for a switch or a bad index.
int ChoiceListLength(int index);

// Writes the entry for `choice` into text (size bytes, always terminated when
// size >= 1). False, with text empty, for a switch, a bad index or a choice
// outside 0 .. ChoiceListLength - 1.
bool FormatChoiceText(int index, int choice, char* text, int size);

}  // namespace tolvar
