#include "tools/validate/response_model.h"

#include <algorithm>
#include <cmath>

namespace tolvar::validate {
namespace {

// A response has faded where what is left of it sums to less than this part
// of its whole magnitude: cutting it there moves any output by less.
constexpr double kFadedPart = 1e-6;
constexpr double kLinearityBound = 1e-4;  // relative to the expected peak
constexpr std::size_t kProbeOffset = 37;  // frames: an odd shift that no block size divides
constexpr std::size_t kProbeFrames = 512;
constexpr float kProbeScale = 0.5f;

// The frame after which every response has faded; size() when one has not
// faded before the end.
std::size_t FadedAfter(const ResponseMatrix& responses) {
    std::size_t last = 0;
    for (const auto& row : responses) {
        for (const auto& response : row) {
            double total = 0.0;
            for (double value : response) total += std::fabs(value);
            double left = 0.0;
            std::size_t n = response.size();
            while (n > 0 && left + std::fabs(response[n - 1]) <= kFadedPart * total) left += std::fabs(response[--n]);
            last = std::max(last, n);
        }
    }
    return last;
}

double PeakOf(const ResponseMatrix& responses) {
    double peak = 0.0;
    for (const auto& row : responses)
        for (const auto& response : row)
            for (double value : response) peak = std::max(peak, std::fabs(value));
    return peak;
}

}  // namespace

ResponseModel CompositeModel(const std::vector<double>& composite, int channels) {
    ResponseModel model;
    model.known = true;
    model.length = composite.size();
    model.responses.assign(static_cast<std::size_t>(channels), std::vector<std::vector<double>>(static_cast<std::size_t>(channels)));
    for (int c = 0; c < channels; ++c) model.responses[c][c] = composite;
    return model;
}

ResponseModel MeasuredModel(PluginInstance& instance, std::size_t measureFrames) {
    ResponseModel model;
    const AEffect* effect = instance.Effect();
    if (!effect || effect->numInputs == 0) {
        model.why = "no audio inputs";
        return model;
    }
    model.responses = MeasureResponses(instance, measureFrames);
    model.latency = instance.InitialDelay();
    const double peak = PeakOf(model.responses);
    model.length = FadedAfter(model.responses);
    if (peak == 0.0) {
        model.why = "an impulse gives no output";
        return model;
    }
    if (model.length + kProbeOffset + kProbeFrames >= measureFrames || model.length > kMaxReferenceTaps) {
        model.why = "its impulse response lasts longer than " + std::to_string(std::min(measureFrames, kMaxReferenceTaps)) + " frames";
        return model;
    }
    // A burst of noise, delayed and scaled, into input 0 must give the sum of
    // the responses that its samples call for: linear and time-invariant.
    instance.SetMains(false);
    instance.SetMains(true);
    AudioChannels probe = Silence(effect->numInputs, measureFrames);
    const AudioChannels burst = Noise(1, kProbeFrames, 0x5eed);
    for (std::size_t n = 0; n < kProbeFrames && kProbeOffset + n < measureFrames; ++n)
        probe[0][kProbeOffset + n] = kProbeScale * burst[0][n];
    const int32_t block[] = {4096};
    const AudioChannels heard = instance.ProcessSignal(probe, block);
    instance.SetMains(false);
    instance.SetMains(true);
    ResponseMatrix fromInput0(1, model.responses[0]);
    for (auto& response : fromInput0[0]) response.resize(model.length);
    AudioChannels onlyInput0(1, probe[0]);
    long at = -1;
    const double deviation = RelativeDeviation(heard, ExpectedOutputs(onlyInput0, fromInput0, 0), 0, &at);
    if (!(deviation <= kLinearityBound)) {
        model.why = "not linear and time-invariant (a burst of noise gives other output than its samples' impulse "
                    "responses added up: off by " + Db(deviation) + " of its peak)";
        return model;
    }
    for (auto& row : model.responses)
        for (auto& response : row) response.resize(model.length);
    model.known = true;
    return model;
}

}  // namespace tolvar::validate
