// Our FFT against FFTW 3 (single precision, complex, in place, FFTW_MEASURE)
// for the sizes the convolution engine uses, both directions, in one run.
//
// Every implementation is timed in the same process, with the repetitions of
// all benchmarks interleaved at random so that load from elsewhere on the
// machine spreads evenly. The table at the end gives the median CPU time of
// each (on a shared machine wall time also counts the time spent descheduled),
// GFLOPS by the usual 5 N log2 N convention and our time divided by FFTW's.
//
// Usage: fft_benchmark [Google Benchmark flags]. By default it runs 7
// interleaved repetitions of at least 0.05 s each; flags given override that.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "fft/fft.h"
#include "fft/fft_kernels.h"

namespace {

using tolvar::ComplexFloat;
using tolvar::FftIsa;

constexpr int kMinSize = 512;
constexpr int kMaxSize = 32768;
// Each transform multiplies the rms by sqrt(N); restoring the input every
// eighth transform keeps the values far from overflow (and from denormals).
constexpr int kTransformsPerRefill = 8;

const char* DirectionName(int inverse) { return inverse ? "inverse" : "forward"; }

double FlopsPerTransform(int n) { return 5.0 * n * std::log2(double(n)); }

std::vector<ComplexFloat> RandomInput(int n) {
    std::mt19937 generator(n);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<ComplexFloat> x(n);
    for (ComplexFloat& c : x) c = {uniform(generator), uniform(generator)};
    return x;
}

// A transform in place on `data`, with the untimed refill from `input`.
template <class Transform>
void TimeTransform(benchmark::State& state, int n, ComplexFloat* data, Transform transform) {
    const std::vector<ComplexFloat> input = RandomInput(n);
    std::memcpy(data, input.data(), n * sizeof(ComplexFloat));
    int sinceRefill = 0;
    for (auto _ : state) {
        transform();
        benchmark::ClobberMemory();
        if (++sinceRefill == kTransformsPerRefill) {
            state.PauseTiming();
            std::memcpy(data, input.data(), n * sizeof(ComplexFloat));
            sinceRefill = 0;
            state.ResumeTiming();
        }
    }
    state.counters["GFLOPS"] =
        benchmark::Counter(FlopsPerTransform(n) * 1e-9, benchmark::Counter::kIsIterationInvariantRate);
}

// Our arrays sit 16 bytes past a 64-byte boundary: all that malloc promises on
// x86-64 (and what glibc gives for large blocks), so the engine's buffers are
// no better. The "@64B" variant runs on 64-byte aligned arrays to show what
// alignment is worth.
void OurTransform(benchmark::State& state, FftIsa isa, int n, int inverse, bool aligned) {
    const std::size_t offset = aligned ? 0 : 16;
    void* block = std::aligned_alloc(64, n * sizeof(ComplexFloat) + 64);
    auto* data = reinterpret_cast<ComplexFloat*>(static_cast<char*>(block) + offset);
    TimeTransform(state, n, data, [&] { tolvar::FftTransformWith(isa, data, n, inverse); });
    std::free(block);
}

constexpr const char* kAlignedSuffix = "@64B";

// FFTW's plans, made once before any timing, each on its own aligned array.
struct FftwPlan {
    fftwf_complex* data = nullptr;
    fftwf_plan plan = nullptr;
};
std::map<std::pair<int, int>, FftwPlan> fftwPlans;

void MakeFftwPlans() {
    for (int n = kMinSize; n <= kMaxSize; n *= 2) {
        for (int inverse : {0, 1}) {
            FftwPlan& p = fftwPlans[{n, inverse}];
            p.data = fftwf_alloc_complex(n);
            p.plan = fftwf_plan_dft_1d(n, p.data, p.data, inverse ? FFTW_BACKWARD : FFTW_FORWARD,
                                       FFTW_MEASURE);
        }
    }
}

void DestroyFftwPlans() {
    for (auto& [key, p] : fftwPlans) {
        fftwf_destroy_plan(p.plan);
        fftwf_free(p.data);
    }
    fftwPlans.clear();
    fftwf_cleanup();
}

void FftwTransform(benchmark::State& state, int n, int inverse) {
    FftwPlan& p = fftwPlans.at({n, inverse});
    static_assert(sizeof(fftwf_complex) == sizeof(ComplexFloat));
    TimeTransform(state, n, reinterpret_cast<ComplexFloat*>(p.data), [&] { fftwf_execute(p.plan); });
}

// Implementations in the order of the table's columns; "fftw" is the reference.
std::vector<std::string> Implementations() {
    std::vector<std::string> names;
    for (FftIsa isa : {FftIsa::kScalar, FftIsa::kSse2, FftIsa::kAvx2Fma, FftIsa::kAvx512}) {
        if (tolvar::FftIsaAvailable(isa)) names.push_back(tolvar::FftIsaName(isa));
    }
    names.push_back(std::string(tolvar::FftIsaName(tolvar::FftSelectedIsa())) + kAlignedSuffix);
    names.push_back("fftw");
    return names;
}

std::string BenchmarkName(int n, int inverse, const std::string& implementation) {
    return "fft/" + std::string(DirectionName(inverse)) + "/" + std::to_string(n) + "/" + implementation;
}

void RegisterAll() {
    for (int n = kMinSize; n <= kMaxSize; n *= 2) {
        for (int inverse : {0, 1}) {
            for (FftIsa isa : {FftIsa::kScalar, FftIsa::kSse2, FftIsa::kAvx2Fma, FftIsa::kAvx512}) {
                if (!tolvar::FftIsaAvailable(isa)) continue;
                benchmark::RegisterBenchmark(BenchmarkName(n, inverse, tolvar::FftIsaName(isa)).c_str(),
                                             OurTransform, isa, n, inverse, false);
            }
            const FftIsa selected = tolvar::FftSelectedIsa();
            const std::string aligned = std::string(tolvar::FftIsaName(selected)) + kAlignedSuffix;
            benchmark::RegisterBenchmark(BenchmarkName(n, inverse, aligned).c_str(), OurTransform, selected,
                                         n, inverse, true);
            benchmark::RegisterBenchmark(BenchmarkName(n, inverse, "fftw").c_str(), FftwTransform, n,
                                         inverse);
        }
    }
}

// Passes everything on to the console and keeps the median time per benchmark.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (single || run.aggregate_name == "median") {
                medianSeconds[run.run_name.str()] = run.GetAdjustedCPUTime() * 1e-9;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintSummary() const {
        const std::vector<std::string> names = Implementations();
        const std::string ours = tolvar::FftIsaName(tolvar::FftSelectedIsa());
        std::printf("\nMedian CPU time per transform in microseconds; GFLOPS = 5 N log2 N / time.\n");
        std::printf("Ratio = time / FFTW's time (below 1: faster than FFTW). FftTransform uses %s.\n",
                    ours.c_str());
        std::printf("Our arrays start 16 bytes past a 64-byte boundary (malloc's promise); %s\n",
                    (ours + kAlignedSuffix).c_str());
        std::printf("uses 64-byte aligned arrays. FFTW plans and runs on its own aligned arrays.\n\n");
        std::printf("%-7s %6s", "dir", "N");
        for (const std::string& name : names) std::printf(" %*s", Width(name), (name + " us").c_str());
        for (const std::string& name : GflopsColumns(names)) std::printf(" %*s", Width(name), (name + " GF").c_str());
        for (const std::string& name : names) {
            if (name != "fftw") std::printf(" %*s", Width(name) + 2, (name + "/fftw").c_str());
        }
        std::printf("\n");
        for (int inverse : {0, 1}) {
            for (int n = kMinSize; n <= kMaxSize; n *= 2) PrintRow(names, n, inverse);
        }
    }

private:
    static int Width(const std::string& name) { return static_cast<int>(name.size()) + 3; }

