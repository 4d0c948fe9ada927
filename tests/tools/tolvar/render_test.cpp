// tolvar render, end to end: the program, a copy of the plug-in binary and an
// IR folder written here, so that the composite the output must show is known.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "tests/plugin/loaded_plugin.h"
#include "tests/support/signals.h"
#include "tests/tools/tolvar/cli_run.h"

namespace tolvar::test {
namespace {

// These settings select three files: the 82 Hz high-pass, band 1 at 820 Hz
// +3 dB (its default frequency) and band 2's Hi-Q file at 2700 Hz -4 dB; both
// shelves are bypassed. The words are the editor's and the short forms.
const std::vector<std::string> kSettings = {
    "--set", "HPF=82",       "--set", "Band1G=+3 dB", "--set", "band2f=2700 Hz", "--set", "Band2G=-4",
    "--set", "Band2HQ=on",   "--set", "LShelfG=bypass", "--set", "HShelfG=<bypass>"};

// Decaying taps that a float file holds exactly, small enough that three in a
// row keep a quiet signal below full scale.
std::vector<double> SmallResponse(int length, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> taps(static_cast<std::size_t>(length));
    for (int n = 0; n < length; ++n) taps[n] = static_cast<float>(0.05 * std::pow(0.99, n) * uniform(random));
    taps[0] = 0.5;
    return taps;
}

Audio NoiseAudio(int channels, int format, int rate, int frames, double level) {
    Audio audio{rate, format, {}};
    for (int c = 0; c < channels; ++c) {
        const std::vector<float> noise = Noise(frames, 40 + c);
        audio.channels.emplace_back();
        for (float x : noise) audio.channels.back().push_back(level * x);
    }
    return audio;
}

// Largest |actual - expected| over the expected frames, where expected holds
// each channel of `input` convolved with `composite`, cut to `frames`.
double LargestError(const Audio& actual, const Audio& input, const std::vector<double>& composite, std::size_t frames,
                    double* referencePeak) {
    double error = 0.0;
    *referencePeak = 0.0;
    for (std::size_t c = 0; c < input.channels.size(); ++c) {
        std::vector<double> expected = Convolve(input.channels[c], composite);
        expected.resize(frames);
        for (std::size_t n = 0; n < frames; ++n) {
            *referencePeak = std::max(*referencePeak, std::abs(expected[n]));
            error = std::max(error, std::abs(actual.channels[c][n] - expected[n]));
        }
    }
    return error;
}

double StepOf(int format) { return (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ? 1.0 / 32768 : 0.0; }

class RenderTest : public ::testing::Test {
protected:
    // Writes the files kSettings select, at `rate`, and returns the composite
    // they make: their convolution times the plug-in's fixed scales.
    std::vector<double> PutSelectedFiles(int rate) {
        const std::vector<double> hpf = SmallResponse(200, 1), band1 = SmallResponse(150, 2),
                                  band2 = SmallResponse(900, 3);
        folder.PutIr("misc_HPF_82.wav", hpf, rate);
        folder.PutIr("820+3.wav", band1, rate);
        folder.PutIr("2700-4-hq.wav", band2, rate);
        return Convolve(Convolve(hpf, band1, kStandardFileScale * kStandardFileScale), band2, kHiQFileScale);
    }

    CliRun Render(const Audio& input, std::vector<std::string> options, const std::string& out = "") {
        EXPECT_TRUE(WriteAudio(In(), input));
        std::vector<std::string> arguments = {"render", In(), out.empty() ? Out() : out, "--plugin",
                                              folder.PluginPath()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return RunTolvar(arguments);
    }

    std::string In() const { return files.File("in.wav"); }
    std::string Out() const { return files.File("out.wav"); }

    LoadedPluginFolder folder;
    TempDir files;
};

struct FileShape {
    int channels;
    int format;
    int rate;
    const char* block;
};

void PrintTo(const FileShape& shape, std::ostream* out) {
    *out << shape.channels << " channels, format 0x" << std::hex << shape.format << std::dec << ", " << shape.rate
         << " Hz, blocks of " << shape.block;
}

class RenderFormatTest : public RenderTest, public ::testing::WithParamInterface<FileShape> {};

TEST_P(RenderFormatTest, OutputIsTheInputThroughTheCompositeAlignedSampleForSample) {
    const FileShape shape = GetParam();
    const std::vector<double> composite = PutSelectedFiles(shape.rate);
    std::vector<std::string> options = kSettings;
    options.insert(options.end(), {"--block", shape.block});
    const CliRun run = Render(NoiseAudio(shape.channels, shape.format, shape.rate, 20000, 0.05), options);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Audio input = ReadAudio(In());  // the values as the file holds them
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("latency"), std::string::npos);

    const Audio output = ReadAudio(Out());
    EXPECT_EQ(output.rate, shape.rate);
    EXPECT_EQ(output.format, shape.format);
    ASSERT_EQ(output.channels.size(), static_cast<std::size_t>(shape.channels));
    ASSERT_EQ(output.Frames(), input.Frames());
    double peak = 0.0;
    const double error = LargestError(output, input, composite, input.Frames(), &peak);
    EXPECT_GT(peak, 0.01);
    EXPECT_LT(peak, 0.9);
    EXPECT_LE(error, StepOf(shape.format) / 2 + 1e-5 * peak);
}

INSTANTIATE_TEST_SUITE_P(MonoStereo16BitFloat, RenderFormatTest,
                         ::testing::Values(FileShape{1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, "512"},
                                           FileShape{2, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, "333"},
                                           FileShape{2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 96000, "64"},
                                           FileShape{1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, "4096"}),
                         [](const ::testing::TestParamInfo<FileShape>& shape) {
                             return std::string(shape.param.channels == 1 ? "Mono" : "Stereo") +
                                    ((shape.param.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT ? "Float" : "16Bit") +
                                    std::to_string(shape.param.rate) + "Hz";
                         });

TEST_F(RenderTest, TailAppendsTheRingOutAndFloatKeepsTheFullResolution) {
    const std::vector<double> composite = PutSelectedFiles(48000);
    std::vector<std::string> options = kSettings;
    options.insert(options.end(), {"--tail", "--float"});
    const CliRun run = Render(NoiseAudio(2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 6000, 0.05), options);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Audio input = ReadAudio(In());

    const Audio output = ReadAudio(Out());
    EXPECT_EQ(output.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_GT(output.Frames(), input.Frames() + 100);
    ASSERT_LE(output.Frames(), input.Frames() + composite.size() - 1);
    double peak = 0.0;
    const double error = LargestError(output, input, composite, output.Frames(), &peak);
    EXPECT_LE(error, 1e-5 * peak);
    // What was left off had rung out.
    for (const std::vector<double>& channel : input.channels) {
        const std::vector<double> full = Convolve(channel, composite);
        for (std::size_t n = output.Frames(); n < full.size(); ++n) ASSERT_LE(std::abs(full[n]), 3e-6) << n;
    }
}

TEST_F(RenderTest, UnchangedAudioComesBackBitForBitAndOversAreReported) {
    Audio input = NoiseAudio(2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 3000, 0.9);
    input.channels[0][10] = -1.0;
    input.channels[1][11] = 32767.0 / 32768;
    const std::vector<std::string> allBypassed = {"--set", "LShelfG=bypass", "--set", "Band1G=bypass",
                                                  "--set", "Band2G=bypass",  "--set", "HShelfG=bypass"};
    CliRun run = Render(input, allBypassed);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadAudio(Out()).channels, ReadAudio(In()).channels);

    // One file that doubles the signal: band 1 at its default +0 dB.
    folder.PutIr("820+0.wav", {static_cast<float>(2.0 / kStandardFileScale)});
    run = Render(input, {"--set", "LShelfG=bypass", "--set", "Band2G=bypass", "--set", "HShelfG=bypass"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("clipped in the 16-bit output"), std::string::npos) << run.err;
    const Audio output = ReadAudio(Out()), stored = ReadAudio(In());
    for (std::size_t c = 0; c < 2; ++c) {
        for (std::size_t n = 0; n < input.Frames(); ++n) {
            const double doubled = 2.0 * stored.channels[c][n];
            const double expected = std::clamp(doubled, -1.0, 32767.0 / 32768);
            ASSERT_NEAR(output.channels[c][n], expected, 1.0 / 32768) << c << " " << n;
        }
    }
}

// With every section bypassed nothing changes, so what comes back is the
// input in the container the name asks for, within the output's step.
TEST_F(RenderTest, TheOutputsNameChoosesTheContainerAndTheInputsSamplesStay) {
    struct Case {
        int in, expected;    // libsndfile formats
        const char* out;     // the name, and so the container
        bool asFloat;
        const char* notice;  // what stderr says, if anything
    };
    std::vector<Case> cases = {{SF_FORMAT_WAV | SF_FORMAT_PCM_24, SF_FORMAT_AIFF | SF_FORMAT_PCM_24, "b.AIF", false, ""},
                               {SF_FORMAT_AIFF | SF_FORMAT_FLOAT, SF_FORMAT_CAF | SF_FORMAT_FLOAT, "b.caf", false, ""},
                               {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_AU | SF_FORMAT_FLOAT, "b.au", true, ""}};
    if (WriteAudio(files.File("probe.flac"), Audio{8000, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, {{0.0}}})) {  // FLAC here
        cases.push_back({SF_FORMAT_FLAC | SF_FORMAT_PCM_24, SF_FORMAT_WAV | SF_FORMAT_PCM_24, "b.wav", false, ""});
        cases.push_back({SF_FORMAT_WAV | SF_FORMAT_FLOAT, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, "b.flac", false,
                         "written as FLAC 24-bit, since FLAC holds no 32-bit float samples"});
    }
    for (const Case& test : cases) {
        std::vector<std::string> options = {"--set", "LShelfG=bypass", "--set", "Band1G=bypass",
                                            "--set", "Band2G=bypass",  "--set", "HShelfG=bypass"};
        if (test.asFloat) options.push_back("--float");
        const CliRun run = Render(NoiseAudio(2, test.in, 44100, 3000, 0.5), options, files.File(test.out));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(*test.notice ? run.err.find(test.notice) != std::string::npos : run.err.empty()) << run.err;
        const Audio input = ReadAudio(In()), output = ReadAudio(files.File(test.out));
        EXPECT_EQ(output.format, test.expected) << test.out;
        const double step = (test.expected & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_24 ? std::ldexp(1.0, -23) : 0.0;
        ASSERT_EQ(output.Frames(), input.Frames()) << test.out;
        for (std::size_t c = 0; c < 2; ++c)
            for (std::size_t n = 0; n < input.Frames(); ++n)
                ASSERT_NEAR(output.channels[c][n], input.channels[c][n], step / 2) << test.out << " at " << n;
    }
}

// The build's own IR library at its default settings, Hi-Q or not: flat, one
// tap of exactly 1.0 at every rate, so files come back exactly as they went in.
TEST(RenderDefaults, GiveEverySampleBackBitForBit) {
    TempDir files;
    const std::pair<Audio, const char*> cases[] = {
        {NoiseAudio(2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 96000, 48000, 0.7), "Band1HQ=off"},
        {NoiseAudio(1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 48000, 0.7), "Band1HQ=on"},
        {NoiseAudio(2, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 48000, 0.7), "Band2HQ=on"},
        {NoiseAudio(1, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 88200, 48000, 0.7), "Band1HQ=off"},
        {NoiseAudio(1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 192000, 48000, 0.7), "Band2HQ=off"}};
    for (const auto& [input, setting] : cases) {
        ASSERT_TRUE(WriteAudio(files.File("in.wav"), input));
        const CliRun run = RunTolvar({"render", files.File("in.wav"), files.File("out.wav"), "--set", setting});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find("latency 0 frames"), std::string::npos) << run.out;
        const Audio output = ReadAudio(files.File("out.wav")), stored = ReadAudio(files.File("in.wav"));
        EXPECT_EQ(output.format, input.format);
        EXPECT_TRUE(output.channels == stored.channels) << input.rate << " Hz, " << setting;
    }
}

TEST_F(RenderTest, AnyOtherEffectTakesItsOwnNamesAndNormalisedValues) {
    const Audio stereo = NoiseAudio(2, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 5000, 0.5);
    const std::vector<std::string> fake = {"--plugin", TOLVAR_FAKE_PLUGIN_PATH};
    for (const Audio& input : {stereo, Audio{44100, stereo.format, {stereo.channels[0]}}}) {
        ASSERT_TRUE(WriteAudio(In(), input));
        const CliRun run = RunTolvar({"render", In(), Out(), fake[0], fake[1], "--set", "gain=0.25", "--block", "7"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        // The fake effect delays by three frames and scales by its gain.
        const Audio output = ReadAudio(Out());
        ASSERT_EQ(output.channels.size(), input.channels.size());
        for (std::size_t c = 0; c < input.channels.size(); ++c) {
            std::vector<double> expected;
            for (double x : input.channels[c]) expected.push_back(0.25 * x);
            EXPECT_EQ(output.channels[c], expected);
        }
    }
    const CliRun unknown = RunTolvar({"render", In(), Out(), fake[0], fake[1], "--set", "Volume=1"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("Gain, Spare"), std::string::npos) << unknown.err;
    const CliRun outOfRange = RunTolvar({"render", In(), Out(), fake[0], fake[1], "--set", "Gain=1.5"});
    EXPECT_EQ(outOfRange.exitCode, 2);
    EXPECT_NE(outOfRange.err.find("from 0 to 1"), std::string::npos) << outOfRange.err;
}

}  // namespace
}  // namespace tolvar::test
