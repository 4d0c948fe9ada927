// Rate conversion: time alignment, amplitude and frequency, length, refusals.
#include <cmath>
#include <limits>
#include <numbers>

#include <gtest/gtest.h>

#include "host/resample.h"

namespace tolvar {
namespace {

struct RatePair {
    double from;
    double to;
};

constexpr RatePair kPairs[] = {
    {48000, 96000}, {96000, 48000}, {44100, 48000}, {48000, 44100}, {96000, 44100}, {22050, 96000},
};

std::size_t PeakIndex(const std::vector<double>& x) {
    std::size_t peak = 0;
    for (std::size_t i = 1; i < x.size(); ++i)
        if (std::abs(x[i]) > std::abs(x[peak])) peak = i;
    return peak;
}

// A click at an input frame whose time falls on an output frame must peak
// there, with the symmetric ringing of a linear-phase filter around it; a
// click at frame 0 stays at frame 0.
TEST(Resample, ClickLandsAtItsTime) {
    for (const RatePair& p : kPairs) {
        SCOPED_TRACE(testing::Message() << p.from << " -> " << p.to);
        // 0.02 s and 0 s fall on a frame at every rate used here.
        for (const double time : {0.02, 0.0}) {
            std::vector<double> in(static_cast<std::size_t>(0.1 * p.from), 0.0);
            in[static_cast<std::size_t>(std::lround(time * p.from))] = 1.0;
            const std::vector<double> out = ResampleMono(in, p.from, p.to);
            ASSERT_FALSE(out.empty());
            const std::size_t expected = static_cast<std::size_t>(std::lround(time * p.to));
            ASSERT_EQ(PeakIndex(out), expected);
            // A band-limited click keeps its area: the sum over output frames is
            // the input area times the frame ratio.
            if (time > 0.0) {
                double area = 0.0;
                for (double v : out) area += v;
                EXPECT_NEAR(area, p.to / p.from, 1e-6);
                for (std::size_t k = 1; k <= 20; ++k)
                    EXPECT_NEAR(out[expected - k], out[expected + k], 1e-9) << "k " << k;
            }
        }
    }
}

// A 1 kHz sine, compared frame by frame with the same sine evaluated at the
// output rate (which checks amplitude, frequency and time together), away from
// both ends where the signal starts and stops abruptly. Its amplitude, fitted
// by least squares, is within 0.01 dB.
TEST(Resample, SineKeepsAmplitudeAndFrequency) {
    const double frequency = 1000.0;
    const double amplitude = 0.5;
    for (const RatePair& p : kPairs) {
        SCOPED_TRACE(testing::Message() << p.from << " -> " << p.to);
        std::vector<double> in(static_cast<std::size_t>(0.25 * p.from));
        for (std::size_t n = 0; n < in.size(); ++n)
            in[n] = amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(n) / p.from);
        const std::vector<double> out = ResampleMono(in, p.from, p.to);
        const std::size_t margin = static_cast<std::size_t>(0.02 * p.to);
        ASSERT_GT(out.size(), 2 * margin);

        double maxError = 0.0;
        double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;  // normal equations of y = a sin + b cos
        for (std::size_t k = margin; k < out.size() - margin; ++k) {
            const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(k) / p.to;
            const double s = std::sin(phase), c = std::cos(phase);
            maxError = std::max(maxError, std::abs(out[k] - amplitude * s));
            ss += s * s, sc += s * c, cc += c * c, ys += out[k] * s, yc += out[k] * c;
        }
        const double det = ss * cc - sc * sc;
        const double a = (ys * cc - yc * sc) / det;
        const double b = (yc * ss - ys * sc) / det;
        EXPECT_LT(maxError, 1e-8);  // VHQ is 28-bit: about 1e-9 measured here
        EXPECT_LT(std::abs(20.0 * std::log10(std::hypot(a, b) / amplitude)), 0.01);
        EXPECT_LT(std::abs(b), 1e-8);  // no phase shift: no time shift
    }
}

TEST(Resample, LengthFollowsTheRatio) {
    for (const RatePair& p : kPairs) {
        for (const std::size_t frames : {1u, 7u, 1000u, 4801u}) {
            SCOPED_TRACE(testing::Message() << p.from << " -> " << p.to << ", " << frames << " frames");
            const std::vector<double> in(frames, 0.25);
            const double exact = static_cast<double>(frames) * p.to / p.from;
            EXPECT_LE(std::abs(static_cast<double>(ResampleMono(in, p.from, p.to).size()) - exact), 0.5 + 1e-9);
        }
    }
}

TEST(Resample, RefusesWhatItCannotConvert) {
    const std::vector<double> in(100, 0.5);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const RatePair& p : {RatePair{nan, 48000}, RatePair{48000, nan}, RatePair{0, 48000}, RatePair{48000, 0},
                              RatePair{-48000, 48000}, RatePair{48000, -44100}, RatePair{inf, 48000},
                              RatePair{48000, inf}, RatePair{48000, 48000 * 257.0}, RatePair{48000, 48000 / 257.0}}) {
        SCOPED_TRACE(testing::Message() << p.from << " -> " << p.to);
        EXPECT_TRUE(ResampleMono(in, p.from, p.to).empty());
    }
    EXPECT_TRUE(ResampleMono({}, 48000, 96000).empty());
    EXPECT_EQ(ResampleMono(in, 48000, 48000 * 256.0).size(), 100u * 256u);  // the limit itself is served
}

}  // namespace
}  // namespace tolvar
