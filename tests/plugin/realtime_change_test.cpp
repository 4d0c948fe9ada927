// Changes made while the host processes in real time: files are read and
// composed on the plug-in's own thread, the host's call does not wait for
// them, and the change is heard no later than 20 ms of audio after it. Also
// run under ThreadSanitizer.
#include <thread>

#include "tests/plugin/instance_fixture.h"
#include "tests/plugin/stream_helpers.h"
#include "tests/support/signals.h"

namespace tolvar::test {
namespace {

constexpr float kGainStep = 1.0f / 25;  // Band1G choice 12 + k is +k dB

class RealTimeTest : public InstanceTest {};

TEST_F(RealTimeTest, ChangesAreComposedOffTheAudioThreadAndHeardWithin20MsOfAudio) {
    const std::vector<double> before = DecayingResponse(300), after = DecayingResponse(300, 0.99);
    PutFile("820+0.wav", before);
    PutFile("820+1.wav", after);
    AEffect* effect = CreateHearingOnly(kParamBand1G);
    ASSERT_NE(effect, nullptr);
    processLevel = kVstProcessLevelRealtime;
    const std::size_t opensBefore = folder->Opens().size();

    const Signal input = Noise(12000, 5);
    const int changeAt = 4000;
    const Signal first(input.begin(), input.begin() + changeAt), rest(input.begin() + changeAt, input.end());
    const Stereo out1 = Process(effect, first, first, {64});
    effect->setParameter(effect, kParamBand1G, 13 * kGainStep);  // on the audio thread, as hosts automate
    const Stereo out2 = Process(effect, rest, rest, {64});

    const int latency = effect->initialDelay;
    const int heardBy = static_cast<int>(0.020 * 44100.0) + latency;  // frames after the change
    const std::vector<double> reference = Convolve(input, after, kStandardFileScale);
    double peak = 0.0, error = 0.0;
    for (std::size_t t = static_cast<std::size_t>(heardBy); t < out2.left.size(); ++t) {
        const double expected = reference[changeAt + t - latency];
        peak = std::max(peak, std::abs(expected));
        error = std::max(error, std::abs(out2.left[t] - expected));
    }
    EXPECT_LT(error / peak, 1e-5);
    EXPECT_LT(PeakRelativeError(out1.left, Convolve(first, before, kStandardFileScale), latency), 1e-5);
    ASSERT_GT(folder->Opens().size(), opensBefore);
    for (std::size_t i = opensBefore; i < folder->Opens().size(); ++i) {
        EXPECT_NE(folder->OpenThreads()[i], std::this_thread::get_id()) << folder->Opens()[i];
    }
}

// Closing while compositions are still in flight ends the worker cleanly:
// every source opened is destroyed once (the fixture checks) and nothing races.
TEST_F(RealTimeTest, ClosingWithCompositionsInFlightEndsCleanly) {
    PutFile("820+1.wav", DecayingResponse(4000));
    for (int instance = 0; instance < 8; ++instance) {
        processLevel = 0;
        AEffect* effect = CreateHearingOnly(kParamBand1G);
        ASSERT_NE(effect, nullptr);
        processLevel = kVstProcessLevelRealtime;
        for (int i = 0; i < 5; ++i) effect->setParameter(effect, kParamBand1G, (12 + (i + instance) % 2) * kGainStep);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        effects.clear();
    }
}

}  // namespace
}  // namespace tolvar::test
