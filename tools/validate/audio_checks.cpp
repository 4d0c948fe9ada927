#include "tools/validate/audio_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <random>

namespace tolvar::validate {

AudioChannels Noise(int channels, std::size_t frames, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    AudioChannels audio(static_cast<std::size_t>(std::max(channels, 0)), std::vector<float>(frames));
    for (auto& channel : audio)
        for (float& sample : channel) sample = uniform(random);
    return audio;
}

AudioChannels Silence(int channels, std::size_t frames) {
    return AudioChannels(static_cast<std::size_t>(std::max(channels, 0)), std::vector<float>(frames, 0.0f));
}

std::string Defects::Describe() const {
    std::string text;
    auto add = [&](long count, const char* what) {
        if (count > 0) text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + what;
    };
    add(notANumber, "NaN");
    add(infinite, "infinite");
    add(subnormal, "subnormal");
    return text + " from frame " + std::to_string(firstFrame);
}

Defects ScanDefects(const AudioChannels& audio, std::size_t from) {
    Defects defects;
    for (const auto& channel : audio) {
        for (std::size_t frame = from; frame < channel.size(); ++frame) {
            const float value = channel[frame];
            bool bad = true;
            if (std::isnan(value)) ++defects.notANumber;
            else if (std::isinf(value)) ++defects.infinite;
            else if (value != 0.0f && std::fabs(value) < std::numeric_limits<float>::min()) ++defects.subnormal;
            else bad = false;
            if (bad && (defects.firstFrame < 0 || static_cast<long>(frame) < defects.firstFrame))
                defects.firstFrame = static_cast<long>(frame);
        }
    }
    return defects;
}

double Peak(const AudioChannels& audio, std::size_t from) {
    double peak = 0.0;
    for (const auto& channel : audio)
        for (std::size_t frame = from; frame < channel.size(); ++frame)
            peak = std::max(peak, static_cast<double>(std::fabs(channel[frame])));
    return peak;
}

std::string Dbfs(double level) {
    char text[32];
    if (level <= 0.0) return "silence";
    std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(level));
    return text;
}

std::string Db(double ratio) {
    char text[32];
    if (std::isnan(ratio)) return "NaN dB";
    if (ratio <= 0.0) return "-inf dB";
    std::snprintf(text, sizeof text, "%.1f dB", 20.0 * std::log10(ratio));
    return text;
}

std::string FrameText(long frame) { return "frame " + std::to_string(frame); }

std::vector<double> ConvolveDirect(const std::vector<float>& x, const std::vector<double>& h) {
    std::vector<double> y(x.size(), 0.0);
    for (std::size_t k = 0; k < h.size(); ++k) {
        const double tap = h[k];
        if (tap == 0.0) continue;
        for (std::size_t n = k; n < x.size(); ++n) y[n] += tap * x[n - k];
    }
    return y;
}

std::vector<std::vector<double>> ExpectedOutputs(const AudioChannels& input, const ResponseMatrix& responses,
                                                 int delay) {
    const long frames = input.empty() ? 0 : static_cast<long>(input.front().size());
    const std::size_t outputs = responses.empty() ? 0 : responses.front().size();
    std::vector<std::vector<double>> expected(outputs, std::vector<double>(static_cast<std::size_t>(frames), 0.0));
    for (std::size_t in = 0; in < input.size() && in < responses.size(); ++in) {
        for (std::size_t out = 0; out < outputs; ++out) {
            if (responses[in][out].empty()) continue;
            const std::vector<double> part = ConvolveDirect(input[in], responses[in][out]);
            for (long n = std::max(0L, static_cast<long>(delay)); n < frames && n - delay < frames; ++n)
                expected[out][static_cast<std::size_t>(n)] += part[static_cast<std::size_t>(n - delay)];
        }
    }
    return expected;
}

double RelativeDeviation(const AudioChannels& actual, const std::vector<std::vector<double>>& expected,
                         std::size_t from, long* worstFrame) {
    double peak = 0.0, worst = 0.0;
    long at = -1;
    for (std::size_t c = 0; c < expected.size() && c < actual.size(); ++c) {
        for (std::size_t n = from; n < expected[c].size() && n < actual[c].size(); ++n) {
            peak = std::max(peak, std::fabs(expected[c][n]));
            const double deviation = std::fabs(static_cast<double>(actual[c][n]) - expected[c][n]);
            if (!(deviation <= worst)) worst = deviation, at = static_cast<long>(n);
        }
    }
    if (worstFrame) *worstFrame = at;
    if (std::isnan(worst)) return worst;
    return peak > 0.0 ? worst / peak : worst;
}

ResponseMatrix MeasureResponses(PluginInstance& instance, std::size_t length) {
    const AEffect* effect = instance.Effect();
    const int inputs = effect ? effect->numInputs : 0;
    ResponseMatrix responses;
    const int32_t block[] = {4096};
    for (int in = 0; in < inputs; ++in) {
        instance.SetMains(false);
        instance.SetMains(true);
        AudioChannels impulse = Silence(inputs, length);
        impulse[static_cast<std::size_t>(in)][0] = 1.0f;
        const AudioChannels heard = instance.ProcessSignal(impulse, block);
        std::vector<std::vector<double>> row;
        for (const auto& channel : heard) row.emplace_back(channel.begin(), channel.end());
        responses.push_back(std::move(row));
    }
    return responses;
}

Complex ResponseAt(const std::vector<double>& taps, double origin, double rate, double frequency) {
    Complex sum;
    const double w = -2.0 * std::numbers::pi * frequency / rate;
    for (std::size_t n = 0; n < taps.size(); ++n) {
        const double phase = w * (static_cast<double>(n) - origin);
        sum.re += taps[n] * std::cos(phase);
        sum.im += taps[n] * std::sin(phase);
    }
    return sum;
}

}  // namespace tolvar::validate
