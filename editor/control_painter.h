#pragma once
// Draws the editor's controls with cairo, in the plain look of the standard
// controls of the Windows dialog: labels, group boxes, closed drop-down lists,
// check boxes, and an open list's rows. Coordinates are pixels of the surface
// drawn on; rectangles are whole pixels, so that lines fall on pixels.
#include <cairo.h>

#include <string>
#include <vector>

#include "editor/control_metrics.h"
#include "editor/dialog_layout.h"
#include "editor/editor_font.h"

namespace tolvar {

struct PaintTools {
    cairo_t* cr;
    const EditorFont& font;
    const ControlMetrics& metrics;
};

void PaintFace(const PaintTools& tools, int width, int height);
void PaintLabel(const PaintTools& tools, PixelRect rect, const char* text);
void PaintGroupBox(const PaintTools& tools, PixelRect rect, const char* text);
// A closed list showing text ("" for no selection); a focused list highlights it.
void PaintListField(const PaintTools& tools, PixelRect field, const std::string& text, bool focused);
void PaintCheckBox(const PaintTools& tools, PixelRect rect, const char* text, bool checked, bool focused);

// An open list: rows first .. first + rows - 1 of entries, one highlighted,
// and a scroll bar when not every entry shows.
struct ListPopupView {
    int width = 0, height = 0;
    int rowHeight = 0;
    int first = 0, rows = 0;
    int highlighted = -1;
    const std::vector<std::string>* entries = nullptr;
};
void PaintListPopup(const PaintTools& tools, const ListPopupView& view);

// Where a popup's scroll bar thumb lies along its track, in pixels.
struct ThumbSpan {
    int top, length;
};
ThumbSpan ScrollThumb(int trackLength, int entries, int rows, int first);

}  // namespace tolvar
