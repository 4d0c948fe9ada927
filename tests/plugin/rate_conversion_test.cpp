// The composite is converted to the host's rate as a filter: its frequency
// response survives up to near the lower Nyquist frequency, in both directions.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "host/source_registry.h"
#include "params/param_info.h"
#include "tests/plugin/loaded_plugin.h"

namespace tolvar::test {
namespace {

// Impulse response of a peaking (or, with shelf set, high-shelf) biquad designed
// by the bilinear transform, in double.
std::vector<double> BiquadResponse(double rate, double frequency, double gainDb, double q, bool highShelf, int length) {
    const double a = std::pow(10.0, gainDb / 40.0), w = 2 * std::numbers::pi * frequency / rate;
    const double alpha = std::sin(w) / (2 * q), c = std::cos(w);
    double b0, b1, b2, a0, a1, a2;
    if (highShelf) {
        const double s = 2 * std::sqrt(a) * alpha;
        b0 = a * ((a + 1) + (a - 1) * c + s);
        b1 = -2 * a * ((a - 1) + (a + 1) * c);
        b2 = a * ((a + 1) + (a - 1) * c - s);
        a0 = (a + 1) - (a - 1) * c + s;
        a1 = 2 * ((a - 1) - (a + 1) * c);
        a2 = (a + 1) - (a - 1) * c - s;
    } else {
        b0 = 1 + alpha * a, b1 = -2 * c, b2 = 1 - alpha * a;
        a0 = 1 + alpha / a, a1 = -2 * c, a2 = 1 - alpha / a;
    }
    std::vector<double> h(length);
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (int n = 0; n < length; ++n) {
        const double x = n == 0 ? 1.0 : 0.0;
        const double y = (b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) / a0;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        h[n] = static_cast<float>(y);  // the file holds floats
    }
    return h;
}

// The response at frequency f of taps h[n] placed at times n - origin.
std::complex<double> Response(const std::vector<double>& h, int origin, double rate, double frequency) {
    std::complex<double> sum = 0.0;
    const double w = -2 * std::numbers::pi * frequency / rate;
    for (std::size_t n = 0; n < h.size(); ++n) sum += h[n] * std::polar(1.0, w * (static_cast<double>(n) - origin));
    return sum;
}

// The instance's response at the host's rate: a unit impulse through the audio
// callback. Time zero (the reported latency) falls at index `origin`; up to 64
// samples before it are kept, since a converted response may ring before zero.
std::vector<double> MeasuredResponse(PluginInstance& plugin, int length, int& origin) {
    plugin.SetMains(false);
    const int delay = plugin.InitialDelay();
    origin = std::min(delay, 64);
    std::vector<float> input(delay + length, 0.0f);
    input[0] = 1.0f;
    const std::vector<float> output = ProcessMono(plugin, input, {1024});
    return std::vector<double>(output.begin() + delay - origin, output.end());
}

struct RateCase {
    int fileRate;
    float hostRate;
};

class RateConversionTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(RateConversionTest, KeepsTheResponseUpToNearTheLowerNyquistFrequency) {
    const RateCase rates = GetParam();
    LoadedPluginFolder folder;
    const std::vector<double> peak = BiquadResponse(rates.fileRate, 8200, 9, 1.0, false, 2000);
    const std::vector<double> shelf = BiquadResponse(rates.fileRate, 15000, 12, 0.707, true, 2000);
    folder.PutIr("820+0.wav", peak, rates.fileRate);
    folder.PutIr("6800+0.wav", shelf, rates.fileRate);
    folder.PutIr("1800+0.wav", {1.0}, rates.fileRate);
    auto plugin = folder.Create();
    ASSERT_TRUE(plugin);
    plugin->SetSampleRate(rates.hostRate);
    plugin->SetParameter(kParamLShelfG, 1.0f);
    plugin->SetParameter(kParamBand2G, 1.0f);

    const std::vector<double> fileResponse = Convolve(peak, shelf, kStandardFileScale * kStandardFileScale);
    const double ratio = rates.hostRate / rates.fileRate;
    int origin = 0;
    const std::vector<double> measured =
        MeasuredResponse(*plugin, static_cast<int>(fileResponse.size() * ratio) + 400, origin);
    const double edge = 0.9 * std::min<double>(rates.fileRate, rates.hostRate) / 2;
    double worstDb = 0.0, worstPhase = 0.0;
    for (double f = 0.0; f <= edge; f += edge / 300) {
        const std::complex<double> heard = Response(measured, origin, rates.hostRate, f);
        const std::complex<double> wanted = Response(fileResponse, 0, rates.fileRate, f);
        worstDb = std::max(worstDb, std::abs(20 * std::log10(std::abs(heard) / std::abs(wanted))));
        worstPhase = std::max(worstPhase, std::abs(std::arg(heard / wanted)));
    }
    EXPECT_LT(worstDb, 0.1) << "worst passband deviation in dB";
    // The phase agrees too: the output is aligned with the reported latency.
    EXPECT_LT(worstPhase, 0.01) << "worst phase deviation in radians";
    const double dcRatio = Response(measured, origin, rates.hostRate, 0.0).real() / Response(fileResponse, 0, rates.fileRate, 0.0).real();
    EXPECT_NEAR(20 * std::log10(dcRatio), 0.0, 0.01);

    // The response ends near its length scaled by the rate ratio: nothing beyond a short tail.
    const std::size_t end = origin + static_cast<std::size_t>(fileResponse.size() * ratio) + 64;
    for (std::size_t n = end; n < measured.size(); ++n) ASSERT_NEAR(measured[n], 0.0, 1e-5) << n;

    // A unit impulse at the file's rate is a unit impulse at the host's rate.
    plugin->SetParameter(kParamBand1G, 1.0f);
    plugin->SetParameter(kParamHShelfG, 1.0f);
    plugin->SetParameter(kParamBand2G, 12.0f / 25);
    const std::vector<double> unit = MeasuredResponse(*plugin, 300, origin);
    for (std::size_t n = 0; n < unit.size(); ++n) {
        ASSERT_NEAR(unit[n], n == static_cast<std::size_t>(origin) ? kStandardFileScale : 0.0, 1e-6) << n;
    }
    plugin->Close();
    EXPECT_EQ(LiveMediaSourceCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(FileAndHostRates, RateConversionTest,
                         ::testing::Values(RateCase{96000, 44100.0f}, RateCase{96000, 48000.0f},
                                           RateCase{48000, 96000.0f}, RateCase{44100, 44100.0f}),
                         [](const auto& rateCase) {
                             return "file" + std::to_string(rateCase.param.fileRate) + "_host" +
                                    std::to_string(static_cast<int>(rateCase.param.hostRate));
                         });

}  // namespace
}  // namespace tolvar::test
