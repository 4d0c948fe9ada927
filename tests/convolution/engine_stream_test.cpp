// How the engine moves audio: when blocks run, what Get and Advance see, what
// survives an impulse change, Reset and bad arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "convolution/convolution_engine.h"
#include "tests/convolution/engine_test_support.h"

namespace tolvar {
namespace {

using test::CallbackDriver;
using test::Signal;

constexpr double kFftModeBoundDb = -120.0;  // as in the accuracy tests

void Install(ConvolutionEngine& engine, const Signal& taps, int expectedLatency) {
    ImpulseBuffer impulse;
    test::FillImpulse(impulse, taps);
    ASSERT_EQ(engine.SetImpulse(impulse, -1), expectedLatency);
}

void AddFrames(ConvolutionEngine& engine, const float* x0, const float* x1, int frames, int channels = 2) {
    const float* inputs[2] = {x0, x1};
    engine.Add(inputs, frames, channels);
}

// The model of one slot's output stream across an impulse change: output index k
// is input index k; before `joint` it is the old impulse over the whole input,
// from `joint` on the new impulse over the input from `restart` on (the blocks
// after the change see earlier input as silence).
double StreamErrorDb(const Signal& delivered, const Signal& x, const Signal& oldTaps, const Signal& newTaps,
                     long joint, long restart, long begin = 0) {
    const Signal tail(x.begin() + restart, x.end());
    std::vector<double> actual, reference;
    for (long k = begin; k < static_cast<long>(delivered.size()); ++k) {
        actual.push_back(delivered[static_cast<std::size_t>(k)]);
        reference.push_back(k < joint ? test::Convolved(oldTaps, x, k)
                                      : test::Convolved(newTaps, tail, k - joint));
    }
    return test::RelativeErrorDb(actual, reference);
}

TEST(ConvolutionEngineStream, AvailRunsBlocksOnlyAsFarAsAsked) {
    ConvolutionEngine engine;
    Install(engine, test::DecayingImpulse(200, 1), 256);  // N = 512, H = 256
    const Signal x = test::Noise(1000, 2);
    AddFrames(engine, x.data(), x.data(), 1000);
    EXPECT_EQ(engine.ActiveChannels(), 2);

    struct Step {
        int wanted, readable, pending;
    };
    const Step steps[] = {
        {0, 0, 1000},       // Avail(0) runs no block
        {-3, 0, 1000},      // nor does a negative request
        {1, 256, 744},      // one block gives H samples
        {256, 256, 744},    // already enough
        {257, 512, 488},
        {10000, 768, 232},  // runs until fewer than H samples are pending
        {10000, 768, 232},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.wanted);
        EXPECT_EQ(engine.Avail(step.wanted), step.readable);
        for (int slot = 0; slot < 2; ++slot) {
            EXPECT_EQ(engine.ReadableOutput(slot), step.readable);
            EXPECT_EQ(engine.PendingInput(slot), step.pending);
        }
    }
    EXPECT_EQ(engine.RingPosition(0), 0);  // P = 1: the ring has one entry

