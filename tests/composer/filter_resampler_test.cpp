#include "composer/filter_resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include "tests/composer/biquad_responses.h"
#include "tests/support/failing_heap.h"
#include "tests/composer/reference_resampler.h"
#include "tests/composer/response_dft.h"

namespace tolvar {
namespace {

using test::Biquad;
constexpr int W = kResamplerHalfWidth;

struct Converted {
    std::vector<double> taps;
    int shift = -1;
};

Converted Convert(const std::vector<double>& h, double from, double to) {
    HeapBuffer out(64);
    Converted c;
    EXPECT_TRUE(ResampleFilter(h.data(), int(h.size()), from, to, out, &c.shift));
    c.taps.assign(out.As<float>(), out.As<float>() + out.Count<float>());
    return c;
}

const double kRatePairs[][2] = {{96000, 44100}, {96000, 48000}, {48000, 96000}, {44100, 48000},
                                {48000, 44100}, {44100, 96000}, {96000, 88200}, {96000, 8000},
                                {8000, 96000},  {96000, 192000}};

TEST(FilterResampler, AUnitImpulseStaysAUnitImpulse) {
    for (const auto& rates : kRatePairs) {
        for (int count : {1, 2, 100}) {
            std::vector<double> h(count, 0.0);
            h[0] = 1.0;
            const Converted c = Convert(h, rates[0], rates[1]);
            EXPECT_EQ(c.shift, 0);
            ASSERT_EQ(int(c.taps.size()), ResampledFilterLength(count, rates[0], rates[1]));
            EXPECT_EQ(c.taps[0], 1.0f);
            for (size_t n = 1; n < c.taps.size(); ++n)
                ASSERT_EQ(c.taps[n], 0.0f) << rates[0] << "->" << rates[1] << " n=" << n;
        }
    }
}

TEST(FilterResampler, IntegerUpsamplingPlacesEveryTapOnTheGrid) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<double> h(257);
    for (double& v : h) v = value(random);
    const Converted c = Convert(h, 48000.0, 96000.0);
    EXPECT_EQ(c.shift, 0);
    ASSERT_EQ(c.taps.size(), 2 * 256 + W + 1u);
    for (size_t n = 0; n < c.taps.size(); ++n) {
        const float expected = n % 2 == 0 && n / 2 < h.size() ? float(h[n / 2]) : 0.0f;
        ASSERT_EQ(c.taps[n], expected) << n;
    }
}

// The output is the direct formula's response read from kResamplerDelay samples
// before time zero, where its pre-ringing begins, whatever the response; only a
// response whose taps all land on output samples starts at zero.
TEST(FilterResampler, MatchesTheDirectFormulaFromItsPreRinging) {
    std::mt19937 random(17);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<std::vector<double>> responses = {
        test::CascadeImpulseResponse({test::HighShelfBiquad(96000, 15000, 12)}),
        test::CascadeImpulseResponse({test::PeakingBiquad(96000, 8200, -12, 0.7)}),
        std::vector<double>(300),
        {0.0, 0.0, 1.0},
        {1.0, 1e-9}};
    for (double& v : responses[2]) v = value(random);
    for (const auto& rates : kRatePairs) {
        for (const std::vector<double>& h : responses) {
            const Converted c = Convert(h, rates[0], rates[1]);
            const test::TwoSidedResponse y =
                test::ReferenceResample(h, rates[0], rates[1], W, kResamplerKaiserBeta);
            double peak = 0.0, early = 0.0;
            for (double v : y.values) peak = std::fmax(peak, std::fabs(v));
            for (int n = y.firstIndex; n < 0; ++n) early = std::fmax(early, std::fabs(y.values[n - y.firstIndex]));
            ASSERT_EQ(c.shift, early > 1e-12 * peak ? kResamplerDelay : 0) << rates[0] << "->" << rates[1];
            ASSERT_EQ(int(c.taps.size()), int(y.values.size()) + y.firstIndex + c.shift);
            for (size_t i = 0; i < c.taps.size(); ++i)
                ASSERT_NEAR(c.taps[i], y.values[int(i) - c.shift - y.firstIndex], 1e-6 * peak)
                    << rates[0] << "->" << rates[1] << " i=" << i;
        }
    }
}

struct NamedResponse {
    const char* name;
    std::vector<Biquad> (*sections)(double rate);
};

const NamedResponse kEqualiserResponses[] = {
    {"high shelf 15 kHz +12", [](double r) { return std::vector<Biquad>{test::HighShelfBiquad(r, 15000, 12)}; }},
    {"high shelf 15 kHz -12", [](double r) { return std::vector<Biquad>{test::HighShelfBiquad(r, 15000, -12)}; }},
    {"high shelf 6.8 kHz +12", [](double r) { return std::vector<Biquad>{test::HighShelfBiquad(r, 6800, 12)}; }},
    {"band 8.2 kHz +12", [](double r) { return std::vector<Biquad>{test::PeakingBiquad(r, 8200, 12, 0.7)}; }},
    {"band 8.2 kHz +12 Hi-Q", [](double r) { return std::vector<Biquad>{test::PeakingBiquad(r, 8200, 12, 3.0)}; }},
    {"band 8.2 kHz -12", [](double r) { return std::vector<Biquad>{test::PeakingBiquad(r, 8200, -12, 0.7)}; }},
    {"low-pass 3900 Hz", [](double r) { return std::vector<Biquad>{test::LowPassBiquad(r, 3900, 0.7071)}; }},
    {"low shelf 100 Hz +12", [](double r) { return std::vector<Biquad>{test::LowShelfBiquad(r, 100, 12)}; }},
    {"shelf, bands, shelf", [](double r) {
         return std::vector<Biquad>{test::LowShelfBiquad(r, 100, 12), test::PeakingBiquad(r, 820, -12, 0.7),
                                    test::PeakingBiquad(r, 8200, 12, 0.7), test::HighShelfBiquad(r, 15000, 12)};
     }},
};

// Magnitude, DC gain and length of realistic equaliser responses after the
// conversion, against the file-rate response (plain DFT in double).
TEST(FilterResampler, KeepsTheMagnitudeOfEqualiserResponses) {
    const double pairs[][2] = {{96000, 44100}, {96000, 48000}, {48000, 96000},
                               {44100, 48000}, {48000, 44100}};
    double worstDb = 0.0, worstDcDb = 0.0;
    int worstExtraTaps = 0;
    for (const auto& rates : pairs) {
        const double from = rates[0], to = rates[1];
        const std::vector<double> frequencies = test::CheckFrequencies(0.9 * std::fmin(from, to) / 2, 240);
        for (const NamedResponse& response : kEqualiserResponses) {
            const std::vector<double> h = test::CascadeImpulseResponse(response.sections(from));
            const Converted c = Convert(h, from, to);
            double pairWorst = 0.0;
            for (double f : frequencies) {
                const double error = test::MagnitudeDb(c.taps, to, f) - test::MagnitudeDb(h, from, f);
                pairWorst = std::fmax(pairWorst, std::fabs(error));
            }
            double sumIn = 0.0, sumOut = 0.0;
            for (double v : h) sumIn += v;
            for (double v : c.taps) sumOut += v;
            const double dcDb = std::fabs(20.0 * std::log10(sumOut / sumIn));
            const double expectedLength = double(h.size() - 1) * (to / from);
            const int extra = int(c.taps.size()) - int(std::floor(expectedLength));
            std::printf("%6.0f -> %6.0f Hz  %-24s A=%5zu N=%6zu shift=%2d  worst %.4f dB  DC %.1e dB\n",
                        from, to, response.name, h.size(), c.taps.size(), c.shift, pairWorst, dcDb);
            EXPECT_LE(pairWorst, 0.01) << response.name << " " << from << "->" << to;
            EXPECT_LE(dcDb, 0.01);
            // Length: A * to / from plus the kernel's tail and the start shift.
            EXPECT_EQ(extra, W + 1 + c.shift);
            EXPECT_LT(c.shift, W);
            worstDb = std::fmax(worstDb, pairWorst);
            worstDcDb = std::fmax(worstDcDb, dcDb);
            worstExtraTaps = std::max(worstExtraTaps, extra);
        }
    }
    std::printf("worst passband deviation %.4f dB, worst DC error %.1e dB, at most %d taps beyond A*to/from\n",
                worstDb, worstDcDb, worstExtraTaps);
}

TEST(FilterResampler, KeepsTheDcGainOfAnyResponse) {
    std::mt19937 random(99);
    std::uniform_real_distribution<double> value(0.0, 1.0);
    for (const auto& rates : kRatePairs) {
        std::vector<double> h(500);
        double sum = 0.0;
        for (double& v : h) sum += (v = value(random));
        const Converted c = Convert(h, rates[0], rates[1]);
        double out = 0.0;
        for (double v : c.taps) out += v;
        EXPECT_NEAR(out, sum, 1e-6 * sum) << rates[0] << "->" << rates[1];
    }
}

TEST(FilterResampler, RefusesWhatDoesNotFitAndLeavesTheOutputAlone) {
    const std::vector<double> h = {1.0, 0.5, 0.25, 0.125};
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    HeapBuffer out(64);
    float* old = static_cast<float*>(out.Resize(3 * sizeof(float), true));
    old[0] = 7.0f;
    const double badRates[][2] = {{0, 48000},  {48000, 0},   {-1, 48000}, {48000, -1},
                                  {nan, 48000}, {48000, nan}, {inf, 48000}, {48000, inf},
                                  {1, 1e9},    {1e-300, 1e10}, {4.9e-324, 1.0}};
    for (const auto& rates : badRates) {
        EXPECT_EQ(ResampledFilterLength(4, rates[0], rates[1]), -1) << rates[0] << " " << rates[1];
        EXPECT_FALSE(ResampleFilter(h.data(), 4, rates[0], rates[1], out));
    }
    EXPECT_EQ(ResampledFilterLength(0, 48000, 44100), -1);
    EXPECT_EQ(ResampledFilterLength(-5, 48000, 44100), -1);
    EXPECT_FALSE(ResampleFilter(h.data(), 0, 48000, 44100, out));
    // A length near the limit is computed without allocating anything.
    EXPECT_EQ(ResampledFilterLength(2, 1.0, 2.6e8), 260000000 + W + 1);
    EXPECT_EQ(ResampledFilterLength(2, 1.0, 2.7e8), -1);
    {
        auto heap = test::FailingHeap::RefusingCalls(1, 1 << 30);
        EXPECT_FALSE(ResampleFilter(h.data(), 4, 96000, 44100, out));
        auto secondRefused = test::FailingHeap::RefusingCalls(2, 1 << 30);  // the work buffer is granted, the taps are not
        EXPECT_FALSE(ResampleFilter(h.data(), 4, 96000, 44100, out));
    }
    EXPECT_EQ(out.As<float>(), old);
    EXPECT_EQ(out.Count<float>(), 3);
    EXPECT_EQ(old[0], 7.0f);
}

TEST(FilterResampler, FarBelowTheInputRateAFewTapsKeepTheDcGain) {
    const std::vector<double> h = test::CascadeImpulseResponse({test::LowShelfBiquad(96000, 100, 6)});
    double sum = 0.0;
    for (double v : h) sum += v;
    for (double to : {1.0, 1e-3, 1e-200}) {
        const Converted c = Convert(h, 96000.0, to);
        EXPECT_GE(int(c.taps.size()), W + 1);
        EXPECT_LE(int(c.taps.size()), 2 * W + 1);
        double out = 0.0;
        for (double v : c.taps) out += v;
        EXPECT_NEAR(out, sum, 1e-5 * std::fabs(sum)) << to;
    }
}

// Ratios a rounding step away from 1 put taps within rounding of the output
// grid, from either side: the kernel's edge must stay inside its window.
TEST(FilterResampler, TapsWithinRoundingOfTheGridStayInBounds) {
    std::vector<double> h(64);
    for (size_t k = 0; k < h.size(); ++k) h[k] = 1.0 / (1.0 + k);
    for (double to : {std::nextafter(1.0, 0.0), std::nextafter(1.0, 2.0)}) {
        const Converted c = Convert(h, 1.0, to);
        ASSERT_EQ(c.shift, kResamplerDelay);
        ASSERT_GE(c.taps.size(), h.size() + c.shift);
        for (size_t n = 0; n < c.taps.size(); ++n) {
            const size_t k = n - c.shift;
            ASSERT_NEAR(c.taps[n], n >= size_t(c.shift) && k < h.size() ? h[k] : 0.0, 1e-6) << n;
        }
    }
}

}  // namespace
}  // namespace tolvar
