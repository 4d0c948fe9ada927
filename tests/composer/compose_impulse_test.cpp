#include "composer/compose_impulse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "composer/filter_resampler.h"
#include "composer/ir_library_layout.h"
#include "composer/stage_impulse.h"
#include "tests/composer/impulse_snapshot.h"
#include "tests/support/fake_ir_folder.h"
#include "tests/support/signals.h"

namespace tolvar {
namespace {

using test::FakeIrFile;
using test::FakeIrFolder;
using test::Convolve;
using Names = std::vector<std::string>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double s = kStandardFileScale;

struct Values {
    double v[kParamCount];
    Values() {
        for (int i = 0; i < kParamCount; ++i)
            v[i] = NormalizedFromValue(i, kParamTable[i].defaultValue);
    }
    // The stored value that selects choice c of a stepped row.
    Values& Choose(int index, int c) {
        v[index] = NormalizedFromValue(index, c);
        return *this;
    }
    Values& Set(int index, double value) {
        v[index] = value;
        return *this;
    }
};

FakeIrFile File(std::vector<double> samples, double rate = 96000.0) {
    FakeIrFile file;
    file.samples = std::move(samples);
    file.sampleRate = rate;
    return file;
}

std::vector<double> RandomTaps(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<double> taps(count);
    for (double& t : taps) t = value(random);
    return taps;
}

std::vector<float> Taps(const ImpulseBuffer& impulse) {
    return std::vector<float>(impulse.Taps(0), impulse.Taps(0) + impulse.TapCount(0));
}

// got equals expected * scale within float rounding.
void ExpectTaps(const ImpulseBuffer& impulse, const std::vector<double>& expected, double scale) {
    const std::vector<float> got = Taps(impulse);
    ASSERT_EQ(got.size(), expected.size());
    double peak = 0.0;
    for (double e : expected) peak = std::fmax(peak, std::fabs(e * scale));
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], expected[i] * scale, 1e-7 * std::fabs(expected[i] * scale) + 1e-12 * peak)
            << i;
}

// A file as it enters the composite: each sample times its scale, rounded to float.
std::vector<double> Entering(const std::vector<double>& taps, double scale) {
    std::vector<double> entering;
    for (double tap : taps) entering.push_back(static_cast<float>(scale * tap));
    return entering;
}

bool Build(const Values& values, double hostRate, const FakeIrFolder& folder, ImpulseBuffer& impulse) {
    return BuildCompositeImpulse(values.v, hostRate, folder.Library(), impulse);
}

TEST(ComposeImpulse, DefaultsMergeTheFourSectionFilesInOrder) {
    FakeIrFolder folder;
    const char* names[] = {"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"};
    std::vector<double> expected = {1.0};
    for (int i = 0; i < 4; ++i) {
        const std::vector<double> taps = RandomTaps(20 + 7 * i, i);
        folder.Add(names[i], File(taps));
        expected = Convolve(expected, Entering(taps, s));
    }
    ImpulseBuffer impulse;
    ASSERT_TRUE(Build(Values(), 96000.0, folder, impulse));
    EXPECT_EQ(folder.Opens(), Names(names, names + 4));
    EXPECT_EQ(impulse.sampleRate, 96000.0);
    EXPECT_EQ(impulse.channels, 1);
    ExpectTaps(impulse, expected, 1.0);
    EXPECT_EQ(folder.SourcesDestroyed(), 4);
    EXPECT_TRUE(folder.Misuses().empty());
}

TEST(ComposeImpulse, EverySectionOffOrBypassedGivesTheUnitImpulse) {
    const Values bypassed = Values().Choose(kParamLShelfG, 25).Choose(kParamBand1G, 25)
                                .Choose(kParamBand2G, 25).Choose(kParamHShelfG, 25);
    const Values outOfTable = Values()
                                  .Set(kParamInputMode, 1.2)  // choice 5
                                  .Set(kParamLpf, 1.2)        // choice 6
                                  .Set(kParamHpf, -0.1)       // choice 0
                                  .Set(kParamLShelfF, 1.2)    // choice 5
                                  .Set(kParamBand1G, 1.04)    // choice 26
                                  .Set(kParamBand2F, -0.2)    // -1.8 + 0.5 -> -1
                                  .Set(kParamHShelfG, 1.0);   // choice 25
    const Values wild = Values()
                            .Set(kParamInputMode, kNaN)
                            .Set(kParamLShelfG, kNaN)
                            .Set(kParamBand1F, 1e300)
                            .Set(kParamBand2G, -1e300)
                            .Set(kParamHShelfF, std::numeric_limits<double>::infinity());
    for (const Values& values : {bypassed, outOfTable, wild}) {
        FakeIrFolder folder;
        ImpulseBuffer impulse;
        test::FillPreviousImpulse(impulse);
        ASSERT_TRUE(Build(values, 44100.0, folder, impulse));
        EXPECT_TRUE(folder.Opens().empty());
        EXPECT_EQ(Taps(impulse), (std::vector<float>{1.0f, 0.0f}));
        EXPECT_EQ(impulse.sampleRate, 44100.0);
        EXPECT_EQ(impulse.channels, 1);
        EXPECT_EQ(impulse.TapCount(1), 3);  // the second array is not touched
        EXPECT_EQ(impulse.Taps(1)[2], -3.0f);
    }
}

