#include "editor/desktop_scale.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tolvar {
namespace {

constexpr double kBaseDpi = 96.0;

// A finite positive number filling the text up to spaces, or 0.
double PositiveNumber(const char* text, const char* end) {
    while (text < end && (*text == ' ' || *text == '\t')) ++text;
    if (text == end) return 0.0;
    char* stop = nullptr;
    errno = 0;
    const double value = std::strtod(text, &stop);
    while (stop < end && (*stop == ' ' || *stop == '\t')) ++stop;
    if (errno != 0 || stop != end || !std::isfinite(value) || value <= 0.0) return 0.0;
    return value;
}

// The value of "Xft.dpi:" among the resource lines, or 0.
double XftDpi(const char* resources) {
    static constexpr char kName[] = "Xft.dpi:";
    for (const char* line = resources; line && *line;) {
        const char* end = std::strchr(line, '\n');
        if (!end) end = line + std::strlen(line);
        if (static_cast<size_t>(end - line) > sizeof kName - 1 && std::strncmp(line, kName, sizeof kName - 1) == 0) {
            return PositiveNumber(line + sizeof kName - 1, end);
        }
        line = *end ? end + 1 : end;
    }
    return 0.0;
}

}  // namespace

double DesktopScale(const char* xResources, const char* gdkScale) {
    const double fromDpi = XftDpi(xResources) / kBaseDpi;
    const double fromGdk = gdkScale ? PositiveNumber(gdkScale, gdkScale + std::strlen(gdkScale)) : 0.0;
    const double wanted = std::clamp(std::max(fromDpi, fromGdk), kMinEditorScale, kMaxEditorScale);
    return std::round(wanted / kEditorScaleStep) * kEditorScaleStep;
}

}  // namespace tolvar
