// tolvar response, info, params and validate, end to end.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <sstream>

#include "params/param_info.h"
#include "params/plugin_identity.h"
#include "tests/plugin/loaded_plugin.h"
#include "tests/tools/tolvar/cli_run.h"

namespace tolvar::test {
namespace {

const std::vector<std::string> kOnlyBand1 = {"--set", "LShelfG=bypass", "--set", "Band2G=bypass",
                                             "--set", "HShelfG=bypass", "--set", "Band1F=1200",
                                             "--set", "Band1G=-5"};

std::complex<double> DirectTransfer(const std::vector<double>& taps, double hz, double rate) {
    std::complex<double> sum = 0.0;
    for (std::size_t n = 0; n < taps.size(); ++n)
        sum += taps[n] * std::polar(1.0, -2.0 * std::numbers::pi * hz * static_cast<double>(n) / rate);
    return sum;
}

TEST(ResponseCommand, CsvIsTheCompositesSpectrumAndThePlotIsAPicture) {
    LoadedPluginFolder folder;
    std::vector<double> file = FloatResponse(3000, 7);
    for (double& tap : file) tap = static_cast<float>(tap / 8);
    folder.PutIr("1200-5.wav", file, 96000);
    TempDir files;
    std::vector<std::string> arguments = {"response", "--plugin", folder.PluginPath(), "--rate", "96000",
                                          "--csv", files.File("r.csv")};
    arguments.insert(arguments.end(), kOnlyBand1.begin(), kOnlyBand1.end());
    std::vector<std::string> withPlot = arguments;
    withPlot.insert(withPlot.end(), {"--plot", files.File("r.png")});
#if defined(_WIN32)
    // Built without cairo: asked for a picture, it says so and writes nothing.
    const CliRun refused = RunTolvar(withPlot);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("cannot draw"), std::string::npos) << refused.err;
    EXPECT_EQ(Lines(ReadBytes(files.File("r.csv"))).size(), 0u);
    const CliRun run = RunTolvar(arguments);
#else
    const CliRun run = RunTolvar(withPlot);
#endif
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const std::vector<std::string> rows = Lines(ReadBytes(files.File("r.csv")));
    ASSERT_GT(rows.size(), 400u);
    EXPECT_EQ(rows[0], "frequency_hz,magnitude_db,phase_deg,group_delay_ms");
    double previous = 0.0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        double hz = 0, db = 0, degrees = 0;
        char comma = 0;
        std::istringstream(rows[i]) >> hz >> comma >> db >> comma >> degrees;
        ASSERT_GT(hz, previous);
        previous = hz;
        const std::complex<double> measured = std::polar(std::pow(10.0, db / 20), degrees * std::numbers::pi / 180);
        const std::complex<double> expected = kStandardFileScale * DirectTransfer(file, hz, 96000.0);
        ASSERT_LE(std::abs(measured - expected), 1e-3) << rows[i];
    }
    EXPECT_NEAR(std::stod(rows[1]), 20.0, 1e-9);
    EXPECT_NEAR(std::stod(rows.back()), 20000.0, 1e-6);
#if !defined(_WIN32)
    EXPECT_EQ(ReadBytes(files.File("r.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
#endif
}

// What a host hears from a unit impulse placed well inside a file, with the
// latency compensated: the pre-ringing of the rate conversion included, and
// the whole tail (the file runs a second past the impulse).
TEST(ResponseCommand, IsTheSpectrumOfARenderedImpulseAtEveryRate) {
    const std::vector<std::string> settings = {"--set", "HPF=82",     "--set", "LShelfG=+3",  "--set", "Band2F=2700",
                                               "--set", "Band2G=-4",  "--set", "Band2HQ=on",  "--set", "HShelfF=15k",
                                               "--set", "HShelfG=+12"};
    constexpr int kAt = 1000;  // where the impulse sits in the rendered file
    TempDir files;
    for (const int rate : {44100, 48000, 96000}) {
        Audio impulse{rate, SF_FORMAT_WAV | SF_FORMAT_FLOAT, {std::vector<double>(kAt + rate, 0.0)}};
        impulse.channels[0][kAt] = 1.0;
        ASSERT_TRUE(WriteAudio(files.File("impulse.wav"), impulse));
        std::vector<std::string> render = {"render", files.File("impulse.wav"), files.File("heard.wav")};
        std::vector<std::string> response = {"response", "--rate", std::to_string(rate), "--csv", files.File("r.csv")};
        for (auto* command : {&render, &response}) command->insert(command->end(), settings.begin(), settings.end());
        ASSERT_EQ(RunTolvar(render).exitCode, 0);
        ASSERT_EQ(RunTolvar(response).exitCode, 0);
        std::vector<double> heard = ReadAudio(files.File("heard.wav")).channels.at(0);
        while (!heard.empty() && heard.back() == 0.0) heard.pop_back();

        const std::vector<std::string> rows = Lines(ReadBytes(files.File("r.csv")));
        double worstDb = 0.0, worstDegrees = 0.0, previous = 0.0;
        for (std::size_t i = 1; i < rows.size(); ++i) {
            double hz = 0, db = 0, degrees = 0;
            char comma = 0;
            std::istringstream(rows[i]) >> hz >> comma >> db >> comma >> degrees;
            // Unwrapped: no fold at +-180 degrees between neighbours 1/48 octave apart.
            ASSERT_TRUE(i == 1 || std::abs(degrees - previous) < 45.0) << rate << " Hz: " << rows[i];
            previous = degrees;
            if (i % 4 != 1) continue;  // the spectrum at 12 points per octave, about the impulse's time
            const std::complex<double> h =
                DirectTransfer(heard, hz, rate) * std::polar(1.0, 2.0 * std::numbers::pi * hz * kAt / rate);
            worstDb = std::max(worstDb, std::abs(db - 20.0 * std::log10(std::abs(h))));
            const double turned = std::remainder(degrees - std::arg(h) * 180 / std::numbers::pi, 360.0);
            worstDegrees = std::max(worstDegrees, std::abs(turned));
        }
        EXPECT_LE(worstDb, 1e-3) << rate << " Hz";
        EXPECT_LE(worstDegrees, 0.01) << rate << " Hz";
    }
}

TEST(InfoAndParams, ShowTheChoicesTheHostsViewAndTheLatencyTheSettingsNeed) {
    LoadedPluginFolder folder;
    folder.PutIr("1200-5.wav", FloatResponse(3000, 8), 44100);
    folder.PutIr("misc_inst_DI.wav", FloatResponse(20000, 9), 44100);
    std::vector<std::string> arguments = {"info", "--plugin", folder.PluginPath(), "--rate", "44100"};
    arguments.insert(arguments.end(), kOnlyBand1.begin(), kOnlyBand1.end());
    const CliRun info = RunTolvar(arguments);
    ASSERT_EQ(info.exitCode, 0) << info.err;

    // The same settings made directly, by their stored values.
    auto plugin = folder.Create();
    ASSERT_TRUE(plugin);
    plugin->Prepare(44100.0, 512);
    const std::pair<int, float> stored[] = {
        {kParamLShelfG, 1.0f}, {kParamBand2G, 1.0f}, {kParamHShelfG, 1.0f}, {kParamBand1F, 4.0f / 9},
        {kParamBand1G, 7.0f / 25}};
    for (const auto& [index, value] : stored) plugin->SetParameter(index, value);
    plugin->SetMains(false);
    plugin->SetMains(true);
    ASSERT_GT(plugin->InitialDelay(), 0);
    EXPECT_NE(info.out.find("latency     " + std::to_string(plugin->InitialDelay()) + " frames"), std::string::npos)
        << info.out;
    char uniqueId[16];
    std::snprintf(uniqueId, sizeof uniqueId, "(0x%08X)", static_cast<unsigned>(kUniqueId));
    EXPECT_NE(info.out.find(uniqueId), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("version     " + std::to_string(kVersion)), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("(2 WAV files)"), std::string::npos);
    arguments[0] = "response";
    const CliRun response = RunTolvar(arguments);
    EXPECT_NE(response.err.find("latency " + std::to_string(plugin->InitialDelay()) + " frames"), std::string::npos)
        << response.err;

    // Among the typical settings, the long input model's latency, as the plug-in reports it.
    auto instDi = folder.Create();
    ASSERT_TRUE(instDi);
    instDi->Prepare(44100.0, 512);
    instDi->SetParameter(kParamInputMode, 0.5f);  // from no latency at all (no file of the defaults is there)
    ASSERT_GT(instDi->InitialDelay(), plugin->InitialDelay());
    const std::string latency = "  " + std::to_string(instDi->InitialDelay()) + " frames (";
    const std::vector<std::string> infoLines = Lines(info.out);
    EXPECT_TRUE(std::any_of(infoLines.begin(), infoLines.end(), [&](const std::string& line) {
        return line.starts_with(latency) && line.ends_with("Input Mode Inst DI");
    })) << info.out;

    arguments[0] = "params";
    arguments.erase(arguments.begin() + 3, arguments.begin() + 5);  // params takes no rate
    const CliRun params = RunTolvar(arguments);
    ASSERT_EQ(params.exitCode, 0) << params.err;
    const std::vector<std::string> lines = Lines(params.out);
    ASSERT_EQ(lines.size(), 16u);
    const auto row = [&](int index) {
        std::istringstream words(lines[static_cast<std::size_t>(index) + 1]);
        return std::vector<std::string>(std::istream_iterator<std::string>(words), {});
    };
    EXPECT_EQ(row(0)[1] + " " + row(0)[2], "Input Mode");
    EXPECT_EQ(row(0)[3] + " " + row(0)[4], "Input Mo");
    const std::vector<std::string> band1F = row(kParamBand1F), band1G = row(kParamBand1G), hq = row(kParamBand1HQ);
    EXPECT_EQ(band1F[3] + " " + band1F[4] + " " + band1F[5], "1200 Hz 4.0");
    EXPECT_EQ(band1G[3] + " " + band1G[4] + " " + band1G[5], "-5 dB 7.0");
    EXPECT_EQ(hq[3] + " " + hq[4], "off 0");
    EXPECT_EQ(row(kParamBand2G)[3] + " " + row(kParamBand2G)[4], "<bypass> 25.0");
    EXPECT_NE(lines[kParamHShelfHQ + 1].find("changes nothing"), std::string::npos) << lines[kParamHShelfHQ + 1];

    // The program's version is the plug-in's: 1100 is 1.1.0.
    const CliRun version = RunTolvar({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    const std::string expected = "tolvar " + std::to_string(kVersion / 1000) + "." +
                                 std::to_string(kVersion / 100 % 10) + "." + std::to_string(kVersion / 10 % 10);
    EXPECT_EQ(Lines(version.out), std::vector<std::string>{expected});
}

TEST(ValidateCommand, RunsTheValidatorWithItsOptionsAndExitCodes) {
    LoadedPluginFolder folder;
    const CliRun run = RunTolvar({"validate", folder.PluginPath(), "--strictness", "1", "--only", "lifecycle.cold"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("PASS  lifecycle.cold-open-close"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 passed, 0 failed"), std::string::npos) << run.out;
    const CliRun bad = RunTolvar({"validate", folder.PluginPath(), "--strictness", "11"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("--strictness: bad value 11"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace tolvar::test
