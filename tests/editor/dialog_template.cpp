#include "tests/editor/dialog_template.h"

namespace tolvar::test {
namespace {

// Little-endian reads that fail for good past the end.
struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool ok = true;

    uint16_t Word() {
        if (at + 2 > size) ok = false;
        if (!ok) return 0;
        at += 2;
        return static_cast<uint16_t>(data[at - 2] | data[at - 1] << 8);
    }
    uint32_t Dword() { return Word() | static_cast<uint32_t>(Word()) << 16; }
    void Box(int& x, int& y, int& width, int& height) {
        x = static_cast<int16_t>(Word()), y = static_cast<int16_t>(Word());
        width = static_cast<int16_t>(Word()), height = static_cast<int16_t>(Word());
    }
    // NUL-terminated UTF-16 (ASCII expected), or the first unit already read.
    std::string Text(uint16_t first) {
        std::string text;
        for (uint16_t c = first; c != 0 && ok; c = Word()) text += c < 0x80 ? static_cast<char>(c) : '?';
        return text;
    }
    std::string Text() { return Text(Word()); }
    // A text, nothing (""), or 0xFFFF and an ordinal ("#<n>").
    std::string TextOrOrdinal() {
        const uint16_t first = Word();
        return first == 0xFFFF ? "#" + std::to_string(Word()) : Text(first);
    }
    void Align() { at = (at + 3) & ~size_t{3}; }
};

std::string ClassName(const std::string& stored) {
    static const char* const kPredefined[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    for (int atom = 0x80; atom <= 0x85; ++atom) {
        if (stored == "#" + std::to_string(atom)) return kPredefined[atom - 0x80];
    }
    return stored;
}

}  // namespace

std::optional<std::vector<uint8_t>> ResourceInResFile(const std::vector<uint8_t>& resFile, int type, int name,
                                                      int language) {
    for (size_t start = 0; start + 32 <= resFile.size();) {
        Reader header{resFile.data() + start, resFile.size() - start};
        const uint32_t dataSize = header.Dword();
        const uint32_t headerSize = header.Dword();
        const std::string entryType = header.TextOrOrdinal();
        const std::string entryName = header.TextOrOrdinal();
        header.Align();
        header.Dword();  // data version
        header.Word();   // memory flags
        const int entryLanguage = header.Word();
        const size_t dataStart = start + headerSize;
        if (!header.ok || headerSize < 32 || dataStart + dataSize > resFile.size()) return std::nullopt;
        if (entryType == "#" + std::to_string(type) && entryName == "#" + std::to_string(name) &&
            entryLanguage == language) {
            const auto begin = resFile.begin() + static_cast<std::ptrdiff_t>(dataStart);
            return std::vector<uint8_t>(begin, begin + dataSize);
        }
        start = (dataStart + dataSize + 3) & ~size_t{3};
    }
    return std::nullopt;
}

std::optional<DialogTemplate> ParseDialogTemplate(const uint8_t* data, size_t size) {
    Reader in{data, size};
    DialogTemplate dialog;
    dialog.style = in.Dword();
    if (dialog.style == 0xFFFF0001u) return std::nullopt;  // an extended template
    dialog.exStyle = in.Dword();
    const int count = in.Word();
    in.Box(dialog.x, dialog.y, dialog.width, dialog.height);
    dialog.menu = in.TextOrOrdinal();
    dialog.className = in.TextOrOrdinal();
    dialog.title = in.Text();
    if (dialog.style & 0x40) {  // DS_SETFONT
        dialog.pointSize = in.Word();
        dialog.font = in.Text();
    }
    for (int i = 0; i < count && in.ok; ++i) {
        in.Align();
        DialogItem& item = dialog.items.emplace_back();
        item.style = in.Dword();
        item.exStyle = in.Dword();
        in.Box(item.x, item.y, item.width, item.height);
        item.id = in.Word();
        item.className = ClassName(in.TextOrOrdinal());
        item.text = in.TextOrOrdinal();
        in.at += in.Word();  // creation data
    }
    if (!in.ok || in.at > size) return std::nullopt;
    return dialog;
}

}  // namespace tolvar::test
