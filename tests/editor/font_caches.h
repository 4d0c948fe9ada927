#pragma once
// Cairo and fontconfig keep the fonts they loaded for the life of the process.
// A test program, as a host at its exit, lets go of them once no editor is
// open, so that the leak checker sees what the editor itself leaves behind.
#include <cairo.h>
#include <fontconfig/fontconfig.h>

namespace tolvar::test {

inline void ReleaseFontCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}

}  // namespace tolvar::test