TEST(ComposeImpulse, AllSevenSectionsAreReadInSignalOrder) {
    const Values values = Values()
                              .Choose(kParamInputMode, 2)
                              .Choose(kParamLpf, 3)
                              .Choose(kParamHpf, 5)
                              .Choose(kParamLShelfF, 0)
                              .Choose(kParamLShelfG, 0)
                              .Choose(kParamBand1F, 9)
                              .Choose(kParamBand1G, 24)
                              .Set(kParamBand1HQ, 1.0)
                              .Choose(kParamBand2F, 4)
                              .Choose(kParamBand2G, 7)
                              .Choose(kParamHShelfF, 4)
                              .Choose(kParamHShelfG, 24);
    const Names names = {"misc_inst_DI.wav", "misc_LPF_8200hz.wav", "misc_HPF_270.wav", "33-12.wav",
                         "8200+12-hq.wav",   "1200-5.wav",          "15000+12.wav"};
    FakeIrFolder folder;
    std::vector<double> expected = {1.0};
    for (size_t i = 0; i < names.size(); ++i) {
        const std::vector<double> taps = RandomTaps(5 + int(i), 100 + unsigned(i));
        folder.Add(names[i], File(taps));
        expected = Convolve(expected, Entering(taps, IsHiQFileName(names[i]) ? kHiQFileScale : s));
    }
    ImpulseBuffer impulse;
    ASSERT_TRUE(Build(values, 96000.0, folder, impulse));
    EXPECT_EQ(folder.Opens(), names);
    ExpectTaps(impulse, expected, 1.0);
}

TEST(ComposeImpulse, TheChoiceRuleAndTheHiQSwitches) {
    struct Case {
        Values values;
        Names opens;
    };
    const Case cases[] = {
        // 0.625 * 4 + 0.5 truncates to 3; 1.5 on the high-pass is choice 8, no file.
        {Values().Set(kParamInputMode, 0.625).Set(kParamHpf, 1.5),
         {"conv_-15_converter.wav", "100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"}},
        // 0.3 * 4 + 0.5 = 1.7: the microphone pre-amplifier.
        {Values().Set(kParamInputMode, 0.3),
         {"misc_mic_pre.wav", "100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"}},
        {Values().Set(kParamBand1HQ, 0.5),
         {"100+0.wav", "820+0-hq.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"}},
        {Values().Set(kParamBand1HQ, 0.4999), {"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"}},
        {Values().Set(kParamBand1HQ, kNaN).Set(kParamBand2HQ, kNaN),
         {"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"}},
        {Values().Set(kParamBand2HQ, 7.0),
         {"100+0.wav", "820+0.wav", "1800+0-hq.wav", "1800+0.wav", "6800+0.wav"}},
        // The shelves' Hi-Q switches are never read.
        {Values().Set(kParamLShelfHQ, 1.0).Set(kParamHShelfHQ, 1.0),
         {"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"}},
        {Values().Set(kParamLShelfHQ, kNaN).Set(kParamHShelfHQ, -5.0),
         {"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"}},
        // LShelfG at 0.96 is choice 24, +12 dB; at 1.0 the shelf is bypassed.
        {Values().Set(kParamLShelfG, 0.96), {"100+12.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"}},
        {Values().Set(kParamLShelfG, 1.0), {"820+0.wav", "1800+0.wav", "6800+0.wav"}},
    };
    for (const Case& c : cases) {
        FakeIrFolder folder;  // empty: every file is missing, which keeps the names
        ImpulseBuffer impulse;
        ASSERT_TRUE(Build(c.values, 48000.0, folder, impulse));
        EXPECT_EQ(folder.Opens(), c.opens);
        EXPECT_EQ(Taps(impulse), (std::vector<float>{1.0f, 0.0f}));
    }
}

