#pragma once
// Reference equaliser responses for the tests: second-order sections designed
// with the bilinear transform (the familiar audio-EQ cookbook forms), run in
// double. Shelves and peaking sections with positive gain and quality are
// minimum phase, like the measured files.
#include <vector>

namespace tolvar::test {

struct Biquad {
    double b0, b1, b2, a1, a2;  // normalised so that a0 = 1
};

Biquad PeakingBiquad(double rate, double frequency, double gainDb, double quality);
Biquad LowShelfBiquad(double rate, double frequency, double gainDb);   // slope 1
Biquad HighShelfBiquad(double rate, double frequency, double gainDb);  // slope 1
Biquad LowPassBiquad(double rate, double frequency, double quality);

// The impulse response of the sections in cascade, run until the tail stays
// below 1e-13 of its peak for 4096 samples (at most maxLength samples).
std::vector<double> CascadeImpulseResponse(const std::vector<Biquad>& sections,
                                           int maxLength = 1 << 17);

}  // namespace tolvar::test
