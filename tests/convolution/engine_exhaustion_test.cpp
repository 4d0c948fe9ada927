// The engine when the heap refuses requests: SetImpulse either installs the new
// impulse completely or leaves the old one working; the audio path stays memory
// safe and only delivers fewer samples. The sanitizer build checks every access.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "convolution/convolution_engine.h"
#include "tests/convolution/engine_test_support.h"
#include "tests/support/failing_heap.h"

namespace tolvar {
namespace {

using test::CallbackDriver;
using test::Signal;

struct Impulse {
    Signal taps[2];
    int channels;
    int latency;
};

void Fill(ImpulseBuffer& buffer, const Impulse& impulse) {
    if (impulse.channels == 1) {
        test::FillImpulse(buffer, impulse.taps[0]);
    } else {
        test::FillImpulse(buffer, impulse.taps[0], impulse.taps[1]);
    }
}

void ExpectSameState(const ConvolutionEngine& engine, const ConvolutionEngine& twin) {
    EXPECT_EQ(engine.FftSize(), twin.FftSize());
    EXPECT_EQ(engine.ImpulseLength(), twin.ImpulseLength());
    EXPECT_EQ(engine.ImpulseChannels(), twin.ImpulseChannels());
    EXPECT_EQ(engine.ActiveChannels(), twin.ActiveChannels());
    EXPECT_EQ(engine.PartitionCount(), twin.PartitionCount());
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_EQ(engine.PendingInput(slot), twin.PendingInput(slot));
        EXPECT_EQ(engine.ReadableOutput(slot), twin.ReadableOutput(slot));
    }
}

// For every k, a SetImpulse whose heap grants only k requests either fails and
// changes nothing (the engine goes on exactly like a twin that never saw the
// call) or succeeds and behaves exactly like a twin that installed the impulse
// normally.
void SweepRefusedSetImpulse(const Impulse& from, const Impulse& to) {
    const long length = 12000, changeAt = 4321;
    const Signal x0 = test::Noise(length, 51), x1 = test::Noise(length, 52);
    int firstSuccess = -1;
    for (int granted = 0; granted < 40; ++granted) {
        SCOPED_TRACE(granted);
        ImpulseBuffer impulse;
        ConvolutionEngine engine, twin;
        Fill(impulse, from);
        ASSERT_EQ(engine.SetImpulse(impulse, -1), from.latency);
        ASSERT_EQ(twin.SetImpulse(impulse, -1), from.latency);
        CallbackDriver driver(engine, from.latency), twinDriver(twin, from.latency);
        Signal out[4];
        driver.Run(x0, x1, 0, changeAt, test::RandomBlockSizes(53, 4096), out[0], out[1]);
        twinDriver.Run(x0, x1, 0, changeAt, test::RandomBlockSizes(53, 4096), out[2], out[3]);

        Fill(impulse, to);
        int latency;
        {
            auto heap = test::FailingHeap::Granting(granted);
            latency = engine.SetImpulse(impulse, -1);
        }
        if (latency < 0) {
            EXPECT_EQ(firstSuccess, -1) << "failed again after succeeding with fewer grants";
            ExpectSameState(engine, twin);
        } else {
            EXPECT_EQ(latency, to.latency);
            EXPECT_EQ(twin.SetImpulse(impulse, -1), to.latency);
            driver.RaiseLatency(latency);
            twinDriver.RaiseLatency(latency);
            if (firstSuccess < 0) firstSuccess = granted;
        }
        driver.Run(x0, x1, changeAt, length, test::RandomBlockSizes(54, 4096), out[0], out[1]);
        twinDriver.Run(x0, x1, changeAt, length, test::RandomBlockSizes(54, 4096), out[2], out[3]);
        EXPECT_EQ(out[0], out[2]);
        EXPECT_EQ(out[1], out[3]);
        if (firstSuccess >= 0 && granted >= firstSuccess + 2) break;
    }
    EXPECT_GT(firstSuccess, 0);  // the sweep did see refusals, and an end to them
}

const Impulse kShortFft{{test::DecayingImpulse(300, 61), {}}, 1, 512};
const Impulse kLongFft{{test::DecayingImpulse(3000, 62), {}}, 1, 4096};
const Impulse kDirect{{test::DecayingImpulse(60, 63), {}}, 1, 0};
const Impulse kTwoChannelFft{{test::DecayingImpulse(2000, 64), test::DecayingImpulse(700, 65)}, 2, 2048};
const Impulse kTwoChannelDirect{{test::DecayingImpulse(90, 66), test::DecayingImpulse(20, 67)}, 2, 0};

TEST(ConvolutionEngineExhaustion, RefusedSetImpulseLeavesThePreviousImpulseWorking) {
    {
        SCOPED_TRACE("FFT to larger FFT");
        SweepRefusedSetImpulse(kShortFft, kLongFft);
    }
    {
        SCOPED_TRACE("FFT to direct form");
        SweepRefusedSetImpulse(kLongFft, kTwoChannelDirect);
    }
    {
        SCOPED_TRACE("direct form to FFT");
        SweepRefusedSetImpulse(kDirect, kTwoChannelFft);
    }
    {
        SCOPED_TRACE("one-channel to two-channel FFT");
        SweepRefusedSetImpulse(kShortFft, kTwoChannelFft);
    }
}

// Queue growth refused on the audio path: fewer samples come out, never a
// wrong access, every sample delivered is bounded by what the convolution can
// produce, and after Reset with a healthy heap the engine is as good as new.
TEST(ConvolutionEngineExhaustion, AudioPathDeliversLessButStaysSafe) {
    for (const Impulse* impulse : {&kDirect, &kTwoChannelDirect, &kShortFft, &kTwoChannelFft}) {
        SCOPED_TRACE(impulse->latency);
        double gain[2] = {0.0, 0.0};
        for (int c = 0; c < 2; ++c) {
            for (float tap : impulse->taps[impulse->channels == 2 ? c : 0]) gain[c] += std::fabs(tap);
        }
        const Signal x0 = test::Noise(30000, 71), x1 = test::Noise(30000, 72);
        bool sawShortfall = false;
        for (int granted = 0; granted < 16; ++granted) {
            SCOPED_TRACE(granted);
            ImpulseBuffer buffer;
            Fill(buffer, *impulse);
            ConvolutionEngine engine;
            ASSERT_EQ(engine.SetImpulse(buffer, -1), impulse->latency);
            CallbackDriver driver(engine, impulse->latency);
            Signal out0, out1;
            {
                auto heap = test::FailingHeap::Granting(granted);
                // Blocks larger than the room SetImpulse keeps, so that the queues must grow.
                driver.Run(x0, x1, 0, 30000, test::RandomBlockSizes(73, 19000), out0, out1);
            }
            if (HasFailure()) return;
            sawShortfall |= driver.SilentFrames() > impulse->latency;
            for (int c = 0; c < 2; ++c) {
                EXPECT_LE(driver.Delivered(c).size(), 30000u);
                for (float y : driver.Delivered(c)) ASSERT_LE(std::fabs(y), gain[c] * 1.0001) << "slot " << c;
            }

            engine.Reset();
            const Signal y = test::Noise(6000, 74);
            CallbackDriver fresh(engine, impulse->latency);
            Signal fresh0, fresh1;
            fresh.Run(y, y, 0, 6000, test::RandomBlockSizes(75, 4096), fresh0, fresh1);
            EXPECT_EQ(fresh.SilentFrames(), impulse->latency);
            std::vector<double> actual, reference;
            for (long t = 0; t < 6000; ++t) {
                actual.push_back(fresh0[static_cast<std::size_t>(t)]);
                reference.push_back(test::Convolved(impulse->taps[0], y, t - impulse->latency));
            }
            EXPECT_LE(test::RelativeErrorDb(actual, reference), -120.0);
        }
        EXPECT_TRUE(sawShortfall);
    }
}

// A slot coming back into use finds its ring and tail ready from SetImpulse:
// with the heap refusing everything it resumes, aligned with slot 0, and both
// filter correctly (the slots' pending input is out of step, so each runs on
// its own real-input transforms).
TEST(ConvolutionEngineExhaustion, SlotComingBackNeedsNothingFromTheHeap) {
    ImpulseBuffer buffer;
    Fill(buffer, kShortFft);
    ConvolutionEngine engine;
    ASSERT_EQ(engine.SetImpulse(buffer, -1), 512);
    const Signal x = test::Noise(1000, 81);
    const float* inputs[2] = {x.data(), x.data()};
    engine.Add(inputs, 1000, 1);  // slot 1 retired
    int ready;
    {
        auto heap = test::FailingHeap::Granting(0);
        engine.Add(inputs, 1000, 2);
        ready = engine.Avail(100000);
        EXPECT_EQ(heap.Requests(), 0);
    }
    EXPECT_FALSE(engine.PackedSlots());
    EXPECT_EQ(ready, 1512);  // slot 1: 1000 zeros for slot 0's backlog, then one block
    EXPECT_EQ(engine.ReadableOutput(0), 1536);
    Signal in0(x);
    in0.insert(in0.end(), x.begin(), x.end());
    float* const* out = engine.Get();
    std::vector<double> actual, reference;
    for (int k = 0; k < ready; ++k) {
        actual.push_back(out[0][k]);
        reference.push_back(test::Convolved(kShortFft.taps[0], in0, k));
        actual.push_back(out[1][k]);
        reference.push_back(k < 1000 ? 0.0 : test::Convolved(kShortFft.taps[0], x, k - 1000));
    }
    EXPECT_LE(test::RelativeErrorDb(actual, reference), -120.0);
}

// In steady state the audio path allocates nothing: once the queues have grown
// to the largest backlog, and the input block queue has filled its two blocks of
// 16368 samples once, a heap that refuses everything changes nothing, and the
// output is still the convolution.
TEST(ConvolutionEngineExhaustion, SteadyStateAsksTheHeapForNothing) {
    for (const Impulse* impulse : {&kDirect, &kTwoChannelDirect, &kShortFft, &kLongFft, &kTwoChannelFft}) {
        SCOPED_TRACE(impulse->latency);
        ImpulseBuffer buffer;
        Fill(buffer, *impulse);
        ConvolutionEngine engine;
        ASSERT_EQ(engine.SetImpulse(buffer, -1), impulse->latency);
        const long length = 60000, warm = 2 * 16368 + 8192;
        const Signal x0 = test::Noise(length, 91), x1 = test::Noise(length, 92);
        // The host's block size cycles through a few values, as when it varies.
        int cycle = 0;
        const auto sizes = [&cycle]() { return (++cycle % 3) == 0 ? 300 : 512; };
        CallbackDriver driver(engine, impulse->latency);
        Signal out[2];
        driver.Run(x0, x1, 0, warm, sizes, out[0], out[1]);
        {
            auto heap = test::FailingHeap::Granting(0);
            driver.Run(x0, x1, warm, length, sizes, out[0], out[1]);
            EXPECT_EQ(heap.Requests(), 0);
        }
        EXPECT_EQ(driver.SilentFrames(), impulse->latency);
        for (int c = 0; c < 2; ++c) {
            std::vector<double> actual, reference;
            for (long t = length - 3000; t < length; ++t) {
                actual.push_back(out[c][static_cast<std::size_t>(t)]);
                reference.push_back(test::Convolved(impulse->taps[impulse->channels == 2 ? c : 0],
                                                       c == 0 ? x0 : x1, t - impulse->latency));
            }
            EXPECT_LE(test::RelativeErrorDb(actual, reference), -120.0) << "channel " << c;
        }
    }
}

// SetImpulse prepares everything the audio path will need for the new
// impulse (kernels, rings, tails, work spectrum, queue room), so the callbacks
// after it ask the heap for nothing, whatever the size before.
TEST(ConvolutionEngineExhaustion, ImpulseChangeLeavesTheAudioPathNothingToAllocate) {
    const Signal x0 = test::Noise(60000, 101), x1 = test::Noise(60000, 102);
    const Impulse* changes[][2] = {{&kShortFft, &kLongFft}, {&kLongFft, &kShortFft}, {&kDirect, &kTwoChannelFft},
                                   {&kTwoChannelFft, &kLongFft}, {nullptr, &kLongFft}};
    for (const auto& change : changes) {
        SCOPED_TRACE(change[1]->latency);
        ConvolutionEngine engine;
        ImpulseBuffer buffer;
        int latency = 0;
        if (change[0]) {
            Fill(buffer, *change[0]);
            latency = engine.SetImpulse(buffer, -1);
        }
        CallbackDriver driver(engine, latency);
        Signal out[2];
        driver.Run(x0, x1, 0, 10000, [] { return 512; }, out[0], out[1]);
        Fill(buffer, *change[1]);
        driver.RaiseLatency(engine.SetImpulse(buffer, -1));
        {
            auto heap = test::FailingHeap::Granting(0);
            driver.Run(x0, x1, 10000, 60000, [] { return 512; }, out[0], out[1]);
            EXPECT_EQ(heap.Requests(), 0);
        }
        EXPECT_EQ(driver.SilentFrames(), driver.InitialDelay());
    }
}

}  // namespace
}  // namespace tolvar
