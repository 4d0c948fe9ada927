// Prints, for realistic equaliser responses, how far each way of handling the
// interpolator's pre-ringing moves the magnitude from the file-rate response
// (worst deviation in dB up to 0.9 times the lower Nyquist frequency):
// dropping it, adding it to the first tap, mirroring it onto positive time, and
// starting the response early enough to keep it (what the composer does).
// Not a test: run it to see why the composer shifts.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "composer/filter_resampler.h"
#include "tests/composer/biquad_responses.h"
#include "tests/composer/reference_resampler.h"
#include "tests/composer/response_dft.h"

namespace {

using namespace tolvar;
using namespace tolvar::test;

enum Treatment { kDrop, kFold, kMirror, kTreatments };
const char* const kTreatmentNames[] = {"drop", "fold", "mirror"};

std::vector<double> Treat(const TwoSidedResponse& y, Treatment treatment) {
    const int zero = -y.firstIndex;
    std::vector<double> out(y.values.begin() + zero, y.values.end());
    for (int m = 1; m <= zero; ++m) {
        const double early = y.values[zero - m];
        if (treatment == kFold) out[0] += early;
        if (treatment == kMirror && m < int(out.size())) out[m] += early;
    }
    return out;
}

double WorstDeviationDb(const std::vector<double>& h, double from, const std::vector<double>& out,
                        double to) {
    double worst = 0.0;
    for (double f : CheckFrequencies(0.9 * std::min(from, to) / 2, 240))
        worst = std::max(worst, std::fabs(MagnitudeDb(out, to, f) - MagnitudeDb(h, from, f)));
    return worst;
}

struct Response {
    const char* name;
    std::vector<Biquad> (*sections)(double rate);
};

const Response kResponses[] = {
    {"high shelf 15 kHz +12", [](double r) { return std::vector<Biquad>{HighShelfBiquad(r, 15000, 12)}; }},
    {"high shelf 15 kHz -12", [](double r) { return std::vector<Biquad>{HighShelfBiquad(r, 15000, -12)}; }},
    {"band 8.2 kHz +12", [](double r) { return std::vector<Biquad>{PeakingBiquad(r, 8200, 12, 0.7)}; }},
    {"band 8.2 kHz -12", [](double r) { return std::vector<Biquad>{PeakingBiquad(r, 8200, -12, 0.7)}; }},
    {"low-pass 3900 Hz", [](double r) { return std::vector<Biquad>{LowPassBiquad(r, 3900, 0.7071)}; }},
    {"low shelf 100 Hz +12", [](double r) { return std::vector<Biquad>{LowShelfBiquad(r, 100, 12)}; }},
    {"shelf, bands, shelf", [](double r) {
         return std::vector<Biquad>{LowShelfBiquad(r, 100, 12), PeakingBiquad(r, 820, -12, 0.7),
                                    PeakingBiquad(r, 8200, 12, 0.7), HighShelfBiquad(r, 15000, 12)};
     }},
};

}  // namespace

int main() {
    const double pairs[][2] = {{96000, 44100}, {96000, 48000}, {48000, 96000}, {44100, 48000}, {48000, 44100}};
    std::printf("worst |magnitude error| in dB up to 0.9 x the lower Nyquist frequency\n");
    std::printf("%-16s %-22s %8s %8s %8s %8s\n", "rates", "response", "drop", "fold", "mirror", "shift");
    for (const auto& rates : pairs) {
        for (const Response& response : kResponses) {
            const std::vector<double> h = CascadeImpulseResponse(response.sections(rates[0]));
            const TwoSidedResponse y =
                ReferenceResample(h, rates[0], rates[1], kResamplerHalfWidth, kResamplerKaiserBeta);
            std::printf("%6.0f -> %6.0f  %-22s", rates[0], rates[1], response.name);
            for (int t = 0; t < kTreatments; ++t)
                std::printf(" %8.4f", WorstDeviationDb(h, rates[0], Treat(y, Treatment(t)), rates[1]));
            HeapBuffer out(64);
            if (!ResampleFilter(h.data(), int(h.size()), rates[0], rates[1], out)) return 1;
            const std::vector<double> shifted(out.As<float>(), out.As<float>() + out.Count<float>());
            std::printf(" %8.4f\n", WorstDeviationDb(h, rates[0], shifted, rates[1]));
        }
    }
    return 0;
}
