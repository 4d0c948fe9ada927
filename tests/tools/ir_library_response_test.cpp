// Every file of the IR library the build wrote, measured with the plug-in's scale
// applied (direct DFT sums in double) against the response its setting names.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/composer/response_dft.h"
#include "tests/tools/library_measurements.h"

namespace tolvar::test {
namespace {

// The sections' frequencies, kept here on purpose apart from
// composer/section_frequencies.h, which the generator and the plug-in use: the
// library is measured against what the equaliser promises, not against what
// the generator was told.
constexpr int kLowShelfHz[] = {33, 56, 100, 180, 330};
constexpr int kBandHz[] = {270, 390, 560, 820, 1200, 1800, 2700, 3900, 5600, 8200};
constexpr int kHighShelfHz[] = {3300, 4700, 6800, 10000, 15000};
constexpr double kRate = 96000.0;
constexpr double kNyquist = kRate / 2.0;

// Reads a file that must exist in the library's format.
LibraryWav Load(const std::string& name) {
    LibraryWav wav = ReadLibraryWav(name);
    EXPECT_TRUE(wav.opened) << name;
    EXPECT_FALSE(wav.samples.empty()) << name;
    return wav;
}

// Records |measured - wanted| for the table and fails when it exceeds the limit.
void ExpectNear(const std::string& check, double measured, double wanted, double limit, const std::string& file) {
    const double error = std::abs(measured - wanted);
    RecordError(check, error, limit, file);
    EXPECT_LE(error, limit) << check << ": " << file << " measures " << measured << " dB, wants " << wanted;
}

// The frequency between `inside` and `outside` (Hz) where the gain crosses
// gainDb / 2, by bisection on a logarithmic scale.
double HalfGainFrequency(const LibraryWav& wav, double gainDb, double inside, double outside) {
    const auto aboveHalf = [&](double f) { return (ScaledGainDb(wav, f) - gainDb / 2.0) * gainDb > 0.0; };
    for (int i = 0; i < 30; ++i) {
        const double middle = std::sqrt(inside * outside);
        (aboveHalf(middle) ? inside : outside) = middle;
    }
    return std::sqrt(inside * outside);
}

double HalfGainBandwidth(const LibraryWav& wav, double centre, double gainDb) {
    return HalfGainFrequency(wav, gainDb, centre, std::min(8.0 * centre, 20000.0)) -
           HalfGainFrequency(wav, gainDb, centre, centre / 8.0);
}

std::vector<double> AudioBand() { return CheckFrequencies(20000.0, 48); }

TEST(IrLibrary, HoldsEveryFileAsMono96kFloat) {
    int wavCount = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TOLVAR_IR_LIBRARY_DIR))
        wavCount += entry.path().extension() == ".wav";
    EXPECT_EQ(wavCount, 764);
    std::vector<std::string> names = {"misc_mic_pre.wav", "misc_inst_DI.wav", "conv_-15_converter.wav",
                                      "conv_-18_converter.wav", "misc_LPF_3900.wav", "misc_LPF_5600.wav",
                                      "misc_LPF_8200hz.wav", "misc_LPF_12khz.wav", "misc_LPF_18khz.wav",
                                      "misc_HPF_27.wav", "misc_HPF_47.wav", "misc_HPF_82.wav",
                                      "misc_HPF_150.wav", "misc_HPF_270.wav"};
    for (int gain = -12; gain <= 12; ++gain) {
        for (int f : kLowShelfHz) names.push_back(SectionFileName(f, gain, false));
        for (int f : kHighShelfHz) names.push_back(SectionFileName(f, gain, false));
        for (int f : kBandHz) names.push_back(SectionFileName(f, gain, false));
        for (int f : kBandHz) names.push_back(SectionFileName(f, gain, true));
    }
    for (const std::string& name : names) {
        const LibraryWav wav = Load(name);
        EXPECT_EQ(wav.rate, 96000) << name;
        EXPECT_EQ(wav.channels, 1) << name;
        EXPECT_EQ(wav.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT) << name;
        // The file fades out once its ringing has died away, rather than being cut off
        // mid-ring.
        if (wav.samples.size() < 64) continue;
        double energy = 0.0, ending = 0.0;
        for (size_t n = 0; n < wav.samples.size(); ++n) {
            energy += wav.samples[n] * wav.samples[n];
            if (n + 16 >= wav.samples.size()) ending += wav.samples[n] * wav.samples[n];
        }
        const double endingDb = 10.0 * std::log10(std::max(ending / energy, 1e-30));
        RecordError("last 16 samples' share of the energy (dB, at most -110)", endingDb, -110.0, name);
        EXPECT_LE(endingDb, -110.0) << name;
    }
}

