#include "tools/tolvar/response_plot.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>

#include "tools/tolvar/cli_error.h"
#include "tools/tolvar/temporary_file.h"

namespace tolvar::cli {
namespace {

constexpr int kWidth = 1100;
constexpr int kHeight = 760;
constexpr double kLeft = 80.0, kRight = kWidth - 30.0;
constexpr double kLowHz = 20.0, kHighHz = 20000.0;
constexpr double kPhaseHeight = 130.0, kPanelGap = 40.0, kBottom = kHeight - 60.0;
constexpr double kFont = 13.0;

struct Rect {
    double left, top, right, bottom;
};

struct Range {
    double low, high, step;
};

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

double XOf(double hz, const Rect& r) {
    return r.left + (r.right - r.left) * std::log10(hz / kLowHz) / std::log10(kHighHz / kLowHz);
}

double YOf(double value, const Range& range, const Rect& r) {
    return r.bottom - (r.bottom - r.top) * (value - range.low) / (range.high - range.low);
}

// Whole multiples of the step around the data in the audible band, never less
// than -12 .. +6 dB, never more than 72 dB tall.
Range MagnitudeRange(const std::vector<ResponsePoint>& points) {
    double low = 0.0, high = 0.0;
    for (const ResponsePoint& p : points) {
        if (p.frequency < kLowHz || p.frequency > kHighHz) continue;
        low = std::min(low, p.magnitudeDb);
        high = std::max(high, p.magnitudeDb);
    }
    const double step = high - low > 48.0 ? 12.0 : high - low > 24.0 ? 6.0 : 3.0;
    const double top = std::max(6.0, std::ceil((high + 1.0) / step) * step);
    const double bottom = std::max(top - 72.0, std::min(-12.0, std::floor((low - 1.0) / step) * step));
    return {bottom, top, step};
}

// Whole multiples of 90 degrees or of a larger power-of-two multiple of it,
// at most six steps, around the unwrapped phase in the audible band.
Range PhaseRange(const std::vector<ResponsePoint>& points) {
    double low = 0.0, high = 0.0;
    for (const ResponsePoint& p : points) {
        if (p.frequency < kLowHz || p.frequency > kHighHz) continue;
        low = std::min(low, p.phaseDegrees);
        high = std::max(high, p.phaseDegrees);
    }
    double step = 90.0;
    while ((std::ceil(high / step) - std::floor(low / step)) > 6.0) step *= 2.0;
    const double bottom = std::min(-step, std::floor(low / step) * step);
    const double top = std::max(step, std::ceil(high / step) * step);
    return {bottom, top, step};
}

std::string FrequencyLabel(double hz) {
    return hz >= 1000.0 ? std::to_string(static_cast<int>(hz / 1000.0)) + "k" : std::to_string(static_cast<int>(hz));
}

void SetGrey(cairo_t* cr, double level) { cairo_set_source_rgb(cr, level, level, level); }

void ShowText(cairo_t* cr, const std::string& text, double x, double y, double alignX) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    cairo_move_to(cr, x - alignX * extents.x_advance, y);
    cairo_show_text(cr, text.c_str());
}

void DrawLine(cairo_t* cr, double x0, double y0, double x1, double y1) {
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
}

void DrawFrequencyGrid(cairo_t* cr, const Rect& r, bool labels) {
    cairo_set_line_width(cr, 1.0);
    for (double decade = 10.0; decade <= kHighHz; decade *= 10.0) {
        for (int k = 1; k <= 9; ++k) {
            const double hz = decade * k;
            if (hz < kLowHz || hz > kHighHz) continue;
            SetGrey(cr, k == 1 ? 0.72 : 0.88);
            DrawLine(cr, XOf(hz, r), r.top, XOf(hz, r), r.bottom);
        }
    }
    if (!labels) return;
    SetGrey(cr, 0.15);
    for (double hz : {20.0, 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0, 20000.0})
        ShowText(cr, FrequencyLabel(hz), XOf(hz, r), r.bottom + 18.0, 0.5);
}

void DrawValueGrid(cairo_t* cr, const Rect& r, const Range& range, const char* unit) {
    cairo_set_line_width(cr, 1.0);
    for (double value = range.low; value <= range.high + 1e-9; value += range.step) {
        SetGrey(cr, std::abs(value) < 1e-9 ? 0.55 : 0.82);
        DrawLine(cr, r.left, YOf(value, range, r), r.right, YOf(value, range, r));
        SetGrey(cr, 0.15);
        const std::string label = (value > 0 ? "+" : "") + std::to_string(static_cast<int>(value)) + unit;
        ShowText(cr, label, r.left - 8.0, YOf(value, range, r) + 4.5, 1.0);
    }
}

void DrawCurve(cairo_t* cr, const std::vector<ResponsePoint>& points, const Rect& r, const Range& range,
               double ResponsePoint::*value) {
    cairo_save(cr);
    cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_clip(cr);
    cairo_set_line_width(cr, 2.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (const ResponsePoint& p : points) cairo_line_to(cr, XOf(p.frequency, r), YOf(p.*value, range, r));
    cairo_stroke(cr);
    cairo_restore(cr);
}

void DrawAxisTitle(cairo_t* cr, const std::string& text, double x, double y) {
    cairo_save(cr);
    cairo_move_to(cr, x, y);
    cairo_rotate(cr, -std::numbers::pi / 2);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    cairo_rel_move_to(cr, -extents.x_advance / 2, 0);
    cairo_show_text(cr, text.c_str());
    cairo_restore(cr);
}

// Breaks `text` after commas so that no line is wider than `width`.
std::vector<std::string> Wrapped(cairo_t* cr, const std::string& text, double width) {
    std::vector<std::string> lines(1);
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t comma = text.find(", ", from);
        const std::size_t end = comma == std::string::npos ? text.size() : comma + 2;
        const std::string piece = text.substr(from, end - from);
        cairo_text_extents_t extents;
        cairo_text_extents(cr, (lines.back() + piece).c_str(), &extents);
        if (!lines.back().empty() && extents.x_advance > width) lines.emplace_back();
        lines.back() += piece;
        from = end;
    }
    return lines;
}

// Draws the caption and returns where the plots may begin.
double DrawCaption(cairo_t* cr, const PlotCaption& caption) {
    SetGrey(cr, 0.05);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 20.0);
    ShowText(cr, caption.title, kLeft, 34.0, 0.0);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 14.0);
    double y = 58.0;
    for (const std::string& line : Wrapped(cr, caption.settings, kRight - kLeft)) {
        ShowText(cr, line, kLeft, y, 0.0);
        y += 19.0;
    }
    cairo_set_font_size(cr, 12.0);
    SetGrey(cr, 0.35);
    ShowText(cr, caption.note, kLeft, y, 0.0);
    cairo_set_font_size(cr, kFont);
    return y + 22.0;
}

