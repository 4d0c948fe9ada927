#pragma once
// The effect's frequency response, measured as a host hears it: a unit
// impulse through the effect, after a reset, with the latency compensated as
// in `render`. The impulse sits as far into the signal as the latency, so the
// response keeps what the effect puts out before the impulse's own time (the
// pre-ringing of a rate conversion), which a render of music keeps too.
#include <vector>

#include "tools/tolvar/effect_session.h"

namespace tolvar::cli {

struct MeasuredImpulse {
    std::vector<double> samples;  // the aligned output, from its first sound until it has rung out (ring_out.h)
    int32_t origin = 0;           // index of the impulse's own time in samples; before it, pre-ringing
    int32_t latency = 0;          // frames compensated
};

// The session must be mono (fileChannels 1) and freshly started.
MeasuredImpulse MeasureImpulse(EffectSession& session, double sampleRate, int32_t blockSize);

struct ResponsePoint {
    double frequency;        // Hz
    double magnitudeDb;      // 20 log10 |H|; at least kMagnitudeFloorDb
    double phaseDegrees;     // arg H, unwrapped along the frequencies, within +-180 at 1 kHz
    double groupDelayMs;     // -d(arg H)/d(omega), in milliseconds
};

constexpr double kMagnitudeFloorDb = -300.0;

// `perOctave` frequencies per octave from `from` up to `to`, both included.
std::vector<double> LogFrequencies(double from, double to, int perOctave);

// H(f) = sum over n of impulse.samples[n] e^(-i 2 pi f (n - origin) / rate),
// summed in double, at rising frequencies. The phase is unwrapped by the
// group delay: from one frequency to the next it turns by the 2 pi multiple
// nearest to what the delays at the two predict; the whole turns are those
// that put the frequency nearest 1 kHz within +-180 degrees.
std::vector<ResponsePoint> EvaluateResponse(const MeasuredImpulse& impulse, double sampleRate,
                                            const std::vector<double>& frequencies);

}  // namespace tolvar::cli