TEST(IrLibrary, FlatSectionsAreOneTapAtUnityGain) {
    std::vector<std::string> names;
    for (int f : kLowShelfHz) names.push_back(SectionFileName(f, 0, false));
    for (int f : kBandHz) names.push_back(SectionFileName(f, 0, false));
    for (int f : kBandHz) names.push_back(SectionFileName(f, 0, true));
    for (int f : kHighShelfHz) names.push_back(SectionFileName(f, 0, false));
    for (const std::string& name : names) {
        const LibraryWav wav = Load(name);
        EXPECT_EQ(wav.samples.size(), 1u) << name;
        for (double f : AudioBand()) ExpectNear("+0 dB section flat, 20 Hz-20 kHz", ScaledGainDb(wav, f), 0.0, 0.1, name);
    }
}

TEST(IrLibrary, BandsReachTheirGainAtTheCentreAndHiQIsNarrower) {
    for (int f : kBandHz) {
        for (int gain = -12; gain <= 12; ++gain) {
            if (gain == 0) continue;
            const std::string standardName = SectionFileName(f, gain, false);
            const std::string hiQName = SectionFileName(f, gain, true);
            const LibraryWav standard = Load(standardName);
            const LibraryWav hiQ = Load(hiQName);
            ExpectNear("band gain at its centre", ScaledGainDb(standard, f), gain, 0.25, standardName);
            ExpectNear("Hi-Q band gain at its centre", ScaledGainDb(hiQ, f), gain, 0.25, hiQName);
            const double ratio = HalfGainBandwidth(hiQ, f, gain) / HalfGainBandwidth(standard, f, gain);
            RecordError("Hi-Q / standard half-gain bandwidth (at most 0.6)", ratio, 0.6, hiQName);
            EXPECT_LE(ratio, 0.6) << hiQName;
        }
    }
}

// A shelf has its full gain well past its corner and half of it (in dB) at the corner.
void CheckShelf(const std::string& kind, int corner, int gain, double plateau) {
    const std::string name = SectionFileName(corner, gain, false);
    const LibraryWav wav = Load(name);
    ExpectNear(kind + " gain on its plateau", ScaledGainDb(wav, plateau), gain, 0.25, name);
    ExpectNear(kind + " half gain at its corner", ScaledGainDb(wav, corner), gain / 2.0, 0.25, name);
}

TEST(IrLibrary, ShelvesReachTheirGainOnThePlateauAndHalfAtTheCorner) {
    for (int gain = -12; gain <= 12; ++gain) {
        if (gain == 0) continue;
        for (int f : kLowShelfHz) CheckShelf("low shelf", f, gain, f / 8.0);
        for (int f : kHighShelfHz) CheckShelf("high shelf", f, gain, std::min(8.0 * f, kNyquist));
    }
}

// -3 dB at the corner, 0 dB well inside the pass band, and the slope of the order.
void CheckFilter(const std::string& kind, const std::string& name, double corner, double passFrequency,
                 double octaveOut, double maxOctaveOutDb) {
    const LibraryWav wav = Load(name);
    ExpectNear(kind + " -3 dB at its corner", ScaledGainDb(wav, corner), -3.0103, 0.5, name);
    ExpectNear(kind + " 0 dB in its pass band", ScaledGainDb(wav, passFrequency), 0.0, 0.1, name);
    const double out = ScaledGainDb(wav, octaveOut);
    RecordError(kind + " an octave outside its corner (dB, at most " + std::to_string(int(maxOctaveOutDb)) + ")",
                out, maxOctaveOutDb, name);
    EXPECT_LE(out, maxOctaveOutDb) << name;
}