void DrawPanelFrame(cairo_t* cr, const Rect& r) {
    SetGrey(cr, 0.3);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_stroke(cr);
}

// Cairo and fontconfig keep the fonts they loaded for the life of the process;
// the command draws one picture, so they let go of them once it is written,
// and leak checkers see a clean exit.
void ReleaseFontCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}

void DrawAndWrite(const std::string& path, const std::vector<ResponsePoint>& points, const PlotCaption& caption) {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight), &cairo_surface_destroy);
    Context context(cairo_create(surface.get()), &cairo_destroy);
    cairo_t* cr = context.get();
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_paint(cr);

    const double top = DrawCaption(cr, caption);
    const Rect phase{kLeft, kBottom - kPhaseHeight, kRight, kBottom};
    const Rect magnitude{kLeft, top, kRight, phase.top - kPanelGap};
    const Range magnitudeRange = MagnitudeRange(points);
    const Range phaseRange = PhaseRange(points);

    DrawFrequencyGrid(cr, magnitude, false);
    DrawValueGrid(cr, magnitude, magnitudeRange, " dB");
    cairo_set_source_rgb(cr, 0.08, 0.32, 0.66);
    DrawCurve(cr, points, magnitude, magnitudeRange, &ResponsePoint::magnitudeDb);
    DrawPanelFrame(cr, magnitude);

    DrawFrequencyGrid(cr, phase, true);
    DrawValueGrid(cr, phase, phaseRange, "\xC2\xB0");
    cairo_set_source_rgb(cr, 0.80, 0.40, 0.05);
    DrawCurve(cr, points, phase, phaseRange, &ResponsePoint::phaseDegrees);
    DrawPanelFrame(cr, phase);

    SetGrey(cr, 0.15);
    ShowText(cr, "Frequency (Hz)", (kLeft + kRight) / 2, kHeight - 18.0, 0.5);
    DrawAxisTitle(cr, "Magnitude (dB)", 22.0, (magnitude.top + magnitude.bottom) / 2);
    DrawAxisTitle(cr, "Phase", 22.0, (phase.top + phase.bottom) / 2);

    TemporaryFileBeside file(path);
    close(file.TakeDescriptor());
    if (cairo_surface_write_to_png(surface.get(), file.Path().c_str()) != CAIRO_STATUS_SUCCESS)
        throw CliError("cannot write " + path);
    file.Commit();
}

}  // namespace

bool CanPlotResponse() { return true; }

void PlotResponse(const std::string& path, const std::vector<ResponsePoint>& points, const PlotCaption& caption) {
    try {
        DrawAndWrite(path, points, caption);
    } catch (...) {
        ReleaseFontCaches();
        throw;
    }
    ReleaseFontCaches();
}

}  // namespace tolvar::cli
