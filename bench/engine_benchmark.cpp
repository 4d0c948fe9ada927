// CPU time of the convolution engine per second of 44.1 kHz stereo audio, fed
// in blocks of 64, 512 and 2048 frames as the audio callback feeds it, beside
// two FFTW convolvers of the same transform size and hop in the same run: one
// with real-input transforms per channel and one with both channels packed into
// one complex transform (bench/fftw_reference_convolver.h). Then the CPU time
// of single callbacks after SetImpulse against the steady state's heaviest.
//
//   build/bench/tolvar_engine_bench [--changes=0] [--agreement=0] [Google Benchmark flags]
//
// --changes=0 and --agreement=0 leave out the callback timing after SetImpulse
// and the agreement check (for profiling a filtered case).
// By default every case runs 5 repetitions of at least 0.1 s, interleaved at
// random so that load from elsewhere on the machine spreads evenly; the tables
// give medians of CPU time.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/fftw_reference_convolver.h"
#include "convolution/block_delivery.h"
#include "convolution/convolution_engine.h"
#include "convolution/dsp_loops.h"
#include "fft/fft.h"
#include "fft/fft_kernels.h"

namespace tolvar::bench {
namespace {

constexpr int kSampleRate = 44100;
const int kImpulseLengths[] = {100, 500, 2000, 5000, 20000, 60000, 130000};
const int kBlockSizes[] = {64, 512, 2048};
const char* const kImplementations[] = {"engine", "fftw-real", "fftw-packed"};

std::vector<float> Noise(int count, unsigned seed, double decay = 0.0) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> v(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        v[static_cast<std::size_t>(i)] = value(random) * static_cast<float>(std::exp(-decay * i / count));
    }
    return v;
}

// Every partition carries signal, so the engine skips nothing the references compute.
std::vector<float> Impulse(int taps, unsigned seed = 0) { return Noise(taps, static_cast<unsigned>(taps) + seed, 3.0); }

// One second of stereo input, reused every iteration.
struct Audio {
    std::vector<float> left = Noise(kSampleRate, 1), right = Noise(kSampleRate, 2);
    std::vector<float> outLeft = std::vector<float>(kSampleRate), outRight = std::vector<float>(kSampleRate);
};

// The audio callback's use of the engine, with the latency owed as leading silence.
class EngineCallback {
public:
    EngineCallback(ConvolutionEngine& driven, int latency) : engine(driven) { silence.target = latency; }
    void RaiseLatency(int latency) { silence.target = std::max(silence.target, latency); }
    void Process(const float* const* in, float* const* out, int n) { DeliverBlock(engine, in, out, n, 2, silence); }

private:
    ConvolutionEngine& engine;
    OwedSilence silence;
};

// Feeds one second of audio through `process` in blocks of `block` frames.
template <typename Process>
void OneSecond(Audio& audio, int block, Process&& process) {
    for (int t = 0; t < kSampleRate; t += block) {
        const int n = std::min(block, kSampleRate - t);
        const float* in[2] = {audio.left.data() + t, audio.right.data() + t};
        float* out[2] = {audio.outLeft.data() + t, audio.outRight.data() + t};
        process(in, out, n);
    }
}

void Install(ConvolutionEngine& engine, const std::vector<float>& taps, int* latency) {
    ImpulseBuffer impulse;
    std::copy(taps.begin(), taps.end(), static_cast<float*>(impulse.samples[0].Resize(4 * static_cast<int>(taps.size()), true)));
    *latency = engine.SetImpulse(impulse, -1);
}

// The references run the engine's transform size, or N = 256 (hop 128) where
// the engine runs in direct form.
int ReferenceSize(int taps) {
    ConvolutionEngine engine;
    int latency = 0;
    Install(engine, Impulse(taps), &latency);
    return engine.FftSize() > 0 ? engine.FftSize() : 256;
}

// One convolver of any kind behind the callback's signature.
class Convolver {
public:
    Convolver(const std::string& kind, int taps) {
        if (kind == "engine") {
            engine = std::make_unique<ConvolutionEngine>();
            int latency = 0;
            Install(*engine, Impulse(taps), &latency);
            callback = std::make_unique<EngineCallback>(*engine, latency);
            latencyFrames = latency;
        } else if (kind == "fftw-real") {
            reference = std::make_unique<FftwRealConvolver>(Impulse(taps), ReferenceSize(taps));
        } else {
            reference = std::make_unique<FftwPackedStereoConvolver>(Impulse(taps), ReferenceSize(taps));
        }
        if (reference) latencyFrames = reference->Latency();
    }
    void Process(const float* const* in, float* const* out, int n) {
        if (callback) {
            callback->Process(in, out, n);
        } else {
            reference->Process(in, out, n);
        }
    }
    int Latency() const { return latencyFrames; }

private:
    std::unique_ptr<ConvolutionEngine> engine;
    std::unique_ptr<EngineCallback> callback;
    std::unique_ptr<FftwConvolver> reference;
    int latencyFrames = 0;
};

std::string CaseName(const std::string& kind, int taps, int block) {
    return "convolve/" + kind + "/taps:" + std::to_string(taps) + "/block:" + std::to_string(block);
}

void Convolve(benchmark::State& state, const std::string& kind, int taps, int block) {
    Convolver convolver(kind, taps);
    Audio audio;
    auto process = [&](const float* const* in, float* const* out, int n) { convolver.Process(in, out, n); };
    OneSecond(audio, block, process);  // queues grown, caches warm: the steady state
    for (auto _ : state) {
        OneSecond(audio, block, process);
        benchmark::DoNotOptimize(audio.outLeft.data());
    }
}

// The direct-form loop alone at 128 taps, per version: 0 scalar, 1 SSE2, 2 AVX2+FMA.
void DirectFormLoop(benchmark::State& state) {
    const int version = static_cast<int>(state.range(0));
    if (version == 2 && !HasAvx2Fma()) {
        state.SkipWithError("no AVX2 with FMA on this processor");
        return;
    }
    constexpr int kFrames = 512;
    const std::vector<float> taps = Impulse(128), history = Noise(128 + kFrames, 4);
    std::vector<float> out(kFrames);
    using Filter = void (*)(float*, const float*, const float*, int, int);
    const Filter filters[] = {DirectFormFilterScalar, DirectFormFilterSse2, DirectFormFilterAvx2};
    for (auto _ : state) {
        filters[version](out.data(), taps.data(), history.data(), 128, kFrames);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void RegisterAll() {
    for (int taps : kImpulseLengths) {
        for (int block : kBlockSizes) {
            for (const char* kind : kImplementations) {
                benchmark::RegisterBenchmark(CaseName(kind, taps, block).c_str(), Convolve, std::string(kind), taps,
                                             block)
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    benchmark::RegisterBenchmark("direct_form_loop", DirectFormLoop)->ArgName("version")->Arg(0)->Arg(1)->Arg(2);
}

// Before timing anything: the three convolvers must compute the same thing.
void CheckAgreement() {
    std::printf("Agreement with the engine over one second, blocks of 512 (largest |difference| / output peak):\n");
    for (int taps : kImpulseLengths) {
        Audio outputs[3];
        int latency[3];
        for (int k = 0; k < 3; ++k) {
            Convolver convolver(kImplementations[k], taps);
            latency[k] = convolver.Latency();
            OneSecond(outputs[k], 512, [&](const float* const* in, float* const* out, int n) { convolver.Process(in, out, n); });
        }
        std::printf("  %6d taps:", taps);
        for (int k = 1; k < 3; ++k) {
            double largest = 0.0, peak = 0.0;
            for (int t = std::max(latency[0], latency[k]); t < kSampleRate; ++t) {
                for (int c = 0; c < 2; ++c) {
                    const std::vector<float>& ours = c == 0 ? outputs[0].outLeft : outputs[0].outRight;
                    const std::vector<float>& theirs = c == 0 ? outputs[k].outLeft : outputs[k].outRight;
                    const float a = ours[static_cast<std::size_t>(t - latency[k] + latency[0])];
                    const float b = theirs[static_cast<std::size_t>(t)];
                    if (t - latency[k] + latency[0] >= kSampleRate) continue;
                    largest = std::max(largest, static_cast<double>(std::fabs(a - b)));
                    peak = std::max(peak, static_cast<double>(std::fabs(b)));
                }
            }
            std::printf("  %s %.1e", kImplementations[k], largest / peak);
        }
        std::printf("\n");
    }
}

// CPU time of the calling thread, in microseconds: time spent descheduled on a
// shared machine does not count, page faults do.
double ThreadMicroseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) * 1e-3;
}

// The CPU time of every callback over `seconds` of audio.
std::vector<double> CallbackTimes(EngineCallback& callback, Audio& audio, int block, int seconds) {
    std::vector<double> times;
    for (int s = 0; s < seconds; ++s) {
        OneSecond(audio, block, [&](const float* const* in, float* const* out, int n) {
            const double start = ThreadMicroseconds();
            callback.Process(in, out, n);
            times.push_back(ThreadMicroseconds() - start);
        });
    }
    return times;
}

// Callback k of every trial did the same work; the smallest of its times is
// that work's cost without the interruptions of a shared machine, which come
// at random. The heaviest such cost is the heaviest callback.
double HeaviestCallback(const std::vector<std::vector<double>>& trials) {
    double heaviest = 0.0;
    for (std::size_t k = 0; k < trials.front().size(); ++k) {
        double cost = trials.front()[k];
        for (const std::vector<double>& times : trials) cost = std::min(cost, times[k]);
        heaviest = std::max(heaviest, cost);
    }
    return heaviest;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct ImpulseChange {
    int fromTaps;  // 0: a new engine, in direct form without taps
    int toTaps;
};

// After SetImpulse the audio thread must meet nothing heavier than the new
// impulse's steady state already holds: no zeroing, no fresh pages, no
// allocation. Changes within one transform size (5000>5000 at N = 16384 with
// one partition, 20000>20000 and 60000>130000 at N = 32768) keep the history,
// which SetImpulse carries over to the new impulse. Each trial times every callback over the 3 s of audio after the
// change (every block size of the new impulse runs several blocks in that
// time), and over 3 s of an engine that has held the new impulse for a while;
// both see the same audio in the same blocks, so HeaviestCallback compares like
// with like.
void MeasureImpulseChanges() {
    const ImpulseChange changes[] = {{0, 2000},    {0, 60000},      {2000, 60000},  {60000, 2000},
                                     {5000, 5000}, {20000, 20000},  {60000, 130000}, {130000, 100},
                                     {100, 130000}};
    constexpr int kTrials = 15;
    std::printf("\nCPU time of single callbacks after SetImpulse against the steady state's (us; the heaviest\n"
                "callback over 3 s of audio, each callback taken at its smallest over %d trials):\n",
                kTrials);
    std::printf("  %5s  %14s  %10s  %12s  %12s  %6s\n", "block", "taps", "SetImpulse", "after change",
                "steady state", "ratio");
    for (int block : kBlockSizes) {
        for (const ImpulseChange& change : changes) {
            std::vector<std::vector<double>> after, steady;
            std::vector<double> install;
            for (int trial = 0; trial < kTrials; ++trial) {
                Audio audio;
                const std::vector<float> to = Impulse(change.toTaps, 1000u);
                {
                    ConvolutionEngine engine;
                    int latency = 0;
                    Install(engine, to, &latency);
                    EngineCallback callback(engine, latency);
                    CallbackTimes(callback, audio, block, 1);
                    steady.push_back(CallbackTimes(callback, audio, block, 3));
                }
                ConvolutionEngine engine;
                int latency = 0;
                if (change.fromTaps > 0) Install(engine, Impulse(change.fromTaps, 7u), &latency);
                EngineCallback callback(engine, latency);
                CallbackTimes(callback, audio, block, 1);
                const double start = ThreadMicroseconds();
                Install(engine, to, &latency);
                install.push_back(ThreadMicroseconds() - start);
                callback.RaiseLatency(latency);
                after.push_back(CallbackTimes(callback, audio, block, 3));
            }
            char label[32];
            if (change.fromTaps > 0) {
                std::snprintf(label, sizeof label, "%d>%d", change.fromTaps, change.toTaps);
            } else {
                std::snprintf(label, sizeof label, "new>%d", change.toTaps);
            }
            const double a = HeaviestCallback(after), s = HeaviestCallback(steady);
            std::printf("  %5d  %14s  %7.2f ms  %12.1f  %12.1f  %6.2f\n", block, label, Median(install) * 1e-3, a, s,
                        a / s);
        }
    }
}

// Prints the usual console lines, then the comparison table from the medians.
class ComparisonReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (single || run.aggregate_name == "median") medians[run.run_name.str()] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintComparison() const {
        std::printf("\nCPU ms per second of 44.1 kHz stereo audio (median); ratios: engine / reference.\n");
        std::printf("fftw-real: real-input transforms per channel; fftw-packed: both channels in one complex "
                    "transform.\n");
        std::printf("  %6s  %6s  %5s  %8s  %9s  %11s  %10s  %12s\n", "taps", "N", "block", "engine", "fftw-real",
                    "fftw-packed", "/fftw-real", "/fftw-packed");
        for (int taps : kImpulseLengths) {
            const int n = ReferenceSize(taps);
            for (int block : kBlockSizes) {
                const double ours = Median(CaseName("engine", taps, block));
                const double real = Median(CaseName("fftw-real", taps, block));
                const double packed = Median(CaseName("fftw-packed", taps, block));
                if (ours <= 0.0 || real <= 0.0 || packed <= 0.0) continue;
                std::printf("  %6d  %6s  %5d  %8.3f  %9.3f  %11.3f  %10.2f  %12.2f\n", taps,
                            taps <= 128 ? "direct" : std::to_string(n).c_str(), block, ours, real, packed,
                            ours / real, ours / packed);
            }
        }
        std::printf("(100 taps: the engine runs in direct form; the references use N = 256.)\n");
        std::printf("\nThe engine at block 64 against block 2048 (same impulse):\n");
        for (int taps : kImpulseLengths) {
            const double small = Median(CaseName("engine", taps, 64));
            const double large = Median(CaseName("engine", taps, 2048));
            if (small > 0.0 && large > 0.0) std::printf("  %6d taps: %.2f\n", taps, small / large);
        }
        const char* versions[] = {"scalar", "SSE2", "AVX2+FMA"};
        std::printf("\nDirect-form loop alone, 128 taps:\n");
        for (int v = 0; v < 3; ++v) {
            const double loop = Median("direct_form_loop/version:" + std::to_string(v));
            if (loop > 0.0) std::printf("  %-8s: %.2f ns per sample\n", versions[v], loop / 512);
        }
        std::printf("Engine: this tree's fft/ (%s); references: FFTW %s, FFTW_MEASURE.\n",
                    FftIsaName(FftSelectedIsa()), fftwf_version);
    }

private:
    double Median(const std::string& name) const {
        const auto found = medians.find(name);
        return found == medians.end() ? 0.0 : found->second;
    }
    std::map<std::string, double> medians;
};

}  // namespace
}  // namespace tolvar::bench

int main(int argc, char** argv) {
    // Defaults first, so that flags on the command line override them.
    std::string defaults[] = {"--benchmark_repetitions=5", "--benchmark_enable_random_interleaving=true",
                              "--benchmark_report_aggregates_only=true", "--benchmark_min_time=0.1"};
    std::vector<char*> args = {argv[0]};
    for (std::string& flag : defaults) args.push_back(flag.data());
    bool changes = true, agreement = true;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--changes=0") {
            changes = false;
        } else if (flag == "--agreement=0") {
            agreement = false;
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    tolvar::FftInitTables();
    if (agreement) tolvar::bench::CheckAgreement();
    tolvar::bench::RegisterAll();
    tolvar::bench::ComparisonReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintComparison();
    if (changes) tolvar::bench::MeasureImpulseChanges();
    benchmark::Shutdown();
    return 0;
}
