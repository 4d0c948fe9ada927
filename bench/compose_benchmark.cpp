// Time of one parameter change: setParameter, which recomposes the impulse
// under the instance lock while the audio thread waits, through the real
// plug-in binary loaded by the stand-in host, at 44.1, 48 and 96 kHz host
// rates. Beside it, in the same run and on the same files, the merge alone:
// the direct sums the composer used to compute (the reference) and the merge
// it computes now.
//
// The IR library is the generated one (TOLVAR_IR_LIBRARY_DIR) when it has been
// built; each section then takes its longest file. Otherwise stand-in files at
// 96 kHz of 4096 to 32768 frames are written, with one-frame flat defaults.
//
//   build/bench/tolvar_compose_bench [--benchmark_filter=all.seven]
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "composer/impulse_accumulator.h"
#include "composer/impulse_merge.h"
#include "composer/ir_file_names.h"
#include "composer/ir_library_layout.h"
#include "composer/section_frequencies.h"
#include "composer/stage_impulse.h"
#include "host/audio_file.h"
#include "host/plugin_instance.h"
#include "params/param_info.h"

namespace tolvar::bench {
namespace {

namespace fs = std::filesystem;

const double kHostRates[] = {44100.0, 48000.0, 96000.0};

// One section set to one choice: the parameter values that select a file.
struct SectionChoice {
    std::vector<std::pair<int, double>> values;  // parameter index, choice value
    std::string file;                            // base name, ".wav" included
    double scale = kStandardFileScale;
};

struct Section {
    const char* name;
    std::vector<SectionChoice> choices;  // every choice that names a file
};

std::vector<Section> Sections() {
    std::vector<Section> sections;
    auto tagged = [&](const char* name, const char* tag, int index, int count) {
        Section section{name, {}};
        for (int c = 1; c <= count; ++c)
            section.choices.push_back({{{index, c}}, std::string(TaggedIrBaseName(tag, c)) + kIrFileExtension});
        sections.push_back(section);
    };
    auto gains = [&](const char* name, int fIndex, int gIndex, int hqIndex, std::span<const int> hz) {
        Section section{name, {}};
        for (int f = 0; f < static_cast<int>(hz.size()); ++f) {
            for (int g = 0; g <= kHighestGainDb - kLowestGainDb; ++g) {
                for (int hq = 0; hq <= (hqIndex >= 0 ? 1 : 0); ++hq) {
                    char path[kIrPathBytes];
                    FormatSectionIrPath(path, "", hz[static_cast<std::size_t>(f)], g + kLowestGainDb, hq == 1);
                    SectionChoice choice{{{fIndex, f}, {gIndex, g}}, path, hq ? kHiQFileScale : kStandardFileScale};
                    if (hqIndex >= 0) choice.values.push_back({hqIndex, hq});
                    section.choices.push_back(choice);
                }
            }
        }
        sections.push_back(section);
    };
    tagged("input", kInputModelTag, kParamInputMode, kInputModelCount);
    tagged("low-pass", kLowPassTag, kParamLpf, kLowPassCount);
    tagged("high-pass", kHighPassTag, kParamHpf, kHighPassCount);
    gains("low shelf", kParamLShelfF, kParamLShelfG, -1, kLowShelfHz);
    gains("band 1", kParamBand1F, kParamBand1G, kParamBand1HQ, kBandHz);
    gains("band 2", kParamBand2F, kParamBand2G, kParamBand2HQ, kBandHz);
    gains("high shelf", kParamHShelfF, kParamHShelfG, -1, kHighShelfHz);
    return sections;
}

long Frames(const fs::path& file) {
    SF_INFO info{};
    SNDFILE* sf = sf_open(file.c_str(), SFM_READ, &info);
    if (!sf) return 0;
    sf_close(sf);
    return static_cast<long>(info.frames);
}

bool WriteStandIn(const fs::path& file, int frames, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> samples(static_cast<std::size_t>(frames));
    float envelope = 0.7f;
    const float decay = std::pow(1e-6f, 1.0f / static_cast<float>(frames));  // -120 dB at the end
    for (float& s : samples) s = value(random) * (envelope *= decay);
    samples[0] = 0.7937005f;  // 2^(-2/6): one frame is the flat response after the file scale
    SF_INFO info{};
    info.samplerate = 96000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* sf = sf_open(file.c_str(), SFM_WRITE, &info);
    if (!sf) return false;
    const bool written = sf_write_float(sf, samples.data(), frames) == frames;
    sf_close(sf);
    return written;
}

// The setting a benchmark re-sends: parameter values over the defaults, and
// the files (with their scales) the composition then reads.
struct Setting {
    std::string name;
    std::vector<std::pair<int, double>> values;
    std::vector<std::pair<std::string, double>> files;
};

class Library {
public:
    Library() {
        char pattern[] = "/tmp/tolvar-compose-bench-XXXXXX";
        root = mkdtemp(pattern) ? fs::path(pattern) : fs::path();
        fs::copy_file(TOLVAR_PLUGIN_PATH, root / "tolvar.so");
#ifdef TOLVAR_IR_LIBRARY_DIR
        const fs::path generated = TOLVAR_IR_LIBRARY_DIR;
        if (fs::exists(generated / "820+0.wav")) {
            fs::create_directory_symlink(generated, root / kIrFolderName);
            standIn = false;
        }
#endif
        if (standIn) fs::create_directory(root / kIrFolderName);
        ChooseLongest();
    }
    ~Library() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    fs::path PluginPath() const { return root / "tolvar.so"; }
    fs::path File(const std::string& name) const { return root / kIrFolderName / name; }
    bool StandIn() const { return standIn; }
    const std::vector<Setting>& Settings() const { return settings; }

private:
    // Each section's longest file, or the stand-ins named here.
    void ChooseLongest() {
        const char* const standInNames[] = {"misc_mic_pre.wav", "misc_LPF_3900.wav", "misc_HPF_27.wav", "33+12.wav",
                                            "270+12.wav",       "270-12.wav",        "3300+12.wav"};
        const int standInFrames[] = {16384, 4096, 32768, 32768, 16384, 16384, 4096};
        const std::vector<Section> sections = Sections();
        std::vector<const SectionChoice*> longest;
        for (std::size_t s = 0; s < sections.size(); ++s) {
            const SectionChoice* best = nullptr;
            long mostFrames = -1;
            for (const SectionChoice& choice : sections[s].choices) {
                const long frames = standIn ? (choice.file == standInNames[s] ? 1 : 0) : Frames(File(choice.file));
                if (frames > mostFrames) {
                    mostFrames = frames;
                    best = &choice;
                }
            }
            longest.push_back(best);
        }
        if (standIn) {
            for (const char* name : kDefaultFiles) WriteStandIn(File(name), 1, 1);
            for (std::size_t s = 0; s < sections.size(); ++s)
                WriteStandIn(File(longest[s]->file), standInFrames[s], static_cast<unsigned>(s + 2));
        }
        // The defaults, each section alone at its longest, then all of them.
        settings.push_back(MakeSetting("defaults", sections, longest, 0));
        for (std::size_t s = 0; s < sections.size(); ++s)
            settings.push_back(MakeSetting(sections[s].name, sections, longest, 1u << s));
        settings.push_back(MakeSetting("all seven", sections, longest, 0x7f));
    }