TEST(IrLibrary, FiltersAreThreeDecibelsDownAtTheirCorners) {
    // Second-order low-pass: -12.3 dB an octave up; third-order high-pass: -18.1 dB an octave down.
    const std::pair<const char*, double> lowPasses[] = {{"misc_LPF_3900.wav", 3900}, {"misc_LPF_5600.wav", 5600},
        {"misc_LPF_8200hz.wav", 8200}, {"misc_LPF_12khz.wav", 12000}, {"misc_LPF_18khz.wav", 18000}};
    for (const auto& [name, corner] : lowPasses) CheckFilter("low-pass", name, corner, corner / 10.0, 2.0 * corner, -11.0);
    const std::pair<const char*, double> highPasses[] = {{"misc_HPF_27.wav", 27}, {"misc_HPF_47.wav", 47},
        {"misc_HPF_82.wav", 82}, {"misc_HPF_150.wav", 150}, {"misc_HPF_270.wav", 270}};
    for (const auto& [name, corner] : highPasses) CheckFilter("high-pass", name, corner, corner * 10.0, corner / 2.0, -17.0);
}

TEST(IrLibrary, TransformerInputsColourGently) {
    for (const std::string name : {"misc_mic_pre.wav", "misc_inst_DI.wav"}) {
        const LibraryWav wav = Load(name);
        for (double f : CheckFrequencies(16000.0, 40)) {
            if (f >= 40.0) ExpectNear("transformer input within 1.5 dB, 40 Hz-16 kHz", ScaledGainDb(wav, f), 0.0, 1.5, name);
        }
        EXPECT_LE(ScaledGainDb(wav, 5.0), -3.0) << name << ": no low-end roll-off";
        EXPECT_LE(ScaledGainDb(wav, 40000.0), -1.0) << name << ": no high-end roll-off";
    }
}

TEST(IrLibrary, ConvertersAreMinimumPhaseAntiAliasFiltersThreeDecibelsApart) {
    const LibraryWav hot = Load("conv_-15_converter.wav");
    const LibraryWav reference = Load("conv_-18_converter.wav");
    ExpectNear("-15 converter over -18 at 1 kHz", ScaledGainDb(hot, 1000.0) - ScaledGainDb(reference, 1000.0), 3.0,
               0.01, "conv_-15_converter.wav");
    for (const auto& [name, wav, level] : {std::tuple{"conv_-15_converter.wav", hot, 3.0},
                                           std::tuple{"conv_-18_converter.wav", reference, 0.0}}) {
        for (double f : AudioBand()) ExpectNear("converter pass band, 20 Hz-20 kHz", ScaledGainDb(wav, f), level, 0.1, name);
        double worstStop = -400.0;
        for (double f = 22500.0; f <= kNyquist; f += 50.0) worstStop = std::max(worstStop, ScaledGainDb(wav, f) - level);
        RecordError("converter stop band from 22.5 kHz (dB, at most -90)", worstStop, -90.0, name);
        EXPECT_LE(worstStop, -90.0) << name;
        // Minimum phase: the audio is not held back by the half-length of a
        // linear-phase filter (123 samples), only by the least delay any causal
        // filter this steep has: 5 to 7 samples (0.05 to 0.07 ms) up to 10 kHz.
        std::vector<double> timed(wav.samples.size());
        for (size_t n = 0; n < timed.size(); ++n) timed[n] = double(n) * wav.samples[n];
        double worstDelay = 0.0;
        for (double f : CheckFrequencies(10000.0, 40))
            worstDelay = std::max(worstDelay, (ResponseAt(timed, kRate, f) / ResponseAt(wav.samples, kRate, f)).real());
        RecordError("converter group delay, 20 Hz-10 kHz (samples at 96 kHz, at most 7)", worstDelay, 7.0, name);
        EXPECT_LE(worstDelay, 7.0) << name;
    }
}

}  // namespace
}  // namespace tolvar::test
