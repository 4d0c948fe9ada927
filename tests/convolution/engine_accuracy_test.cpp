// The engine's output against a direct convolution computed in double, driven
// as the audio callback drives it, for impulses in every size class.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "convolution/convolution_engine.h"
#include "tests/convolution/engine_test_support.h"

namespace tolvar {
namespace {

using test::CallbackDriver;
using test::Signal;

// Error bounds, RMS of the difference relative to the RMS of the reference.
// Direct form rounds one double-precision sum to float per sample (measured
// about -151 dB); FFT mode adds the single-precision transforms and products,
// whose error grows slowly with N and the number of partitions (measured -135 dB
// at N = 512 to -132 dB at N = 32768 with five partitions).
constexpr double kDirectFormBoundDb = -140.0;
constexpr double kFftModeBoundDb = -120.0;

// Reference evaluations allowed per channel; beyond it only windows around the
// block boundaries and at the end are checked.
constexpr double kReferenceBudget = 2e7;

struct Case {
    Signal taps[2];
    int channels;
};

// The output positions to check: everything when affordable, otherwise
// windows around every block boundary (where overlap-add joins blocks) and at
// the end of the signal.
std::vector<long> CheckedPositions(long length, long taps, int latency, int hop) {
    std::vector<long> positions;
    if (static_cast<double>(length) * static_cast<double>(taps) <= kReferenceBudget || hop == 0) {
        for (long t = 0; t < length; ++t) positions.push_back(t);
        return positions;
    }
    const long windows = length / hop + 2;
    const long half = std::max(2L, static_cast<long>(kReferenceBudget / static_cast<double>(taps) / windows / 2));
    for (long k = 0; k * hop < length; ++k) {
        const long centre = latency + k * hop;
        for (long t = centre - half; t < centre + half; ++t) {
            if (t >= 0 && t < length) positions.push_back(t);
        }
    }
    for (long t = std::max(0L, length - 2 * half); t < length; ++t) positions.push_back(t);
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    return positions;
}

// Runs noise through a new engine holding the case's impulse and checks both
// output channels against the reference delayed by the latency.
void CheckAgainstReference(const Case& c, std::uint32_t seed) {
    ImpulseBuffer impulse;
    if (c.channels == 1) {
        test::FillImpulse(impulse, c.taps[0]);
    } else {
        test::FillImpulse(impulse, c.taps[0], c.taps[1]);
    }
    ConvolutionEngine engine;
    const int latency = engine.SetImpulse(impulse, -1);
    ASSERT_GE(latency, 0);
    EXPECT_EQ(latency, engine.FftSize() / 2);

    const long taps = static_cast<long>(std::max(c.taps[0].size(), c.taps[1].size()));
    const long length = taps + std::max(2 * engine.FftSize(), 4000) + 1000;
    const Signal x[2] = {test::Noise(static_cast<int>(length), seed),
                         test::Noise(static_cast<int>(length), seed + 1)};
    CallbackDriver driver(engine, latency);
    Signal out[2];
    driver.Run(x[0], x[1], 0, length, test::RandomBlockSizes(seed, engine.FftSize()), out[0], out[1]);
    // All silence emitted is the latency itself: the engine never fell short.
    EXPECT_EQ(driver.SilentFrames(), latency);

    const std::vector<long> positions = CheckedPositions(length, taps, latency, latency);
    for (int ch = 0; ch < 2; ++ch) {
        const Signal& h = c.taps[c.channels == 2 ? ch : 0];
        std::vector<double> actual, reference;
        for (long t : positions) {
            actual.push_back(out[ch][static_cast<std::size_t>(t)]);
            reference.push_back(test::Convolved(h, x[ch], t - latency));
        }
        const double errorDb = test::RelativeErrorDb(actual, reference);
        std::printf("  %ld taps, channel %d, N %d: %zu samples checked, error %.1f dB\n", taps, ch,
                    engine.FftSize(), positions.size(), errorDb);
        EXPECT_LE(errorDb, engine.FftSize() == 0 ? kDirectFormBoundDb : kFftModeBoundDb) << "channel " << ch;
        if (engine.FftSize() == 0) {
            // Direct form: each sample is the double-precision sum rounded once.
            for (std::size_t i = 0; i < actual.size(); ++i) {
                ASSERT_NEAR(actual[i], reference[i], std::ldexp(std::fabs(reference[i]), -23) + 1e-12)
                    << "channel " << ch << " sample " << positions[i];
            }
        }
    }
}

TEST(ConvolutionEngineAccuracy, OneChannelImpulsesOfEveryLengthClass) {
    for (int taps : {1, 2, 128, 129, 256, 257, 5000, 16384, 20000, 70000}) {
        SCOPED_TRACE(taps);
        Case c{{test::DecayingImpulse(taps, static_cast<std::uint32_t>(taps)), {}}, 1};
        CheckAgainstReference(c, 100u + static_cast<std::uint32_t>(taps));
    }
}

TEST(ConvolutionEngineAccuracy, TwoChannelImpulsesOfDifferentLengths) {
    const int lengths[][2] = {{100, 37}, {20, 300}, {20000, 5000}, {257, 70}};
    for (const auto& pair : lengths) {
        SCOPED_TRACE(::testing::Message() << pair[0] << " and " << pair[1] << " taps");
        Case c{{test::DecayingImpulse(pair[0], 11), test::DecayingImpulse(pair[1], 12)}, 2};
        CheckAgainstReference(c, 300u + static_cast<std::uint32_t>(pair[0]));
    }
}

// Later partitions with nothing above 1e-14 are skipped, and the output is
// still the full convolution (the tiny taps are below float resolution of it).
TEST(ConvolutionEngineAccuracy, SilentPartitionsAreSkipped) {
    Signal h = test::DecayingImpulse(40000, 21);
    for (std::size_t i = 10000; i < h.size(); ++i) h[i] = (i % 2 ? 1e-15f : -1e-15f);
    ImpulseBuffer impulse;
    test::FillImpulse(impulse, h);
    ConvolutionEngine engine;
    ASSERT_EQ(engine.SetImpulse(impulse, -1), 16384);
    ASSERT_EQ(engine.PartitionCount(), 3);
    EXPECT_TRUE(engine.PartitionUsed(0, 0));
    EXPECT_FALSE(engine.PartitionUsed(0, 1));
    EXPECT_FALSE(engine.PartitionUsed(0, 2));
    CheckAgainstReference({{h, {}}, 1}, 22);

    // A pure delay: the first partition is silent, the second holds the tap.
    Signal delay(20000, 0.0f);
    delay[19000] = 0.5f;
    test::FillImpulse(impulse, delay);
    ASSERT_EQ(engine.SetImpulse(impulse, -1), 16384);
    EXPECT_FALSE(engine.PartitionUsed(0, 0));
    EXPECT_TRUE(engine.PartitionUsed(0, 1));
    CheckAgainstReference({{delay, {}}, 1}, 23);

    // Nothing at all above the threshold: no product and no inverse transform;
    // the output is exact silence (the true convolution is below 1e-12).
    test::FillImpulse(impulse, Signal(300, 1e-15f));
    ASSERT_EQ(engine.SetImpulse(impulse, -1), 512);
    EXPECT_FALSE(engine.PartitionUsed(0, 0));
    const Signal x = test::Noise(5000, 24);
    CallbackDriver driver(engine, 512);
    Signal out0, out1;
    driver.Run(x, x, 0, 5000, test::RandomBlockSizes(25, 1024), out0, out1);
    EXPECT_EQ(out0, Signal(5000, 0.0f));
    EXPECT_EQ(driver.Delivered(0).size(), 5000u - 512u);
}

TEST(ConvolutionEngineAccuracy, NewEngineAndEmptyImpulsesPassAudioThrough) {
    const Signal x0 = test::Noise(3000, 31), x1 = test::Noise(3000, 32);
    auto passesThrough = [&](ConvolutionEngine& engine) {
        CallbackDriver driver(engine, 0);
        Signal out0, out1;
        driver.Run(x0, x1, 0, 3000, test::RandomBlockSizes(33, 512), out0, out1);
        EXPECT_EQ(out0, x0);
        EXPECT_EQ(out1, x1);
    };
    ConvolutionEngine engine;
    EXPECT_EQ(engine.ActiveChannels(), 0);
    EXPECT_EQ(engine.FftSize(), 0);
    EXPECT_EQ(engine.ImpulseChannels(), 1);
    passesThrough(engine);
    EXPECT_EQ(engine.ActiveChannels(), 2);

    ImpulseBuffer impulse;
    test::FillImpulse(impulse, Signal{});
    EXPECT_EQ(engine.SetImpulse(impulse, -1), 0);
    passesThrough(engine);

    test::FillImpulse(impulse, Signal{1.0f, 0.0f});  // a unit impulse: exact copy, no latency
    EXPECT_EQ(engine.SetImpulse(impulse, -1), 0);
    passesThrough(engine);
}

TEST(ConvolutionEngineAccuracy, OneChannelImpulseFiltersBothSlotsAlike) {
    for (int taps : {50, 3000}) {
        SCOPED_TRACE(taps);
        ImpulseBuffer impulse;
        test::FillImpulse(impulse, test::DecayingImpulse(taps, 41));
        ConvolutionEngine engine;
        const int latency = engine.SetImpulse(impulse, -1);
        const Signal x = test::Noise(20000, 42);
        CallbackDriver driver(engine, latency);
        Signal out0, out1;
        driver.Run(x, x, 0, 20000, test::RandomBlockSizes(43, engine.FftSize()), out0, out1);
        EXPECT_EQ(out0, out1);
        EXPECT_NE(out0, Signal(20000, 0.0f));
    }
}

}  // namespace
}  // namespace tolvar
