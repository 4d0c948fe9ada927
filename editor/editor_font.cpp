#include "editor/editor_font.h"

#include <algorithm>
#include <cmath>

#include "editor/dialog_layout.h"
#include "params/param_choices.h"
#include "params/param_info.h"

namespace tolvar {
namespace {

// Condensed, because at the dialog font's size it fits the template as the
// Windows font does; where it is missing fontconfig gives the desktop's sans
// face, and the size shrinks to fit.
constexpr char kFamily[] = "DejaVu Sans Condensed";
// "MS Shell Dlg" at 8 points on a 96 dpi screen: an 11-pixel em in a 13-pixel line.
constexpr double kDialogFontPixels = 11.0;
constexpr int kFitRounds = 4;

int ListParamOf(int controlId) {
    for (int i = 0; i < kParamCount; ++i) {
        if (kParamTable[i].controlId == controlId && !IsSwitchParam(i)) return i;
    }
    return -1;
}

// Calls visit(text, room in pixels) for every text the editor draws.
template <class Visit>
void ForEachText(double scale, const ControlMetrics& metrics, Visit&& visit) {
    for (int i = 0; i < kDialogControlCount; ++i) {
        const ControlTemplate& control = kDialogControls[i];
        const PixelRect rect = ToPixels(control.rect, scale);
        switch (control.kind) {
            case ControlKind::Label: visit(control.text, TextRoomDlu(i) * kPixelsPerDluX * scale); break;
            case ControlKind::CheckBox:
                visit(control.text, rect.width - metrics.checkBox - metrics.checkTextGap);
                break;
            case ControlKind::GroupBox:
                visit(control.text, rect.width - 2.0 * (metrics.groupTitleIndent + metrics.groupTitlePadding));
                break;
            case ControlKind::List: {
                const int param = ListParamOf(control.id);
                const double room = rect.width - metrics.listButton - 2.0 * (metrics.textPadding + metrics.line);
                char text[kChoiceTextBytes];
                for (int choice = 0; choice < ChoiceListLength(param); ++choice) {
                    FormatChoiceText(param, choice, text, sizeof text);
                    visit(text, room);
                }
                break;
            }
        }
    }
}

}  // namespace

EditorFont::EditorFont(double scale, const ControlMetrics& metrics)
    : face(cairo_toy_font_face_create(kFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL)),
      options(cairo_font_options_create()),
      scratchSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1)),
      scratch(cairo_create(scratchSurface)) {
    // Grey antialiasing with slight hinting: sharp stems without colour
    // fringes, and whole-pixel advances so that measured and drawn widths agree.
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    SetSize(kDialogFontPixels * scale);
    for (int round = 0; round < kFitRounds; ++round) {
        const double worst = WorstFit(scale, metrics);
        if (worst <= 1.0) break;
        SetSize(std::floor(size / worst * 2.0) / 2.0);  // half pixels, so each round shrinks
    }
}

EditorFont::~EditorFont() {
    cairo_destroy(scratch);
    cairo_surface_destroy(scratchSurface);
    cairo_font_options_destroy(options);
    cairo_font_face_destroy(face);
}

void EditorFont::Use(cairo_t* cr) const {
    cairo_set_font_face(cr, face);
    cairo_set_font_size(cr, size);
    cairo_set_font_options(cr, options);
}

void EditorFont::SetSize(double pixels) {
    size = pixels;
    Use(scratch);
    cairo_font_extents_t extents;
    cairo_font_extents(scratch, &extents);
    ascent = extents.ascent;
    descent = extents.descent;
}

double EditorFont::TextWidth(const char* text) const {
    cairo_text_extents_t extents;
    cairo_text_extents(scratch, text, &extents);
    return extents.x_advance;
}

double EditorFont::WorstFit(double scale, const ControlMetrics& metrics) const {
    double worst = 0.0;
    ForEachText(scale, metrics,
                [&](const char* text, double room) { worst = std::max(worst, TextWidth(text) / room); });
    return worst;
}

}  // namespace tolvar
