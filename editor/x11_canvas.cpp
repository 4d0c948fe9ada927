#include "editor/x11_canvas.h"

#include <X11/Xutil.h>

#include <bit>
#include <cstdint>
#include <cstdlib>

namespace tolvar {
namespace {

// Scales an 8-bit channel to the bits of mask and puts it there.
unsigned long Channel(uint32_t value8, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const unsigned long top = mask >> shift;
    return ((value8 * top + 127) / 255) << shift;
}

}  // namespace

X11Canvas::X11Canvas(Display* connection, Visual* visual, int depth, int width, int height)
    : display(connection), surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)) {
    const int stride = cairo_image_surface_get_stride(surface);
    image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image) return;
    // The usual true-colour screen keeps pixels as cairo does: 8 bits each of
    // red, green and blue in a 32-bit word. Its image then shares cairo's
    // memory, in this machine's byte order, which Xlib converts if the server's differs.
    sharesPixels = image->bits_per_pixel == 32 && visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
                   visual->blue_mask == 0xFF && image->bytes_per_line == stride;
    if (sharesPixels) {
        image->data = reinterpret_cast<char*>(cairo_image_surface_get_data(surface));
        image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    } else {
        image->data = static_cast<char*>(std::calloc(static_cast<size_t>(image->bytes_per_line), height));
    }
}

X11Canvas::~X11Canvas() {
    if (gc) XFreeGC(display, gc);
    if (image) {
        if (sharesPixels) image->data = nullptr;  // cairo's, freed with the surface
        XDestroyImage(image);
    }
    cairo_surface_destroy(surface);
}

void X11Canvas::ConvertPixels() {
    const unsigned char* rows = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image->height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(rows + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < image->width; ++x) {
            const uint32_t rgb = row[x];
            XPutPixel(image, x, y,
                      Channel((rgb >> 16) & 0xFF, image->red_mask) | Channel((rgb >> 8) & 0xFF, image->green_mask) |
                          Channel(rgb & 0xFF, image->blue_mask));
        }
    }
}

void X11Canvas::Show(Drawable target) {
    if (!image || !image->data) return;
    cairo_surface_flush(surface);
    if (!sharesPixels) ConvertPixels();
    if (!gc) gc = XCreateGC(display, target, 0, nullptr);
    XPutImage(display, target, gc, image, 0, 0, 0, 0, static_cast<unsigned>(image->width),
              static_cast<unsigned>(image->height));
}

}  // namespace tolvar
