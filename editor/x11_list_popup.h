#pragma once
// A list's drop-down on X11: an override-redirect window below the list (above
// it when the screen has no room below) that holds the pointer and the keyboard
// while it is open, so that a click anywhere else closes it, as a menu does.
// The row under the pointer lights up; the arrows, Home, End and the page keys
// move the light, Enter picks, Escape cancels, the wheel and the scroll bar
// scroll. All on the editor's thread, over the editor's connection.
#include <X11/Xlib.h>

#include <optional>

#include "editor/control_metrics.h"
#include "editor/drawn_controls.h"
#include "editor/editor_font.h"
#include "editor/x11_canvas.h"

namespace tolvar {

// Where the editor's windows live: what the popup needs to create its own.
struct X11Place {
    Display* display;
    Window root;
    Visual* visual;
    int depth;
    Colormap colormap;
    int screenWidth, screenHeight;
};

class X11ListPopup {
public:
    X11ListPopup(const X11Place& place, const EditorFont& font, const ControlMetrics& metrics, double scale);
    ~X11ListPopup() { Close(); }
    X11ListPopup(const X11ListPopup&) = delete;
    X11ListPopup& operator=(const X11ListPopup&) = delete;

    // Opens below list, which lies in owner; time is that of the event that asked.
    void Open(Window owner, const ControlState& list, Time time);
    void Close();
    bool IsOpen() const { return window != 0; }
    bool Owns(Window other) const { return window != 0 && other == window; }
    int ControlId() const { return controlId; }

    enum class Outcome { StillOpen, Picked, Cancelled };
    // One event of the popup's window; after Picked, picked() holds the entry.
    Outcome Handle(const XEvent& event);
    int Picked() const { return highlighted; }

private:
    int Count() const { return static_cast<int>(entries.size()); }
    int RowAt(int x, int y) const;  // -1 outside the rows
    bool InScrollBar(int x, int y) const;
    void Highlight(int entry);      // lights entry up and scrolls it into view
    void ScrollTo(int firstRow);
    void ScrollToPointer(int y);
    Outcome Key(const XKeyEvent& event);
    void Paint();

    X11Place place;
    const EditorFont& font;
    const ControlMetrics& metrics;
    const int rowHeight;
    const int maxRows;

    Window window = 0;
    std::optional<X11Canvas> canvas;
    std::vector<std::string> entries;
    int controlId = kNoControlId;
    int width = 0, height = 0, rows = 0;
    int first = 0;
    int highlighted = -1;
    bool draggingThumb = false;
};

}  // namespace tolvar