    // Direct form computes at Add; Avail only counts.
    Install(engine, test::DecayingImpulse(100, 3), 0);
    AddFrames(engine, x.data(), x.data(), 70);
    EXPECT_EQ(engine.Avail(0), 70);
}

TEST(ConvolutionEngineStream, GetAndAdvanceServeTheActiveSlots) {
    ConvolutionEngine engine;
    EXPECT_EQ(engine.Get()[0], nullptr);
    EXPECT_EQ(engine.Get()[1], nullptr);

    const Signal x0 = test::Noise(100, 4), x1 = test::Noise(100, 5);
    AddFrames(engine, x0.data(), x1.data(), 100);  // pass-through engine
    float* const* ready = engine.Get();
    ASSERT_NE(ready[0], nullptr);
    ASSERT_NE(ready[1], nullptr);
    EXPECT_EQ(ready[0][0], x0[0]);
    EXPECT_EQ(ready[1][0], x1[0]);

    engine.Advance(-1);
    engine.Advance(0);
    EXPECT_EQ(engine.ReadableOutput(0), 100);
    engine.Advance(30);
    ready = engine.Get();
    EXPECT_EQ(ready[0][0], x0[30]);
    EXPECT_EQ(ready[1][0], x1[30]);
    EXPECT_EQ(engine.ReadableOutput(1), 70);

    // With one channel active only slot 0 is served; slot 1's entry is left as it was.
    float* oldSlot1 = ready[1];
    AddFrames(engine, x0.data(), nullptr, 10, 1);
    ready = engine.Get();
    EXPECT_EQ(ready[1], oldSlot1);
    engine.Advance(1000);
    EXPECT_EQ(engine.Get()[0], nullptr);
    EXPECT_EQ(engine.ReadableOutput(0), 0);
    EXPECT_EQ(engine.ReadableOutput(1), 70);
}

TEST(ConvolutionEngineStream, BadArgumentsChangeNothing) {
    ConvolutionEngine engine;
    Install(engine, test::DecayingImpulse(300, 6), 512);
    const Signal x = test::Noise(100, 7);
    AddFrames(engine, x.data(), x.data(), 100);

    AddFrames(engine, x.data(), x.data(), 100, 3);
    AddFrames(engine, x.data(), x.data(), 100, -1);
    AddFrames(engine, x.data(), x.data(), -5);
    AddFrames(engine, x.data(), nullptr, 100);
    engine.Add(nullptr, 100, 2);
    EXPECT_EQ(engine.PendingInput(0), 100);
    EXPECT_EQ(engine.PendingInput(1), 100);
    EXPECT_EQ(engine.ActiveChannels(), 2);
    engine.Add(nullptr, 0, 2);  // nothing to read: allowed
    EXPECT_EQ(engine.PendingInput(0), 100);

    ImpulseBuffer impulse;
    test::FillImpulse(impulse, test::DecayingImpulse(3000, 8));
    for (int request : {0, 1, 3, 1000, 65536}) EXPECT_EQ(engine.SetImpulse(impulse, request), -1) << request;
    test::FillImpulse(impulse, test::DecayingImpulse(50, 8));
    EXPECT_EQ(engine.SetImpulse(impulse, 1000), -1);  // refused even where direct form would not use it
    impulse.channels = 0;
    EXPECT_EQ(engine.SetImpulse(impulse, -1), -1);
    impulse.channels = 3;
    EXPECT_EQ(engine.SetImpulse(impulse, -1), -1);
    // The 300-tap impulse and the queued audio are still there.
    EXPECT_EQ(engine.FftSize(), 1024);
    EXPECT_EQ(engine.ImpulseLength(), 300);
    EXPECT_EQ(engine.PendingInput(0), 100);
    EXPECT_EQ(engine.ActiveChannels(), 2);
}

TEST(ConvolutionEngineStream, ExplicitAndCappedSizes) {
    ConvolutionEngine engine;
    ImpulseBuffer impulse;
    test::FillImpulse(impulse, test::DecayingImpulse(1000, 9));
    EXPECT_EQ(engine.SetImpulse(impulse, -100), 128);
    EXPECT_EQ(engine.FftSize(), 256);
    EXPECT_EQ(engine.PartitionCount(), 8);
    EXPECT_EQ(engine.SetImpulse(impulse, 64), 32);
    EXPECT_EQ(engine.PartitionCount(), 32);
    test::FillImpulse(impulse, test::DecayingImpulse(20000, 9));
    EXPECT_EQ(engine.SetImpulse(impulse, -1), 16384);
    EXPECT_EQ(engine.FftSize(), 32768);
    EXPECT_EQ(engine.PartitionCount(), 2);
    test::FillImpulse(impulse, test::DecayingImpulse(128, 9));
    EXPECT_EQ(engine.SetImpulse(impulse, 4096), 0);  // 128 taps run in direct form whatever the request
    EXPECT_EQ(engine.FftSize(), 0);
    EXPECT_EQ(engine.DirectTapCount(0), 128);
}

// A channel's tap count is its length in bytes divided by 4, rounded down: a
// partial last tap is never read.
TEST(ConvolutionEngineStream, PartialTrailingTapIsIgnored) {
    for (int taps : {60, 300}) {
        SCOPED_TRACE(taps);
        const Signal h = test::DecayingImpulse(taps, 37);
        ImpulseBuffer impulse;
        test::FillImpulse(impulse, h);
        impulse.samples[0].Resize(4 * taps + 3, false);  // three stray bytes
        ConvolutionEngine engine;
        const int latency = engine.SetImpulse(impulse, -1);
        EXPECT_EQ(engine.ImpulseLength(), taps);
        const Signal x = test::Noise(3000, 38);
        CallbackDriver driver(engine, latency);
        Signal out0, out1;
        driver.Run(x, x, 0, 3000, test::RandomBlockSizes(39, 1024), out0, out1);
        std::vector<double> actual, reference;
        for (long t = 0; t < 3000; ++t) {
            actual.push_back(out0[static_cast<std::size_t>(t)]);
            reference.push_back(test::Convolved(h, x, t - latency));
        }
        EXPECT_LE(test::RelativeErrorDb(actual, reference), kFftModeBoundDb);
    }
}

// An FFT-mode impulse replacing another keeps the queued input and output, clears
// the ring and tail, and the output stays aligned with the callback's latency.
TEST(ConvolutionEngineStream, FftToFftKeepsQueuedAudio) {
    const Signal a = test::DecayingImpulse(1500, 10);  // N = 4096, H = 2048
    const Signal b = test::DecayingImpulse(300, 11);   // N = 1024, H = 512
    const struct {
        const Signal* first;
        const Signal* second;
        int firstLatency, secondLatency;
    } changes[] = {{&b, &a, 512, 2048}, {&a, &b, 2048, 512}};
    for (const auto& change : changes) {
        SCOPED_TRACE(change.secondLatency > change.firstLatency ? "larger N" : "smaller N");
        ConvolutionEngine engine;
        Install(engine, *change.first, change.firstLatency);
        const long length = 14000, switchAt = 5301;
        const Signal x0 = test::Noise(length, 12), x1 = test::Noise(length, 13);
        CallbackDriver driver(engine, change.firstLatency);
        Signal out0, out1;
        driver.Run(x0, x1, 0, switchAt, test::RandomBlockSizes(14, 4096), out0, out1);
        const int pending = engine.PendingInput(0), queued = engine.ReadableOutput(0);
        ASSERT_EQ(engine.PendingInput(1), pending);
        ASSERT_EQ(engine.ReadableOutput(1), queued);
        ASSERT_GT(pending + queued, 0);

        Install(engine, *change.second, change.secondLatency);
        driver.RaiseLatency(change.secondLatency);
        EXPECT_EQ(engine.ActiveChannels(), -1);
        EXPECT_EQ(engine.PendingInput(0), pending);  // kept
        EXPECT_EQ(engine.ReadableOutput(0), queued);
        driver.Run(x0, x1, switchAt, length, test::RandomBlockSizes(15, 4096), out0, out1);
        EXPECT_EQ(engine.ActiveChannels(), 2);
        // The callback never ran short: the only silence is the latency it owes.
        EXPECT_EQ(driver.SilentFrames(), driver.InitialDelay());

        // Blocks before the change produced outputs up to the first pending sample.
        const long joint = switchAt - pending;
        const Signal* x[2] = {&x0, &x1};
        for (int slot = 0; slot < 2; ++slot) {
            EXPECT_LE(StreamErrorDb(driver.Delivered(slot), *x[slot], *change.first, *change.second, joint, joint),
                      kFftModeBoundDb)
                << "slot " << slot;
        }
    }
}

TEST(ConvolutionEngineStream, FftToDirectDropsQueuedAudio) {
    const Signal a = test::DecayingImpulse(1500, 16), d = test::DecayingImpulse(60, 17);
    ConvolutionEngine engine;
    Install(engine, a, 2048);
    const long length = 9000, switchAt = 5301;
    const Signal x0 = test::Noise(length, 18), x1 = test::Noise(length, 19);
    CallbackDriver driver(engine, 2048);
    Signal out0, out1;
    driver.Run(x0, x1, 0, switchAt, test::RandomBlockSizes(20, 4096), out0, out1);
    const long deliveredBefore = static_cast<long>(driver.Delivered(0).size());
    ASSERT_GT(engine.PendingInput(0) + engine.ReadableOutput(0), 0);

    Install(engine, d, 0);
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_EQ(engine.PendingInput(slot), 0);
        EXPECT_EQ(engine.ReadableOutput(slot), 0);
    }
    driver.Run(x0, x1, switchAt, length, test::RandomBlockSizes(21, 4096), out0, out1);
    // From the change on, every block is filtered in full without lag.
    EXPECT_EQ(driver.SilentFrames(), 2048);
    const Signal rest(x0.begin() + switchAt, x0.end());
    std::vector<double> actual, reference;
    for (long t = switchAt; t < length; ++t) {
        actual.push_back(out0[static_cast<std::size_t>(t)]);
        reference.push_back(test::Convolved(d, rest, t - switchAt));
    }
    EXPECT_LE(test::RelativeErrorDb(actual, reference), -140.0);
    const Signal* x[2] = {&x0, &x1};
    for (int slot = 0; slot < 2; ++slot) {
        // The old impulse's output up to the change, then the new one's from the
        // input at the change: everything queued in between is gone.
        EXPECT_LE(StreamErrorDb(driver.Delivered(slot), *x[slot], a, d, deliveredBefore, switchAt), kFftModeBoundDb)
            << "slot " << slot;
    }
}

