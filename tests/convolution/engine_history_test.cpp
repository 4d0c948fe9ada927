// An FFT-mode impulse replacing another of the same transform size keeps the
// convolution's history: from the first block computed after the change, the
// output is the new impulse over the whole input, except input older than the
// P x H samples the engine held (P of the impulse it replaced), which counts as
// silence. Checked against a direct convolution in double precision.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "convolution/convolution_engine.h"
#include "tests/convolution/engine_test_support.h"

namespace tolvar {
namespace {

using test::Signal;

constexpr int kN = 512, kH = kN / 2;  // every impulse here runs at this size
constexpr double kBoundDb = -120.0;

struct Taps {
    Signal channel[2];
    int channels;
};

Taps Mono(Signal taps) { return {{std::move(taps), {}}, 1}; }
Taps Stereo(Signal left, Signal right) { return {{std::move(left), std::move(right)}, 2}; }
Signal AfterSilence(int zeros, const Signal& taps) {
    Signal padded(static_cast<std::size_t>(zeros), 0.0f);
    padded.insert(padded.end(), taps.begin(), taps.end());
    return padded;
}

int Partitions(const Taps& taps) {
    const std::size_t longest = std::max(taps.channel[0].size(), taps.channel[1].size());
    return static_cast<int>((longest + kH - 1) / kH);
}

// From output index `joint` on, `taps` filters the input from `heardFrom` on.
struct Segment {
    long joint;
    long heardFrom;
    const Taps* taps;
};

// Streams two channels of noise through the impulses in turn, changing at
// random callback boundaries (once twice in a row), and checks every segment of
// each slot's output against its model.
void StreamThroughChanges(const std::vector<Taps>& impulses, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<long> gaps;
    for (std::size_t i = 0; i < impulses.size(); ++i) {
        gaps.push_back(i == 4 ? 0 : std::uniform_int_distribution<long>(300, 4000)(random));
    }
    long length = 4000;
    for (long gap : gaps) length += gap;
    const Signal x0 = test::Noise(static_cast<int>(length), seed + 1);
    const Signal x1 = test::Noise(static_cast<int>(length), seed + 2);

    ConvolutionEngine engine;
    test::CallbackDriver driver(engine, kH);
    const auto sizes = test::RandomBlockSizes(seed + 3, kN);
    Signal out0, out1;
    std::vector<Segment> segments[2];
    long at = 0;
    for (std::size_t i = 0; i < impulses.size(); ++i) {
        const Taps& taps = impulses[i];
        ImpulseBuffer impulse;
        if (taps.channels == 1) test::FillImpulse(impulse, taps.channel[0]);
        if (taps.channels == 2) test::FillImpulse(impulse, taps.channel[0], taps.channel[1]);
        for (int slot = 0; slot < 2; ++slot) {
            // Everything computed so far: delivered or waiting to be taken.
            const long joint = static_cast<long>(driver.Delivered(slot).size()) + engine.ReadableOutput(slot);
            const long held = i == 0 ? 0 : joint - static_cast<long>(Partitions(impulses[i - 1])) * kH;
            const long heardFrom = segments[slot].empty() ? 0 : std::max(held, segments[slot].back().heardFrom);
            segments[slot].push_back({joint, heardFrom, &taps});
        }
        ASSERT_EQ(engine.SetImpulse(impulse, kN), kH);
        ASSERT_EQ(engine.PartitionCount(), Partitions(taps));
        driver.Run(x0, x1, at, at + gaps[i], sizes, out0, out1);
        if (gaps[i] > 0) {
            EXPECT_EQ(engine.PackedSlots(), taps.channels == 1);
        }
        at += gaps[i];
    }
    driver.Run(x0, x1, at, length, sizes, out0, out1);

    const Signal* x[2] = {&x0, &x1};
    for (int slot = 0; slot < 2; ++slot) {
        const Signal& delivered = driver.Delivered(slot);
        for (std::size_t s = 0; s < segments[slot].size(); ++s) {
            const Segment& segment = segments[slot][s];
            const long end = s + 1 < segments[slot].size() ? segments[slot][s + 1].joint
                                                           : static_cast<long>(delivered.size());
            const Signal heard(x[slot]->begin() + segment.heardFrom, x[slot]->end());
            const Signal& h = segment.taps->channel[segment.taps->channels == 2 ? slot : 0];
            std::vector<double> actual, reference;
            for (long k = segment.joint; k < end; ++k) {
                actual.push_back(delivered[static_cast<std::size_t>(k)]);
                reference.push_back(test::Convolved(h, heard, k - segment.heardFrom));
            }
            if (!actual.empty()) {
                EXPECT_LE(test::RelativeErrorDb(actual, reference), kBoundDb)
                    << "slot " << slot << ", impulse " << s << ", output " << segment.joint << " to " << end;
            }
        }
    }
    ASSERT_GT(driver.Delivered(0).size(), static_cast<std::size_t>(length - 2 * kN));
}

// P = 1, 3, 4, 4 (other taps), 1, then at once 3 (which hears only the one
// block kept), 1, 2 (first partition silent), 1.
std::vector<Taps> OneChannelImpulses() {
    return {Mono(test::DecayingImpulse(200, 1)),  Mono(test::DecayingImpulse(700, 2)),
            Mono(test::DecayingImpulse(1000, 3)), Mono(test::DecayingImpulse(1000, 4)),
            Mono(test::DecayingImpulse(250, 5)),  Mono(test::DecayingImpulse(600, 6)),
            Mono(test::DecayingImpulse(180, 7)),  Mono(AfterSilence(300, test::DecayingImpulse(150, 8))),
            Mono(test::DecayingImpulse(256, 9))};
}

TEST(ConvolutionEngineHistory, OneChannelImpulsesOnPackedSlots) {
    StreamThroughChanges(OneChannelImpulses(), 100);
}

// Two-channel impulses run each slot on its own transforms; changes between
// one and two channels repack the history.
TEST(ConvolutionEngineHistory, TwoChannelImpulsesAndRepacking) {
    StreamThroughChanges({Stereo(test::DecayingImpulse(200, 11), test::DecayingImpulse(150, 12)),
                          Stereo(test::DecayingImpulse(900, 13), test::DecayingImpulse(300, 14)),
                          Mono(test::DecayingImpulse(220, 15)),
                          Stereo(test::DecayingImpulse(600, 16), test::DecayingImpulse(1000, 17)),
                          Stereo(test::DecayingImpulse(140, 18), test::DecayingImpulse(700, 19)),
                          Mono(test::DecayingImpulse(800, 20)),
                          Stereo(test::DecayingImpulse(250, 21), test::DecayingImpulse(240, 22)),
                          Mono(test::DecayingImpulse(1000, 23))},
                         300);
}

}  // namespace
}  // namespace tolvar