TEST(ComposeImpulse, TwoShortFilesAndOneLongOneAtTheHostRate) {
    const Values onlyTwo = Values().Choose(kParamLShelfG, 25).Choose(kParamBand2G, 25);
    FakeIrFolder folder;
    folder.Add("820+0.wav", File({1.0, 2.0, 3.0}));
    folder.Add("6800+0.wav", File({4.0, 5.0}));
    ImpulseBuffer impulse;
    ASSERT_TRUE(Build(onlyTwo, 96000.0, folder, impulse));
    ExpectTaps(impulse, {4.0, 13.0, 22.0, 15.0}, s * s);

    // One file alone: its samples times the scale, narrowed to float.
    const Values onlyOne = Values(onlyTwo).Choose(kParamBand1G, 25);
    const std::vector<double> taps = RandomTaps(1000, 5);
    FakeIrFolder single;
    single.Add("6800+0.wav", File(taps));
    ASSERT_TRUE(Build(onlyOne, 96000.0, single, impulse));
    const std::vector<float> got = Taps(impulse);
    ASSERT_EQ(got.size(), taps.size());
    for (size_t i = 0; i < taps.size(); ++i) ASSERT_EQ(got[i], static_cast<float>(s * taps[i]));
}

TEST(ComposeImpulse, MissingFilesLeaveOnlyTheirSectionOut) {
    FakeIrFolder folder;
    const std::vector<double> a = RandomTaps(30, 1), b = RandomTaps(12, 2), c = RandomTaps(9, 3);
    folder.Add("100+0.wav", File(a));
    folder.Add("1800+0.wav", File(b));
    folder.Add("6800+0.wav", File(c));
    ImpulseBuffer impulse;
    ASSERT_TRUE(Build(Values(), 96000.0, folder, impulse));
    EXPECT_EQ(folder.Opens(), (Names{"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"}));
    ExpectTaps(impulse, Convolve(Convolve(Entering(a, s), Entering(b, s)), Entering(c, s)), 1.0);
}

TEST(ComposeImpulse, RatesWithinATenThousandthOfAHertzAreCopied) {
    const std::vector<double> taps = RandomTaps(300, 9);
    for (double host : {96000.0, 96000.00009, 95999.99991}) {
        FakeIrFolder folder;
        folder.Add("1800+0.wav", File(taps, 96000.0));
        ImpulseBuffer impulse;
        ASSERT_TRUE(Build(Values(), host, folder, impulse));
        EXPECT_EQ(impulse.sampleRate, host);
        ExpectTaps(impulse, taps, s);
    }
    // Just beyond the tolerance, either way, the response is converted: the
    // kernel's tail follows the last tap.
    for (double host : {96000.0002, 95999.9998}) {
        FakeIrFolder folder;
        folder.Add("1800+0.wav", File(taps, 96000.0));
        ImpulseBuffer impulse;
        ASSERT_TRUE(Build(Values(), host, folder, impulse));
        EXPECT_GE(impulse.TapCount(0), 299 + kResamplerHalfWidth);
    }
}

TEST(ComposeImpulse, OtherRatesAreConvertedInBothDirections) {
    const std::vector<double> a = RandomTaps(200, 11), b = RandomTaps(50, 12);
    for (double fileRate : {96000.0, 48000.0}) {
        for (double host : {44100.0, 48000.0, 96000.0, 192000.0}) {
            if (host == fileRate) continue;
            FakeIrFolder folder;
            folder.Add("100+0.wav", File(a, fileRate));
            folder.Add("6800+0.wav", File(b, fileRate));
            ImpulseBuffer impulse;
            ASSERT_TRUE(Build(Values(), host, folder, impulse));
            EXPECT_EQ(impulse.sampleRate, host);
            // The same as converting the composite directly.
            std::vector<double> composite = Convolve(a, b);
            for (double& v : composite) v *= s * s;
            HeapBuffer direct(64);
            ASSERT_TRUE(ResampleFilter(composite.data(), int(composite.size()), fileRate, host, direct));
            ASSERT_EQ(impulse.TapCount(0), direct.Count<float>());
            for (int i = 0; i < direct.Count<float>(); ++i)
                EXPECT_NEAR(impulse.Taps(0)[i], direct.As<float>()[i], 1e-6f) << i;
        }
    }
    // A unit impulse stays a unit impulse (times the file scale) at any rate.
    for (double host : {44100.0, 48000.0, 88200.0, 192000.0, 8000.0}) {
        FakeIrFolder folder;
        folder.Add("820+0.wav", File({1.0}, 96000.0));
        ImpulseBuffer impulse;
        ASSERT_TRUE(Build(Values().Choose(kParamLShelfG, 25), host, folder, impulse));
        const std::vector<float> got = Taps(impulse);
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got[0], static_cast<float>(s));
        for (size_t i = 1; i < got.size(); ++i) ASSERT_EQ(got[i], 0.0f) << host << " " << i;
    }
}

