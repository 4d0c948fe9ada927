// The reported latency across many setting and rate changes while audio runs:
// the output lags the input by exactly initialDelay, a steady input is never
// interrupted by inserted silence, going back to an earlier setting or rate
// leaves the latency where the first visit left it, and switching the effect
// off brings it back down.
#include <cmath>
#include <random>

#include "composer/filter_resampler.h"
#include "tests/plugin/instance_fixture.h"
#include "tests/plugin/stream_helpers.h"

namespace tolvar::test {
namespace {

constexpr float kGainStep = 1.0f / 25;  // Band1G choice 12 + k is +k dB
constexpr int kSpacing = 2000;          // between pulses; longer than any response here
constexpr int kAtMostNoise = 4;         // exactly silent frames in a row that rounding can give

// 48 kHz responses of 400 taps (N = 1024 at 48 and at 44.1 kHz). At 44.1 kHz
// only every 160th input tap lands on an output sample: a response with taps
// there alone converts without interpolation (no conversion delay), any other
// converts with the interpolator's delay.
std::vector<double> OnTheGrid() {
    std::vector<double> h(400, 0.0);
    h[0] = 1.0, h[160] = 0.25, h[320] = -0.125;
    return h;
}
std::vector<double> BetweenTheGrid() {
    std::vector<double> h(400);
    for (int i = 0; i < 400; ++i) h[i] = 0.3 * std::exp(-0.02 * i) * std::cos(0.4 * i);
    h[0] = 1.0;
    return h;
}

std::vector<int> RandomBlockSizes(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<int> sizes = {0, 1, 7};
    for (int i = 0; i < 60; ++i) sizes.push_back(std::uniform_int_distribution<int>(1, 900)(random));
    return sizes;
}

class LatencyTest : public InstanceTest {
protected:
    // Feeds `pulses` pulses and expects every one to come out exactly
    // initialDelay frames later, the response's peak being its first tap.
    void ExpectAlignedPulses(AEffect* effect, int pulses, unsigned seed) {
        Signal input(pulses * kSpacing, 0.0f);
        for (int p = 0; p < pulses; ++p) input[p * kSpacing] = 1.0f;
        const Stereo out = Process(effect, input, input, RandomBlockSizes(seed));
        for (int arrival : PulseArrivals(out.left, kSpacing, 0)) ASSERT_EQ(arrival, effect->initialDelay);
    }

