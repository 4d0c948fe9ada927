#include "tools/validate/response_model.h"

#include <algorithm>
#include <cmath>

namespace tolvar::validate {
namespace {

// Relative to the response's peak: below the float round-off that an FFT
// convolution leaves after a response has ended.
constexpr double kFadedLevel = 1e-6;
constexpr double kLinearityBound = 1e-4;  // relative to the response's peak
constexpr int kProbeOffset = 37;          // frames: an odd shift that no block size divides
constexpr float kProbeScale = 0.5f;

// The frame after the last one above kFadedLevel of the peak; size() when it
// has not faded before the end.
std::size_t FadedAfter(const ResponseMatrix& responses, double peak) {
    std::size_t last = 0;
    for (const auto& row : responses)
        for (const auto& response : row)
            for (std::size_t n = response.size(); n-- > 0;)
                if (std::fabs(response[n]) > kFadedLevel * peak) {
                    last = std::max(last, n + 1);
                    break;
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
    const AEffect* effect = instance.effect();
    if (!effect || effect->numInputs == 0) {
        model.why = "no audio inputs";
        return model;
    }
    model.responses = MeasureResponses(instance, measureFrames);
    model.latency = instance.InitialDelay();
    const double peak = PeakOf(model.responses);
    model.length = FadedAfter(model.responses, peak);
    if (peak == 0.0) {
        model.why = "an impulse gives no output";
        return model;
    }
    if (model.length + kProbeOffset >= measureFrames || model.length > kMaxReferenceTaps) {
        model.why = "its impulse response lasts longer than " + std::to_string(std::min(measureFrames, kMaxReferenceTaps)) + " frames";
        return model;
    }
    // A delayed, scaled impulse into input 0 must give the delayed, scaled responses.
    instance.SetMains(false);
    instance.SetMains(true);
    AudioChannels probe = Silence(effect->numInputs, measureFrames);
    probe[0][kProbeOffset] = kProbeScale;
    const int32_t block[] = {4096};
    const AudioChannels heard = instance.ProcessSignal(probe, block);
    instance.SetMains(false);
    instance.SetMains(true);
    double worst = 0.0;
    for (std::size_t out = 0; out < heard.size(); ++out)
        for (std::size_t n = kProbeOffset; n < measureFrames; ++n)
            worst = std::max(worst, std::fabs(heard[out][n] - kProbeScale * model.responses[0][out][n - kProbeOffset]));
    if (!(worst <= kLinearityBound * peak)) {
        model.why = "not linear and time-invariant (a delayed, halved impulse differs from the delayed, halved "
                    "response by " + Db(worst / peak) + " of its peak)";
        return model;
    }
    for (auto& row : model.responses)
        for (auto& response : row) response.resize(model.length);
    model.known = true;
    return model;
}

}  // namespace tolvar::validate
