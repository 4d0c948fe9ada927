#pragma once
// The editor's thirty controls where the Windows dialog template puts them, in
// dialog units, for the window systems on which the editor draws its own
// controls; and the mapping of dialog units to pixels there.
namespace tolvar {

enum class ControlKind { List, CheckBox, GroupBox, Label };

// A rectangle in dialog units: 4 per average character width, 8 per line.
struct DluRect {
    int x, y, width, height;
};

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool Contains(int px, int py) const { return px >= x && px < x + width && py >= y && py < y + height; }
};

constexpr int kNoControlId = -1;  // labels and group boxes

struct ControlTemplate {
    int id;  // the parameter table's control id, or kNoControlId
    ControlKind kind;
    const char* text;
    DluRect rect;  // a list's height is that of its open drop-down
    bool visible;
};

constexpr int kDialogControlCount = 30;
extern const ControlTemplate kDialogControls[kDialogControlCount];
constexpr DluRect kDialogRect = {0, 0, 252, 193};

// The closed list's height and the rows of its drop-down, in dialog units.
constexpr int kListFieldHeightDlu = 13;
constexpr int kListRowHeightDlu = 9;

// Pixels per dialog unit at scale 1: the dialog font's average character is 6
// pixels wide and 13 high ("MS Shell Dlg" at 8 points on a 96 dpi screen).
constexpr double kPixelsPerDluX = 6.0 / 4.0;
constexpr double kPixelsPerDluY = 13.0 / 8.0;

// The rectangle in pixels at the given scale; edges are rounded, so that
// neighbouring controls keep their gaps.
PixelRect ToPixels(DluRect rect, double scale);

// The widest a control's text may be drawn, in dialog units: its own width,
// but a label may use its row up to two units short of the next control.
int TextRoomDlu(int controlIndex);

}  // namespace tolvar
