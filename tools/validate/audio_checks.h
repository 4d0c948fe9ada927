#pragma once
// Signals the validator feeds, what it checks in what comes back, and the
// independent references it compares against (double precision, direct sums).
#include <cstdint>
#include <string>
#include <vector>

#include "host/plugin_instance.h"

namespace tolvar::validate {

constexpr double kSilenceLevel = 1e-7;  // -140 dBFS

// `channels` channels of uniform white noise in [-1, 1), each its own.
AudioChannels Noise(int channels, std::size_t frames, uint32_t seed);
AudioChannels Silence(int channels, std::size_t frames);

// Frames that no host may receive: NaN, infinite, or subnormal (nonzero and
// smaller than the smallest normal float).
struct Defects {
    long notANumber = 0;
    long infinite = 0;
    long subnormal = 0;
    long firstFrame = -1;  // the first defective frame, -1 when there is none
    bool Any() const { return firstFrame >= 0; }
    std::string Describe() const;  // "3 NaN, 1 subnormal from frame 17"
};
Defects ScanDefects(const AudioChannels& audio, std::size_t from = 0);

// Largest magnitude in frames from..end of every channel.
double Peak(const AudioChannels& audio, std::size_t from = 0);
std::string Dbfs(double level);  // "-143.2 dBFS"
std::string Db(double ratio);     // "-43.2 dB"

// y[n] = sum over k of h[k] x[n - k], for n = 0 .. x.size() - 1, in double.
std::vector<double> ConvolveDirect(const std::vector<float>& x, const std::vector<double>& h);

// What an instance does to each input, as responses: responses[in][out], each
// starting at stream time zero (so any latency is inside it).
using ResponseMatrix = std::vector<std::vector<std::vector<double>>>;

// Expected outputs, in double, for `input` through `responses`, delayed by
// `delay` frames (negative: advanced) and as long as the input.
std::vector<std::vector<double>> ExpectedOutputs(const AudioChannels& input, const ResponseMatrix& responses,
                                                 int delay);

// The largest |actual - expected| over every frame from `from` on, relative to
// the expected signal's peak; writes the frame where it occurs.
double RelativeDeviation(const AudioChannels& actual, const std::vector<std::vector<double>>& expected,
                         std::size_t from, long* worstFrame);

// The responses of an instance, each input's measured alone after a reset
// (mains off and on): a unit impulse at frame 0, `length` frames recorded.
ResponseMatrix MeasureResponses(PluginInstance& instance, std::size_t length);

// The response's value at `frequency` Hz when its tap n sits at time
// (n - origin) / rate: the discrete-time Fourier transform, in double.
struct Complex {
    double re = 0.0;
    double im = 0.0;
};
Complex ResponseAt(const std::vector<double>& taps, double origin, double rate, double frequency);

// One extra channel layout: the plug-in's numInputs channels of `frames`.
std::string FrameText(long frame);

}  // namespace tolvar::validate
