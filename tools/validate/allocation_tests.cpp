// No heap allocation inside processReplacing once a block size has been seen:
// an allocation on the audio thread can wait on a lock the host cannot see.
#include <algorithm>
#include <cstdlib>

#include "tools/validate/audio_checks.h"
#include "tools/validate/heap_probe.h"
#include "tools/validate/plugin_checks.h"
#include "tools/validate/subject.h"
#include "tools/validate/validator_tests.h"

namespace tolvar::validate {
namespace {

// Allocations counted during `blocks` calls of processReplacing with `frames`
// frames each, on buffers prepared beforehand.
long AllocationsWhileProcessing(PluginInstance& instance, int32_t frames, int blocks, uint32_t seed) {
    const AEffect* effect = instance.Effect();
    AudioChannels inputs = Noise(effect->numInputs, static_cast<std::size_t>(std::max(frames, 1)), seed);
    AudioChannels outputs = Silence(effect->numOutputs, static_cast<std::size_t>(std::max(frames, 1)));
    std::vector<float*> in, out;
    for (auto& channel : inputs) in.push_back(channel.data());
    for (auto& channel : outputs) out.push_back(channel.data());
    in.push_back(nullptr);  // keeps data() valid when there are no channels
    out.push_back(nullptr);
    const AllocationCount count;
    for (int block = 0; block < blocks; ++block) instance.ProcessBlock(in.data(), out.data(), frames);
    return count.Count();
}

// The probe must see an allocation made where it looks, or a count of zero
// would prove nothing.
bool ProbeCounts() {
    void* (*volatile allocate)(std::size_t) = &std::malloc;
    const AllocationCount count;
    void* block = allocate(64);
    const long seen = count.Count();
    std::free(block);
    return seen >= 1;
}

TestResult SteadyStateAllocations(Subject& subject, const TestSettings& settings) {
    const HeapProbeAbilities can = HeapProbeCan();
    if (!can.counts) return Skipped("allocations cannot be counted: " + can.whyNot);
    if (!ProbeCounts()) return Failed("the heap probe counted no allocation where one was made: it cannot test this");
    std::vector<int32_t> sizes = {1, 32, 64, 512, 4096};
    if (settings.strictness >= 5) sizes.insert(sizes.end(), {7, 100, 1024, 8192});
    std::vector<double> rates = {44100.0};
    if (settings.strictness >= 3) rates.push_back(96000.0);
    if (settings.strictness >= 8) rates.push_back(8000.0);
    if (subject.Ours()) PutDefaultSections(subject, 96000);

    Findings findings;
    const int measured = 16 * settings.strictness;
    for (double rate : rates) {
        for (int32_t size : sizes) {
            std::string error;
            auto instance = subject.CreatePrepared(rate, size, &error);
            if (!instance) return Failed(error);
            // Warm up past the latency and a few FFT blocks, so that every queue
            // has grown to what this block size needs.
            const int warmUp = std::max(16, 4 * (instance->InitialDelay() + 2 * 8192) / size);
            AllocationsWhileProcessing(*instance, size, warmUp, settings.seed);
            const long allocations = AllocationsWhileProcessing(*instance, size, measured, settings.seed + 1);
            if (allocations > 0)
                findings.Add("processReplacing allocated " + std::to_string(allocations) + " times in " +
                             std::to_string(measured) + " blocks of " + std::to_string(size) + " frames at " +
                             std::to_string(static_cast<int>(rate)) + " Hz after " + std::to_string(warmUp) +
                             " blocks of warm-up");
        }
    }
    return findings.Result("no allocation in " + std::to_string(measured) + " steady blocks at each of " +
                           std::to_string(sizes.size()) + " block sizes and " + std::to_string(rates.size()) + " rates");
}

}  // namespace

void AddAllocationTests(std::vector<ValidatorTest>& tests, const TestSettings&) {
    tests.push_back({"allocations.process", SteadyStateAllocations});
}

}  // namespace tolvar::validate
