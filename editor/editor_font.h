#pragma once
// The editor's one font, sized so that every text fits the place the dialog
// template gives it: labels, box texts, group titles and every list entry.
// The size starts from the dialog font's (8 points at the desktop's scale) and
// shrinks only when the face that fontconfig finds is wider than expected.
#include <cairo.h>

#include "editor/control_metrics.h"

namespace tolvar {

class EditorFont {
public:
    EditorFont(double scale, const ControlMetrics& metrics);
    ~EditorFont();
    EditorFont(const EditorFont&) = delete;
    EditorFont& operator=(const EditorFont&) = delete;

    // Sets the face, size and rendering options on cr.
    void Use(cairo_t* cr) const;

    double Size() const { return size; }
    double Ascent() const { return ascent; }
    double LineHeight() const { return ascent + descent; }
    double TextWidth(const char* text) const;

    // How far the widest text overflows its room: at most 1 when all fit.
    double WorstFit(double scale, const ControlMetrics& metrics) const;

private:
    void SetSize(double pixels);

    cairo_font_face_t* face;
    cairo_font_options_t* options;
    cairo_surface_t* scratchSurface;  // for measuring only
    cairo_t* scratch;
    double size = 0.0;
    double ascent = 0.0;
    double descent = 0.0;
};

}  // namespace tolvar
