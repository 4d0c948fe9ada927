#pragma once
// The scale the desktop asks applications to draw at: 1 on a 96 dpi screen,
// 2 on a screen set up for double-size text and controls.
namespace tolvar {

constexpr double kMinEditorScale = 1.0;
constexpr double kMaxEditorScale = 4.0;
constexpr double kEditorScaleStep = 0.25;

// From the X resources the desktop publishes (the text of the root window's
// RESOURCE_MANAGER property; null when there is none) and the GDK_SCALE
// environment variable (null when unset): Xft.dpi / 96 or GDK_SCALE, whichever
// is larger (a desktop that sets both counts the window scale in the dpi
// already), rounded to a quarter and kept within 1 to 4. Malformed values count
// as absent.
double DesktopScale(const char* xResources, const char* gdkScale);

}  // namespace tolvar
