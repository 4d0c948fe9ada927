// The media source, called the way the plug-in calls it: through the slot
// functions of abi/pcm_source.h, which proves the table layout
// and the PcmBlock record match on both sides.
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "host/media_source.h"
#include "host/source_registry.h"
#include "abi/pcm_source.h"
#include "tests/support/test_files.h"

namespace tolvar {
namespace {

using test::TempDir;

constexpr double kSentinel = 12345.0;  // marks buffer values the source must not touch
constexpr int kGuard = 16;             // values after framesRequested × channels that must stay untouched

// A caller's buffer with room for `frames` × `channels` values and a guard zone,
// all set to the sentinel.
struct CallerBuffer {
    CallerBuffer(int frames, int channels)
        : values(static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels) + kGuard, kSentinel) {}
    bool GuardUntouched(std::size_t used) const {
        for (std::size_t i = used; i < values.size(); ++i)
            if (values[i] != kSentinel) return false;
        return true;
    }
    std::vector<double> values;
};

PcmBlock Request(double rate, int32_t channels, int32_t frames, double* buffer, double startTime = 0.0) {
    return PcmBlock{startTime, rate, channels, frames, buffer, 0, {}};
}

// The slot's function, read from the source's table as the plug-in reads it.
template <typename Op>
Op Slot(PcmSource* source, int slot) {
    return reinterpret_cast<Op>((*reinterpret_cast<void* const* const*>(source))[slot]);
}

// A mono 48 kHz 24-bit file of `frames` frames, value k / 2^23 at frame k.
std::vector<double> WriteRamp(const std::string& path, int frames, int rate = 48000) {
    std::vector<int32_t> stored;
    std::vector<double> expected;
    for (int k = 0; k < frames; ++k) {
        stored.push_back(static_cast<int32_t>(static_cast<uint32_t>(k) << 8));
        expected.push_back(k / 8388608.0);
    }
    EXPECT_TRUE(test::WriteWavInts(path, SF_FORMAT_WAV | SF_FORMAT_PCM_24, rate, 1, stored));
    return expected;
}

TEST(MediaSource, ServesTheFileThroughThePluginSideCalls) {
    TempDir dir;
    const std::string path = dir.File("ramp.wav");
    const std::vector<double> ramp = WriteRamp(path, 1000);
    const int live = LiveMediaSourceCount();

    PcmSource* source = CreateMediaSource(path.c_str());
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(LiveMediaSourceCount(), live + 1);
    EXPECT_TRUE(PcmSourceIsAvailable(source));
    EXPECT_EQ(PcmSourceSampleRate(source), 48000.0);
    EXPECT_DOUBLE_EQ(PcmSourceLengthSeconds(source), 1000.0 / 48000.0);

    // Asking for more than there is: the file, then zeros up to framesRequested.
    CallerBuffer buffer(1010, 1);
    PcmBlock block = Request(48000.0, 1, 1010, buffer.values.data());
    block.reserved[3] = 77;  // the caller's helper zeroes this before the call
    PcmSourceGetSamples(source, &block);
    EXPECT_EQ(block.framesDelivered, 1000);
    EXPECT_EQ(block.reserved[3], 0);
    for (int k = 0; k < 1000; ++k) ASSERT_EQ(buffer.values[k], ramp[k]) << "frame " << k;
    for (int k = 1000; k < 1010; ++k) EXPECT_EQ(buffer.values[k], 0.0) << "frame " << k;
    EXPECT_TRUE(buffer.GuardUntouched(1010));

    // Asking for less: exactly that many.
    CallerBuffer small(100, 1);
    block = Request(48000.0, 1, 100, small.values.data());
    PcmSourceGetSamples(source, &block);
    EXPECT_EQ(block.framesDelivered, 100);
    EXPECT_EQ(small.values[99], ramp[99]);
    EXPECT_TRUE(small.GuardUntouched(100));

    // From a start time: 0.01 s is frame 480.
    CallerBuffer later(600, 1);
    block = Request(48000.0, 1, 600, later.values.data(), 0.01);
    PcmSourceGetSamples(source, &block);
    EXPECT_EQ(block.framesDelivered, 520);
    EXPECT_EQ(later.values[0], ramp[480]);
    EXPECT_EQ(later.values[519], ramp[999]);
    EXPECT_EQ(later.values[520], 0.0);
    EXPECT_TRUE(later.GuardUntouched(600));

    PcmSourceDestroy(source);
    EXPECT_EQ(LiveMediaSourceCount(), live);
}

TEST(MediaSource, SeveralChannelsEachCarryTheFoldedSignal) {
    TempDir dir;
    const std::string path = dir.File("stereo.wav");
    ASSERT_TRUE(test::WriteWavDoubles(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, {0.5, 0.25, -1.0, 0.0}));
    PcmSource* source = CreateMediaSource(path.c_str());
    CallerBuffer buffer(3, 3);
    PcmBlock block = Request(44100.0, 3, 3, buffer.values.data());
    PcmSourceGetSamples(source, &block);
    EXPECT_EQ(block.framesDelivered, 2);
    const std::vector<double> expected{0.375, 0.375, 0.375, -0.5, -0.5, -0.5, 0.0, 0.0, 0.0};
    EXPECT_EQ(std::vector<double>(buffer.values.begin(), buffer.values.begin() + 9), expected);
    EXPECT_TRUE(buffer.GuardUntouched(9));
    PcmSourceDestroy(source);
}

// A 96 kHz file read at 48 kHz and at 44.1 kHz, the way the plug-in reads a file
// whose rate differs from the composition's: frames = ceil(length × rate).
TEST(MediaSource, ResamplesToTheRequestedRate) {
    TempDir dir;
    const std::string path = dir.File("click.wav");
    std::vector<double> click(9600, 0.0);
    click[1920] = 1.0;  // 20 ms
    ASSERT_TRUE(test::WriteWavDoubles(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 1, click));
    PcmSource* source = CreateMediaSource(path.c_str());
    ASSERT_TRUE(PcmSourceIsAvailable(source));
    EXPECT_EQ(PcmSourceSampleRate(source), 96000.0);  // the file's, whatever is asked later
    for (const double rate : {48000.0, 44100.0, 48000.0}) {
        SCOPED_TRACE(rate);
        const auto frames = static_cast<int32_t>(std::ceil(PcmSourceLengthSeconds(source) * rate));
        CallerBuffer buffer(frames, 1);
        PcmBlock block = Request(rate, 1, frames, buffer.values.data());
        PcmSourceGetSamples(source, &block);
        EXPECT_EQ(block.framesDelivered, std::lround(9600 * rate / 96000.0));
        std::size_t peak = 0;
        for (int k = 0; k < block.framesDelivered; ++k)
            if (std::abs(buffer.values[k]) > std::abs(buffer.values[peak])) peak = k;
        EXPECT_EQ(peak, static_cast<std::size_t>(std::lround(0.02 * rate)));
        EXPECT_TRUE(buffer.GuardUntouched(frames));
    }
    PcmSourceDestroy(source);
}

TEST(MediaSource, BadRequestsAreRefusedSafely) {
    TempDir dir;
    const std::string path = dir.File("ramp.wav");
    WriteRamp(path, 100);
    PcmSource* source = CreateMediaSource(path.c_str());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    // Unusable buffers: nothing written, nothing delivered.
    for (const auto& [channels, frames] : {std::pair{1, 0}, std::pair{1, -5}, std::pair{0, 10}, std::pair{-1, 10}}) {
        CallerBuffer buffer(10, 1);
        PcmBlock block = Request(48000.0, channels, frames, buffer.values.data());
        PcmSourceGetSamples(source, &block);
        EXPECT_EQ(block.framesDelivered, 0);
        EXPECT_TRUE(buffer.GuardUntouched(0));
    }
    PcmBlock nullBuffer = Request(48000.0, 1, 10, nullptr);
    PcmSourceGetSamples(source, &nullBuffer);
    EXPECT_EQ(nullBuffer.framesDelivered, 0);
    Slot<PcmGetSamplesOp>(source, kPcmSlotGetSamples)(source, nullptr);  // a null block is ignored

    // Unusable rates and start times: the buffer zeroed, nothing delivered.
    const std::pair<double, double> rateAndStart[] = {
        {nan, 0.0},   {0.0, 0.0},         {-48000.0, 0.0}, {inf, 0.0},  {48000.0 * 300, 0.0},
        {48000.0, nan}, {48000.0, -0.001}, {48000.0, inf},  {48000.0, 1.0}, {44100.0, 100.0 / 48000.0},
    };
    for (const auto& [rate, start] : rateAndStart) {
        SCOPED_TRACE(testing::Message() << "rate " << rate << ", start " << start);
        CallerBuffer buffer(10, 2);
        PcmBlock block = Request(rate, 2, 10, buffer.values.data(), start);
        PcmSourceGetSamples(source, &block);
        EXPECT_EQ(block.framesDelivered, 0);
        for (int i = 0; i < 20; ++i) EXPECT_EQ(buffer.values[i], 0.0);
        EXPECT_TRUE(buffer.GuardUntouched(20));
    }
    PcmSourceDestroy(source);
}

TEST(MediaSource, FilesThatCannotBeDecodedAreNotAvailable) {
    TempDir dir;
    test::WriteBytes(dir.File("text.wav"), "not audio at all\n");
    test::WriteBytes(dir.File("header.wav"), std::string("RIFF\x24\x00\x00\x00WAVEfmt ", 16));
    std::filesystem::create_directory(dir.File("folder.wav"));
    for (const char* name : {"missing.wav", "text.wav", "header.wav", "folder.wav"}) {
        SCOPED_TRACE(name);
        PcmSource* source = CreateMediaSource(dir.File(name).c_str());
        ASSERT_NE(source, nullptr);
        EXPECT_FALSE(PcmSourceIsAvailable(source));
        EXPECT_EQ(PcmSourceSampleRate(source), 0.0);
        EXPECT_EQ(PcmSourceLengthSeconds(source), 0.0);
        CallerBuffer buffer(10, 1);
        PcmBlock block = Request(48000.0, 1, 10, buffer.values.data());
        PcmSourceGetSamples(source, &block);
        EXPECT_EQ(block.framesDelivered, 0);
        for (int i = 0; i < 10; ++i) EXPECT_EQ(buffer.values[i], 0.0);
        EXPECT_TRUE(buffer.GuardUntouched(10));
        PcmSourceDestroy(source);
    }

    // A valid file without frames is available, with its rate, length 0, and
    // delivers nothing at its own rate or any other.
    const std::string empty = dir.File("noframes.wav");
    ASSERT_TRUE(test::WriteWavDoubles(empty, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000, 1, {}));
    PcmSource* source = CreateMediaSource(empty.c_str());
    EXPECT_TRUE(PcmSourceIsAvailable(source));
    EXPECT_EQ(PcmSourceSampleRate(source), 96000.0);
    EXPECT_EQ(PcmSourceLengthSeconds(source), 0.0);
    for (const double rate : {96000.0, 44100.0}) {
        CallerBuffer buffer(4, 1);
        PcmBlock block = Request(rate, 1, 4, buffer.values.data());
        PcmSourceGetSamples(source, &block);
        EXPECT_EQ(block.framesDelivered, 0);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(buffer.values[i], 0.0);
        EXPECT_TRUE(buffer.GuardUntouched(4));
    }
    PcmSourceDestroy(source);
}

TEST(MediaSource, RecordsOpenedPathsAndLiveSources) {
    TempDir dir;
    const std::string a = dir.File("a.wav");
    WriteRamp(a, 10);
    const std::string b = dir.File("b.wav");  // never written
    ClearOpenedMediaPaths();
    const int live = LiveMediaSourceCount();
    PcmSource* first = CreateMediaSource(a.c_str());
    PcmSource* second = CreateMediaSource(b.c_str());
    PcmSource* third = CreateMediaSource(a.c_str());
    EXPECT_EQ(CreateMediaSource(nullptr), nullptr);
    EXPECT_EQ(OpenedMediaPaths(), (std::vector<std::string>{a, b, a}));
    EXPECT_EQ(LiveMediaSourceCount(), live + 3);
    PcmSourceDestroy(second);
    PcmSourceDestroy(first);
    EXPECT_EQ(LiveMediaSourceCount(), live + 1);
    PcmSourceDestroy(third);
    EXPECT_EQ(LiveMediaSourceCount(), live);
    ClearOpenedMediaPaths();
    EXPECT_TRUE(OpenedMediaPaths().empty());
}

using MediaSourceDeathTest = testing::Test;

TEST_F(MediaSourceDeathTest, MisuseIsReportedLoudly) {
    // The child process runs this body again, so it creates no files to leave behind.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    PcmSource* source = CreateMediaSource("/nonexistent/tolvar/none.wav");
    ASSERT_NE(source, nullptr);
    using Unserved = void (*)(PcmSource*);
    for (const int slot : {1, 3, 9, 12, 15, int{kPcmSlotCount}, kMediaSourceTableSize - 1}) {
        SCOPED_TRACE(slot);
        EXPECT_DEATH(Slot<Unserved>(source, slot)(source), "PcmSource slot " + std::to_string(slot) + " ");
    }
    EXPECT_DEATH(Slot<PcmDestroyOp>(source, kPcmSlotDestroy)(source, 0), "PcmSource slot 0 .*flags");

    // After destroy, our operations refuse the pointer before touching it.
    const PcmIsAvailableOp isAvailable = Slot<PcmIsAvailableOp>(source, kPcmSlotIsAvailable);
    const PcmDestroyOp destroy = Slot<PcmDestroyOp>(source, kPcmSlotDestroy);
    PcmSourceDestroy(source);
    EXPECT_DEATH(isAvailable(source), "PcmSource slot 2 called on an object that is not a live source");
    EXPECT_DEATH(destroy(source, 1), "PcmSource slot 0 .*not a live source");
}

}  // namespace
}  // namespace tolvar
