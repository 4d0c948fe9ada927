#pragma once
// A window of the stand-in host on Linux, on a display connection of the
// host's own: the parent a plug-in's editor opens in, as a workstation gives
// one. effEditOpen gets its X window id in the pointer (EditorParent).
#include <X11/Xlib.h>

#include <memory>
#include <string>

namespace tolvar {

class X11HostWindow {
public:
    // A mapped top-level window of the given size on the display that DISPLAY
    // names. Null, with the reason in *error, when there is no display.
    static std::unique_ptr<X11HostWindow> Open(int width, int height, std::string* error);

    ~X11HostWindow();  // the window (if still there), then the connection
    X11HostWindow(const X11HostWindow&) = delete;
    X11HostWindow& operator=(const X11HostWindow&) = delete;

    Display* Connection() const { return display; }
    Window WindowId() const { return window; }
    void* EditorParent() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }

    // Sizes the window, as a host fits it to the editor's rectangle.
    void Resize(int width, int height);
    // Takes the window down, and with it any editor inside; the connection
    // stays open.
    void Destroy();

private:
    X11HostWindow(Display* connection, Window id) : display(connection), window(id) {}

    Display* display;
    Window window;
};

}  // namespace tolvar
