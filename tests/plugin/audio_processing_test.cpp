// The audio callback: alignment with the reported latency, leading silence,
// impulse changes while audio runs, and the processor's floating-point modes.
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "tests/plugin/instance_fixture.h"
#include "tests/plugin/stream_helpers.h"
#include "tests/support/signals.h"

namespace tolvar::test {
namespace {

std::vector<int> RandomBlockSizes(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<int> sizes = {0, 1, 0, 1, 7, 4099, 1};
    for (int i = 0; i < 200; ++i) sizes.push_back(std::uniform_int_distribution<int>(0, 1500)(random));
    return sizes;
}

class AudioTest : public InstanceTest {};

TEST_F(AudioTest, OutputIsTheInputFilteredAndDelayedByTheReportedLatency) {
    for (int taps : {100, 3000}) {
        SCOPED_TRACE(taps);
        ClearFiles();
        const std::vector<double> response = DecayingResponse(taps);
        PutFile("1800+0.wav", response);
        AEffect* effect = CreateHearingOnly(kParamBand2G);
        ASSERT_NE(effect, nullptr);
        const int delay = effect->initialDelay;
        EXPECT_EQ(delay, taps > 128 ? 4096 : 0);

        const Signal left = Noise(20000, 1), right = Noise(20000, 2);
        const Stereo out = Process(effect, left, right, RandomBlockSizes(taps));
        EXPECT_LT(PeakRelativeError(out.left, Convolve(left, response, kStandardFileScale), delay), 1e-5);
        EXPECT_LT(PeakRelativeError(out.right, Convolve(right, response, kStandardFileScale), delay), 1e-5);
    }
}

TEST_F(AudioTest, LeadingSilenceFillsTheFirstBlocksUntilTheLatencyIsReached) {
    const std::vector<double> response = DecayingResponse(1000);
    PutFile("6800+0.wav", response);
    AEffect* effect = CreateHearingOnly(kParamHShelfG);
    ASSERT_NE(effect, nullptr);
    ASSERT_EQ(effect->initialDelay, 1024);

    Signal impulse(1200, 0.0f);
    impulse[0] = 1.0f;
    const Stereo out = Process(effect, impulse, impulse, {100});
    for (int t = 0; t < 1024; ++t) ASSERT_EQ(out.left[t], 0.0f) << t;  // ten silent blocks and 24 frames
    EXPECT_NEAR(out.left[1024], kStandardFileScale * response[0], 1e-6);
    EXPECT_NEAR(out.left[1100], kStandardFileScale * response[76], 1e-6);
    EXPECT_EQ(InstanceOf(effect)->delayInserted, 1024);

    // A block of no frames writes nothing and owes nothing.
    float* none[2] = {nullptr, nullptr};
    float dummy[1] = {5.0f};
    float* outputs[2] = {dummy, dummy};
    effect->processReplacing(effect, none, outputs, 0);
    EXPECT_EQ(dummy[0], 5.0f);
}

// A response too long for the running transform size gets more partitions:
// the latency stays, no silence goes out, and from the switch on the output
// is that of the new response over the whole input.
TEST_F(AudioTest, ALongerResponseWhileRunningKeepsTheLatencyAndLosesNothing) {
    const std::vector<double> shortResponse = DecayingResponse(200), longResponse = DecayingResponse(3000);
    PutFile("820+0.wav", shortResponse);  // N = 512, latency 256
    PutFile("820+1.wav", longResponse);   // alone it would take N = 8192
    AEffect* effect = CreateHearingOnly(kParamBand1G);
    ASSERT_NE(effect, nullptr);
    ASSERT_EQ(effect->initialDelay, 256);

    const Signal input = Noise(30000, 3);
    const int changeAt = 5000;
    const Signal first(input.begin(), input.begin() + changeAt), rest(input.begin() + changeAt, input.end());
    const Stereo before = Process(effect, first, first, {333});
    effect->setParameter(effect, kParamBand1G, 13.0f / 25);
    const Stereo after = Process(effect, rest, rest, {333});
    EXPECT_EQ(effect->initialDelay, 256);
    EXPECT_EQ(InstanceOf(effect)->delayInserted, 256);
    EXPECT_EQ(InstanceOf(effect)->engine.FftSize(), 512);

    // Before the change the short response; once the output computed before it
    // has gone out (at most a block and a callback), the long one over all input.
    const std::vector<double> shortReference = Convolve(input, shortResponse, kStandardFileScale);
    const std::vector<double> longReference = Convolve(input, longResponse, kStandardFileScale);
    auto error = [](const Signal& out, const std::vector<double>& reference, std::size_t from, std::size_t to,
                    std::size_t offset) {
        double peak = 0.0, worst = 0.0;
        for (std::size_t t = from; t < to; ++t) {
            const double expected = reference[t + offset - 256];
            peak = std::max(peak, std::abs(expected));
            worst = std::max(worst, std::abs(out[t] - expected));
        }
        return worst / peak;
    };
    EXPECT_LT(error(before.left, shortReference, 256, changeAt, 0), 1e-5);
    EXPECT_LT(error(after.left, longReference, 256 + 333, after.left.size(), changeAt), 1e-5);
}

TEST_F(AudioTest, TheDelayOfARateConversionIsPartOfTheReportedLatency) {
    // A one-sample delay at 48 kHz: at 44.1 kHz it lands between samples, so the
    // conversion keeps its pre-ringing by starting the response a little late.
    std::vector<double> delayed(300, 0.0);
    delayed[1] = 1.0;
    PutFile("820+0.wav", delayed, 48000.0);
    AEffect* effect = Create();
    ASSERT_NE(effect, nullptr);
    BypassAllBut(effect, kParamBand1G);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    EqInstance& instance = *InstanceOf(effect);
    ASSERT_EQ(effect->initialDelay, 512);
    EXPECT_EQ(instance.impulseDelay, 0);

    const int spacing = 2000;
    Signal pulses(40 * spacing, 0.0f);
    for (std::size_t t = 0; t < pulses.size(); t += spacing) pulses[t] = 1.0f;
    auto arrivalsAfter = [&](int blocks) {
        const Signal chunk(pulses.begin(), pulses.begin() + blocks * spacing);
        return PulseArrivals(Process(effect, chunk, chunk, {500}).left, spacing, 0);
    };
    for (int arrival : arrivalsAfter(5)) EXPECT_EQ(arrival, 512 + 1);

    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    const int shifted = instance.impulseDelay;
    EXPECT_GT(shifted, 0);
    EXPECT_EQ(effect->initialDelay, 512 + shifted);
    // Pulses already in the engine may straddle the change; from the second one on, all are aligned.
    const std::vector<int> at44k = arrivalsAfter(10);
    for (std::size_t i = 1; i < at44k.size(); ++i) EXPECT_EQ(at44k[i], effect->initialDelay + 1) << i;

    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(instance.impulseDelay, shifted);  // the copied response is padded to it
    EXPECT_EQ(effect->initialDelay, 512 + shifted);  // never falls while running
    const std::vector<int> back = arrivalsAfter(10);
    for (std::size_t i = 1; i < back.size(); ++i) EXPECT_EQ(back[i], effect->initialDelay + 1) << i;
}

TEST_F(AudioTest, InputAndOutputMayShareMemoryAndProcessTouchesNothing) {
    const std::vector<double> response = DecayingResponse(300);
    PutFile("100+0.wav", response);
    AEffect* effect = CreateHearingOnly(kParamLShelfG);
    ASSERT_NE(effect, nullptr);
    const int delay = effect->initialDelay;

    const Signal input = Noise(6000, 6);
    Signal left = input, right = input;
    for (int start = 0; start < 6000; start += 600) {
        float* buffers[2] = {left.data() + start, right.data() + start};
        effect->processReplacing(effect, buffers, buffers, 600);
    }
    EXPECT_LT(PeakRelativeError(left, Convolve(input, response, kStandardFileScale), delay), 1e-5);
    EXPECT_EQ(left, right);

    Signal untouched = input;
    float* buffers[2] = {untouched.data(), untouched.data()};
    effect->process(effect, buffers, buffers, 600);
    EXPECT_EQ(untouched, input);
}

TEST_F(AudioTest, OutputHasNoSubnormalsAndTheHostsFloatingPointModesSurvive) {
    PutFile("100+0.wav", DecayingResponse(3000, 0.97));  // decays deep below the float range
    AEffect* effect = Create();
    ASSERT_NE(effect, nullptr);
    BypassAllBut(effect, kParamLShelfG);

    Signal input(20000, 0.0f);
    input[0] = 1.0f;
    for (int i = 10000; i < 10100; ++i) input[i] = (i % 2 ? 1e-39f : -3e-42f);  // subnormal input
    for (int i = 10100; i < 10200; ++i) input[i] = 1e-36f;
    for (bool filtered : {true, false}) {
        if (!filtered) {  // every section off: the unit impulse in direct form
            for (int g : {kParamLShelfG, kParamBand1G, kParamBand2G, kParamHShelfG}) effect->setParameter(effect, g, 1.0f);
        }
        const unsigned hostModes = _mm_getcsr() & ~0x8040u;  // host runs without flush-to-zero
        _mm_setcsr(hostModes);
        const Stereo out = Process(effect, input, input, {256});
        EXPECT_EQ(_mm_getcsr(), hostModes);
        for (float s : out.left) ASSERT_TRUE(s == 0.0f || std::isnormal(s)) << s;
    }
}

}  // namespace
}  // namespace tolvar::test
