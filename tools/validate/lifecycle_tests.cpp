// Opening and closing: cold (the binary freshly loaded) and warm, many
// instances at once, and instances opened and closed on different threads.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "tools/validate/audio_checks.h"
#include "tools/validate/heap_probe.h"
#include "tools/validate/plugin_checks.h"
#include "tools/validate/subject.h"
#include "tools/validate/validator_tests.h"

namespace tolvar::validate {
namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kBlock = 512;

TestResult ColdOpenClose(Subject& subject, const TestSettings& settings) {
    const int rounds = 1 + settings.strictness;
    Findings findings;
    for (int round = 0; round < rounds; ++round) {
        const std::string what = "cold round " + std::to_string(round + 1);
        // Ours: a copy never loaded before, so its process-wide state starts empty.
        std::string path = subject.Path();
        if (subject.Ours()) {
            path = subject.NewCopy("cold-" + std::to_string(settings.seed) + "-" + std::to_string(round));
            IrFolder(IrFolderBeside(path)).Put(kDefaultSectionFiles[1], SectionTaps(200, 7), 44100);
        }
        std::string error;
        auto library = PluginLibrary::Load(path, &error);
        if (!library) return Failed(what + ": " + error);
        auto instance = subject.Create(library, &error);
        if (!instance) return Failed(what + ": " + error);
        CheckRecord(instance->Effect(), what, findings);
        instance->Prepare(kRate, kBlock);
        ProcessNoiseAndCheck(*instance, 8 * kBlock, kBlock, settings.seed + round, what, findings);
        instance->Close();
        CheckSourcesReleased(subject, what, findings);
    }
    return findings.Result(std::to_string(rounds) + " loads, each opened, run and closed, then unloaded");
}

TestResult WarmOpenClose(Subject& subject, const TestSettings& settings) {
    const int rounds = 4 * settings.strictness;
    std::string error;
    auto library = subject.Load(&error);
    if (!library) return Failed(error);
    if (subject.Ours()) PutDefaultSections(subject, 44100);
    {
        auto first = subject.Create(library, &error);  // builds whatever the process keeps for good
        if (!first) return Failed(error);
        first->Prepare(kRate, kBlock);
    }
    const bool tracking = HeapProbeCan().refuses && TargetLibraryAt(library->FindSymbol("main"));
    if (tracking) StartTrackingLibraryBlocks();
    Findings findings;
    for (int round = 0; round < rounds; ++round) {
        auto instance = subject.Create(library, &error);
        if (!instance) {
            findings.Add("warm round " + std::to_string(round + 1) + ": " + error);
            break;
        }
        instance->Prepare(kRate, kBlock);
        ProcessNoiseAndCheck(*instance, 4 * kBlock, kBlock, settings.seed + round, "warm round", findings);
        instance->Close();
    }
    CheckSourcesReleased(subject, "after the warm rounds", findings);
    std::string leakNote = "; leaks: " + HeapProbeCan().whyNot;
    if (tracking) {
        StopTrackingLibraryBlocks();
        const long live = TrackedLibraryBlocks();
        if (live > 0) findings.Add(std::to_string(live) + " blocks that the plug-in allocated itself outlived effClose");
        leakNote = live < 0 ? "; leaks: too many blocks to track" : "; every block the plug-in allocated itself was freed";
    }
    return findings.Result(std::to_string(rounds) + " instances opened and closed on a loaded binary" + leakNote);
}

TestResult ManyInstances(Subject& subject, const TestSettings& settings) {
    const int count = std::min(4 + 2 * settings.strictness, 24);
    const int blocks = 12;
    if (subject.Ours()) PutDefaultSections(subject, 44100);
    std::vector<std::unique_ptr<PluginInstance>> instances;
    std::string error;
    for (int i = 0; i < count; ++i) {
        instances.push_back(subject.CreatePrepared(kRate, kBlock, &error));
        if (!instances.back()) return Failed("instance " + std::to_string(i + 1) + " of " + std::to_string(count) + ": " + error);
    }
    const int inputs = subject.Facts().numInputs;
    // The first and the last instance hear the same noise, every other one its
    // own; blocks go round the instances in turn, as a host's mixer runs them.
    std::vector<AudioChannels> outputs(static_cast<std::size_t>(count));
    Findings findings;
    const int32_t plan[] = {kBlock};
    for (int block = 0; block < blocks; ++block) {
        for (int i = 0; i < count; ++i) {
            const int voice = i == count - 1 ? 0 : i;
            const uint32_t seed = settings.seed * 7919u + static_cast<uint32_t>(voice * blocks + block);
            const AudioChannels out = instances[static_cast<std::size_t>(i)]->ProcessSignal(Noise(inputs, kBlock, seed), plan);
            auto& all = outputs[static_cast<std::size_t>(i)];
            all.resize(out.size());
            for (std::size_t c = 0; c < out.size(); ++c) all[c].insert(all[c].end(), out[c].begin(), out[c].end());
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const Defects defects = ScanDefects(outputs[i]);
        if (defects.Any()) findings.Add("instance " + std::to_string(i + 1) + " output has " + defects.Describe());
    }
    if (outputs.front() != outputs.back())
        findings.Add("two instances fed the same audio gave different output while others ran beside them: "
                     "the instances share state");
    instances.clear();
    CheckSourcesReleased(subject, "after closing them all", findings);
    return findings.Result(std::to_string(count) + " instances open at once, " + std::to_string(blocks) +
                           " blocks each, interleaved");
}

// Instances created on one thread are run and closed on another, while a
// second pair of threads does the same. Creating and closing take turns, as
// in a host, which does both on its main thread: VST 2 makes no promise for
// concurrent calls of `main` and effClose, which may fill and empty a
// plug-in's process-wide state without a lock (seen in third-party plug-ins:
// a double free when two threads closed at once). Processing stays concurrent.
TestResult OpenCloseOnThreads(Subject& subject, const TestSettings& settings) {
    const int perPair = 2 + settings.strictness;
    if (subject.Ours()) PutDefaultSections(subject, 44100);
    std::string error;
    auto library = subject.Load(&error);
    if (!library) return Failed(error);

    std::mutex mutex;
    std::mutex entry;  // one call of main, effOpen or effClose at a time
    std::condition_variable ready;
    std::deque<std::unique_ptr<PluginInstance>> handed;
    std::atomic<int> failures{0}, defective{0}, closed{0};
    int creatorsLeft = 2;
    auto creator = [&] {
        for (int i = 0; i < perPair; ++i) {
            std::unique_ptr<PluginInstance> instance;
            {
                const std::lock_guard turn(entry);
                std::string why;
                instance = subject.Create(library, &why);
                if (instance) instance->Open();
            }
            if (!instance) {
                ++failures;
                continue;
            }
            const std::lock_guard lock(mutex);
            handed.push_back(std::move(instance));
            ready.notify_all();
        }
        const std::lock_guard lock(mutex);
        --creatorsLeft;
        ready.notify_all();
    };
    auto runner = [&](uint32_t seed) {
        for (;;) {
            std::unique_ptr<PluginInstance> instance;
            {
                std::unique_lock lock(mutex);
                ready.wait(lock, [&] { return !handed.empty() || creatorsLeft == 0; });
                if (handed.empty()) return;
                instance = std::move(handed.front());
                handed.pop_front();
            }
            instance->SetSampleRate(kRate);
            instance->SetBlockSize(256);
            instance->SetMains(true);
            Findings local;
            ProcessNoiseAndCheck(*instance, 2048, 256, seed++, "", local);
            if (local.Any()) ++defective;
            {
                const std::lock_guard turn(entry);
                instance->Close();
            }
            ++closed;
        }
    };
    std::thread threads[] = {std::thread(creator), std::thread(creator), std::thread(runner, settings.seed),
                             std::thread(runner, settings.seed + 1000)};
    for (auto& thread : threads) thread.join();

    Findings findings;
    if (failures > 0) findings.Add(std::to_string(failures.load()) + " instances could not be created");
    if (defective > 0) findings.Add(std::to_string(defective.load()) + " instances gave NaN, infinite or subnormal output");
    CheckSourcesReleased(subject, "after the threads ended", findings);
    return findings.Result(std::to_string(closed.load()) + " instances created on two threads, run and closed on two others");
}

}  // namespace

void AddLifecycleTests(std::vector<ValidatorTest>& tests, const TestSettings&) {
    tests.push_back({"lifecycle.cold-open-close", ColdOpenClose});
    tests.push_back({"lifecycle.warm-open-close", WarmOpenClose});
    tests.push_back({"lifecycle.many-instances", ManyInstances});
    tests.push_back({"lifecycle.threads", OpenCloseOnThreads});
}

}  // namespace tolvar::validate
