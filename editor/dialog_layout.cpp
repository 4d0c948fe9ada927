#include "editor/dialog_layout.h"

#include <algorithm>
#include <cmath>

namespace tolvar {

namespace {
using K = ControlKind;
constexpr int kNone = kNoControlId;
}  // namespace

// In the template's order, which is also the keyboard's tab order.
const ControlTemplate kDialogControls[kDialogControlCount] = {
    {1033, K::List, "", {52, 6, 106, 146}, true},
    {1076, K::List, "", {43, 23, 69, 146}, true},
    {1037, K::List, "", {52, 50, 52, 146}, true},
    {1038, K::List, "", {134, 50, 52, 146}, true},
    {1019, K::CheckBox, "Hi-Q mode", {189, 52, 49, 10}, false},
    {1041, K::List, "", {52, 82, 52, 146}, true},
    {1042, K::List, "", {134, 82, 52, 146}, true},
    {1020, K::CheckBox, "Hi-Q mode", {189, 84, 49, 10}, true},
    {1043, K::List, "", {52, 117, 52, 146}, true},
    {1044, K::List, "", {134, 117, 52, 146}, true},
    {1021, K::CheckBox, "Hi-Q mode", {189, 119, 49, 10}, true},
    {1045, K::List, "", {52, 152, 52, 146}, true},
    {1046, K::List, "", {134, 152, 52, 146}, true},
    {1022, K::CheckBox, "Hi-Q mode", {189, 154, 49, 10}, false},
    {1036, K::List, "", {38, 174, 69, 146}, true},
    {kNone, K::Label, "Input model:", {7, 9, 40, 8}, true},
    {kNone, K::Label, "Hipass:", {8, 176, 24, 8}, true},
    {kNone, K::GroupBox, "Low Shelf", {7, 40, 238, 29}, true},
    {kNone, K::Label, "Frequency:", {14, 52, 36, 8}, true},
    {kNone, K::Label, "Gain:", {113, 52, 18, 8}, true},
    {kNone, K::GroupBox, "Band 1", {7, 72, 238, 29}, true},
    {kNone, K::Label, "Frequency:", {14, 84, 36, 8}, true},
    {kNone, K::Label, "Gain:", {113, 84, 18, 8}, true},
    {kNone, K::GroupBox, "Band 2", {7, 106, 238, 29}, true},
    {kNone, K::Label, "Frequency:", {14, 117, 36, 8}, true},
    {kNone, K::Label, "Gain:", {113, 117, 18, 8}, true},
    {kNone, K::GroupBox, "High Shelf", {7, 141, 238, 29}, true},
    {kNone, K::Label, "Frequency:", {14, 154, 36, 8}, true},
    {kNone, K::Label, "Gain:", {113, 154, 18, 8}, true},
    {kNone, K::Label, "Lowpass:", {7, 25, 31, 8}, true},
};

PixelRect ToPixels(DluRect rect, double scale) {
    const auto x = [scale](int dlu) { return static_cast<int>(std::lround(dlu * kPixelsPerDluX * scale)); };
    const auto y = [scale](int dlu) { return static_cast<int>(std::lround(dlu * kPixelsPerDluY * scale)); };
    return {x(rect.x), y(rect.y), x(rect.x + rect.width) - x(rect.x), y(rect.y + rect.height) - y(rect.y)};
}

int TextRoomDlu(int controlIndex) {
    const ControlTemplate& self = kDialogControls[controlIndex];
    if (self.kind != ControlKind::Label) return self.rect.width;
    constexpr int kGapDlu = 2;
    int room = kDialogRect.width - kGapDlu - self.rect.x;
    for (const ControlTemplate& other : kDialogControls) {
        if (!other.visible || other.kind == ControlKind::GroupBox || other.rect.x <= self.rect.x) continue;
        const int otherHeight = other.kind == ControlKind::List ? kListFieldHeightDlu : other.rect.height;
        const bool sameRow =
            other.rect.y < self.rect.y + self.rect.height && self.rect.y < other.rect.y + otherHeight;
        if (sameRow) room = std::min(room, other.rect.x - kGapDlu - self.rect.x);
    }
    return std::max(room, self.rect.width);
}

}  // namespace tolvar
