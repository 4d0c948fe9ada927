// The compiled dialog template, read back from the resource compiler's output.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "editor/dialog_layout.h"
#include "params/param_info.h"
#include "tests/editor/dialog_template.h"

namespace tolvar::test {
namespace {

constexpr int kDialogType = 5;  // RT_DIALOG
constexpr int kNoId = 0xFFFF;
constexpr uint32_t kList = 0x50210003, kCheck = 0x50010003, kHiddenCheck = 0x40010003, kGroup = 0x50000007,
                   kLabel = 0x50020000;

struct Control {
    int id;
    const char* className;
    const char* text;
    uint32_t style;
    int x, y, width, height;
    int param;  // the parameter the control shows, -1 for none
};

const Control kControls[] = {
    {1033, "COMBOBOX", "", kList, 52, 6, 106, 146, 0},
    {1076, "COMBOBOX", "", kList, 43, 23, 69, 146, 1},
    {1037, "COMBOBOX", "", kList, 52, 50, 52, 146, 3},
    {1038, "COMBOBOX", "", kList, 134, 50, 52, 146, 4},
    {1019, "BUTTON", "Hi-Q mode", kHiddenCheck, 189, 52, 49, 10, 5},
    {1041, "COMBOBOX", "", kList, 52, 82, 52, 146, 6},
    {1042, "COMBOBOX", "", kList, 134, 82, 52, 146, 7},
    {1020, "BUTTON", "Hi-Q mode", kCheck, 189, 84, 49, 10, 8},
    {1043, "COMBOBOX", "", kList, 52, 117, 52, 146, 9},
    {1044, "COMBOBOX", "", kList, 134, 117, 52, 146, 10},
    {1021, "BUTTON", "Hi-Q mode", kCheck, 189, 119, 49, 10, 11},
    {1045, "COMBOBOX", "", kList, 52, 152, 52, 146, 12},
    {1046, "COMBOBOX", "", kList, 134, 152, 52, 146, 13},
    {1022, "BUTTON", "Hi-Q mode", kHiddenCheck, 189, 154, 49, 10, 14},
    {1036, "COMBOBOX", "", kList, 38, 174, 69, 146, 2},
    {kNoId, "STATIC", "Input model:", kLabel, 7, 9, 40, 8, -1},
    {kNoId, "STATIC", "Hipass:", kLabel, 8, 176, 24, 8, -1},
    {kNoId, "BUTTON", "Low Shelf", kGroup, 7, 40, 238, 29, -1},
    {kNoId, "STATIC", "Frequency:", kLabel, 14, 52, 36, 8, -1},
    {kNoId, "STATIC", "Gain:", kLabel, 113, 52, 18, 8, -1},
    {kNoId, "BUTTON", "Band 1", kGroup, 7, 72, 238, 29, -1},
    {kNoId, "STATIC", "Frequency:", kLabel, 14, 84, 36, 8, -1},
    {kNoId, "STATIC", "Gain:", kLabel, 113, 84, 18, 8, -1},
    {kNoId, "BUTTON", "Band 2", kGroup, 7, 106, 238, 29, -1},
    {kNoId, "STATIC", "Frequency:", kLabel, 14, 117, 36, 8, -1},
    {kNoId, "STATIC", "Gain:", kLabel, 113, 117, 18, 8, -1},
    {kNoId, "BUTTON", "High Shelf", kGroup, 7, 141, 238, 29, -1},
    {kNoId, "STATIC", "Frequency:", kLabel, 14, 154, 36, 8, -1},
    {kNoId, "STATIC", "Gain:", kLabel, 113, 154, 18, 8, -1},
    {kNoId, "STATIC", "Lowpass:", kLabel, 7, 25, 31, 8, -1},
};

std::optional<DialogTemplate> CompiledTemplate() {
    std::ifstream file(TOLVAR_EDITOR_DIALOG_RES, std::ios::binary);
    const std::vector<uint8_t> res{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const auto data = ResourceInResFile(res, kDialogType, 101, 1033);
    if (!data) return std::nullopt;
    return ParseDialogTemplate(data->data(), data->size());
}

TEST(EditorDialogResource, TemplateHoldsTheWindowAndItsThirtyControls) {
    const auto dialog = CompiledTemplate();
    ASSERT_TRUE(dialog.has_value());

    EXPECT_EQ(dialog->style, 0x40000440u);
    EXPECT_EQ(dialog->exStyle, 0u);
    EXPECT_EQ(std::vector<int>({dialog->x, dialog->y, dialog->width, dialog->height}),
              std::vector<int>({0, 0, 252, 193}));
    EXPECT_EQ(dialog->menu + dialog->className + dialog->title, "");
    EXPECT_EQ(dialog->pointSize, 8);
    EXPECT_EQ(dialog->font, "MS Shell Dlg");

    ASSERT_EQ(dialog->items.size(), std::size(kControls));
    for (size_t i = 0; i < std::size(kControls); ++i) {
        const Control& want = kControls[i];
        const DialogItem& item = dialog->items[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        EXPECT_EQ(item.id, want.id);
        EXPECT_EQ(item.className, want.className);
        EXPECT_EQ(item.text, want.text);
        EXPECT_EQ(item.style, want.style);
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(std::vector<int>({item.x, item.y, item.width, item.height}),
                  std::vector<int>({want.x, want.y, want.width, want.height}));
        if (want.param >= 0) {
            EXPECT_EQ(kParamTable[want.param].controlId, item.id);
        }
    }
}

// The editor that draws its own controls (on Linux) places the template's.
TEST(EditorDialogResource, DrawnEditorLayoutIsTheTemplate) {
    const auto dialog = CompiledTemplate();
    ASSERT_TRUE(dialog.has_value());
    EXPECT_EQ(std::vector<int>({kDialogRect.width, kDialogRect.height}),
              std::vector<int>({dialog->width, dialog->height}));
    ASSERT_EQ(dialog->items.size(), size_t{kDialogControlCount});
    constexpr uint32_t kVisible = 0x10000000, kGroupBox = 0x7;
    for (int i = 0; i < kDialogControlCount; ++i) {
        const DialogItem& item = dialog->items[i];
        const ControlTemplate& drawn = kDialogControls[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        EXPECT_EQ(drawn.id, item.id == kNoId ? kNoControlId : item.id);
        const ControlKind kind = item.className == "COMBOBOX" ? ControlKind::List
                                 : item.className == "STATIC"  ? ControlKind::Label
                                 : (item.style & 0xF) == kGroupBox ? ControlKind::GroupBox
                                                                   : ControlKind::CheckBox;
        EXPECT_EQ(drawn.kind, kind);
        EXPECT_EQ(drawn.text, item.text);
        EXPECT_EQ(std::vector<int>({drawn.rect.x, drawn.rect.y, drawn.rect.width, drawn.rect.height}),
                  std::vector<int>({item.x, item.y, item.width, item.height}));
        EXPECT_EQ(drawn.visible, (item.style & kVisible) != 0);
    }
}

}  // namespace
}  // namespace tolvar::test