TEST(ComposeImpulse, AHostRateThatIsNotFinitePositiveChangesNothing) {
    FakeIrFolder folder;
    folder.Add("100+0.wav", File({1.0, 0.5}));
    for (double host : {0.0, -44100.0, kNaN, std::numeric_limits<double>::infinity()}) {
        ImpulseBuffer impulse;
        test::FillPreviousImpulse(impulse);
        const test::ImpulseSnapshot before(impulse);
        EXPECT_FALSE(Build(Values(), host, folder, impulse));
        EXPECT_TRUE(test::ImpulseSnapshot(impulse) == before);
    }
    EXPECT_TRUE(folder.Opens().empty());
}

TEST(ComposeImpulse, AResponseBeyondTheFloatRangeKeepsThePreviousOne) {
    // Each file is finite, but their product does not fit a float.
    FakeIrFolder folder;
    folder.Add("100+0.wav", File({1e30, 1.0}));
    folder.Add("820+0.wav", File({1e30}));
    ImpulseBuffer impulse;
    test::FillPreviousImpulse(impulse);
    const test::ImpulseSnapshot before(impulse);
    EXPECT_FALSE(Build(Values().Choose(kParamBand2G, 25).Choose(kParamHShelfG, 25), 96000.0, folder, impulse));
    EXPECT_TRUE(test::ImpulseSnapshot(impulse) == before);
    EXPECT_EQ(folder.SourcesDestroyed(), 2);
}

// The files of one composition share a budget, which at a host rate far
// above the files' also bounds the converted response: at 768 kHz, 8 kHz
// files have room for 2^20 / 96 = 10922 frames. A file that would exceed it
// is left out like any unusable one; the files before it stay.
TEST(ComposeImpulse, AFileBeyondTheCompositionsBudgetIsLeftOut) {
    const std::vector<double> shelf = RandomTaps(6000, 31), band = RandomTaps(4000, 32), more = RandomTaps(1000, 33);
    ImpulseBuffer impulse, expected;
    for (bool withMore : {true, false}) {
        FakeIrFolder folder;
        folder.Add("100+0.wav", File(shelf, 8000.0));
        folder.Add("820+0.wav", File(band, 8000.0));
        if (withMore) folder.Add("1800+0.wav", File(more, 8000.0));
        ASSERT_TRUE(Build(Values(), 768000.0, folder, withMore ? impulse : expected));
        EXPECT_EQ(folder.Requests().size(), 2u);  // the third file is opened but never read
    }
    EXPECT_EQ(Taps(impulse), Taps(expected));
}

TEST(ComposeImpulse, ExtremeRateRatiosStayInBounds) {
    const std::vector<double> taps = RandomTaps(4000, 21);
    {   // Far below the file rate: a few taps that keep the DC gain.
        FakeIrFolder folder;
        folder.Add("820+0.wav", File(taps, 96000.0));
        ImpulseBuffer impulse;
        ASSERT_TRUE(Build(Values().Choose(kParamLShelfG, 25), 1e-3, folder, impulse));
        EXPECT_GE(impulse.TapCount(0), kResamplerHalfWidth + 1);
        EXPECT_LE(impulse.TapCount(0), 2 * kResamplerHalfWidth);
        double sum = 0.0, expected = 0.0;
        for (float v : Taps(impulse)) sum += v;
        for (double v : taps) expected += s * v;
        EXPECT_NEAR(sum, expected, 1e-5 * std::fabs(expected) + 1e-6);
    }
    {   // Far above it: the file would take the composition past its budget at
        // that rate, so it is left out like any unusable file.
        FakeIrFolder folder;
        folder.Add("820+0.wav", File(taps, 8000.0));
        ImpulseBuffer impulse;
        ASSERT_TRUE(Build(Values().Choose(kParamLShelfG, 25), 1e9, folder, impulse));
        EXPECT_EQ(Taps(impulse), (std::vector<float>{1.0f, 0.0f}));
    }
}

}  // namespace
}  // namespace tolvar
