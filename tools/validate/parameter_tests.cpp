// Parameters: the texts a host shows keep to the VST 2 length limits, values
// round-trip, and wild indexes and values are survived.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "tools/validate/audio_checks.h"
#include "tools/validate/plugin_checks.h"
#include "tools/validate/subject.h"
#include "tools/validate/validator_tests.h"

namespace tolvar::validate {
namespace {

constexpr std::size_t kTextBuffer = 256;
constexpr char kCanary = '\x7f';
constexpr std::size_t kMaxParamText = kVstMaxParamStrLen;         // names, labels, display texts
constexpr std::size_t kMaxEffectName = kVstMaxEffectNameLen - 1;  // less the terminator
constexpr std::size_t kMaxVendorText = kVstMaxVendorStrLen - 1;   // the product string's too

struct TextOpcode {
    int32_t opcode;
    const char* name;
    std::size_t limit;
};

const TextOpcode kParamTexts[] = {{effGetParamName, "effGetParamName", kMaxParamText},
                                  {effGetParamLabel, "effGetParamLabel", kMaxParamText},
                                  {effGetParamDisplay, "effGetParamDisplay", kMaxParamText}};

// Asks for one text with a buffer full of a canary byte; adds a finding when it
// is not terminated or longer than the limit.
void CheckText(PluginInstance& instance, const TextOpcode& text, int32_t index, const std::string& context,
               Findings& findings) {
    char buffer[kTextBuffer];
    std::memset(buffer, kCanary, sizeof buffer);
    buffer[0] = '\0';
    instance.Dispatch(text.opcode, index, 0, buffer);
    const void* end = std::memchr(buffer, '\0', sizeof buffer);
    const std::string call = std::string(text.name) + "(" + std::to_string(index) + ")" + context;
    if (!end) return findings.Add(call + " wrote " + std::to_string(kTextBuffer) + " bytes without a terminator");
    const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(end) - buffer);
    if (length > text.limit)
        findings.Add(call + " gives " + std::to_string(length) + " characters (\"" + std::string(buffer, length) +
                     "\"): breaks the VST 2 convention of at most " + std::to_string(text.limit) +
                     " characters (hosts pass " + std::to_string(text.limit + 1) + "-byte buffers)");
}

TestResult Texts(Subject& subject, const TestSettings& settings) {
    std::string error;
    auto instance = subject.CreatePrepared(44100.0, 512, &error);
    if (!instance) return Failed(error);
    Findings findings;
    CheckText(*instance, {effGetEffectName, "effGetEffectName", kMaxEffectName}, 0, "", findings);
    CheckText(*instance, {effGetVendorString, "effGetVendorString", kMaxVendorText}, 0, "", findings);
    CheckText(*instance, {effGetProductString, "effGetProductString", kMaxVendorText}, 0, "", findings);
    const int32_t count = subject.Facts().numParams;
    const int steps = 4 * settings.strictness;
    for (int32_t index = 0; index < count; ++index) {
        for (const TextOpcode& text : kParamTexts) CheckText(*instance, text, index, " at its default", findings);
        for (int step = 0; step <= steps; ++step) {
            const float value = static_cast<float>(step) / static_cast<float>(steps);
            instance->SetParameter(index, value);
            CheckText(*instance, kParamTexts[2], index, " at " + std::to_string(value), findings);
        }
    }
    return findings.Result("names, labels and display texts of " + std::to_string(count) + " parameters at " +
                           std::to_string(steps + 1) + " values each, and the effect's own texts");
}

TestResult RoundTrip(Subject& subject, const TestSettings& settings) {
    std::string error;
    auto instance = subject.CreatePrepared(44100.0, 512, &error);
    if (!instance) return Failed(error);
    Findings findings;
    std::mt19937 random(settings.seed);
    std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
    const int32_t count = subject.Facts().numParams;
    const int values = 5 + 3 * settings.strictness;
    for (int32_t index = 0; index < count; ++index) {
        for (int i = 0; i < values; ++i) {
            const float value = i < 5 ? 0.25f * static_cast<float>(i) : uniform(random);
            instance->SetParameter(index, value);
            const float first = instance->GetParameter(index);
            const std::string call = "parameter " + std::to_string(index) + " set to " + std::to_string(value);
            if (!(first >= 0.0f && first <= 1.0f)) {
                findings.Add(call + " reads back as " + std::to_string(first) + ", outside 0..1");
                continue;
            }
            // Ours stores exactly what it was given; a foreign plug-in may round
            // to its steps, but then the stepped value must stay put.
            if (subject.Ours() && first != value) findings.Add(call + " reads back as " + std::to_string(first));
            instance->SetParameter(index, first);
            const float second = instance->GetParameter(index);
            if (std::fabs(second - first) > 1e-6f)
                findings.Add(call + " reads back as " + std::to_string(first) + ", which set again reads back as " +
                             std::to_string(second) + ": the value drifts");
        }
    }
    ProcessNoiseAndCheck(*instance, 4096, 512, settings.seed, "after the round trips", findings);
    return findings.Result(std::to_string(count) + " parameters at " + std::to_string(values) + " values each");
}

TestResult Fuzz(Subject& subject, const TestSettings& settings) {
    std::string error;
    auto instance = subject.CreatePrepared(44100.0, 512, &error);
    if (!instance) return Failed(error);
    const int32_t count = subject.Facts().numParams;
    std::vector<int32_t> indexes = {std::numeric_limits<int32_t>::min(), -1000, -2, -1, count, count + 1, 1000,
                                    std::numeric_limits<int32_t>::max()};
    for (int32_t index = 0; index < count; ++index) indexes.push_back(index);
    std::vector<float> values = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(), -1.5f, -0.0f, 0.0f, 1e-40f,
                                 std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::min(), 0.5f,
                                 0.9999999f, 1.0f, 1.0000001f, 1.5f, 2.0f, 1e30f, -1e30f,
                                 std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest()};
    std::mt19937 random(settings.seed);
    std::uniform_real_distribution<float> wide(-1e6f, 1e6f);
    for (int i = 0; i < 8 * settings.strictness; ++i) values.push_back(wide(random));

    Findings findings;
    long calls = 0;
    for (int32_t index : indexes) {
        const bool valid = index >= 0 && index < count;
        for (float value : values) {
            instance->SetParameter(index, value);
            const float readBack = instance->GetParameter(index);
            ++calls;
            if (!valid && !std::isfinite(readBack))
                findings.Add("getParameter(" + std::to_string(index) + ") of a parameter that does not exist gives " +
                             std::to_string(readBack));
            const std::string context = " after setParameter(" + std::to_string(value) + ")";
            for (const TextOpcode& text : kParamTexts) CheckText(*instance, text, index, context, findings);
        }
    }
    // The instance must still work: valid values everywhere, then audio.
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int32_t index = 0; index < count; ++index) instance->SetParameter(index, unit(random));
    ProcessNoiseAndCheck(*instance, 8192, 512, settings.seed, "audio after the fuzz", findings);
    return findings.Result(std::to_string(calls) + " set/get pairs over " + std::to_string(indexes.size()) +
                           " indexes (" + std::to_string(indexes.size() - static_cast<std::size_t>(count)) +
                           " out of range) with every text checked after each");
}

}  // namespace

void AddParameterTests(std::vector<ValidatorTest>& tests, const TestSettings&) {
    tests.push_back({"params.texts", Texts});
    tests.push_back({"params.round-trip", RoundTrip});
    tests.push_back({"params.fuzz", Fuzz});
}

}  // namespace tolvar::validate