TEST(ConvolutionEngineStream, DirectToFftStartsEmpty) {
    const Signal d = test::DecayingImpulse(60, 22), f = test::DecayingImpulse(700, 23);  // N = 2048
    ConvolutionEngine engine;
    Install(engine, d, 0);
    const long length = 9000, switchAt = 3001;
    const Signal x0 = test::Noise(length, 24), x1 = test::Noise(length, 25);
    CallbackDriver driver(engine, 0);
    Signal out0, out1;
    driver.Run(x0, x1, 0, switchAt, test::RandomBlockSizes(26, 2048), out0, out1);
    EXPECT_EQ(driver.SilentFrames(), 0);

    Install(engine, f, 1024);
    driver.RaiseLatency(1024);
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_EQ(engine.PendingInput(slot), 0);
        EXPECT_EQ(engine.ReadableOutput(slot), 0);
    }
    driver.Run(x0, x1, switchAt, length, test::RandomBlockSizes(27, 2048), out0, out1);
    EXPECT_EQ(driver.SilentFrames(), 1024);
    const Signal* x[2] = {&x0, &x1};
    const Signal* out[2] = {&out0, &out1};
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_LE(StreamErrorDb(driver.Delivered(slot), *x[slot], d, f, switchAt, switchAt), kFftModeBoundDb);
        // In the callback's output: direct form without lag, then 1024 frames of
        // silence, then the new impulse's output.
        const Signal rest(x[slot]->begin() + switchAt, x[slot]->end());
        for (long t = switchAt; t < switchAt + 1024; ++t) ASSERT_EQ((*out[slot])[static_cast<std::size_t>(t)], 0.0f);
        std::vector<double> actual, reference;
        for (long t = switchAt + 1024; t < length; ++t) {
            actual.push_back((*out[slot])[static_cast<std::size_t>(t)]);
            reference.push_back(test::Convolved(f, rest, t - switchAt - 1024));
        }
        EXPECT_LE(test::RelativeErrorDb(actual, reference), kFftModeBoundDb);
    }
}

