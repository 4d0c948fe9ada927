// CPU time of the convolution engine per second of 44.1 kHz stereo audio, fed in
// blocks of 512 frames as the audio callback feeds it, beside a plain FFTW
// partitioned convolver of the same transform size and hop, in the same run.
//
//   build/bench/tolvar_engine_bench [--benchmark_repetitions=3]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/fftw_reference_convolver.h"
#include "convolution/convolution_engine.h"
#include "convolution/dsp_loops.h"
#include "fft/fft.h"

namespace tolvar::bench {
namespace {

constexpr int kSampleRate = 44100;
constexpr int kBlock = 512;
const int kImpulseLengths[] = {100, 2000, 20000, 60000};

std::vector<float> Noise(int count, unsigned seed, double decay = 0.0) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> v(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) v[static_cast<std::size_t>(i)] = value(random) * static_cast<float>(std::exp(-decay * i / count));
    return v;
}

// Every partition carries signal, so the engine skips nothing the reference computes.
std::vector<float> Impulse(int taps) { return Noise(taps, static_cast<unsigned>(taps), 3.0); }

// One second of stereo input, reused every iteration.
struct Audio {
    std::vector<float> left = Noise(kSampleRate, 1), right = Noise(kSampleRate, 2);
    std::vector<float> outLeft = std::vector<float>(kSampleRate), outRight = std::vector<float>(kSampleRate);
};

// The audio callback's use of the engine: Add, latency owed as leading
// silence, Avail, copy from Get, Advance.
class EngineCallback {
public:
    EngineCallback(ConvolutionEngine& driven, int latency) : engine(driven), initialDelay(latency) {}
    void Process(const float* const* in, float* const* out, int n) {
        engine.Add(in, n, 2);
        int wanted = n;
        if (initialDelay > delayInserted) {
            const int owed = std::min(initialDelay - delayInserted, n);
            delayInserted += owed;
            wanted -= owed;
        }
        const int count = std::clamp(engine.Avail(wanted), 0, wanted);
        const int lead = n - count;
        for (int c = 0; c < 2; ++c) std::fill(out[c], out[c] + lead, 0.0f);
        if (count == 0) return;
        float* const* ready = engine.Get();
        for (int c = 0; c < 2; ++c) std::copy(ready[c], ready[c] + count, out[c] + lead);
        engine.Advance(count);
    }

private:
    ConvolutionEngine& engine;
    int initialDelay;
    int delayInserted = 0;
};

// Feeds one second of audio through `process` in blocks of 512.
template <typename Process>
void OneSecond(Audio& audio, Process&& process) {
    for (int t = 0; t < kSampleRate; t += kBlock) {
        const int n = std::min(kBlock, kSampleRate - t);
        const float* in[2] = {audio.left.data() + t, audio.right.data() + t};
        float* out[2] = {audio.outLeft.data() + t, audio.outRight.data() + t};
        process(in, out, n);
    }
}

std::unique_ptr<ConvolutionEngine> NewEngine(int taps, int* latency) {
    ImpulseBuffer impulse;
    const std::vector<float> h = Impulse(taps);
    std::copy(h.begin(), h.end(), static_cast<float*>(impulse.samples[0].Resize(4 * taps, true)));
    auto engine = std::make_unique<ConvolutionEngine>();
    *latency = engine->SetImpulse(impulse, -1);
    return engine;
}

// The reference runs the engine's transform size, or N = 256 (hop 128) where the
// engine runs in direct form.
int ReferenceSize(const ConvolutionEngine& engine) { return engine.FftSize() > 0 ? engine.FftSize() : 256; }

int ReferenceSizeFor(int taps) {
    int latency = 0;
    return ReferenceSize(*NewEngine(taps, &latency));
}

void Engine(benchmark::State& state) {
    int latency = 0;
    auto engine = NewEngine(static_cast<int>(state.range(0)), &latency);
    EngineCallback callback(*engine, latency);
    Audio audio;
    for (auto _ : state) {
        OneSecond(audio, [&](const float* const* in, float* const* out, int n) { callback.Process(in, out, n); });
        benchmark::DoNotOptimize(audio.outLeft.data());
    }
    state.counters["N"] = engine->FftSize();
}

void Reference(benchmark::State& state) {
    int latency = 0;
    auto engine = NewEngine(static_cast<int>(state.range(0)), &latency);
    FftwReferenceConvolver reference(Impulse(static_cast<int>(state.range(0))), ReferenceSize(*engine));
    Audio audio;
    for (auto _ : state) {
        OneSecond(audio, [&](const float* const* in, float* const* out, int n) { reference.Process(in, out, n); });
        benchmark::DoNotOptimize(audio.outLeft.data());
    }
    state.counters["N"] = ReferenceSize(*engine);
}

// Only the transforms each convolver runs in one second (a forward and an
// inverse per block and channel), so that the table can show the cost of
// everything else. Iterations cover kTransformSeconds seconds for an exact
// count of blocks; the table divides by it.
constexpr int kTransformSeconds = 64;

int BlockPairsPerIteration(int n) {
    return static_cast<int>((2LL * kSampleRate * kTransformSeconds + n / 4) / (n / 2));
}

void EngineTransforms(benchmark::State& state) {
    int latency = 0;
    const int n = NewEngine(static_cast<int>(state.range(0)), &latency)->FftSize();
    const std::vector<float> input = Noise(2 * n, 3);
    std::vector<ComplexFloat> block(static_cast<std::size_t>(n));
    const int pairs = BlockPairsPerIteration(n);
    for (auto _ : state) {
        for (int b = 0; b < pairs; ++b) {
            std::memcpy(block.data(), input.data(), sizeof(ComplexFloat) * block.size());  // in place: fresh input
            FftTransform(block.data(), n, 0);
            FftTransform(block.data(), n, 1);
        }
        benchmark::DoNotOptimize(block.data());
    }
}

void ReferenceTransforms(benchmark::State& state) {
    int latency = 0;
    const int n = ReferenceSize(*NewEngine(static_cast<int>(state.range(0)), &latency));
    auto* input = fftwf_alloc_complex(static_cast<std::size_t>(n));
    auto* spectrum = fftwf_alloc_complex(static_cast<std::size_t>(n));
    auto* output = fftwf_alloc_complex(static_cast<std::size_t>(n));
    // Planned like the reference convolver's transforms (FFTW_MEASURE); the
    // out-of-place forward transform keeps its input, so every pair starts fresh.
    fftwf_plan forward = fftwf_plan_dft_1d(n, input, spectrum, FFTW_FORWARD, FFTW_MEASURE);
    fftwf_plan backward = fftwf_plan_dft_1d(n, spectrum, output, FFTW_BACKWARD, FFTW_MEASURE);
    const std::vector<float> noise = Noise(2 * n, 3);
    std::memcpy(input, noise.data(), sizeof(fftwf_complex) * static_cast<std::size_t>(n));
    const int pairs = BlockPairsPerIteration(n);
    for (auto _ : state) {
        for (int b = 0; b < pairs; ++b) {
            fftwf_execute(forward);
            fftwf_execute(backward);
        }
        benchmark::DoNotOptimize(output);
    }
    fftwf_destroy_plan(forward);
    fftwf_destroy_plan(backward);
    fftwf_free(input);
    fftwf_free(spectrum);
    fftwf_free(output);
}

BENCHMARK(Engine)->ArgName("taps")->Arg(100)->Arg(2000)->Arg(20000)->Arg(60000)->Unit(benchmark::kMillisecond);
BENCHMARK(Reference)->ArgName("taps")->Arg(100)->Arg(2000)->Arg(20000)->Arg(60000)->Unit(benchmark::kMillisecond);
BENCHMARK(Engine)->Name("DirectForm")->ArgName("taps")->Arg(128)->Unit(benchmark::kMillisecond);
// The direct-form loop alone at 128 taps, per version: 0 scalar, 1 SSE2, 2 AVX2+FMA.
void DirectFormLoop(benchmark::State& state) {
    const int version = static_cast<int>(state.range(0));
    if (version == 2 && !HasAvx2Fma()) {
        state.SkipWithError("no AVX2 with FMA on this processor");
        return;
    }
    const std::vector<float> taps = Impulse(128), history = Noise(128 + kBlock, 4);
    std::vector<float> out(kBlock);
    using Filter = void (*)(float*, const float*, const float*, int, int);
    const Filter filters[] = {DirectFormFilterScalar, DirectFormFilterSse2, DirectFormFilterAvx2};
    for (auto _ : state) {
        filters[version](out.data(), taps.data(), history.data(), 128, kBlock);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

BENCHMARK(DirectFormLoop)->ArgName("version")->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(EngineTransforms)->ArgName("taps")->Arg(2000)->Arg(20000)->Arg(60000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReferenceTransforms)->ArgName("taps")->Arg(100)->Arg(2000)->Arg(20000)->Arg(60000)->Unit(benchmark::kMillisecond);

// Before timing anything: both convolvers must compute the same thing.
void CheckAgreement() {
    std::printf("Agreement of engine and reference over one second (max |difference|, both aligned):\n");
    for (int taps : kImpulseLengths) {
        int latency = 0;
        auto engine = NewEngine(taps, &latency);
        EngineCallback callback(*engine, latency);
        FftwReferenceConvolver reference(Impulse(taps), ReferenceSize(*engine));
        Audio ours, theirs;
        OneSecond(ours, [&](const float* const* in, float* const* out, int n) { callback.Process(in, out, n); });
        OneSecond(theirs, [&](const float* const* in, float* const* out, int n) { reference.Process(in, out, n); });
        double largest = 0.0, peak = 0.0;
        for (int t = reference.Latency(); t < kSampleRate; ++t) {
            const float a = ours.outLeft[static_cast<std::size_t>(t - reference.Latency() + latency)];
            const float b = theirs.outLeft[static_cast<std::size_t>(t)];
            largest = std::max(largest, static_cast<double>(std::fabs(a - b)));
            peak = std::max(peak, static_cast<double>(std::fabs(b)));
        }
        std::printf("  %6d taps: %.2e (output peak %.2f)\n", taps, largest, peak);
    }
}

// Prints the usual console lines, then one table comparing the two convolvers.
class ComparisonReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            Sum& sum = sums[run.benchmark_name()];
            sum.cpuMs += run.GetAdjustedCPUTime();  // kMillisecond, per second of audio
            sum.count += 1;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintComparison() {
        std::printf("\nCPU ms per second of 44.1 kHz stereo audio, blocks of %d (mean over runs):\n", kBlock);
        std::printf("  %6s  %6s  %9s  %9s  %6s    %-22s  %-22s\n", "taps", "N", "engine", "FFTW ref", "ratio",
                    "engine: FFTs + rest", "reference: FFTs + rest");
        for (int taps : kImpulseLengths) {
            const std::string arg = "/taps:" + std::to_string(taps);
            const double ours = Mean("Engine" + arg), theirs = Mean("Reference" + arg);
            if (ours <= 0.0 || theirs <= 0.0) continue;
            const double ourFfts = Mean("EngineTransforms" + arg) / kTransformSeconds;
            const double theirFfts = Mean("ReferenceTransforms" + arg) / kTransformSeconds;
            char split[2][40];
            std::snprintf(split[0], sizeof split[0], "%.3f + %.3f", ourFfts, ours - ourFfts);
            std::snprintf(split[1], sizeof split[1], "%.3f + %.3f", theirFfts, theirs - theirFfts);
            std::printf("  %6d  %6s  %9.3f  %9.3f  %6.2f    %-22s  %-22s%s\n", taps,
                        taps == 100 ? "direct" : std::to_string(ReferenceSizeFor(taps)).c_str(), ours, theirs,
                        ours / theirs, split[0], split[1], taps == 100 ? "  reference: N 256, hop 128" : "");
        }
        const double direct = Mean("DirectForm/taps:128");
        if (direct > 0.0) {
            std::printf("Direct form, 128 taps, in the engine: %.2f ns per sample and channel\n",
                        direct * 1e6 / (2.0 * kSampleRate));
        }
        const char* versions[] = {"scalar", "SSE2", "AVX2+FMA"};
        for (int v = 0; v < 3; ++v) {
            const double loop = Mean("DirectFormLoop/version:" + std::to_string(v));
            if (loop > 0.0) std::printf("  its loop alone, %-8s: %.2f ns per sample\n", versions[v], loop / kBlock);
        }
        std::printf("Engine FFT: FftTransform of this tree's fft/; reference: FFTW %s, FFTW_MEASURE.\n",
                    fftwf_version);
    }

private:
    struct Sum {
        double cpuMs = 0.0;
        int count = 0;
    };
    double Mean(const std::string& name) const {
        const auto it = sums.find(name);
        return it == sums.end() || it->second.count == 0 ? 0.0 : it->second.cpuMs / it->second.count;
    }
    std::map<std::string, Sum> sums;
};

}  // namespace
}  // namespace tolvar::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    tolvar::bench::CheckAgreement();
    tolvar::bench::ComparisonReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintComparison();
    benchmark::Shutdown();
    return 0;
}
