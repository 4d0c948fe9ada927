#include "tests/editor/dialog_template.h"

#include <cctype>

namespace tolvar::test {
namespace {

constexpr uint32_t kSetFontStyle = 0x40;  // DS_SETFONT
constexpr uint16_t kOrdinalMark = 0xFFFF;

// Little-endian reads with a sticky failure past the end.
class Reader {
public:
    Reader(const uint8_t* bytes, size_t length) : data(bytes), size(length) {}

    uint16_t Word() {
        if (!Has(2)) return 0;
        const uint16_t value = static_cast<uint16_t>(data[at] | data[at + 1] << 8);
        at += 2;
        return value;
    }
    uint32_t Dword() {
        const uint32_t low = Word();
        return low | static_cast<uint32_t>(Word()) << 16;
    }
    int Short() { return static_cast<int16_t>(Word()); }
    // A NUL-terminated UTF-16 text, ASCII expected.
    std::string Text() {
        std::string text;
        for (uint16_t c = Word(); c != 0 && ok; c = Word()) text += c < 0x80 ? static_cast<char>(c) : '?';
        return text;
    }
    // A text or an ordinal: "" for none, "#<n>" for an ordinal.
    std::string TextOrOrdinal() {
        if (!Has(2)) return "";
        const uint16_t first = static_cast<uint16_t>(data[at] | data[at + 1] << 8);
        if (first != 0 && first != kOrdinalMark) return Text();
        at += 2;
        return first == 0 ? "" : "#" + std::to_string(Word());
    }
    void AlignTo4() { at = (at + 3) & ~size_t{3}; }
    void Skip(size_t bytes) { if (Has(bytes)) at += bytes; }
    bool Has(size_t bytes) {
        if (at + bytes > size) ok = false;
        return ok;
    }
    size_t Offset() const { return at; }
    bool Ok() const { return ok; }

private:
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool ok = true;
};

std::string ClassName(std::string name) {
    static const char* const kAtoms[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    for (int atom = 0x80; atom <= 0x85; ++atom) {
        if (name == "#" + std::to_string(atom)) return kAtoms[atom - 0x80];
    }
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

}  // namespace

std::optional<std::vector<uint8_t>> ResourceInResFile(const std::vector<uint8_t>& resFile, int type, int name,
                                                      int language) {
    const std::string wantedType = "#" + std::to_string(type);
    const std::string wantedName = "#" + std::to_string(name);
    size_t start = 0;
    while (start + 32 <= resFile.size()) {
        Reader header(resFile.data() + start, resFile.size() - start);
        const uint32_t dataSize = header.Dword();
        const uint32_t headerSize = header.Dword();
        const std::string entryType = header.TextOrOrdinal();
        const std::string entryName = header.TextOrOrdinal();
        header.AlignTo4();
        header.Skip(6);  // data version, memory flags
        const int entryLanguage = header.Word();
        const size_t dataStart = start + headerSize;
        if (!header.Ok() || headerSize < 32 || dataStart + dataSize > resFile.size()) return std::nullopt;
        if (entryType == wantedType && entryName == wantedName && entryLanguage == language) {
            return std::vector<uint8_t>(resFile.begin() + static_cast<long>(dataStart),
                                        resFile.begin() + static_cast<long>(dataStart + dataSize));
        }
        start = (dataStart + dataSize + 3) & ~size_t{3};
    }
    return std::nullopt;
}

std::optional<DialogTemplate> ParseDialogTemplate(const uint8_t* data, size_t size) {
    Reader in(data, size);
    DialogTemplate dialog;
    dialog.style = in.Dword();
    if (dialog.style == 0xFFFF0001u) return std::nullopt;  // an extended template
    dialog.exStyle = in.Dword();
    const int count = in.Word();
    dialog.x = in.Short(), dialog.y = in.Short(), dialog.width = in.Short(), dialog.height = in.Short();
    dialog.menu = in.TextOrOrdinal();
    dialog.className = in.TextOrOrdinal();
    dialog.title = in.Text();
    if (dialog.style & kSetFontStyle) {
        dialog.pointSize = in.Word();
        dialog.font = in.Text();
    }
    for (int i = 0; i < count && in.Ok(); ++i) {
        in.AlignTo4();
        DialogItem item;
        item.style = in.Dword();
        item.exStyle = in.Dword();
        item.x = in.Short(), item.y = in.Short(), item.width = in.Short(), item.height = in.Short();
        item.id = in.Word();
        item.className = ClassName(in.TextOrOrdinal());
        item.text = in.TextOrOrdinal();
        in.Skip(in.Word());  // creation data
        dialog.items.push_back(item);
    }
    if (!in.Ok()) return std::nullopt;
    return dialog;
}

}  // namespace tolvar::test