// The first Add after an FFT-mode SetImpulse pads a slot holding fewer samples
// in flight than a slot before it; a slot holding more than one before it is
// left as it is.
TEST(ConvolutionEngineStream, ReconfigurationPadsLaterSlotsToTheFullestBefore) {
    const Signal d = test::DecayingImpulse(10, 28), f = test::DecayingImpulse(300, 29);
    const Signal x = test::Noise(200, 30), y = test::Noise(2000, 31);
    {
        SCOPED_TRACE("slot 0 fuller");
        ConvolutionEngine engine;
        Install(engine, d, 0);
        AddFrames(engine, x.data(), x.data(), 100);
        AddFrames(engine, x.data() + 100, nullptr, 50, 1);
        ASSERT_EQ(engine.ReadableOutput(0), 150);
        ASSERT_EQ(engine.ReadableOutput(1), 100);
        Install(engine, f, 512);
        AddFrames(engine, y.data(), y.data(), 10);
        EXPECT_EQ(engine.ReadableOutput(0), 150);
        EXPECT_EQ(engine.ReadableOutput(1), 150);  // 50 zeros appended
        EXPECT_EQ(engine.PendingInput(0), 10);
        EXPECT_EQ(engine.PendingInput(1), 10);
        float* const* ready = engine.Get();
        for (int k = 0; k < 150; ++k) {
            const double direct = test::Convolved(d, x, k);
            ASSERT_NEAR(ready[0][k], direct, 1e-6) << k;
            ASSERT_NEAR(ready[1][k], k < 100 ? direct : 0.0, 1e-6) << k;
            if (k >= 100) {
                ASSERT_EQ(ready[1][k], 0.0f);
            }
        }
    }
    {
        SCOPED_TRACE("slot 1 fuller");
        ConvolutionEngine engine;
        Install(engine, d, 0);
        AddFrames(engine, x.data(), x.data(), 100);
        AddFrames(engine, nullptr, nullptr, 0, 1);
        engine.Advance(60);  // slot 0 only: one channel active
        ASSERT_EQ(engine.ReadableOutput(0), 40);
        ASSERT_EQ(engine.ReadableOutput(1), 100);
        Install(engine, f, 512);
        AddFrames(engine, y.data(), y.data(), 10);
        EXPECT_EQ(engine.ReadableOutput(0), 40);
        EXPECT_EQ(engine.ReadableOutput(1), 100);
    }
    {
        SCOPED_TRACE("pending input, slot 1 retired and back");
        ConvolutionEngine engine;
        Install(engine, f, 512);
        AddFrames(engine, x.data(), x.data(), 200);
        AddFrames(engine, y.data(), nullptr, 800, 1);  // retires slot 1: its queues are emptied
        EXPECT_EQ(engine.PendingInput(0), 1000);
        EXPECT_EQ(engine.PendingInput(1), 0);
        EXPECT_EQ(engine.ReadableOutput(1), 0);
        AddFrames(engine, y.data() + 800, y.data() + 800, 1200);
        EXPECT_EQ(engine.ReadableOutput(0), 0);
        EXPECT_EQ(engine.ReadableOutput(1), 1000);  // zeros for slot 0's 1000 in flight
        EXPECT_EQ(engine.PendingInput(0), 2200);
        EXPECT_EQ(engine.PendingInput(1), 1200);
        // Both streams now line up: slot 0's input index 1000 + j and slot 1's
        // input j both come out at output index 1000 + j.
        // Slot 0 ran four blocks, slot 1 two after its 1000 zeros; Avail reports
        // what both can deliver.
        EXPECT_EQ(engine.Avail(100000), 2024);
        EXPECT_EQ(engine.ReadableOutput(0), 2048);
        EXPECT_EQ(engine.ReadableOutput(1), 2024);
        Signal in0(x.begin(), x.end());
        in0.insert(in0.end(), y.begin(), y.end());
        const Signal in1(y.begin() + 800, y.end());
        float* const* ready = engine.Get();
        std::vector<double> actual, reference;
        for (int k = 0; k < 2024; ++k) {
            actual.push_back(ready[0][k]);
            reference.push_back(test::Convolved(f, in0, k));
            actual.push_back(ready[1][k]);
            reference.push_back(k < 1000 ? 0.0 : test::Convolved(f, in1, k - 1000));
        }
        EXPECT_LE(test::RelativeErrorDb(actual, reference), kFftModeBoundDb);
    }
}

