// tolvar response: the effect's frequency response, measured with a unit
// impulse, as CSV and as a picture.
#include <cstdio>
#include <memory>

#include "tools/tolvar/cli_error.h"
#include "tools/tolvar/command_table.h"
#include "tools/tolvar/effect_options.h"
#include "tools/tolvar/effect_session.h"
#include "tools/tolvar/frequency_response.h"
#include "tools/tolvar/output_path.h"
#include "tools/tolvar/plugin_location.h"
#include "tools/tolvar/response_plot.h"
#include "tools/tolvar/temporary_file.h"

namespace tolvar::cli {
namespace {

constexpr int32_t kBlock = 512;
constexpr double kLowestHz = 20.0;
constexpr double kHighestHz = 20000.0;
constexpr int kPointsPerOctave = 48;

struct ResponseOptions {
    EffectOptions effect;
    std::string csv;
    std::string plot;
};

void PrintCsv(std::FILE* out, const std::vector<ResponsePoint>& points) {
    std::fprintf(out, "frequency_hz,magnitude_db,phase_deg,group_delay_ms\n");
    for (const ResponsePoint& p : points)
        std::fprintf(out, "%.4f,%.6f,%.4f,%.6f\n", p.frequency, p.magnitudeDb, p.phaseDegrees, p.groupDelayMs);
}

void WriteCsv(const std::string& path, const std::vector<ResponsePoint>& points) {
    TemporaryFileBeside file(path);
    std::FILE* out = fdopen(file.TakeDescriptor(), "wb");
    if (!out) throw CliError("cannot write " + path);
    PrintCsv(out, points);
    const bool failed = std::ferror(out) != 0;
    if (std::fclose(out) != 0 || failed) throw CliError("cannot write " + path);
    file.Commit();
}

int Response(const ResponseOptions& options) {
    if (!options.plot.empty() && !CanPlotResponse()) throw UsageError(kPlotUnavailable);
    for (const std::string* path : {&options.csv, &options.plot})
        if (!path->empty()) CheckOutputTarget(*path);  // before the work, not after it
    const double rate = options.effect.sampleRate;
    SessionRequest request;
    request.pluginPath = ResolvePluginPath(options.effect.plugin);
    request.settings = options.effect.settings;
    request.sampleRate = rate;
    request.blockSize = kBlock;
    request.fileChannels = 1;
    EffectSession session(request);

    const MeasuredImpulse impulse = MeasureImpulse(session, rate, kBlock);
    const std::vector<ResponsePoint> points =
        EvaluateResponse(impulse, rate, LogFrequencies(kLowestHz, std::min(kHighestHz, 0.5 * rate), kPointsPerOctave));
    const std::string settings = DescribeSettings(session.Settings());
    char note[200];
    std::snprintf(note, sizeof note,
                  "latency %d frames (%.2f ms) at %g Hz, compensated; a unit impulse after a reset: %zu taps, "
                  "%d of them before it",
                  impulse.latency, 1000.0 * impulse.latency / rate, rate, impulse.samples.size(), impulse.origin);
    // With the CSV on stdout, what it measured goes to stderr.
    std::FILE* report = options.csv.empty() && options.plot.empty() ? stderr : stdout;
    if (report == stderr) PrintCsv(stdout, points);
    if (!options.csv.empty()) WriteCsv(options.csv, points);
    if (!options.plot.empty()) {
        char title[120];
        std::snprintf(title, sizeof title, "%s at %g Hz", session.Instance().EffectName().c_str(), rate);
        PlotResponse(options.plot, points, {title, settings, note});
    }
    for (const std::string& warning : session.Warnings())
        std::fprintf(stderr, "tolvar: warning: %s\n", warning.c_str());
    std::fprintf(report, "response at %g Hz, %s\n  %s\n", rate, settings.c_str(), note);
    for (const std::string* path : {&options.csv, &options.plot})
        if (!path->empty()) std::fprintf(report, "  wrote %s\n", path->c_str());
    return 0;
}

}  // namespace

CommandAction SetUpResponse(CLI::App& command) {
    auto options = std::make_shared<ResponseOptions>();
    AddEffectOptions(command, options->effect);
    AddRateOption(command, options->effect);
    command.add_option("--csv", options->csv,
                       "Write frequency, magnitude (dB), phase (degrees, unwrapped) and group delay (ms) as CSV")
        ->type_name("FILE");
    command.add_option("--plot", options->plot, "Draw magnitude and phase as a PNG picture")->type_name("FILE.png");
    command.description(command.get_description() + "; with neither --csv nor --plot the CSV goes to stdout");
    return [options] { return Response(*options); };
}

}  // namespace tolvar::cli