    // Feeds the next part of a steady tone (an instance that only ever hears
    // it) and returns the longest run of exactly silent frames after the
    // first sound. Where an impulse change raises the transform size the
    // engine restarts its convolution, so for the first frames after it only
    // the new response's first taps count; where those are zeros or faint
    // pre-ringing the output is faint and may touch zero exactly for a frame
    // or two. Silence inserted into the stream would be a run as long as the
    // delay it makes up for.
    int LongestSilenceInATone(AEffect* effect, int frames, unsigned seed) {
        Signal tone(frames);
        for (int t = 0; t < frames; ++t) tone[t] = 0.5f * std::sin(0.05f * (phase + t));
        phase += frames;
        const Stereo out = Process(effect, tone, tone, RandomBlockSizes(seed));
        int longest = 0;
        for (float s : out.left) {
            if (s != 0.0f) heard = true;
            run = heard && s == 0.0f ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        return longest;
    }

    void SetHostRate(AEffect* effect, float rate) {
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rate);
    }

private:
    int phase = 0;
    int run = 0;
    bool heard = false;
};

TEST_F(LatencyTest, TogglingBetweenResponsesWithAndWithoutConversionDelay) {
    PutFile("820+0.wav", OnTheGrid(), 48000.0);
    PutFile("820+1.wav", BetweenTheGrid(), 48000.0);
    AEffect* effect = CreateHearingOnly(kParamBand1G);  // at 44.1 kHz
    AEffect* toned = CreateHearingOnly(kParamBand1G);
    ASSERT_TRUE(effect && toned);
    // At a rate the files are converted to, FFT mode carries the conversion's
    // delay from the start, though this response needs none.
    EXPECT_EQ(effect->initialDelay, 512 + kResamplerDelay);
    ExpectAlignedPulses(effect, 3, 1);
    LongestSilenceInATone(toned, 3000, 2);

    for (int toggle = 0; toggle < 12; ++toggle) {
        SCOPED_TRACE(toggle);
        for (AEffect* e : {effect, toned}) e->setParameter(e, kParamBand1G, (toggle % 2 == 0 ? 13 : 12) * kGainStep);
        EXPECT_EQ(effect->initialDelay, 512 + kResamplerDelay);  // where the first visit left it
        ExpectAlignedPulses(effect, 3, 10 + toggle);
        EXPECT_LE(LongestSilenceInATone(toned, 3000, 30 + toggle), kAtMostNoise);
    }
}

TEST_F(LatencyTest, RateChangesBackAndForth) {
    PutFile("820+0.wav", BetweenTheGrid(), 48000.0);
    AEffect* effect = Create();
    AEffect* toned = Create();
    ASSERT_TRUE(effect && toned);
    for (AEffect* e : {effect, toned}) {
        BypassAllBut(e, kParamBand1G);
        SetHostRate(e, 48000.0f);
        e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    }
    EXPECT_EQ(effect->initialDelay, 512);  // the files' own rate: copied, no delay
    LongestSilenceInATone(toned, 3000, 2);

    // The first change to a rate that needs the conversion's delay raises the
    // lag by it at once, for the audio in flight too: that much silence, once.
    for (int cycle = 0; cycle < 10; ++cycle) {
        SCOPED_TRACE(cycle);
        for (AEffect* e : {effect, toned}) SetHostRate(e, cycle % 2 == 0 ? 44100.0f : 48000.0f);
        EXPECT_EQ(effect->initialDelay, 512 + kResamplerDelay);
        ExpectAlignedPulses(effect, 3, 50 + cycle);
        const int silence = LongestSilenceInATone(toned, 3000, 70 + cycle);
        if (cycle == 0) {
            EXPECT_GE(silence, kResamplerDelay);
            EXPECT_LE(silence, kResamplerDelay + kAtMostNoise);
        } else {
            EXPECT_LE(silence, kAtMostNoise);
        }
    }
}

// The unit impulse of every section off is short enough for direct form,
// which would drop the audio in flight: it keeps the stream and its lag.
TEST_F(LatencyTest, BypassingEverySectionMidStreamAndBack) {
    PutFile("820+0.wav", BetweenTheGrid(), 48000.0);
    AEffect* effect = CreateHearingOnly(kParamBand1G);
    AEffect* toned = CreateHearingOnly(kParamBand1G);
    ASSERT_TRUE(effect && toned);
    const int latency = effect->initialDelay;
    EXPECT_EQ(latency, 512 + kResamplerDelay);
    LongestSilenceInATone(toned, 3000, 90);

    for (int cycle = 0; cycle < 6; ++cycle) {
        SCOPED_TRACE(cycle);
        for (AEffect* e : {effect, toned}) e->setParameter(e, kParamBand1G, cycle % 2 == 0 ? 1.0f : 12 * kGainStep);
        EXPECT_EQ(effect->initialDelay, latency);
        ExpectAlignedPulses(effect, 2, 100 + cycle);
        EXPECT_LE(LongestSilenceInATone(toned, 3000, 110 + cycle), kAtMostNoise);
    }
}

TEST_F(LatencyTest, SwitchingOffFallsBackToTheCompositesOwnLatency) {
    PutFile("820+0.wav", OnTheGrid(), 48000.0);
    PutFile("820+1.wav", BetweenTheGrid(), 48000.0);
    PutFile("820+2.wav", std::vector<double>(5000, 0.01), 48000.0);  // N = 16384 at 44.1 kHz
    AEffect* effect = CreateHearingOnly(kParamBand1G);
    ASSERT_NE(effect, nullptr);
    EqInstance& instance = *InstanceOf(effect);
    for (int choice : {13, 14, 12}) effect->setParameter(effect, kParamBand1G, choice * kGainStep);
    EXPECT_EQ(effect->initialDelay, 8192 + kResamplerDelay);

    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    // N = 1024; this response needs no conversion delay, but at a converted
    // rate FFT mode carries it all the same.
    EXPECT_EQ(effect->initialDelay, 512 + kResamplerDelay);
    ExpectAlignedPulses(effect, 3, 120);

    effect->setParameter(effect, kParamBand1G, 1.0f);  // every section off: the unit impulse
    EXPECT_EQ(instance.engine.FftSize(), 1024);          // padded, and held at the running size while audio runs
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(instance.engine.FftSize(), 0);  // direct form once nothing is owed
    ExpectAlignedPulses(effect, 3, 130);
}

// Random setting changes and rate changes while pulses are in flight, and
// resets between them, in blocks of random sizes, with a host that processes
// offline and one that processes in real time: every pulse comes out once,
// neither lost nor repeated, exactly as late as the latency reported while it
// comes out.
class PulseTrainTest : public LatencyTest, public ::testing::WithParamInterface<intptr_t> {
protected:
    static constexpr int kTrainSpacing = 6000;  // beyond the longest lag and response here
    static constexpr int kPulses = 3;           // per step; the change comes after the second