// Two slots sharing a one-channel impulse run packed into one complex
// transform. When both channels carry the same audio for long enough that
// everything an output depends on (P + 1 blocks) is the same, the two outputs
// are the same bits, as from two separate transforms; stereo audio is filtered
// exactly in both channels throughout.
TEST(ConvolutionEngineStream, PackedSlotsKeepMonoAudioExactlyMono) {
    const Signal h = test::DecayingImpulse(40000, 61);  // N = 32768, three partitions
    ConvolutionEngine engine;
    Install(engine, h, 16384);
    const long length = 200000, monoFrom = 50000;
    Signal x0 = test::Noise(length, 62), x1 = test::Noise(length, 63);
    std::copy(x0.begin() + monoFrom, x0.end(), x1.begin() + monoFrom);
    CallbackDriver driver(engine, 16384);
    Signal out0, out1;
    driver.Run(x0, x1, 0, length, test::RandomBlockSizes(64, 2048), out0, out1);
    EXPECT_TRUE(engine.PackedSlots());
    // Mono from monoFrom on; its outputs from the first block whose P + 1
    // blocks are all mono on (a block boundary within 4 blocks of it).
    const long identicalFrom = 16384 + (monoFrom / 16384 + 1 + 3) * 16384;
    ASSERT_LT(identicalFrom, length);
    EXPECT_TRUE(std::equal(out0.begin() + identicalFrom, out0.end(), out1.begin() + identicalFrom));
    EXPECT_FALSE(std::equal(out0.begin() + 16384, out0.begin() + monoFrom, out1.begin() + 16384));
    const Signal* x[2] = {&x0, &x1};
    const Signal* out[2] = {&out0, &out1};
    for (int c = 0; c < 2; ++c) {
        std::vector<double> actual, reference;
        for (long t = 16384; t < length; t += 97) {
            actual.push_back((*out[c])[static_cast<std::size_t>(t)]);
            reference.push_back(test::Convolved(h, *x[c], t - 16384));
        }
        EXPECT_LE(test::RelativeErrorDb(actual, reference), kFftModeBoundDb) << "channel " << c;
    }
}

