#include "host/x11_host_window.h"

#include <cstdint>

namespace tolvar {

std::unique_ptr<X11HostWindow> X11HostWindow::Open(int width, int height, std::string* error) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        if (error) *error = "cannot open the X display (is DISPLAY set?)";
        return nullptr;
    }
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
                                              static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                              BlackPixel(display, screen), WhitePixel(display, screen));
    XStoreName(display, window, "Tolvar host");
    XMapWindow(display, window);
    XSync(display, False);
    return std::unique_ptr<X11HostWindow>(new X11HostWindow(display, window));
}

X11HostWindow::~X11HostWindow() {
    Destroy();
    XCloseDisplay(display);
}

void X11HostWindow::Resize(int width, int height) {
    if (!window) return;
    XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display, False);
}

void X11HostWindow::Destroy() {
    if (!window) return;
    XDestroyWindow(display, window);
    XSync(display, False);
    window = 0;
}

}  // namespace tolvar