    // Sections in `mask` at their longest choice, the others at their defaults;
    // files in the order the composition reads them.
    Setting MakeSetting(const char* name, const std::vector<Section>& sections,
                        const std::vector<const SectionChoice*>& longest, unsigned mask) const {
        Setting setting{name, {}, {}};
        for (std::size_t s = 0; s < sections.size(); ++s) {
            if (mask & (1u << s)) {
                setting.values.insert(setting.values.end(), longest[s]->values.begin(), longest[s]->values.end());
                setting.files.push_back({longest[s]->file, longest[s]->scale});
            } else if (s >= 3) {  // the gain sections default to their flat files
                setting.files.push_back({kDefaultFiles[s - 3], kStandardFileScale});
            }
        }
        return setting;
    }

    static constexpr const char* kDefaultFiles[] = {"100+0.wav", "820+0.wav", "1800+0.wav", "6800+0.wav"};

    fs::path root;
    bool standIn = true;
    std::vector<Setting> settings;
};

Library* library = nullptr;
std::unique_ptr<PluginInstance> plugin;

void Apply(const Setting& setting, double hostRate) {
    plugin->SetSampleRate(hostRate);
    for (int i = 0; i < kParamCount; ++i)
        plugin->SetParameter(i, static_cast<float>(NormalizedFromValue(i, kParamTable[i].defaultValue)));
    for (const auto& [index, value] : setting.values)
        plugin->SetParameter(index, static_cast<float>(NormalizedFromValue(index, value)));
    plugin->SetMains(false);
    plugin->SetMains(true);
}

void SetParameterBench(benchmark::State& state, const Setting* setting, double hostRate) {
    Apply(*setting, hostRate);
    const int index = setting->values.empty() ? kParamBand1G : setting->values.back().first;
    const float value = plugin->GetParameter(index);
    for (auto _ : state) plugin->SetParameter(index, value);
    state.counters["latency"] = plugin->InitialDelay();
}

// The setting's files as the composition reads them (the library is at one
// rate, so no conversion): samples and scales.
std::vector<std::pair<std::vector<double>, double>> LoadFiles(const Setting& setting) {
    std::vector<std::pair<std::vector<double>, double>> files;
    for (const auto& [name, scale] : setting.files)
        files.push_back({DecodeMonoAudioFile(library->File(name).c_str()).samples, scale});
    return files;
}

void DirectMergeBench(benchmark::State& state, const Setting* setting) {
    const auto files = LoadFiles(*setting);
    for (auto _ : state) {
        HeapBuffer accumulator(64);
        for (auto [samples, scale] : files) MergeImpulse(accumulator, samples.data(), static_cast<int>(samples.size()), scale);
        benchmark::DoNotOptimize(accumulator.Data());
    }
}

void MergeBench(benchmark::State& state, const Setting* setting) {
    const auto files = LoadFiles(*setting);
    ComposeWorkspace workspace;
    for (auto _ : state) {
        ImpulseAccumulator accumulator;
        for (const auto& [samples, scale] : files) {
            HeapBuffer loaded(64);
            auto* copy = static_cast<double*>(loaded.Resize(static_cast<int>(samples.size() * sizeof(double)), true));
            std::copy(samples.begin(), samples.end(), copy);
            accumulator.Add(loaded, static_cast<int>(samples.size()), scale);
        }
        HeapBuffer merged(64);
        accumulator.Merge(merged, workspace);
        benchmark::DoNotOptimize(merged.Data());
    }
}

}  // namespace
}  // namespace tolvar::bench

int main(int argc, char** argv) {
    using namespace tolvar::bench;
    benchmark::Initialize(&argc, argv);
    Library files;
    library = &files;
    std::string error;
    plugin = tolvar::LoadPlugin(files.PluginPath().string(), &error);
    if (!plugin) {
        std::fprintf(stderr, "cannot load the plug-in: %s\n", error.c_str());
        return 1;
    }
    std::printf("IR library: %s\n", files.StandIn() ? "stand-in files (4096-32768 frames at 96 kHz)" : TOLVAR_IR_LIBRARY_DIR);
    for (const Setting& setting : files.Settings()) {
        for (double rate : kHostRates) {
            benchmark::RegisterBenchmark(("setParameter/" + setting.name + "/" + std::to_string(int(rate))).c_str(),
                                         SetParameterBench, &setting, rate)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        benchmark::RegisterBenchmark(("merge/" + setting.name).c_str(), MergeBench, &setting)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("direct merge (reference)/" + setting.name).c_str(), DirectMergeBench, &setting)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(setting.name == "all seven" ? 1 : 20);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    plugin.reset();
    return 0;
}
