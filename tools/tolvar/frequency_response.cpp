#include "tools/tolvar/frequency_response.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "tools/tolvar/stream_renderer.h"

namespace tolvar::cli {
namespace {

// Recomputing the rotation this often keeps the running phasor's error far
// below the float samples' own precision.
constexpr std::size_t kPhasorRefresh = 1024;
constexpr float kFaintestTail = 1e-12f;  // -240 dB
constexpr double kPhaseReferenceHz = 1000.0;

// Silence with one full-scale sample at `position`, and nothing after it.
class ImpulseSource : public FrameSource {
public:
    explicit ImpulseSource(int64_t at) : position(at) {}

    int32_t Read(float* const* channels, int32_t frames) override {
        const auto count = static_cast<int32_t>(std::clamp<int64_t>(position + 1 - delivered, 0, frames));
        for (int32_t n = 0; n < count; ++n) channels[0][n] = delivered + n == position ? 1.0f : 0.0f;
        delivered += count;
        return count;
    }

private:
    int64_t position;
    int64_t delivered = 0;
};

class MonoCollector : public FrameSink {
public:
    explicit MonoCollector(std::vector<double>& into) : samples(into) {}
    void Write(const float* const* channels, int64_t frames) override {
        samples.insert(samples.end(), channels[0], channels[0] + frames);
    }

private:
    std::vector<double>& samples;
};

struct Transfer {
    std::complex<double> h;         // sum of x[n] e^(-i w t)
    std::complex<double> weighted;  // sum of t x[n] e^(-i w t); weighted / h is the group delay
};

// At t = n - origin, in samples.
Transfer TransferAt(const MeasuredImpulse& impulse, double radiansPerSample) {
    const std::vector<double>& x = impulse.samples;
    Transfer sum{0.0, 0.0};
    const std::complex<double> step = std::polar(1.0, -radiansPerSample);
    for (std::size_t start = 0; start < x.size(); start += kPhasorRefresh) {
        double t = static_cast<double>(start) - impulse.origin;
        std::complex<double> phasor = std::polar(1.0, -radiansPerSample * t);
        const std::size_t end = std::min(x.size(), start + kPhasorRefresh);
        for (std::size_t n = start; n < end; ++n, t += 1.0, phasor *= step) {
            sum.h += x[n] * phasor;
            sum.weighted += t * x[n] * phasor;
        }
    }
    return sum;
}

}  // namespace

MeasuredImpulse MeasureImpulse(EffectSession& session, double sampleRate, int32_t blockSize) {
    MeasuredImpulse measured;
    measured.origin = session.Latency();
    ImpulseSource impulse(measured.origin);
    MonoCollector collector(measured.samples);
    StreamPlan plan;
    plan.blockSize = blockSize;
    plan.tail = true;
    plan.ringOut = RingOutLimitsAt(sampleRate);
    // The faintest end of a low-frequency tail still moves the response at
    // 20 Hz: keep all that a float can tell from silence.
    plan.ringOut.threshold = kFaintestTail;
    measured.latency = StreamThrough(session, impulse, collector, plan).latency;
    // What comes before the effect's first sound is silence, not response.
    const auto first = std::find_if(measured.samples.begin(), measured.samples.end(), [](double x) { return x != 0.0; });
    const auto silent = std::min<std::ptrdiff_t>(first - measured.samples.begin(), measured.origin);
    measured.samples.erase(measured.samples.begin(), measured.samples.begin() + silent);
    measured.origin -= static_cast<int32_t>(silent);
    return measured;
}

std::vector<double> LogFrequencies(double from, double to, int perOctave) {
    std::vector<double> frequencies;
    const double octaves = std::log2(to / from);
    const auto steps = static_cast<int>(std::floor(octaves * perOctave + 1e-9));
    for (int k = 0; k <= steps; ++k) frequencies.push_back(from * std::exp2(static_cast<double>(k) / perOctave));
    if (frequencies.back() < to * (1.0 - 1e-9)) frequencies.push_back(to);
    return frequencies;
}

std::vector<ResponsePoint> EvaluateResponse(const MeasuredImpulse& impulse, double sampleRate,
                                            const std::vector<double>& frequencies) {
    constexpr double kTurn = 2.0 * std::numbers::pi;
    std::vector<ResponsePoint> points;
    double phase = 0.0, delay = 0.0, omega = 0.0;  // at the previous frequency: radians, samples, radians per sample
    for (double frequency : frequencies) {
        const double w = kTurn * frequency / sampleRate;
        const Transfer transfer = TransferAt(impulse, w);
        const double magnitude = std::abs(transfer.h);
        const double db = magnitude > 0.0 ? std::max(20.0 * std::log10(magnitude), kMagnitudeFloorDb) : kMagnitudeFloorDb;
        const double groupDelay = magnitude > 0.0 ? (transfer.weighted / transfer.h).real() : delay;
        const double wrapped = magnitude > 0.0 ? std::arg(transfer.h) : phase;
        if (points.empty()) {
            phase = wrapped;
        } else {
            const double predicted = phase - 0.5 * (delay + groupDelay) * (w - omega);
            phase = wrapped + kTurn * std::round((predicted - wrapped) / kTurn);
        }
        delay = groupDelay;
        omega = w;
        points.push_back({frequency, db, phase * 360.0 / kTurn, 1000.0 * groupDelay / sampleRate});
    }
    // Whole turns are the unwrapping's choice: the one that puts 1 kHz within
    // +-180 degrees, where a high-pass filter's lead at the low end shows as lead.
    const auto reference = std::min_element(points.begin(), points.end(), [](const auto& a, const auto& b) {
        return std::abs(std::log(a.frequency / kPhaseReferenceHz)) < std::abs(std::log(b.frequency / kPhaseReferenceHz));
    });
    const double turns = reference == points.end() ? 0.0 : std::round(reference->phaseDegrees / 360.0);
    for (ResponsePoint& point : points) point.phaseDegrees -= 360.0 * turns;
    return points;
}

}  // namespace tolvar::cli
