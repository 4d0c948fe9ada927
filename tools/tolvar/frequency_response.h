#pragma once
// The effect's frequency response, measured as a host would: a unit impulse
// through the effect, after a reset, with the latency removed.
#include <vector>

#include "tools/tolvar/effect_session.h"

namespace tolvar::cli {

struct MeasuredImpulse {
    std::vector<double> samples;  // the aligned response, until it has rung out (ring_out.h)
    int32_t latency = 0;          // frames removed from its start
};

// The session must be mono (fileChannels 1) and freshly started.
MeasuredImpulse MeasureImpulse(EffectSession& session, double sampleRate, int32_t blockSize);

struct ResponsePoint {
    double frequency;     // Hz
    double magnitudeDb;   // 20 log10 |H|; at least kMagnitudeFloorDb
    double phaseDegrees;  // arg H, wrapped to (-180, 180]
};

constexpr double kMagnitudeFloorDb = -300.0;

// `perOctave` frequencies per octave from `from` up to `to`, both included.
std::vector<double> LogFrequencies(double from, double to, int perOctave);

// H(f) = sum over n of impulse[n] e^(-i 2 pi f n / rate), summed in double.
std::vector<ResponsePoint> EvaluateResponse(const std::vector<double>& impulse, double sampleRate,
                                            const std::vector<double>& frequencies);

}  // namespace tolvar::cli
