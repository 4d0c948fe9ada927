#pragma once
// The editor on X11: a child of the host's window, on a display connection of
// its own, whose own thread handles the connection's events, the refresh timer
// and the drawing. The host's thread opens and closes it; nothing of the
// host's connection is ever used. Errors on the editor's connection (a parent
// the host has already destroyed) are caught on that connection alone.
#include <X11/Xlib.h>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

#include "editor/control_metrics.h"
#include "editor/drawn_controls.h"
#include "editor/editor_font.h"
#include "editor/x11_canvas.h"
#include "editor/x11_editor_input.h"
#include "editor/x11_error_trap.h"
#include "editor/x11_list_popup.h"

namespace tolvar {

struct EqInstance;

class X11EditorWindow {
public:
    // Opens the editor of instance inside parent (an X window id) on the display
    // that DISPLAY names, and shows it. Null when there is no display, parent is
    // not a window id, or the window cannot be made.
    static std::unique_ptr<X11EditorWindow> Open(EqInstance& instance, unsigned long parent);

    // Stops the event thread, tells the editor's logic and takes the windows
    // down, also when the host has destroyed the parent already.
    ~X11EditorWindow();
    X11EditorWindow(const X11EditorWindow&) = delete;
    X11EditorWindow& operator=(const X11EditorWindow&) = delete;

    double Scale() const { return scale; }

private:
    X11EditorWindow(EqInstance& instance, Display* display);
    bool Create(unsigned long parent);
    void Run();
    void Dispatch(XEvent& event);
    void DispatchToPopup(const XEvent& event);
    void Paint();
    void Wake();

    EqInstance& instance;
    Display* display;
    X11ErrorTrap trap;
    int wakeFd = -1;
    double scale = 1.0;
    X11Place place{};
    Window window = 0;
    std::optional<X11Canvas> canvas;
    std::optional<ControlMetrics> metrics;
    std::optional<EditorFont> font;
    std::optional<DrawnControls> controls;
    std::optional<X11ListPopup> popup;
    std::optional<X11EditorInput> input;
    bool initialised = false;     // the logic knows the window
    bool windowGone = false;      // destroyed with the host's window
    bool needsPaint = true;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

}  // namespace tolvar
