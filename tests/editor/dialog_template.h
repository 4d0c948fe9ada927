#pragma once
// Reads dialog templates back from their compiled form: from a .res file as the
// resource compiler writes it, or from the bytes the system hands out for a
// loaded module's resource. Only the classic (not extended) template.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvar::test {

struct DialogItem {
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    int id = 0;                               // 16 bits as stored: 0xFFFF for "none"
    std::string className;                    // predefined classes by name ("COMBOBOX"), upper case
    std::string text;
};

struct DialogTemplate {
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::string menu, className, title;  // "" when absent; an ordinal reads "#<number>"
    int pointSize = 0;                   // font, when the style has DS_SETFONT
    std::string font;
    std::vector<DialogItem> items;
};

// The data of the resource with ordinal type and name and the language in the
// contents of a .res file; nullopt when there is none or the file is malformed.
std::optional<std::vector<uint8_t>> ResourceInResFile(const std::vector<uint8_t>& resFile, int type, int name,
                                                      int language);

// nullopt when the bytes are not a whole classic template.
std::optional<DialogTemplate> ParseDialogTemplate(const uint8_t* data, size_t size);

}  // namespace tolvar::test
