#include "composer/stage_impulse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/failing_heap.h"
#include "tests/support/fake_ir_folder.h"

namespace tolvar {
namespace {

using test::FakeIrFile;
using test::FakeIrFolder;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

FakeIrFile File(std::vector<double> samples, double rate = 96000.0) {
    FakeIrFile file;
    file.samples = std::move(samples);
    file.sampleRate = rate;
    return file;
}

// A file enters the composite scaled and rounded to float, the files' own precision.
std::vector<double> Scaled(const std::vector<double>& x, double scale) {
    std::vector<double> out;
    for (double v : x) out.push_back(static_cast<float>(scale * v));
    return out;
}

// Every source was destroyed exactly once and no other misuse was seen.
void ExpectCleanSources(const FakeIrFolder& folder) {
    EXPECT_EQ(folder.SourcesDestroyed(), folder.SourcesCreated());
    EXPECT_TRUE(folder.Misuses().empty()) << folder.Misuses().front();
}

struct Stage {
    ImpulseAccumulator accumulator;
    double rate = 0.0;
    StageOutcome Add(const FakeIrFolder& folder, const char* tag, int selector, int gain = 0,
                     bool hiQ = false) {
        return AddStageImpulse(accumulator, rate, folder.Library(), tag, selector, gain, hiQ);
    }
    // The accumulator's merged contents (consumes what was added).
    std::vector<double> Merged() {
        HeapBuffer result(64);
        ComposeWorkspace workspace;
        EXPECT_TRUE(accumulator.Merge(result, workspace));
        return std::vector<double>(result.As<double>(), result.As<double>() + result.Count<double>());
    }
};

TEST(StageImpulse, ScalesAreTwoToTheTwoAndFiveSixths) {
    // The levels written out here on purpose, apart from ir_library_layout.h.
    EXPECT_NEAR(kStandardFileScale, std::pow(2.0, 2.0 / 6.0), 2e-16);
    EXPECT_NEAR(kHiQFileScale, std::pow(2.0, 5.0 / 6.0), 4e-16);
    // The generator's headroom, 2^(-k/6), undoes them.
    EXPECT_NEAR(kStandardFileScale * std::exp2(-kStandardScaleExponent / 6.0), 1.0, 4e-16);
    EXPECT_NEAR(kHiQFileScale * std::exp2(-kHiQScaleExponent / 6.0), 1.0, 4e-16);
}

TEST(StageImpulse, ReadsOneFileWholeAtItsOwnRateAndScalesIt) {
    FakeIrFolder folder;
    const std::vector<double> x = {0.5, -0.25, 0.125, 0.0625};
    FakeIrFile file = File(x, 48000.0);
    file.lengthSeconds = 4.0 / 48000.0 * 0.999;  // rounded up to 4 frames
    folder.Add("misc_LPF_12khz.wav", file);
    Stage stage;
    EXPECT_EQ(stage.Add(folder, "lpf", 4), StageOutcome::kAdded);
    EXPECT_EQ(stage.rate, 48000.0);
    EXPECT_EQ(stage.Merged(), Scaled(x, kStandardFileScale));
    ASSERT_EQ(folder.Requests().size(), 1u);
    const test::FakeRequest& request = folder.Requests()[0];
    EXPECT_EQ(request.startTime, 0.0);
    EXPECT_EQ(request.sampleRate, 48000.0);
    EXPECT_EQ(request.channels, 1);
    EXPECT_EQ(request.framesRequested, 4);
    EXPECT_TRUE(request.deliveredWasZero);
    EXPECT_EQ(folder.Opens(), (std::vector<std::string>{"misc_LPF_12khz.wav"}));
    ExpectCleanSources(folder);
}

TEST(StageImpulse, HiQFileAndItsFallBack) {
    const std::vector<double> hq = {2.0, 1.0}, standard = {4.0, -1.0, 0.5};
    {  // The Hi-Q file is there: it alone is read, with the Hi-Q scale.
        FakeIrFolder folder;
        folder.Add("1200-5-hq.wav", File(hq));
        folder.Add("1200-5.wav", File(standard));
        Stage stage;
        EXPECT_EQ(stage.Add(folder, nullptr, 1200, -5, true), StageOutcome::kAdded);
        EXPECT_EQ(stage.Merged(), Scaled(hq, kHiQFileScale));
        EXPECT_EQ(folder.Opens(), (std::vector<std::string>{"1200-5-hq.wav"}));
        ExpectCleanSources(folder);
    }
    {  // Missing: the standard file with the standard scale.
        FakeIrFolder folder;
        folder.Add("1200-5.wav", File(standard));
        Stage stage;
        EXPECT_EQ(stage.Add(folder, nullptr, 1200, -5, true), StageOutcome::kAdded);
        EXPECT_EQ(stage.Merged(), Scaled(standard, kStandardFileScale));
        EXPECT_EQ(folder.Opens(), (std::vector<std::string>{"1200-5-hq.wav", "1200-5.wav"}));
        ExpectCleanSources(folder);
    }
    {  // Not available: destroyed, then the standard file, whose rate is the one taken.
        FakeIrFolder folder;
        FakeIrFile unavailable = File(hq, 44100.0);
        unavailable.available = false;
        folder.Add("1200-5-hq.wav", unavailable);
        folder.Add("1200-5.wav", File(standard));
        Stage stage;
        EXPECT_EQ(stage.Add(folder, nullptr, 1200, -5, true), StageOutcome::kAdded);
        EXPECT_EQ(stage.rate, 96000.0);
        EXPECT_EQ(stage.Merged(), Scaled(standard, kStandardFileScale));
        EXPECT_EQ(folder.SourcesCreated(), 2);
        ExpectCleanSources(folder);
    }
    {  // Both missing: two names tried, nothing merged.
        FakeIrFolder folder;
        Stage stage;
        EXPECT_EQ(stage.Add(folder, nullptr, 8200, 12, true), StageOutcome::kLeftOut);
        EXPECT_EQ(folder.Opens(), (std::vector<std::string>{"8200+12-hq.wav", "8200+12.wav"}));
        EXPECT_EQ(stage.accumulator.Count(), 0);
    }
}

TEST(StageImpulse, NoFallBackWhenTheHiQFileOpensButIsUnusable) {
    const std::vector<double> hq = {2.0, 1.0}, standard = {4.0, -1.0};
    FakeIrFile delivers0 = File(hq), deliversNegative = File(hq), zeroLength = File(hq),
               badRate = File(hq);
    delivers0.overrideDelivered = true;
    deliversNegative.overrideDelivered = true;
    deliversNegative.reportedDelivered = -3;
    zeroLength.lengthSeconds = 0.0;
    badRate.sampleRate = 0.0;
    for (const FakeIrFile& hqFile : {delivers0, deliversNegative, zeroLength, badRate}) {
        FakeIrFolder folder;
        folder.Add("560+0-hq.wav", hqFile);
        folder.Add("560+0.wav", File(standard));
        Stage stage;
        EXPECT_EQ(stage.Add(folder, nullptr, 560, 0, true), StageOutcome::kLeftOut);
        EXPECT_EQ(folder.Opens(), (std::vector<std::string>{"560+0-hq.wav"}));
        EXPECT_EQ(stage.accumulator.Count(), 0);
        ExpectCleanSources(folder);
    }
}

TEST(StageImpulse, TaggedFamiliesIgnoreGainAndHiQ) {
    FakeIrFolder folder;
    const std::vector<double> x = {1.0, 0.5};
    folder.Add("conv_-18_converter.wav", File(x));
    Stage stage;
    EXPECT_EQ(stage.Add(folder, "input", 4, 7, true), StageOutcome::kAdded);
    EXPECT_EQ(stage.Merged(), Scaled(x, kStandardFileScale));
    EXPECT_EQ(folder.Opens(), (std::vector<std::string>{"conv_-18_converter.wav"}));
}

TEST(StageImpulse, FirstAvailableFileFixesTheRateEvenWhenItDeliversNothing) {
    FakeIrFolder folder;
    FakeIrFile unavailable = File({1.0}, 22050.0);
    unavailable.available = false;
    FakeIrFile silent = File({}, 48000.0);
    silent.lengthSeconds = 0.01;
    FakeIrFile later = File({1.0, 2.0, 3.0}, 96000.0);
    later.lengthSeconds = 0.5;  // 0.5 s at the composition rate: 24000 frames
    folder.Add("misc_mic_pre.wav", unavailable);
    folder.Add("misc_LPF_3900.wav", silent);
    folder.Add("misc_HPF_27.wav", later);
    Stage stage;
    EXPECT_EQ(stage.Add(folder, "input", 1), StageOutcome::kLeftOut);
    EXPECT_EQ(stage.rate, 0.0);  // an unavailable source sets nothing
    EXPECT_EQ(stage.Add(folder, "lpf", 1), StageOutcome::kLeftOut);
    EXPECT_EQ(stage.rate, 48000.0);
    EXPECT_EQ(stage.accumulator.Count(), 0);
    EXPECT_EQ(stage.Add(folder, "hpf", 1), StageOutcome::kAdded);
    EXPECT_EQ(stage.rate, 48000.0);
    // Each available source is asked its rate; only the first one sets it, and
    // a later file is read at the composition rate, whatever its own.
    EXPECT_EQ(folder.SampleRateQueries(), 2);
    ASSERT_EQ(folder.Requests().size(), 2u);
    EXPECT_EQ(folder.Requests()[1].sampleRate, 48000.0);
    EXPECT_EQ(folder.Requests()[1].framesRequested, 24000);
    EXPECT_EQ(stage.Merged(), Scaled({1.0, 2.0, 3.0}, kStandardFileScale));
    ExpectCleanSources(folder);
}

TEST(StageImpulse, ASourceClaimingMoreFramesThanAskedIsHeldToTheRequest) {
    FakeIrFolder folder;
    FakeIrFile file = File({1.0, 2.0, 3.0, 4.0, 5.0, 6.0});
    file.lengthSeconds = 3.0 / 96000.0;  // 3 frames requested (possibly 4 after rounding up)
    file.overrideDelivered = true;
    file.reportedDelivered = 1 << 30;
    folder.Add("33-12.wav", file);
    Stage stage;
    EXPECT_EQ(stage.Add(folder, nullptr, 33, -12), StageOutcome::kAdded);
    ASSERT_EQ(folder.Requests().size(), 1u);
    const int requested = folder.Requests()[0].framesRequested;
    ASSERT_GE(requested, 3);
    ASSERT_LE(requested, 4);
    EXPECT_EQ(stage.Merged(),
              Scaled(std::vector<double>(file.samples.begin(), file.samples.begin() + requested),
                     kStandardFileScale));
}

TEST(StageImpulse, LengthsThatGiveNoUsableFrameCountLeaveTheSectionOut) {
    // Frame counts above what a buffer of doubles can hold are refused before
    // any allocation is attempted.
    const double tooManyFrames = (2147483647.0 - 64.0) / 8.0 + 1.0;
    for (double seconds : {kNaN, kInf, -kInf, 1e300, -1.0, 0.0, -1e-9, tooManyFrames / 96000.0,
                           3e9 / 96000.0, 1e12}) {
        FakeIrFolder folder;
        FakeIrFile file = File({1.0, 2.0});
        file.lengthSeconds = seconds;
        folder.Add("180+4-hq.wav", file);  // exists: no fall-back either
        folder.Add("180+4.wav", File({1.0}));
        Stage stage;
        auto heap = test::FailingHeap::RefusingCalls(0, 0);
        EXPECT_EQ(stage.Add(folder, nullptr, 180, 4, true), StageOutcome::kLeftOut) << seconds;
        EXPECT_EQ(heap.Requests(), 0) << seconds;
        EXPECT_TRUE(folder.Requests().empty());
        EXPECT_EQ(folder.Opens().size(), 1u);
        EXPECT_EQ(stage.accumulator.Count(), 0);
        ExpectCleanSources(folder);
    }
    // A tiny positive length still rounds up to one frame.
    FakeIrFolder folder;
    FakeIrFile file = File({0.75, 2.0});
    file.lengthSeconds = 1e-12;
    folder.Add("180+4.wav", file);
    Stage stage;
    EXPECT_EQ(stage.Add(folder, nullptr, 180, 4), StageOutcome::kAdded);
    EXPECT_EQ(stage.Merged(), Scaled({0.75}, kStandardFileScale));
}

TEST(StageImpulse, SourcesWithoutAUsableRateLeaveTheRateUnset) {
    for (double rate : {0.0, -44100.0, kNaN, kInf}) {
        FakeIrFolder folder;
        folder.Add("330+0.wav", File({1.0}, rate));
        Stage stage;
        EXPECT_EQ(stage.Add(folder, nullptr, 330, 0), StageOutcome::kLeftOut) << rate;
        EXPECT_EQ(stage.rate, 0.0);
        ExpectCleanSources(folder);
    }
}

TEST(StageImpulse, AFileWithASampleThatIsNotFiniteLeavesItsSectionOut) {
    for (double bad : {kNaN, kInf, -kInf}) {
        FakeIrFolder folder;
        folder.Add("misc_LPF_3900.wav", File({0.5, -0.5}));
        folder.Add("390-7-hq.wav", File({0.5, bad, 0.25}));  // opens, so no fall-back
        folder.Add("390-7.wav", File({1.0}));
        Stage stage;
        ASSERT_EQ(stage.Add(folder, "lpf", 1), StageOutcome::kAdded);
        EXPECT_EQ(stage.Add(folder, nullptr, 390, -7, true), StageOutcome::kLeftOut) << bad;
        EXPECT_EQ(stage.Merged(), Scaled({0.5, -0.5}, kStandardFileScale));
        EXPECT_EQ(folder.Opens().back(), "390-7-hq.wav");
        ExpectCleanSources(folder);
    }
}

TEST(StageImpulse, NothingIsOpenedWithoutAPathOrAnOpener) {
    FakeIrFolder folder(std::string(600, 'p'));
    folder.Add("820+0.wav", File({1.0}));
    Stage stage;
    EXPECT_EQ(stage.Add(folder, nullptr, 820, 0), StageOutcome::kLeftOut);
    EXPECT_EQ(stage.Add(folder, "hpf", 2), StageOutcome::kLeftOut);
    EXPECT_EQ(stage.Add(folder, "lpf", 6), StageOutcome::kLeftOut);
    EXPECT_TRUE(folder.Opens().empty());

    FakeIrFolder shortFolder;
    IrLibrary noOpener = shortFolder.Library();
    noOpener.openSource = nullptr;
    EXPECT_EQ(AddStageImpulse(stage.accumulator, stage.rate, noOpener, nullptr, 820, 0, false),
              StageOutcome::kLeftOut);
}

// Rates far outside what audio files use, and lengths of more than ten
// seconds, would make one composition read and convolve for minutes.
TEST(StageImpulse, SourcesOutsideTheUsableRatesAndLengthsAreLeftOut) {
    struct Case {
        double rate;
        double seconds;
    };
    for (const Case bad : {Case{0.5, 0.001}, Case{7999.0, 0.001}, Case{768001.0, 0.001}, Case{1e12, 1e-9},
                           Case{96000.0, 10.001}, Case{96000.0, 3600.0}}) {
        FakeIrFolder folder;
        FakeIrFile file = File({1.0, 2.0});
        file.sampleRate = bad.rate;
        file.lengthSeconds = bad.seconds;
        folder.Add("1800+0.wav", file);
        folder.Add("6800+0.wav", file);
        Stage stage;
        auto heap = test::FailingHeap::RefusingCalls(0, 0);
        EXPECT_EQ(stage.Add(folder, nullptr, 1800, 0), StageOutcome::kLeftOut) << bad.rate << " " << bad.seconds;
        stage.rate = 48000.0;  // also when another file has fixed the composition rate
        EXPECT_EQ(stage.Add(folder, nullptr, 6800, 0), StageOutcome::kLeftOut) << bad.rate << " " << bad.seconds;
        EXPECT_EQ(heap.Requests(), 0);
        EXPECT_TRUE(folder.Requests().empty());
        ExpectCleanSources(folder);
    }
    // The bounds themselves are usable.
    for (const Case good : {Case{8000.0, 10.0}, Case{768000.0, 2.0 / 768000.0}}) {
        FakeIrFolder folder;
        FakeIrFile file = File({1.0, 2.0});
        file.sampleRate = good.rate;
        file.lengthSeconds = good.seconds;
        folder.Add("1800+0.wav", file);
        Stage stage;
        EXPECT_EQ(stage.Add(folder, nullptr, 1800, 0), StageOutcome::kAdded) << good.rate;
    }
}

TEST(StageImpulse, AFileWhoseFramesCannotBeHeldLeavesOnlyItsSectionOut) {
    FakeIrFolder folder;
    folder.Add("2700+2.wav", File({1.0, 2.0, 3.0}));
    folder.Add("8200+1.wav", File({0.5, 0.25}));
    Stage stage;
    {
        auto heap = test::FailingHeap::RefusingCalls(1, 2);  // the loaded frames, and the retry of a fresh block
        EXPECT_EQ(stage.Add(folder, nullptr, 2700, 2), StageOutcome::kLeftOut);
    }
    EXPECT_EQ(stage.accumulator.Count(), 0);
    EXPECT_EQ(stage.Add(folder, nullptr, 8200, 1), StageOutcome::kAdded);
    EXPECT_EQ(stage.Merged(), Scaled({0.5, 0.25}, kStandardFileScale));
    ExpectCleanSources(folder);
}

}  // namespace
}  // namespace tolvar
