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

class UnitImpulseSource : public FrameSource {
public:
    int32_t Read(float* const* channels, int32_t frames) override {
        if (delivered_ || frames < 1) return 0;
        channels[0][0] = 1.0f;
        delivered_ = true;
        return 1;
    }

private:
    bool delivered_ = false;
};

class MonoCollector : public FrameSink {
public:
    explicit MonoCollector(std::vector<double>& samples) : samples_(samples) {}
    void Write(const float* const* channels, int64_t frames) override {
        samples_.insert(samples_.end(), channels[0], channels[0] + frames);
    }

private:
    std::vector<double>& samples_;
};

std::complex<double> TransferAt(const std::vector<double>& impulse, double radiansPerSample) {
    std::complex<double> sum = 0.0;
    for (std::size_t start = 0; start < impulse.size(); start += kPhasorRefresh) {
        std::complex<double> phasor = std::polar(1.0, -radiansPerSample * static_cast<double>(start));
        const std::complex<double> step = std::polar(1.0, -radiansPerSample);
        const std::size_t end = std::min(impulse.size(), start + kPhasorRefresh);
        for (std::size_t n = start; n < end; ++n, phasor *= step) sum += impulse[n] * phasor;
    }
    return sum;
}

double WrappedDegrees(double radians) {
    double degrees = radians * 180.0 / std::numbers::pi;
    if (degrees <= -180.0) degrees += 360.0;
    return degrees;
}

}  // namespace

MeasuredImpulse MeasureImpulse(EffectSession& session, double sampleRate, int32_t blockSize) {
    MeasuredImpulse measured;
    UnitImpulseSource impulse;
    MonoCollector collector(measured.samples);
    StreamPlan plan;
    plan.blockSize = blockSize;
    plan.tail = true;
    plan.ringOut = RingOutLimitsAt(sampleRate);
    measured.latency = StreamThrough(session, impulse, collector, plan).latency;
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

std::vector<ResponsePoint> EvaluateResponse(const std::vector<double>& impulse, double sampleRate,
                                            const std::vector<double>& frequencies) {
    std::vector<ResponsePoint> points;
    for (double frequency : frequencies) {
        const std::complex<double> h = TransferAt(impulse, 2.0 * std::numbers::pi * frequency / sampleRate);
        const double magnitude = std::abs(h);
        const double db = magnitude > 0.0 ? std::max(20.0 * std::log10(magnitude), kMagnitudeFloorDb) : kMagnitudeFloorDb;
        points.push_back({frequency, db, WrappedDegrees(std::arg(h))});
    }
    return points;
}

}  // namespace tolvar::cli
