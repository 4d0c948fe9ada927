#include "editor/control_painter.h"

#include <algorithm>
#include <cmath>

namespace tolvar {
namespace {

struct Colour {
    double r, g, b;
};
constexpr Colour Rgb(unsigned rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}
constexpr Colour kFace = Rgb(0xF0F0F0);
constexpr Colour kText = Rgb(0x000000);
constexpr Colour kField = Rgb(0xFFFFFF);
constexpr Colour kFieldBorder = Rgb(0x7A7A7A);
constexpr Colour kButtonFace = Rgb(0xE1E1E1);
constexpr Colour kGlyph = Rgb(0x303030);
constexpr Colour kGroupLine = Rgb(0xB4B4B4);
constexpr Colour kHighlight = Rgb(0x0078D7);
constexpr Colour kHighlightText = Rgb(0xFFFFFF);
constexpr Colour kCheckBorder = Rgb(0x333333);
constexpr Colour kPopupBorder = Rgb(0x646464);
constexpr Colour kScrollTrack = Rgb(0xF0F0F0);
constexpr Colour kScrollThumb = Rgb(0xC2C2C2);

void SetColour(cairo_t* cr, Colour colour) { cairo_set_source_rgb(cr, colour.r, colour.g, colour.b); }

void Fill(cairo_t* cr, PixelRect rect, Colour colour) {
    SetColour(cr, colour);
    cairo_rectangle(cr, rect.x, rect.y, rect.width, rect.height);
    cairo_fill(cr);
}

// A frame of whole pixels just inside rect.
void Frame(const PaintTools& tools, PixelRect rect, Colour colour) {
    const double half = tools.metrics.line / 2.0;
    SetColour(tools.cr, colour);
    cairo_set_line_width(tools.cr, tools.metrics.line);
    cairo_rectangle(tools.cr, rect.x + half, rect.y + half, rect.width - 2 * half, rect.height - 2 * half);
    cairo_stroke(tools.cr);
}

PixelRect Inset(PixelRect rect, int by) {
    return {rect.x + by, rect.y + by, rect.width - 2 * by, rect.height - 2 * by};
}

// Text from x on a whole-pixel baseline; top: the top of its line, or centred in a rect.
void Text(const PaintTools& tools, double x, double top, const char* text, Colour colour) {
    SetColour(tools.cr, colour);
    cairo_move_to(tools.cr, std::round(x), std::round(top + tools.font.Ascent()));
    cairo_show_text(tools.cr, text);
}

double CentredTop(const PaintTools& tools, PixelRect rect) {
    return rect.y + (rect.height - tools.font.LineHeight()) / 2.0;
}

void DownArrow(cairo_t* cr, PixelRect box, double scale) {
    const double halfWidth = 3.5 * scale, height = 3.5 * scale;
    const double cx = box.x + box.width / 2.0, top = box.y + (box.height - height) / 2.0;
    SetColour(cr, kGlyph);
    cairo_move_to(cr, cx - halfWidth, top);
    cairo_line_to(cr, cx + halfWidth, top);
    cairo_line_to(cr, cx, top + height);
    cairo_close_path(cr);
    cairo_fill(cr);
}

// A dotted frame around rect, as the focused control shows.
void FocusFrame(const PaintTools& tools, PixelRect rect) {
    const double dash = tools.metrics.line;
    cairo_save(tools.cr);
    cairo_set_dash(tools.cr, &dash, 1, 0.0);
    Frame(tools, rect, kText);
    cairo_restore(tools.cr);
}

}  // namespace

void PaintFace(const PaintTools& tools, int width, int height) { Fill(tools.cr, {0, 0, width, height}, kFace); }

void PaintLabel(const PaintTools& tools, PixelRect rect, const char* text) {
    Text(tools, rect.x, rect.y, text, kText);
}

void PaintGroupBox(const PaintTools& tools, PixelRect rect, const char* text) {
    const ControlMetrics& m = tools.metrics;
    const int frameTop = rect.y + static_cast<int>(tools.font.LineHeight() / 2.0);
    Frame(tools, {rect.x, frameTop, rect.width, rect.height - (frameTop - rect.y)}, kGroupLine);
    // The title interrupts the top line.
    const int titleWidth = static_cast<int>(std::ceil(tools.font.TextWidth(text)));
    Fill(tools.cr,
         {rect.x + m.groupTitleIndent, rect.y, titleWidth + 2 * m.groupTitlePadding,
          static_cast<int>(std::ceil(tools.font.LineHeight()))},
         kFace);
    Text(tools, rect.x + m.groupTitleIndent + m.groupTitlePadding, rect.y, text, kText);
}

void PaintListField(const PaintTools& tools, PixelRect field, const std::string& text, bool focused) {
    const ControlMetrics& m = tools.metrics;
    Fill(tools.cr, field, kField);
    const PixelRect button = {field.x + field.width - m.listButton, field.y, m.listButton, field.height};
    Fill(tools.cr, Inset(button, m.line), kButtonFace);
    Fill(tools.cr, {button.x, field.y, m.line, field.height}, kFieldBorder);
    Frame(tools, field, kFieldBorder);
    DownArrow(tools.cr, button, m.listButton / 17.0);

    PixelRect textArea = Inset({field.x, field.y, field.width - m.listButton, field.height}, m.line + m.line);
    Colour ink = kText;
    if (focused) {
        Fill(tools.cr, textArea, kHighlight);
        ink = kHighlightText;
    }
    cairo_save(tools.cr);
    cairo_rectangle(tools.cr, textArea.x, textArea.y, textArea.width, textArea.height);
    cairo_clip(tools.cr);
    Text(tools, field.x + m.line + m.textPadding, CentredTop(tools, field), text.c_str(), ink);
    cairo_restore(tools.cr);
}

void PaintCheckBox(const PaintTools& tools, PixelRect rect, const char* text, bool checked, bool focused) {
    const ControlMetrics& m = tools.metrics;
    const PixelRect box = {rect.x, rect.y + (rect.height - m.checkBox) / 2, m.checkBox, m.checkBox};
    Fill(tools.cr, box, kField);
    Frame(tools, box, kCheckBorder);
    if (checked) {
        const double s = m.checkBox / 13.0;
        SetColour(tools.cr, kText);
        cairo_set_line_width(tools.cr, 1.8 * s);
        cairo_move_to(tools.cr, box.x + 3.0 * s, box.y + 6.5 * s);
        cairo_line_to(tools.cr, box.x + 5.5 * s, box.y + 9.0 * s);
        cairo_line_to(tools.cr, box.x + 10.0 * s, box.y + 4.0 * s);
        cairo_stroke(tools.cr);
    }
    const int textX = box.x + m.checkBox + m.checkTextGap;
    Text(tools, textX, CentredTop(tools, rect), text, kText);
    if (focused) {
        const int width = static_cast<int>(std::ceil(tools.font.TextWidth(text)));
        const int height = static_cast<int>(std::ceil(tools.font.LineHeight()));
        FocusFrame(tools, {textX - m.line, static_cast<int>(CentredTop(tools, rect)), width + 2 * m.line, height});
    }
}

ThumbSpan ScrollThumb(int trackLength, int entries, int rows, int first) {
    if (entries <= rows || entries <= 0) return {0, trackLength};
    const int length = std::max(trackLength * rows / entries, trackLength / 8);
    const int top = (trackLength - length) * first / (entries - rows);
    return {top, length};
}

void PaintListPopup(const PaintTools& tools, const ListPopupView& view) {
    const ControlMetrics& m = tools.metrics;
    const int count = static_cast<int>(view.entries->size());
    const bool scrolls = count > view.rows;
    const PixelRect inside = Inset({0, 0, view.width, view.height}, m.line);
    Fill(tools.cr, inside, kField);
    Frame(tools, {0, 0, view.width, view.height}, kPopupBorder);
    const int rowWidth = inside.width - (scrolls ? m.scrollBar : 0);
    for (int row = 0; row < view.rows && view.first + row < count; ++row) {
        const int entry = view.first + row;
        const PixelRect rect = {inside.x, inside.y + row * view.rowHeight, rowWidth, view.rowHeight};
        const bool lit = entry == view.highlighted;
        if (lit) Fill(tools.cr, rect, kHighlight);
        Text(tools, rect.x + m.textPadding, CentredTop(tools, rect), (*view.entries)[entry].c_str(),
             lit ? kHighlightText : kText);
    }
    if (scrolls) {
        const PixelRect track = {inside.x + rowWidth, inside.y, m.scrollBar, inside.height};
        Fill(tools.cr, track, kScrollTrack);
        const ThumbSpan thumb = ScrollThumb(track.height, count, view.rows, view.first);
        Fill(tools.cr, Inset({track.x, track.y + thumb.top, track.width, thumb.length}, 2 * m.line), kScrollThumb);
    }
}

}  // namespace tolvar