// A single active slot runs on real-input transforms of its own.
TEST(ConvolutionEngineStream, OneActiveSlotFiltersAlone) {
    const Signal h = test::DecayingImpulse(3000, 65);  // N = 8192
    ConvolutionEngine engine;
    Install(engine, h, 4096);
    const Signal x = test::Noise(30000, 66);
    Signal out;
    for (long t = 0; t < 30000; t += 700) {
        const int n = static_cast<int>(std::min<long>(700, 30000 - t));
        AddFrames(engine, x.data() + t, nullptr, n, 1);
        const int ready = engine.Avail(n);
        out.insert(out.end(), engine.Get()[0], engine.Get()[0] + ready);
        engine.Advance(ready);
    }
    EXPECT_FALSE(engine.PackedSlots());
    ASSERT_GT(out.size(), 20000u);
    std::vector<double> actual, reference;
    for (std::size_t t = 0; t < out.size(); ++t) {
        actual.push_back(out[t]);
        reference.push_back(test::Convolved(h, x, static_cast<long>(t)));
    }
    EXPECT_LE(test::RelativeErrorDb(actual, reference), kFftModeBoundDb);
}

TEST(ConvolutionEngineStream, ResetDropsAudioAndKeepsTheImpulse) {
    for (int taps : {40, 900}) {
        SCOPED_TRACE(taps);
        const Signal h = test::DecayingImpulse(taps, 32);
        ConvolutionEngine engine;
        ImpulseBuffer impulse;
        test::FillImpulse(impulse, h);
        const int latency = engine.SetImpulse(impulse, -1);
        const Signal x = test::Noise(6000, 33), y = test::Noise(6000, 34);
        CallbackDriver first(engine, latency);
        Signal out0, out1;
        first.Run(x, x, 0, 3333, test::RandomBlockSizes(35, 2048), out0, out1);
        const int n = engine.FftSize();

        engine.Reset();
        EXPECT_EQ(engine.FftSize(), n);
        EXPECT_EQ(engine.ActiveChannels(), 2);
        for (int slot = 0; slot < 2; ++slot) {
            EXPECT_EQ(engine.PendingInput(slot), 0);
            EXPECT_EQ(engine.ReadableOutput(slot), 0);
            EXPECT_EQ(engine.RingPosition(slot), 0);
        }
        // Afterwards the engine behaves as a new one holding the same impulse.
        CallbackDriver second(engine, latency);
        Signal fresh0, fresh1;
        second.Run(y, y, 0, 6000, test::RandomBlockSizes(36, 2048), fresh0, fresh1);
        EXPECT_EQ(second.SilentFrames(), latency);
        std::vector<double> actual, reference;
        for (long t = 0; t < 6000; ++t) {
            actual.push_back(fresh1[static_cast<std::size_t>(t)]);
            reference.push_back(test::Convolved(h, y, t - latency));
        }
        EXPECT_LE(test::RelativeErrorDb(actual, reference), kFftModeBoundDb);
    }
}

}  // namespace
}  // namespace tolvar
