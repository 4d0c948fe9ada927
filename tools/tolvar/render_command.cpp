// tolvar render IN OUT: filters an audio file through the effect, aligned
// sample for sample with the input.
#include <cmath>
#include <cstdio>
#include <memory>

#include "tools/tolvar/cli_error.h"
#include "tools/tolvar/command_table.h"
#include "tools/tolvar/effect_options.h"
#include "tools/tolvar/effect_session.h"
#include "tools/tolvar/input_audio_file.h"
#include "tools/tolvar/output_audio_file.h"
#include "tools/tolvar/output_format.h"
#include "tools/tolvar/output_path.h"
#include "tools/tolvar/plugin_location.h"
#include "tools/tolvar/progress_bar.h"
#include "tools/tolvar/sample_format.h"
#include "tools/tolvar/stream_renderer.h"

namespace tolvar::cli {
namespace {

constexpr int32_t kDefaultBlock = 512;
constexpr int32_t kLargestBlock = 65536;

struct RenderOptions {
    EffectOptions effect;
    std::string input;
    std::string output;
    int32_t blockSize = kDefaultBlock;
    bool tail = false;
    bool floatOutput = false;
};

double Dbfs(double peak) { return peak > 0.0 ? 20.0 * std::log10(peak) : -INFINITY; }

void Warn(const std::string& text) { std::fprintf(stderr, "tolvar: warning: %s\n", text.c_str()); }

void ReportClipping(const OutputAudioFile& output, int format, const InputAudioFile& input) {
    if (output.ClippedSamples() == 0) return;
    char text[240];
    std::snprintf(text, sizeof text, "peak %+.1f dBFS: %lld samples clipped in the %s output (%s keeps them)",
                  Dbfs(output.Peak()), static_cast<long long>(output.ClippedSamples()), SampleFormatName(format),
                  HoldsFloats(format, input.Channels(), input.SampleRate()) ? "--float" : "a .wav file with --float");
    Warn(text);
}

void PrintSummary(const RenderOptions& options, const InputAudioFile& input, const OutputAudioFile& output,
                  int format, const StreamResult& result, const EffectSession& session) {
    const double rate = input.SampleRate();
    std::printf("rendered %s -> %s: %.3f s at %d Hz, %s, %s %s\n", options.input.c_str(), options.output.c_str(),
                static_cast<double>(output.FramesWritten()) / rate, input.SampleRate(),
                input.Channels() == 1 ? "mono" : "stereo", ContainerName(format).c_str(), SampleFormatName(format));
    std::printf("  %s; latency %d frames (%.2f ms) compensated", DescribeSettings(session.Settings()).c_str(),
                result.latency, 1000.0 * result.latency / rate);
    if (options.tail) std::printf("; ring-out %.3f s", static_cast<double>(result.tailFrames) / rate);
    std::printf("; peak %.1f dBFS\n", Dbfs(output.Peak()));
}

int Render(const RenderOptions& options) {
    RefuseSameFile(options.input, options.output);
    InputAudioFile input(options.input);
    if (input.Channels() > 2)
        throw CliError(options.input + " has " + std::to_string(input.Channels()) +
                       " channels; only mono and stereo files can be rendered");
    if (!IsUsableRate(input.SampleRate()))
        throw CliError(options.input + " says its rate is " + std::to_string(input.SampleRate()) + " Hz; files from " +
                       UsableRatesText() + " can be rendered");
    const OutputFormat format =
        ChooseOutputFormat(options.output, input.Format(), options.floatOutput, input.Channels(), input.SampleRate());
    OutputAudioFile output(options.output, format.format, input.SampleRate(), input.Channels());
    if (!format.change.empty()) Warn(format.change);

    SessionRequest request;
    request.pluginPath = ResolvePluginPath(options.effect.plugin);
    request.settings = options.effect.settings;
    request.sampleRate = input.SampleRate();
    request.blockSize = options.blockSize;
    request.fileChannels = input.Channels();
    EffectSession session(request);

    StreamResult result;
    {
        ProgressBar bar("rendering", input.Frames(), input.SampleRate());
        StreamPlan plan;
        plan.blockSize = options.blockSize;
        plan.tail = options.tail;
        plan.ringOut = RingOutLimitsAt(input.SampleRate());
        plan.progress = [&bar](int64_t frames) { bar.Update(frames); };
        result = StreamThrough(session, input, output, plan);
        output.Commit();
    }
    for (const std::string& warning : session.Warnings()) Warn(warning);
    ReportClipping(output, format.format, input);
    PrintSummary(options, input, output, format.format, result, session);
    return 0;
}

}  // namespace

CommandAction SetUpRender(CLI::App& command) {
    auto options = std::make_shared<RenderOptions>();
    command.add_option("IN", options->input, "The audio file to filter (mono or stereo)")->required()->type_name("FILE");
    command.add_option("OUT", options->output,
                       "Where to write the result: its extension chooses the container (.wav, .flac, .aiff, ...), "
                       "which keeps IN's sample format where it can")
        ->required()
        ->type_name("FILE");
    AddEffectOptions(command, options->effect);
    command.add_option("--block", options->blockSize, "Frames per processing call, as a host's buffer size (1 to 65536)")
        ->check(CLI::Range(1, kLargestBlock).description(""))
        ->type_name("N")
        ->capture_default_str();
    command.add_flag("--tail", options->tail, "Append the effect's ring-out after the input's length");
    command.add_flag("--float", options->floatOutput, "Write 32-bit float samples (in a container that holds them)");
    return [options] { return Render(*options); };
}

}  // namespace tolvar::cli
