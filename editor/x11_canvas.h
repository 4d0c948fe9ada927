#pragma once
// A picture that cairo draws in the editor's own memory and that is then put
// on an X window. Drawing in memory keeps cairo away from the X connection:
// no server-side fonts or pictures to clean up when the host destroys the
// window first, and none of cairo's X device locks, which it takes in an
// order that differs between drawing and closing.
#include <X11/Xlib.h>
#include <cairo.h>

namespace tolvar {

class X11Canvas {
public:
    X11Canvas(Display* display, Visual* visual, int depth, int width, int height);
    ~X11Canvas();
    X11Canvas(const X11Canvas&) = delete;
    X11Canvas& operator=(const X11Canvas&) = delete;

    // A context for drawing the picture; the caller destroys it before Show.
    cairo_t* Begin() { return cairo_create(surface); }
    // Puts the picture on target (a window of the canvas's visual and depth) at its origin.
    void Show(Drawable target);

private:
    void ConvertPixels();

    Display* display;
    cairo_surface_t* surface;
    XImage* image = nullptr;
    GC gc = nullptr;
    bool sharesPixels = false;  // the image shows cairo's own pixels, no conversion
};

}  // namespace tolvar
