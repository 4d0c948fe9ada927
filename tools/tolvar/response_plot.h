#pragma once
// The response drawn as a PNG picture with cairo: magnitude in dB above, phase
// in degrees (unwrapped) below, both over a logarithmic frequency axis from 20 Hz to 20 kHz,
// with grid lines, axis labels, and the title and settings on top.
#include <string>
#include <vector>

#include "tools/tolvar/frequency_response.h"

namespace tolvar::cli {

struct PlotCaption {
    std::string title;     // one line, e.g. "Tolvar at 48000 Hz"
    std::string settings;  // wrapped over as many lines as it needs
    std::string note;      // one smaller line, e.g. the latency removed
};

// What a build without cairo (the Windows build) says when asked to draw.
inline constexpr char kPlotUnavailable[] =
    "this build of tolvar cannot draw: it was built without cairo (--csv writes the response as numbers)";

// False in a build without cairo; PlotResponse then throws UsageError(kPlotUnavailable).
bool CanPlotResponse();

// Writes the picture to `path` (never a partial file; temporary_file.h).
// Throws CliError when it cannot be written.
void PlotResponse(const std::string& path, const std::vector<ResponsePoint>& points, const PlotCaption& caption);

}  // namespace tolvar::cli
