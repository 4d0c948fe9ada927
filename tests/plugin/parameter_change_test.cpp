// A setting changed while a steady tone plays: the output is the tone through
// the old setting and from one frame on through the new one, always lagging the
// input by exactly the reported latency; no frame is lost or faded.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "params/param_info.h"
#include "tests/plugin/loaded_plugin.h"

namespace tolvar::test {
namespace {

constexpr int kBlock = 256;
constexpr int kBlocksPerSetting = 20;
constexpr double kTolerance = 1e-4;  // absolute, for a tone of amplitude 0.9 at most: rounding and ripple stay far below

// A pulse of `gain` one sample into a response of `length` samples at 96 kHz:
// off the 44.1 kHz grid, so that it converts with the interpolator's delay
// (as the library's responses do) into a band-limited pulse kPulseAt host
// samples after time zero.
constexpr double kPulseAt = 44100.0 / 96000.0;
std::vector<double> Pulse(double gain, int length) {
    std::vector<double> taps(static_cast<std::size_t>(length), 0.0);
    taps[1] = static_cast<float>(gain);
    return taps;
}

double Tone(double t) { return 0.5 * std::sin(2 * std::numbers::pi * 100.0 * t / 44100); }

TEST(ParameterChange, ToneSwitchesGainAtOneFrameWithoutLoss) {
    const double gains[2] = {std::pow(10.0, 3.0 / 20), std::pow(10.0, -3.0 / 20)};
    const float choices[2] = {15.0f / 25, 9.0f / 25};  // Band1G +3 dB and -3 dB
    LoadedPluginFolder folder;
    folder.PutIr("820+3.wav", Pulse(gains[0], 4000), 96000);  // N = 4096 at 44.1 kHz
    folder.PutIr("820-3.wav", Pulse(gains[1], 1000), 96000);  // N = 1024 on its own; the running N is kept
    auto plugin = folder.Create();
    ASSERT_NE(plugin, nullptr);
    plugin->Prepare(44100.0, kBlock);
    plugin->SetParameter(kParamBand1G, choices[0]);
    const int delay = plugin->InitialDelay();
    ASSERT_GT(delay, 2048);  // N / 2 and the conversion's delay

    const int settings = 16, frames = settings * kBlocksPerSetting * kBlock;
    std::vector<float> tone(static_cast<std::size_t>(frames));
    for (int t = 0; t < frames; ++t) tone[t] = static_cast<float>(Tone(t));
    std::vector<float> out(tone.size()), right(kBlock);
    for (int b = 0; b < frames / kBlock; ++b) {
        if (b > 0 && b % kBlocksPerSetting == 0) plugin->SetParameter(kParamBand1G, choices[b / kBlocksPerSetting % 2]);
        float* in[2] = {tone.data() + b * kBlock, tone.data() + b * kBlock};
        float* outs[2] = {out.data() + b * kBlock, right.data()};
        plugin->ProcessBlock(in, outs, kBlock);
        ASSERT_EQ(plugin->InitialDelay(), delay);
    }

    // Silence for the latency; the tone's onset rings for the interpolator's width.
    const int onset = 2 * (delay - 2048);
    for (int t = 0; t < delay - onset; ++t) ASSERT_LE(std::fabs(out[t]), kTolerance) << t;
    // Each setting's span of output: the previous setting's tone up to one
    // frame, then its own to the end.
    for (int s = 0; s < settings; ++s) {
        SCOPED_TRACE(s);
        const int first = s * kBlocksPerSetting * kBlock, end = first + kBlocksPerSetting * kBlock;
        const double now = kStandardFileScale * gains[s % 2];
        const double before = s == 0 ? now : kStandardFileScale * gains[1 - s % 2];
        int switchedAt = -1;
        for (int t = std::max(first, delay + onset); t < end; ++t) {
            const double input = Tone(t - delay - kPulseAt);
            const bool old = std::fabs(out[t] - before * input) <= kTolerance;
            const bool fresh = std::fabs(out[t] - now * input) <= kTolerance;
            if (switchedAt < 0 && fresh && !old) switchedAt = t;
            ASSERT_TRUE(switchedAt < 0 ? old : fresh) << "frame " << t << ": " << out[t] << " for input " << input;
        }
        // The switch comes within an engine block and a callback of the change.
        EXPECT_TRUE(s == 0 || (switchedAt >= first && switchedAt < first + 2048 + kBlock)) << switchedAt;
    }
}

}  // namespace
}  // namespace tolvar::test
