// An FFT-mode impulse replacing another of the same transform size keeps the
// convolution's history: from the first block computed after the change, the
// output is the new impulse over the whole input, except input older than the
// raw history the engine held (as many blocks of H as the most partitions any
// impulse since the start had), which counts as silence. Checked against a
// direct convolution in double precision.
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

struct Shape {
    int left, right;     // taps per channel; right 0: a one-channel impulse
    int silentLead = 0;  // leading taps set to zero
};

// Streams two channels of noise through the impulses in turn, changing at
// random callback boundaries (once twice in a row, after the fifth), and
// checks each slot's output from every change on against its model.
void StreamThroughChanges(const std::vector<Shape>& shapes, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<long> changes = {0};  // input frames before each change
    for (std::size_t i = 1; i < shapes.size(); ++i) {
        changes.push_back(changes.back() + (i == 5 ? 0 : std::uniform_int_distribution<long>(300, 4000)(random)));
    }
    const long length = changes.back() + 4000;
    const int frames = static_cast<int>(length);
    const Signal x[2] = {test::Noise(frames, seed + 1), test::Noise(frames, seed + 2)};

    ConvolutionEngine engine;
    test::CallbackDriver driver(engine, kH);
    const auto sizes = test::RandomBlockSizes(seed + 3, kN);
    Signal out0, out1;
    std::vector<Signal> taps[2];
    std::vector<long> joints[2], heardFrom[2];  // per change: first output of its impulse, first input it hears
    int historyBlocks = 0;
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        driver.Run(x[0], x[1], i == 0 ? 0 : changes[i - 1], changes[i], sizes, out0, out1);
        if (i > 0 && changes[i] > changes[i - 1]) {
            EXPECT_EQ(engine.PackedSlots(), shapes[i - 1].right == 0);
        }
        Signal channels[2];
        for (int c = 0; c < (shapes[i].right ? 2 : 1); ++c) {
            channels[c] = test::DecayingImpulse(c == 0 ? shapes[i].left : shapes[i].right, seed + static_cast<std::uint32_t>(2 * i + c));
            std::fill(channels[c].begin(), channels[c].begin() + shapes[i].silentLead, 0.0f);
        }
        for (int slot = 0; slot < 2; ++slot) {
            taps[slot].push_back(channels[shapes[i].right ? slot : 0]);  // a one-channel impulse serves both slots
            const long joint = static_cast<long>(driver.Delivered(slot).size()) + engine.ReadableOutput(slot);
            joints[slot].push_back(joint);
            heardFrom[slot].push_back(i == 0 ? 0 : std::max(joint - historyBlocks * kH, heardFrom[slot].back()));
        }
        ImpulseBuffer impulse;
        if (shapes[i].right) {
            test::FillImpulse(impulse, channels[0], channels[1]);
        } else {
            test::FillImpulse(impulse, channels[0]);
        }
        ASSERT_EQ(engine.SetImpulse(impulse, kN), kH);
        historyBlocks = std::max(historyBlocks, engine.PartitionCount());
    }
    driver.Run(x[0], x[1], changes.back(), length, sizes, out0, out1);

    for (int slot = 0; slot < 2; ++slot) {
        const Signal& delivered = driver.Delivered(slot);
        joints[slot].push_back(static_cast<long>(delivered.size()));
        for (std::size_t i = 0; i < shapes.size(); ++i) {
            const Signal heard(x[slot].begin() + heardFrom[slot][i], x[slot].end());
            std::vector<double> actual, reference;
            for (long k = joints[slot][i]; k < joints[slot][i + 1]; ++k) {
                actual.push_back(delivered[static_cast<std::size_t>(k)]);
                reference.push_back(test::Convolved(taps[slot][i], heard, k - heardFrom[slot][i]));
            }
            if (!actual.empty()) {
                EXPECT_LE(test::RelativeErrorDb(actual, reference), -120.0) << "slot " << slot << ", impulse " << i;
            }
        }
    }
}

// P = 1, 3, 4, 4 (other taps), 1, then at once 3 (which hears the four blocks
// kept), 1, 2 (first partition silent), 1.
TEST(ConvolutionEngineHistory, OneChannelImpulsesOnPackedSlots) {
    StreamThroughChanges(
        {{200, 0}, {700, 0}, {1000, 0}, {1000, 0}, {250, 0}, {600, 0}, {180, 0}, {450, 0, 300}, {256, 0}}, 100);
}

// Two-channel impulses run each slot on its own transforms; changes between
// one and two channels repack the history.
TEST(ConvolutionEngineHistory, TwoChannelImpulsesAndRepacking) {
    StreamThroughChanges(
        {{200, 150}, {900, 300}, {220, 0}, {600, 1000}, {140, 700}, {800, 0}, {250, 240}, {1000, 0}}, 300);
}

}  // namespace
}  // namespace tolvar
