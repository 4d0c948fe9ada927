// tolvar-demo-signal OUT.wav: writes the demo's music-like test signal, made
// here from nothing: drum-like noise bursts and a bass line over four bars,
// then a sine sweep across the audible band. Stereo, 48 kHz, 24-bit; the same
// file on every run.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr double kBeat = 0.5;                     // seconds, 120 beats per minute
constexpr int kBars = 4;
constexpr double kGrooveSeconds = kBars * 4 * kBeat;
constexpr double kSweepSeconds = 4.0;
constexpr double kSweepFrom = 20.0, kSweepTo = 20000.0;
constexpr double kPeak = 0.5;                     // -6 dBFS, room for the demo's boosts
constexpr double kTwoPi = 2.0 * std::numbers::pi;

struct Stereo {
    std::vector<double> left, right;
    explicit Stereo(std::size_t frames) : left(frames), right(frames) {}
    void Add(std::size_t frame, double value, double pan) {  // pan -1 (left) .. +1 (right)
        if (frame >= left.size()) return;
        left[frame] += value * std::sqrt(0.5 * (1.0 - pan));
        right[frame] += value * std::sqrt(0.5 * (1.0 + pan));
    }
};

// A small generator of our own, so the noise is the same with every library.
class Noise {
public:
    double Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<double>(state >> 11) * 0x1.0p-52 - 1.0;
    }

private:
    uint64_t state = 0x9E3779B97F4A7C15ull;
};

std::size_t FrameAt(double seconds) { return static_cast<std::size_t>(std::lround(seconds * kRate)); }

void Kick(Stereo& out, double at, Noise& noise) {
    double phase = 0.0;
    for (int n = 0; n < kRate / 2; ++n) {
        const double t = static_cast<double>(n) / kRate;
        phase += kTwoPi * (45.0 + 105.0 * std::exp(-t / 0.03)) / kRate;
        const double click = t < 0.003 ? 0.3 * noise.Next() : 0.0;
        out.Add(FrameAt(at) + n, std::exp(-t / 0.12) * std::sin(phase) + click, 0.0);
    }
}

void Snare(Stereo& out, double at, Noise& noise) {
    for (int n = 0; n < kRate / 4; ++n) {
        const double t = static_cast<double>(n) / kRate;
        const double body = std::exp(-t / 0.05) * std::sin(kTwoPi * 190.0 * t);
        out.Add(FrameAt(at) + n, 0.5 * std::exp(-t / 0.07) * noise.Next() + 0.4 * body, 0.1);
    }
}

void HiHat(Stereo& out, double at, double pan, Noise& noise) {
    double previous = 0.0;
    for (int n = 0; n < kRate / 20; ++n) {
        const double t = static_cast<double>(n) / kRate;
        const double white = noise.Next();
        out.Add(FrameAt(at) + n, 0.25 * std::exp(-t / 0.012) * (white - previous), pan);  // first difference: bright
        previous = white;
    }
}

void BassNote(Stereo& out, double at, double length, double hz) {
    for (std::size_t n = 0; n < FrameAt(length); ++n) {
        const double t = static_cast<double>(n) / kRate;
        const double envelope = std::min(1.0, t / 0.005) * std::min(1.0, (length - t) / 0.02);
        double wave = 0.0;
        for (int k = 1; k <= 8; ++k) wave += std::sin(kTwoPi * k * hz * t) / k;
        out.Add(FrameAt(at) + n, 0.35 * envelope * wave, 0.0);
    }
}

void Groove(Stereo& out) {
    Noise noise;
    const double bassLine[] = {41.20, 41.20, 49.00, 55.00, 41.20, 36.71, 49.00, 55.00};
    for (int bar = 0; bar < kBars; ++bar) {
        const double start = bar * 4 * kBeat;
        for (double beat : {0.0, 1.5, 2.0}) Kick(out, start + beat * kBeat, noise);
        for (double beat : {1.0, 3.0}) Snare(out, start + beat * kBeat, noise);
        for (int eighth = 0; eighth < 8; ++eighth)
            HiHat(out, start + eighth * kBeat / 2, eighth % 2 ? 0.4 : -0.4, noise);
        for (int half = 0; half < 2; ++half)
            BassNote(out, start + half * 2 * kBeat, 2 * kBeat - 0.05, bassLine[(bar * 2 + half) % 8]);
    }
}

// An exponential sweep: equal time per octave.
void Sweep(Stereo& out, double at) {
    const double octaves = std::log(kSweepTo / kSweepFrom);
    for (std::size_t n = 0; n < FrameAt(kSweepSeconds); ++n) {
        const double t = static_cast<double>(n) / kRate;
        const double phase = kTwoPi * kSweepFrom * kSweepSeconds / octaves * (std::exp(t * octaves / kSweepSeconds) - 1.0);
        const double fade = std::min({1.0, t / 0.01, (kSweepSeconds - t) / 0.01});
        out.Add(FrameAt(at) + n, 0.5 * fade * std::sin(phase), 0.0);
    }
}

std::vector<double> Interleaved(const Stereo& signal) {
    double peak = 0.0;
    for (std::size_t n = 0; n < signal.left.size(); ++n)
        peak = std::max({peak, std::abs(signal.left[n]), std::abs(signal.right[n])});
    std::vector<double> frames;
    for (std::size_t n = 0; n < signal.left.size(); ++n) {
        frames.push_back(signal.left[n] * kPeak / peak);
        frames.push_back(signal.right[n] * kPeak / peak);
    }
    return frames;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tolvar-demo-signal OUT.wav\n");
        return 2;
    }
    Stereo signal(FrameAt(kGrooveSeconds + 0.5 + kSweepSeconds + 0.5));
    Groove(signal);
    Sweep(signal, kGrooveSeconds + 0.5);
    const std::vector<double> frames = Interleaved(signal);

    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* file = sf_open(argv[1], SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "tolvar-demo-signal: cannot write %s: %s\n", argv[1], sf_strerror(nullptr));
        return 1;
    }
    const auto count = static_cast<sf_count_t>(frames.size() / 2);
    const bool written = sf_writef_double(file, frames.data(), count) == count;
    if (sf_close(file) != 0 || !written) {
        std::fprintf(stderr, "tolvar-demo-signal: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
