#pragma once
// Driving an instance's audio callback directly, and reading where pulses come out.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "abi/vst2.h"

namespace tolvar::test {

using Signal = std::vector<float>;

struct Stereo {
    Signal left, right;
};

// Runs the signals through processReplacing in blocks of the given sizes (cycled).
inline Stereo Process(AEffect* effect, const Signal& left, const Signal& right, const std::vector<int>& blockSizes) {
    Stereo out{Signal(left.size()), Signal(right.size())};
    std::size_t position = 0;
    for (std::size_t b = 0; position < left.size(); ++b) {
        const int n = std::min<int>(blockSizes[b % blockSizes.size()], static_cast<int>(left.size() - position));
        Signal inL(left.begin() + position, left.begin() + position + n);
        Signal inR(right.begin() + position, right.begin() + position + n);
        Signal outL(n, 99.0f), outR(n, 99.0f);
        float* inputs[2] = {inL.data(), inR.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        effect->processReplacing(effect, inputs, outputs, n);
        std::copy(outL.begin(), outL.end(), out.left.begin() + position);
        std::copy(outR.begin(), outR.end(), out.right.begin() + position);
        position += n;
    }
    return out;
}

// Where each pulse of a pulse train comes out, relative to the pulse: the
// position of the largest output sample in the window after it.
inline std::vector<int> PulseArrivals(const Signal& output, int spacing, int firstPulse) {
    std::vector<int> arrivals;
    for (int start = firstPulse; start + spacing <= static_cast<int>(output.size()); start += spacing) {
        int best = start;
        for (int t = start; t < start + spacing; ++t) {
            if (std::abs(output[t]) > std::abs(output[best])) best = t;
        }
        arrivals.push_back(best - start);
    }
    return arrivals;
}

}  // namespace tolvar::test