    // Runs one step's pulses, calling `change` between blocks at frame
    // changeAt, and checks every pulse.
    template <typename Change>
    void RunStep(AEffect* effect, int changeAt, Change change, unsigned seed) {
        Signal input(kPulses * kTrainSpacing, 0.0f);
        for (int p = 0; p < kPulses; ++p) input[p * kTrainSpacing] = 1.0f;
        Signal out(input.size());
        std::vector<int> lagAt(input.size());
        const std::vector<int> sizes = RandomBlockSizes(seed);
        bool changed = false;
        for (std::size_t t = 0, b = 0; t < input.size(); ++b) {
            if (!changed && static_cast<int>(t) == changeAt) change(), changed = true;
            const int end = changed ? static_cast<int>(input.size()) : changeAt;
            const int n = std::min<int>(sizes[b % sizes.size()], end - static_cast<int>(t));
            Signal in(input.begin() + t, input.begin() + t + n), outL(n), outR(n);
            float* inputs[2] = {in.data(), in.data()};
            float* outputs[2] = {outL.data(), outR.data()};
            effect->processReplacing(effect, inputs, outputs, n);
            for (int i = 0; i < n; ++i) out[t + i] = outL[i], lagAt[t + i] = effect->initialDelay;
            t += n;
        }
        for (int p = 0; p < kPulses; ++p) ExpectOnePulse(out, lagAt, p);
    }

    static void ExpectOnePulse(const Signal& out, const std::vector<int>& lagAt, int p) {
        const int start = p * kTrainSpacing;
        int loudest = start;
        for (int t = start; t < start + kTrainSpacing; ++t) {
            if (std::abs(out[t]) > std::abs(out[loudest])) loudest = t;
        }
        ASSERT_GT(std::abs(out[loudest]), 0.4f) << "pulse " << p << " lost";
        ASSERT_EQ(loudest - lagAt[loudest], start) << "pulse " << p;
        for (int t = start; t < start + kTrainSpacing; ++t) {
            if (std::abs(t - loudest) > 1) {
                ASSERT_LT(std::abs(out[t]), 0.5f * std::abs(out[loudest])) << "pulse " << p << " repeated at " << t;
            }
        }
    }
};

TEST_P(PulseTrainTest, NeitherLostNorRepeatedNorMisalignedThroughChangesRatesAndResets) {
    std::vector<double> longResponse(1500, 0.01), shortBetween(60);
    longResponse[0] = 1.0;
    for (int i = 0; i < 60; ++i) shortBetween[i] = 0.2 * std::exp(-0.1 * i) * std::cos(0.7 * i);
    shortBetween[0] = 1.0;
    PutFile("820+0.wav", OnTheGrid(), 48000.0);
    PutFile("820+1.wav", BetweenTheGrid(), 48000.0);
    PutFile("820+2.wav", longResponse, 48000.0);
    PutFile("820+3.wav", shortBetween, 48000.0);  // direct form carrying the conversion delay at 44.1 kHz
    AEffect* effect = CreateHearingOnly(kParamBand1G);
    ASSERT_NE(effect, nullptr);
    processLevel = GetParam();
    std::mt19937 random(static_cast<unsigned>(GetParam()) + 7);
    const float rates[] = {44100.0f, 48000.0f, 96000.0f};
    for (int step = 0; step < 40; ++step) {
        SCOPED_TRACE(step);
        const int action = static_cast<int>(random() % 5);
        if (action == 0) {  // between pulses: a reset drops what is in flight
            effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
            effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
        }
        const float rate = rates[random() % 3];
        const float gain = static_cast<float>(12 + random() % 5) * kGainStep;  // four files, then a missing one
        // While the second pulse is in flight: within the direct form's delay,
        // or anywhere on its way through the engine.
        const int changeAt = kTrainSpacing + 1 + static_cast<int>(random() % (effect->initialDelay + 1));
        RunStep(effect, changeAt, [&] {
            if (action == 1) {
                SetHostRate(effect, rate);
            } else if (action > 1) {
                effect->setParameter(effect, kParamBand1G, gain);
            }
        }, 200 + step);
    }
}

// A pulse still inside the delay of a short response in direct form when a
// long one takes the step into FFT mode comes out once, at the new latency.
TEST_P(PulseTrainTest, TheStepOutOfDirectFormKeepsTheInputItsDelayHeld) {
    std::vector<double> shortBetween(60, 0.0), longResponse(1500, 0.01);
    shortBetween[0] = longResponse[0] = 1.0;
    shortBetween[1] = 0.5;  // between the 44.1 kHz grid's samples: converted with a delay
    PutFile("820+0.wav", shortBetween, 48000.0);
    PutFile("820+1.wav", longResponse, 48000.0);
    AEffect* effect = CreateHearingOnly(kParamBand1G);
    ASSERT_NE(effect, nullptr);
    ASSERT_EQ(InstanceOf(effect)->engine.FftSize(), 0);
    ASSERT_EQ(effect->initialDelay, kResamplerDelay);
    processLevel = GetParam();
    for (int changeAt : {1, 10, kResamplerDelay - 1}) {
        RunStep(effect, kTrainSpacing + changeAt, [&] { effect->setParameter(effect, kParamBand1G, 13 * kGainStep); },
                7 + changeAt);
        effect->setParameter(effect, kParamBand1G, 12 * kGainStep);
        effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(OfflineAndRealTime, PulseTrainTest,
                         ::testing::Values(intptr_t{0}, kVstProcessLevelRealtime));

}  // namespace
}  // namespace tolvar::test
