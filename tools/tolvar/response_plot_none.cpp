// The response picture where the build has no cairo (the Windows build): the
// command says so rather than writing something that is not a picture.
#include "tools/tolvar/cli_error.h"
#include "tools/tolvar/response_plot.h"

namespace tolvar::cli {

bool CanPlotResponse() { return false; }

void PlotResponse(const std::string&, const std::vector<ResponsePoint>&, const PlotCaption&) {
    throw UsageError(kPlotUnavailable);
}

}  // namespace tolvar::cli
