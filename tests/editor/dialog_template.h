#pragma once
// Reads a classic (not extended) dialog template back from its compiled bytes:
// from a .res file as the resource compiler writes it, or as the system hands
// out a loaded module's resource.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvar::test {

struct DialogItem {
    uint32_t style = 0, exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    int id = 0;                               // as stored: 0xFFFF for none
    std::string className;                    // a predefined class by its name ("COMBOBOX")
    std::string text;
};

struct DialogTemplate {
    uint32_t style = 0, exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::string menu, className, title;  // "" when absent, "#<n>" for an ordinal
    int pointSize = 0;                   // the font, with DS_SETFONT
    std::string font;
    std::vector<DialogItem> items;
};

// The data of the resource with ordinal type and name in the given language,
// from a .res file's contents; nullopt when absent or the file is malformed.
std::optional<std::vector<uint8_t>> ResourceInResFile(const std::vector<uint8_t>& resFile, int type, int name,
                                                      int language);

// nullopt when the bytes are not a whole classic template.
std::optional<DialogTemplate> ParseDialogTemplate(const uint8_t* data, size_t size);

}  // namespace tolvar::test