    // GFLOPS for the vector versions and FFTW (scalar and SSE2 have their times).
    static std::vector<std::string> GflopsColumns(const std::vector<std::string>& names) {
        std::vector<std::string> columns;
        for (const std::string& name : names) {
            if (name != "scalar" && name != "sse2") columns.push_back(name);
        }
        return columns;
    }

    double Seconds(int n, int inverse, const std::string& name) const {
        const auto found = medianSeconds.find(BenchmarkName(n, inverse, name));
        return found == medianSeconds.end() ? NAN : found->second;
    }

    void PrintRow(const std::vector<std::string>& names, int n, int inverse) const {
        bool measured = false;  // rows left out by a --benchmark_filter are skipped
        for (const std::string& name : names) measured = measured || !std::isnan(Seconds(n, inverse, name));
        if (!measured) return;
        const double fftw = Seconds(n, inverse, "fftw");
        std::printf("%-7s %6d", DirectionName(inverse), n);
        for (const std::string& name : names) std::printf(" %*.2f", Width(name), Seconds(n, inverse, name) * 1e6);
        for (const std::string& name : GflopsColumns(names)) {
            std::printf(" %*.1f", Width(name), FlopsPerTransform(n) / Seconds(n, inverse, name) * 1e-9);
        }
        for (const std::string& name : names) {
            if (name != "fftw") std::printf(" %*.2f", Width(name) + 2, Seconds(n, inverse, name) / fftw);
        }
        std::printf("\n");
    }

    std::map<std::string, double> medianSeconds;
};

}  // namespace

int main(int argc, char** argv) {
    // Defaults first, so that flags on the command line override them.
    std::string defaults[] = {"--benchmark_repetitions=7", "--benchmark_enable_random_interleaving=true",
                              "--benchmark_report_aggregates_only=true", "--benchmark_min_time=0.05"};
    std::vector<char*> args = {argv[0]};
    for (std::string& flag : defaults) args.push_back(flag.data());
    args.insert(args.end(), argv + 1, argv + argc);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    tolvar::FftInitTables();
    MakeFftwPlans();
    RegisterAll();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    DestroyFftwPlans();
    benchmark::Shutdown();
    return 0;
}
